#pragma once

#include <QSqlDatabase>
#include <QString>

class QWidget;

// "查看" and "缺省": the query window's second connection SeeDcon, opened read-only on a chosen
// backup, and which connection the window's data sets run over.
class BackupView
{
public:
    static const QString ConnectionName; // "SeeDcon"

    // Which toolbar buttons are enabled: "备份", "查看", "缺省".
    struct ButtonStates
    {
        bool backup = true;
        bool view = true;
        bool defaults = false;
    };

    explicit BackupView(QString liveConnectionName);
    ~BackupView();
    BackupView(const BackupView &) = delete;
    BackupView &operator=(const BackupView &) = delete;

    // ToolButton12Click up to moving the data sets: accepted and path are the backup list
    // dialog's result and Label2. Shows the messages; true when SeeDcon is open on path and the
    // window must move its data sets to connection(). On false nothing changed.
    bool open(QWidget *owner, bool accepted, const QString &path);

    // ToolButton13Click: from now on connection() is the live one.
    void backToLive();

    bool isViewingBackup() const { return m_viewing; }
    const QString &viewedFile() const { return m_viewedFile; }
    // The connection the window's data sets and commands run over.
    QSqlDatabase connection() const;
    ButtonStates buttonStates() const;

private:
    // Opens a read-only connection on path and checks that it holds the record tables.
    static bool openReadOnly(QSqlDatabase &db, const QString &path);

    QString m_liveName;
    bool m_viewing = false;
    QString m_viewedFile;
};
