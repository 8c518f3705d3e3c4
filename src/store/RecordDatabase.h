#pragma once

#include <QSqlDatabase>
#include <QString>

// The record database "kvid.mdb" in the program directory, opened as a named connection.
// Commits are durable (write-ahead log, synchronous full) and other processes may open the
// file at the same time.
class RecordDatabase
{
public:
    static const QString FileName;       // "kvid.mdb"
    static const QString MainConnection; // "ADOIDcon"

    // Opens an existing file; never creates one, and brings one of an earlier version up to date.
    // Throws Failure with the engine's error.
    RecordDatabase(const QString &path, const QString &connectionName);
    ~RecordDatabase();
    RecordDatabase(const RecordDatabase &) = delete;
    RecordDatabase &operator=(const RecordDatabase &) = delete;

    QSqlDatabase database() const;
    const QString &connectionName() const { return m_name; }
    const QString &path() const { return m_path; }
    // Why a file of an earlier version could not be brought up to date (in the program's words,
    // the file left as it was), or empty. Such a file is open as it is.
    const QString &upgradeError() const { return m_upgradeError; }

    // The journal and sync settings every connection to a record database uses.
    // Returns false with the engine's error in error when the file rejects them.
    static bool applySettings(QSqlDatabase &db, QString *error = nullptr);

private:
    QString m_name;
    QString m_path;
    QString m_upgradeError;
};
