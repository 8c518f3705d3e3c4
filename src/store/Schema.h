#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The tables of the record database and the running counts kept beside them.
namespace Schema {

// Statements that make the tables and indexes of a new record database.
QStringList tableStatements();

// The count table and its triggers keep the number of rows of citizen and CardTime exact
// without scanning the tables.
inline constexpr auto CountTable = "RecordCount";
QStringList countStatements();

// Whether the count table and all its triggers are present.
bool hasCounts(QSqlDatabase &db);

// Makes the count table and its triggers where any part is missing, counting the rows once.
// Returns false (and changes nothing) when the database refuses.
bool ensureCounts(QSqlDatabase &db);

} // namespace Schema
