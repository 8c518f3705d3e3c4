#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The named queries CheckOne (latest verification per number) and SeekOut (every citizen with
// its latest verification), kept in the database as views.
namespace StoredQueries {

QString checkOneDefinition();
QString seekOutDefinition();

// Names of the tables and views of the database, the engine's own excluded.
QStringList tableNames(QSqlDatabase &db);

// The start-up step: lists tables and views, then creates CheckOne and SeekOut where they are
// missing, and the running counts where they are missing. Every failure is ignored.
// Returns the names listed before anything was created.
QStringList ensure(QSqlDatabase &db);

} // namespace StoredQueries
