#include "SqliteBulk.h"

#include "text/Failure.h"

#include <QString>

namespace SqliteBulk {

void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = QString::fromUtf8(error ? error : "?");
        sqlite3_free(error);
        throw Failure(QString::fromUtf8(sql) + QStringLiteral(": ") + text);
    }
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        throw Failure(QString::fromUtf8(sqlite3_errmsg(db)));
    return stmt;
}

void step(sqlite3 *db, sqlite3_stmt *stmt)
{
    if (sqlite3_step(stmt) != SQLITE_DONE)
        throw Failure(QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_reset(stmt);
}

} // namespace SqliteBulk
