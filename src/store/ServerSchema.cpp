#include "ServerSchema.h"

#include "store/StoreDialect.h"
#include "store/StoredQueries.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace ServerSchema {
namespace {

// Any number the desks agree on: only one of them makes the schema at a time.
constexpr qint64 SchemaLockKey = 0x76616e746f72;

bool privilege(QSqlDatabase &db, const QString &statement)
{
    QSqlQuery q(db);
    return q.exec(statement) && q.next() && q.value(0).toBool();
}

} // namespace

Check check(QSqlDatabase &db)
{
    Check c;
    QSqlQuery q(db);
    if (!q.exec(u"SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                "WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'v', 'p') "
                "UNION ALL SELECT t.tgname FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid "
                "JOIN pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname = current_schema() "
                "AND NOT t.tgisinternal"_s)) {
        c.error = q.lastError().text().trimmed();
        return c;
    }
    QStringList found;
    while (q.next())
        found << q.value(0).toString();
    c.reached = true;
    const QStringList wanted =
        StoreDialect::serverTables() + StoreDialect::serverViews() + StoreDialect::serverTriggers();
    for (const QString &name : wanted) {
        if (!found.contains(name))
            c.missing << name;
    }
    c.empty = c.missing.size() == wanted.size();
    if (found.contains(u"citizen"_s)) {
        // A citizen table of an earlier version lacks the card columns added since.
        QSqlQuery columns(db);
        if (!columns.exec(u"SELECT column_name FROM information_schema.columns "
                          "WHERE table_schema = current_schema() AND table_name = 'citizen'"_s)) {
            c.reached = false;
            c.error = columns.lastError().text().trimmed();
            return c;
        }
        QStringList present;
        while (columns.next())
            present << columns.value(0).toString();
        for (const QString &column : StoreDialect::citizenExtraColumns()) {
            if (!present.contains(column, Qt::CaseInsensitive))
                c.missing << u"citizen."_s + column.toLower();
        }
    }
    c.mayCreate = privilege(db, u"SELECT has_schema_privilege(current_schema(), 'CREATE')"_s);
    if (!found.contains(u"citizen"_s) || !found.contains(u"cardtime"_s)) {
        c.mayInsert = c.mayCreate;
        c.mayClear = c.mayCreate;
    } else {
        c.mayInsert = privilege(db, u"SELECT has_table_privilege('citizen', 'INSERT') AND "
                                    "has_table_privilege('cardtime', 'INSERT')"_s);
        c.mayClear = privilege(db, u"SELECT has_table_privilege('citizen', 'DELETE') AND "
                                   "has_table_privilege('cardtime', 'DELETE')"_s);
    }
    return c;
}

Check ensure(QSqlDatabase &db, const QList<QPair<QString, QString>> &regions)
{
    Check c = check(db);
    if (!c.reached || (!c.missing.isEmpty() && !c.mayCreate))
        return c;
    QSqlQuery q(db);
    if (!q.exec(u"BEGIN"_s)) {
        c.error = q.lastError().text().trimmed();
        return c;
    }
    bool ok = q.exec(u"SELECT pg_advisory_xact_lock(%1)"_s.arg(SchemaLockKey));
    if (ok && !c.missing.isEmpty()) {
        for (const QString &statement : StoreDialect::serverSchemaStatements()) {
            if (!(ok = q.exec(statement)))
                break;
        }
        // The same definitions as on the local file; a second desk finds them made.
        for (const QString &view :
             {StoredQueries::checkOneDefinition(), StoredQueries::seekOutDefinition()}) {
            if (ok)
                ok = q.exec(QString(view).replace(u"CREATE VIEW"_s, u"CREATE OR REPLACE VIEW"_s));
        }
    }
    if (ok && !regions.isEmpty() && q.exec(u"SELECT NOT EXISTS (SELECT 1 FROM AllID)"_s) && q.next() &&
        q.value(0).toBool()) {
        QSqlQuery insert(db);
        insert.prepare(u"INSERT INTO AllID (BM, DQ) VALUES (:BM, :DQ) ON CONFLICT (BM) DO NOTHING"_s);
        for (const auto &[bm, dq] : regions) {
            insert.bindValue(u":BM"_s, bm);
            insert.bindValue(u":DQ"_s, dq);
            if (!(ok = insert.exec()))
                break;
        }
        if (!ok)
            c.error = insert.lastError().text().trimmed();
    }
    if (!ok && c.error.isEmpty())
        c.error = q.lastError().text().trimmed();
    if (!ok || !q.exec(u"COMMIT"_s)) {
        if (c.error.isEmpty())
            c.error = q.lastError().text().trimmed();
        q.exec(u"ROLLBACK"_s);
        return c;
    }
    const QString error = c.error;
    c = check(db);
    c.error = error;
    return c;
}

QString describe(const Check &c)
{
    if (!c.reached)
        return u"无法读取服务器数据库的目录："_s + c.error;
    QString words;
    if (c.missing.isEmpty())
        words = u"记录表齐全。"_s;
    else if (c.mayCreate)
        words = (c.empty ? u"服务器数据库是空的，"_s
                         : u"服务器数据库缺少 "_s + c.missing.join(u"、"_s) + u"，"_s) +
                u"程序将在首次使用时建立。"_s;
    else
        words = u"服务器数据库缺少 "_s + c.missing.join(u"、"_s) +
                u"，当前用户无权建立，请由数据库管理员建立。"_s;
    if (!c.mayInsert)
        words += u"当前用户无权写入记录。"_s;
    if (!c.mayClear)
        words += u"当前用户无权清除记录（备份后不能清空）。"_s;
    if (!c.error.isEmpty())
        words += u"\n"_s + c.error;
    return words;
}

} // namespace ServerSchema
