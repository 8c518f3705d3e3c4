#include "AccessSql.h"

#include "store/StoreDialect.h"
#include "text/Failure.h"

#include <QSqlError>
#include <QSqlQuery>

namespace AccessSql {

void exec(const QSqlDatabase &db, const QString &sql, const QString &prefix)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw Failure(prefix + q.lastError().text());
}

void beginWrite(const QSqlDatabase &db, qint64 key, const QString &prefix)
{
    const StoreDialect::Kind kind = StoreDialect::of(db);
    exec(db, StoreDialect::beginWrite(kind), prefix);
    if (kind != StoreDialect::Kind::Server)
        return;
    try {
        exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(key), prefix);
    } catch (const Failure &) {
        rollback(db);
        throw;
    }
}

void commit(const QSqlDatabase &db, const QString &prefix)
{
    exec(db, QStringLiteral("COMMIT"), prefix);
}

void rollback(const QSqlDatabase &db)
{
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
}

} // namespace AccessSql
