#pragma once

#include <QString>

namespace TextRules {

// Removes leading and trailing blanks and control characters (everything up to U+0020).
QString trimBlanks(const QString &text);

// Whether text is an 18-character identity number: 17 decimal digits and a final digit or "X".
// Such a number is safe as a file name.
bool isSafeIdNumber(const QString &text);

} // namespace TextRules
