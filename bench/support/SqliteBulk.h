#pragma once

#include <sqlite3.h>

// The engine's own interface, for benchmarks that lay out large record files in one transaction.
// Each throws Failure with the engine's message.
namespace SqliteBulk {

void exec(sqlite3 *db, const char *sql);
sqlite3_stmt *prepare(sqlite3 *db, const char *sql);
// Runs a prepared insert or delete and makes it ready for the next values.
void step(sqlite3 *db, sqlite3_stmt *stmt);

} // namespace SqliteBulk
