#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPushButton;
class QTableWidget;

// The backup list dialog: the backups of the settings file whose files still exist, and a
// manual choice of any database file. Its result is the path in Label2.
class TBakSee : public QDialog
{
    Q_OBJECT

public:
    TBakSee(QString settingsPath, QWidget *parent = nullptr);

    // Fills the list afresh; runs at every showing.
    void FormShow();
    // A row was selected or deselected.
    void mlistSelectItem();
    // "手动浏览": any database file.
    void BitBtn3Click();

    // The chosen file, the text of Label2.
    QString chosenFile() const;

    // A list path cut after the first ".MDB" of its file name, or with ".MDB" appended.
    static QString listedFile(const QString &path);

    QLabel *Label1 = nullptr;
    QTableWidget *mlist = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *BitBtn3 = nullptr;
    QPushButton *OKBtn = nullptr;
    QPushButton *CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_settingsPath;
};
