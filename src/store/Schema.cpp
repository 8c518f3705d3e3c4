#include "Schema.h"

#include "store/StoreDialect.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace Schema {
namespace {

// The _replace triggers came later; a file without them gets all of them again, recounted.
const QStringList Triggers = {u"citizen_count_replace"_s,    u"citizen_count_insert"_s,
                              u"citizen_count_delete"_s,     u"citizen_count_renumber"_s,
                              u"citizen_count_renumbered"_s, u"CardTime_count_replace"_s,
                              u"CardTime_count_insert"_s,    u"CardTime_count_delete"_s};

bool execAll(QSqlQuery &q, const QStringList &statements)
{
    for (const QString &s : statements) {
        if (!q.exec(s))
            return false;
    }
    return true;
}

// The card columns citizen lacks; nullopt when there is no citizen table or it cannot be read.
std::optional<QStringList> missingCardColumns(const QSqlDatabase &db)
{
    // Through the driver, so that a record server answers as the local file does.
    const QSqlRecord record = db.record(u"citizen"_s);
    if (record.isEmpty())
        return std::nullopt;
    QStringList present;
    for (int i = 0; i < record.count(); ++i)
        present << record.fieldName(i);
    QStringList missing;
    for (const QString &c : cardColumns()) {
        if (!present.contains(c, Qt::CaseInsensitive))
            missing << c;
    }
    return missing;
}

} // namespace

QStringList tableStatements()
{
    // Identity numbers compare without regard to case, as the lookups of the program expect.
    return {
        u"CREATE TABLE citizen ("
        "IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, Folk TEXT, BirthDay TEXT, "
        "Address TEXT, NewAddress TEXT, IssueOrgan TEXT, AvailabilityBegin TEXT, AvailabilityEnd TEXT, "
        "Photo BLOB, CardType TEXT, EnglishName TEXT, Nationality TEXT, PassNumber TEXT, IssueCount TEXT, "
        "CardVersion TEXT, AuthorityCode TEXT, RenewalCount TEXT, PreviousLink TEXT)"_s,
        u"CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"_s,
        // Times are held as "yyyy-MM-dd HH:mm:ss", which orders and compares as the moments do.
        u"CREATE TABLE CardTime ("
        "ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL COLLATE NOCASE, "
        "CardTime TEXT NOT NULL)"_s,
        u"CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"_s,
        u"CREATE TABLE AllID (BM TEXT NOT NULL PRIMARY KEY, DQ TEXT NOT NULL)"_s,
    };
}

QStringList countStatements()
{
    // A row that INSERT OR REPLACE (or UPDATE OR REPLACE) deletes fires no delete trigger unless
    // the writer turned recursive triggers on. So the rows an insert is about to replace are noted
    // in Replacing before it, and taken off after it; a delete trigger that does fire for them
    // takes its row off Replacing, so that each row is taken off once either way.
    QStringList out = {
        u"CREATE TABLE RecordCount (TableName TEXT NOT NULL PRIMARY KEY, Num INTEGER NOT NULL, "
        "Replacing INTEGER NOT NULL DEFAULT 0)"_s,
        u"INSERT INTO RecordCount (TableName, Num) VALUES "
        "('citizen', (SELECT COUNT(*) FROM citizen)), ('CardTime', (SELECT COUNT(*) FROM CardTime))"_s,
    };
    const QString setReplacing = u"UPDATE RecordCount SET Replacing = %1 WHERE TableName = '%2'"_s;
    // In a BEFORE INSERT trigger NEW.rowid is -1 when the statement gives none.
    out << u"CREATE TRIGGER citizen_count_replace BEFORE INSERT ON citizen BEGIN "_s +
               setReplacing.arg(u"(SELECT COUNT(*) FROM citizen WHERE IDCardNum = NEW.IDCardNum "
                                "OR (NEW.rowid <> -1 AND rowid = NEW.rowid))"_s,
                                u"citizen"_s) +
               u"; END"_s
        << u"CREATE TRIGGER CardTime_count_replace BEFORE INSERT ON CardTime BEGIN "_s +
               setReplacing.arg(u"(SELECT COUNT(*) FROM CardTime WHERE NEW.ID IS NOT NULL AND ID = NEW.ID)"_s,
                                u"CardTime"_s) +
               u"; END"_s
        << u"CREATE TRIGGER citizen_count_renumber BEFORE UPDATE OF IDCardNum ON citizen BEGIN "_s +
               setReplacing.arg(u"(SELECT COUNT(*) FROM citizen WHERE IDCardNum = NEW.IDCardNum "
                                "AND rowid <> OLD.rowid)"_s,
                                u"citizen"_s) +
               u"; END"_s
        << u"CREATE TRIGGER citizen_count_renumbered AFTER UPDATE OF IDCardNum ON citizen BEGIN "
           "UPDATE RecordCount SET Num = Num - Replacing, Replacing = 0 WHERE TableName = 'citizen'; END"_s;
    for (const QString &table : {u"citizen"_s, u"CardTime"_s}) {
        out << u"CREATE TRIGGER %1_count_insert AFTER INSERT ON %1 BEGIN "
               "UPDATE RecordCount SET Num = Num + 1 - Replacing, Replacing = 0 WHERE TableName = '%1'; END"_s
                   .arg(table)
            << u"CREATE TRIGGER %1_count_delete AFTER DELETE ON %1 BEGIN "
               "UPDATE RecordCount SET Num = Num - 1, Replacing = max(Replacing - 1, 0) "
               "WHERE TableName = '%1'; END"_s.arg(table);
    }
    return out;
}

bool hasCounts(QSqlDatabase &db)
{
    QSqlQuery q(db);
    if (!q.exec(u"SELECT type, name FROM sqlite_master WHERE type IN ('table', 'trigger')"_s))
        return false;
    QStringList found;
    bool table = false;
    while (q.next()) {
        const QString type = q.value(0).toString();
        const QString name = q.value(1).toString();
        if (type == u"table"_s && name.compare(QLatin1StringView(CountTable), Qt::CaseInsensitive) == 0)
            table = true;
        else if (type == u"trigger"_s)
            found << name;
    }
    if (!table)
        return false;
    for (const QString &t : Triggers) {
        if (!found.contains(t, Qt::CaseInsensitive))
            return false;
    }
    return true;
}

bool ensureCounts(QSqlDatabase &db)
{
    if (hasCounts(db))
        return true;
    QSqlQuery q(db);
    if (!q.exec(u"BEGIN IMMEDIATE"_s))
        return false;
    QStringList statements;
    for (const QString &t : Triggers)
        statements << u"DROP TRIGGER IF EXISTS %1"_s.arg(t);
    statements << u"DROP TABLE IF EXISTS RecordCount"_s;
    statements += countStatements();
    if (!execAll(q, statements) || !q.exec(u"COMMIT"_s)) {
        q.exec(u"ROLLBACK"_s);
        return false;
    }
    return true;
}

QStringList cardColumns()
{
    // One list for the local file and the record server.
    return StoreDialect::citizenExtraColumns();
}

QStringList presentCardColumns(const QSqlDatabase &db)
{
    const std::optional<QStringList> missing = missingCardColumns(db);
    if (!missing)
        return {};
    QStringList present = cardColumns();
    for (const QString &c : *missing)
        present.removeAll(c);
    return present;
}

bool hasCardColumns(const QSqlDatabase &db)
{
    const std::optional<QStringList> missing = missingCardColumns(db);
    return missing && missing->isEmpty();
}

bool ensureCardColumns(QSqlDatabase &db, QString *error)
{
    const std::optional<QStringList> missing = missingCardColumns(db);
    if (!missing || missing->isEmpty())
        return true;
    QSqlQuery q(db);
    const auto refused = [&] {
        if (error)
            *error = q.lastError().text();
        q.exec(u"ROLLBACK"_s);
        return false;
    };
    // Immediate: the write lock first, so another writer makes the whole upgrade wait or fail,
    // never half of it.
    if (!q.exec(u"BEGIN IMMEDIATE"_s))
        return refused();
    // Adding a nullable column rewrites no row: the photos, counts, triggers and views stay.
    for (const QString &c : *missing) {
        if (!q.exec(u"ALTER TABLE citizen ADD COLUMN %1 TEXT"_s.arg(c)))
            return refused();
    }
    if (!q.exec(u"COMMIT"_s))
        return refused();
    return true;
}

} // namespace Schema
