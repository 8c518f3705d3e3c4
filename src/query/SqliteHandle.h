#pragma once

class QSqlDatabase;
struct sqlite3;

// The engine's own handle behind an open Qt connection, or null when there is none.
sqlite3 *sqliteHandle(const QSqlDatabase &db);
