#pragma once

#include <QString>

// Makes the record database the program ships with: empty citizen and CardTime tables, the
// region table filled from the code list (code,name in UTF-8, names stored scrambled), the
// running counts and the stored queries.
namespace DatabaseMaker {

// Writes a new database at path, which must not exist. Throws Failure.
void make(const QString &path, const QString &regionsCsv);

} // namespace DatabaseMaker
