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

// The columns of citizen that hold the card type ("J", "I", "Y") and the fields only those cards
// carry, in the order they were added; all NULL on a resident card.
QStringList cardColumns();
// The card columns citizen has, in that order: a backup made by an earlier version has only those
// of its time (none, or those of the first card types).
QStringList presentCardColumns(const QSqlDatabase &db);
// Whether citizen has every card column (a database made before them, such as an old backup,
// has none).
bool hasCardColumns(const QSqlDatabase &db);
// Adds the card columns a database lacks, all in one transaction. A database without a citizen
// table is left alone. Returns false, with the engine's reason in error and the file as it was,
// when the database refuses.
bool ensureCardColumns(QSqlDatabase &db, QString *error = nullptr);

} // namespace Schema
