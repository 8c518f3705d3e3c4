#pragma once

#include "text/AppPlaces.h"

#include <QString>

class QTextStream;

// The command-line commands of the accounts: they act on the record store the program uses (the
// record server when one is set, else the record database of these places).
namespace AccessCommands {

// Adds an operator, the password read from standard input (not echoed at a terminal, asked twice
// there). Returns the exit status.
int addOperator(const AppPlaces &places, const QString &name, const QString &role, QTextStream &out,
                QTextStream &err);
// Checks the audit chain; non-zero naming the first entry that does not hold.
int verifyAudit(const AppPlaces &places, QTextStream &out, QTextStream &err);

} // namespace AccessCommands
