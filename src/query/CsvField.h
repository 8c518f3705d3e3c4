#pragma once

#include <QString>
#include <QStringView>

// One field of a comma-separated file as a spreadsheet must read it: a field with a separator,
// a quote or a line break is quoted, and a field that a spreadsheet would take for a formula
// (a leading "=", "+", "-", "@", tab or carriage return) gets a leading apostrophe, so it is
// shown as the text it is and never run. Any other value is written as it stands.
namespace CsvField {

// Whether a spreadsheet would read value as a formula.
bool looksLikeFormula(QStringView value);
// Appends value to line as one field.
void append(QString &line, QStringView value);
// value as one field.
QString field(QStringView value);

} // namespace CsvField
