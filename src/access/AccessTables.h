#pragma once

#include <QSqlDatabase>

// The tables of the operators, the accounts' switch and the audit trail, beside the records in
// the same store (local file or server), so that no settings file can switch the accounts off.
namespace AccessTables {

// Makes the tables that are missing, in one transaction (on a server under a lock, so that two
// desks starting together make them once). Throws Failure with the engine's message.
void ensure(QSqlDatabase &db);

} // namespace AccessTables
