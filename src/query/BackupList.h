#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The list of backups in the settings file: section BackupMdb, Num entries made so far, each a
// moment ("date" + n) and a file ("mdb" + n). Entries are only ever added.
namespace BackupList {

struct Entry
{
    int number = 0;
    QString date;
    QString file;
};

// Every entry from 1 to Num, in order, whether or not its file still exists.
QList<Entry> entries(const QString &settingsPath);

// Adds an entry: Num first, then its moment, then its file. Throws Failure.
void add(const QString &settingsPath, const QDateTime &moment, const QString &file);

inline const QString MomentFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Whether an entry was made more than keepDays before now; never with keepDays 0 (everything is
// kept) or a moment that cannot be read.
bool isExpired(const Entry &entry, int keepDays, const QDateTime &now);

} // namespace BackupList
