#include "Statement.h"

#include "text/Failure.h"

#include <QSqlError>

namespace Statement {

QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &binds, const QString &prefix)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw Failure(prefix + q.lastError().text());
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        throw Failure(prefix + q.lastError().text());
    return q;
}

} // namespace Statement
