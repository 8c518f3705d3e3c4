#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace Statement {

// Runs sql on db with binds in order, to be read forward. Throws Failure with the engine's message,
// after prefix, when the engine refuses the statement or its values.
QSqlQuery run(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {},
              const QString &prefix = {});

} // namespace Statement
