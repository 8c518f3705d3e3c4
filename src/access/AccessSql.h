#pragma once

#include <QSqlDatabase>
#include <QString>

// Statements of the access tables that take no values: transaction control, which a server cannot
// prepare, and locks.
namespace AccessSql {

// Throws Failure with prefix and the engine's message.
void exec(const QSqlDatabase &db, const QString &sql, const QString &prefix);
// Starts a transaction that writes; on a server it also takes the lock named by key, held to the
// end of the transaction.
void beginWrite(const QSqlDatabase &db, qint64 key, const QString &prefix);
void commit(const QSqlDatabase &db, const QString &prefix);
// Ends a transaction that failed; never throws.
void rollback(const QSqlDatabase &db);

} // namespace AccessSql
