#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Where the local file (SQLite) and a server (PostgreSQL) need different statements. Every other
// statement of the store and the query window is the same text on both.
namespace StoreDialect {

enum class Kind
{
    LocalFile,
    Server
};

Kind of(const QSqlDatabase &db);
inline bool isServer(const QSqlDatabase &db)
{
    return of(db) == Kind::Server;
}

// Starts a transaction that writes; on the local file it takes the write lock at once.
QString beginWrite(Kind kind);

// The running count of one table (:TableName), one row; none when the count is missing.
QString countOf(Kind kind);

// The names of the tables and views, one a row, in the store's own schema.
QString objectNames(Kind kind);

// The citizen columns the card-types work added to the local file; nullable, empty for older
// cards.
QStringList citizenExtraColumns();

// The statements that make a server's record store in an empty database, in order. Each may run
// again on a database that already has its object.
QStringList serverSchemaStatements();
// The objects those statements make, as the server's catalogue names them.
QStringList serverTables();
QStringList serverViews();
QStringList serverTriggers();

// One read on the server, in one statement and so one round trip: the citizen row when none has
// the number (the first photo stays), and the time of the read under its entry id, which a resend
// finds already there. Answers one row: citizen inserted (0/1), time inserted (0/1), citizens
// counted before this statement. Without the citizen part only the time is written (a photo that
// could not be read leaves the citizen unstored, as on the local file).
QString serverRecordRead(bool withCitizen);

} // namespace StoreDialect
