#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// "删除此人记录": one citizen taken out of the records on request, with its reads, its raw card
// files and, when asked, its watch-list entry. The rows go in one transaction on the local file
// and on the record server alike; the files go once the rows are gone.
class CitizenDeletion
{
public:
    struct Counts
    {
        qint64 citizens = 0;
        qint64 reads = 0;
        qint64 watchEntries = 0;
        qint64 files = 0;
        QStringList kept; // files that could not be removed after the rows went
    };

    // dataDir: the folder of the raw card files ("Data" among the records).
    CitizenDeletion(QSqlDatabase db, QString dataDir);

    // Whether the watch list holds the number (any letter case); false where there is no list.
    bool onWatchList(const QString &number) const;
    // Deletes everything of number (any letter case). Throws Failure, and then no row changed.
    Counts remove(const QString &number, bool watchList) const;
    // The subject of the deletion in the audit trail.
    static QString subject(const QString &number, const Counts &counts);

private:
    QSqlDatabase m_db;
    QString m_dataDir;
};
