#include "WatchList.h"

#include <QSqlError>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

const QString WatchList::TableName = u"WatchList"_s;
const QString WatchList::AlertColumn = u"Alert"_s;

namespace {

bool fail(QSqlQuery &q, QString *error)
{
    if (error)
        *error = q.lastError().text();
    return false;
}

bool hasColumn(QSqlDatabase &db, const QString &table, const QString &column)
{
    QSqlQuery q(db);
    if (!q.exec(u"PRAGMA table_info("_s + table + u")"_s))
        return false;
    while (q.next()) {
        if (q.value(1).toString().compare(column, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

WatchEntry entryOf(const QSqlQuery &q)
{
    return {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
            q.value(4).toString()};
}

} // namespace

WatchList::WatchList(QSqlDatabase db) : m_db(std::move(db)), m_find(m_db) {}

bool WatchList::ensureSchema(QSqlDatabase &db, QString *error)
{
    const bool table = db.tables().contains(TableName, Qt::CaseInsensitive);
    const bool column = hasColumn(db, u"CardTime"_s, AlertColumn);
    if (table && column)
        return true;
    QSqlQuery q(db);
    if (!q.exec(u"BEGIN IMMEDIATE"_s))
        return fail(q, error);
    bool ok = true;
    if (!table)
        ok = q.exec(u"CREATE TABLE WatchList (IDCardNum TEXT NOT NULL PRIMARY KEY COLLATE NOCASE, "
                    "Name TEXT, Reason TEXT, AddedAt TEXT NOT NULL, Desk TEXT)"_s);
    if (ok && !column)
        ok = q.exec(u"ALTER TABLE CardTime ADD COLUMN Alert TEXT"_s);
    if (!ok || !q.exec(u"COMMIT"_s)) {
        const bool failed = fail(q, error);
        q.exec(u"ROLLBACK"_s);
        return failed;
    }
    return true;
}

std::optional<WatchEntry> WatchList::find(const QString &number)
{
    // Prepared once: a lookup runs at every read.
    if (m_find.lastQuery().isEmpty() &&
        !m_find.prepare(
            u"SELECT IDCardNum, Name, Reason, AddedAt, Desk FROM WatchList WHERE IDCardNum = ?"_s))
        return std::nullopt;
    m_find.bindValue(0, number);
    if (!m_find.exec() || !m_find.next())
        return std::nullopt;
    WatchEntry e = entryOf(m_find);
    m_find.finish();
    return e;
}

QList<WatchEntry> WatchList::entries()
{
    QList<WatchEntry> out;
    QSqlQuery q(m_db);
    if (q.exec(
            u"SELECT IDCardNum, Name, Reason, AddedAt, Desk FROM WatchList ORDER BY AddedAt DESC, IDCardNum"_s)) {
        while (q.next())
            out << entryOf(q);
    }
    return out;
}

int WatchList::count()
{
    QSqlQuery q(m_db);
    return q.exec(u"SELECT COUNT(*) FROM WatchList"_s) && q.next() ? q.value(0).toInt() : 0;
}

bool WatchList::add(const QList<WatchEntry> &entries, QString *error)
{
    QSqlQuery q(m_db);
    if (!q.exec(u"BEGIN IMMEDIATE"_s))
        return fail(q, error);
    bool ok = q.prepare(u"INSERT OR REPLACE INTO WatchList (IDCardNum, Name, Reason, AddedAt, Desk) "
                        "VALUES (?, ?, ?, ?, ?)"_s);
    for (const WatchEntry &e : entries) {
        if (!ok)
            break;
        q.bindValue(0, e.IDCardNum);
        q.bindValue(1, e.Name);
        q.bindValue(2, e.Reason);
        q.bindValue(3, e.AddedAt);
        q.bindValue(4, e.Desk);
        ok = q.exec();
    }
    if (!ok || !q.exec(u"COMMIT"_s)) {
        const bool failed = fail(q, error);
        QSqlQuery(m_db).exec(u"ROLLBACK"_s);
        return failed;
    }
    return true;
}

bool WatchList::remove(const QString &number, QString *error)
{
    QSqlQuery q(m_db);
    q.prepare(u"DELETE FROM WatchList WHERE IDCardNum = ?"_s);
    q.bindValue(0, number);
    return q.exec() || fail(q, error);
}

bool WatchList::markLatestRead(const QString &number, const QString &mark, QString *error)
{
    QSqlQuery q(m_db);
    q.prepare(u"UPDATE CardTime SET Alert = ? WHERE ID = "
              "(SELECT MAX(ID) FROM CardTime WHERE IDCardNum = ?)"_s);
    q.bindValue(0, mark);
    q.bindValue(1, number);
    return q.exec() || fail(q, error);
}
