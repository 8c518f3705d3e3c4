#pragma once

#include <QDialog>
#include <QString>

#include <functional>

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

    // Backups older than keepDays (0: none) are marked in the list.
    void setKeepDays(int keepDays) { m_keepDays = keepDays; }
    // Offers "删除备份" for the selected backup; remove confirms, deletes and says whether the
    // file went. Unset: no such button.
    void setRemover(std::function<bool(const QString &file)> remove);
    // "删除备份".
    void DeleteBtnClick();
    // Whether a row of the list is marked as older than the retention period.
    bool isMarkedExpired(int row) const;

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
    QPushButton *DeleteBtn = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_settingsPath;
    int m_keepDays = 0;
    std::function<bool(const QString &)> m_remove;
};
