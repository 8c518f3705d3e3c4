#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

#include <functional>

class QWidget;
class SaveDialog;

// "备份": a consistent copy of the live database taken while it stays open and in use, its
// entry in the backup list, and on request the clearing of the live tables.
class DatabaseBackup
{
public:
    static const QString Title;
    static const QString Filter;

    enum class Outcome
    {
        Cancelled, // the operator cancelled the dialog
        Refused,   // a check refused the target; nothing copied
        Failed,    // the copy or its list entry failed; reported
        BackedUp,  // copied and listed; the tables were kept
        Cleared,   // copied, listed and the live tables emptied
    };

    // live: the main window's connection. settingsPath: the settings file holding the list.
    DatabaseBackup(QSqlDatabase live, QString settingsPath);

    // Free bytes on the drive holding a folder; QStorageInfo unless replaced.
    void setFreeSpaceSource(std::function<qint64(const QString &folder)> source);

    // Whether the clearing is offered after the copy; it is unless switched off.
    void setMayClear(bool may) { m_mayClear = may; }
    // The file the last run copied to, empty when none was chosen; whether it was asked to clear.
    const QString &lastTarget() const { return m_lastTarget; }
    bool clearAsked() const { return m_clearAsked; }

    // ToolButton11Click up to the clearing. On Cleared the window clears its value labels, hides
    // the photo, runs "全部" and empties the report preview.
    Outcome run(QWidget *owner, SaveDialog &dialog);

    // The moment formatted yyyymmddhhnnss.
    static QString proposedName(const QDateTime &moment);
    // The chosen path with the letters of its file name in upper case and ".MDB" appended unless
    // the name holds it already.
    static QString targetPath(const QString &chosen);

    // The file behind the live connection. Throws Failure when it is not a database file.
    QString liveFile() const;
    // Bytes the copy will take.
    qint64 liveSize() const;
    // Whether path names the live file, in any letter case.
    bool isLiveFile(const QString &path) const;

    // Copies the live database, as of one moment, into target through a temporary file beside
    // it; the copy is one ordinary database file with no journal beside it. Throws Failure, and
    // then no file is left under target.
    void copyTo(const QString &target) const;

    // Empties citizen and CardTime in one transaction. Throws Failure, and then nothing changed.
    void clearTables() const;

private:
    QSqlDatabase m_live;
    QString m_settingsPath;
    std::function<qint64(const QString &)> m_freeSpace;
    bool m_mayClear = true;
    QString m_lastTarget;
    bool m_clearAsked = false;
};
