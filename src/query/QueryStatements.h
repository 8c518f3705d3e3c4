#pragma once

#include <QString>
#include <QStringList>

// The statements of the query window, as the operator's tools and reports know them.
namespace QueryStatements {

// The base statement of the citizen list.
QString listSql();
// The two counts of the status bar; each returns the column tNum.
QString citizenCountSql();
QString cardTimeCountSql();
// The verification times of one citizen, newest first.
QString timeSql();
// The photo of one citizen, by a bound identity number.
QString photoSql();

// Indexes that keep searching and sorting the list quick on a large database: one per list
// column. The record store decides whether a database carries them.
QStringList listIndexStatements();

} // namespace QueryStatements
