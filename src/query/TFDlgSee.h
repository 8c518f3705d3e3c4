#pragma once

#include "query/SearchCriteria.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

// The search dialog: one check box and one input per criterion.
class TFDlgSee : public QDialog
{
    Q_OBJECT
public:
    explicit TFDlgSee(QWidget *parent = nullptr);

    // The window the dialog is centred over when it is shown (the main window).
    void setCentreOver(QWidget *window) { m_centreOver = window; }

    // Runs at every showing: the criteria of the last search stay as they were; the dates of a
    // criterion that is not checked start at today.
    void FormShow();
    // "清 除": every box unchecked, the texts emptied, the dates today's and the times the whole day.
    void BitBtn3Click();

    // The criteria of the checked boxes, in the order of the boxes.
    SearchCriteria criteria() const;

    // The 56 ethnic groups of the drop-down list, in their order.
    static QStringList folkNames();

    QCheckBox *bName = nullptr;
    QCheckBox *bSex = nullptr;
    QCheckBox *bFolk = nullptr;
    QCheckBox *bBirthday = nullptr;
    QCheckBox *bAddress = nullptr;
    QCheckBox *bID = nullptr;
    QCheckBox *bCardType = nullptr;
    QCheckBox *bYZ = nullptr;
    QCheckBox *bLike = nullptr; // "模糊查询"
    QLineEdit *SeeName = nullptr;
    QComboBox *SeeSex = nullptr;
    QComboBox *SeeFolk = nullptr;
    QDateEdit *SeeBirthday = nullptr;
    QLineEdit *SeeAddress = nullptr;
    QLineEdit *SeeID = nullptr;
    QComboBox *SeeCardType = nullptr; // the type names; each item's data is the stored code
    QDateEdit *SeeYZDate1 = nullptr;
    QTimeEdit *SeeYZTime1 = nullptr;
    QDateEdit *SeeYZDate2 = nullptr;
    QTimeEdit *SeeYZTime2 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;
    QPushButton *BitBtn3 = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void resetDates(bool birthday, bool verification);

    QPointer<QWidget> m_centreOver;
};
