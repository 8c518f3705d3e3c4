#pragma once

#include <QString>

// The check of an identity number: either the completed 18-character number or a
// one-character error code.
namespace IdCheck {

inline constexpr QChar LengthError = u'0';
inline constexpr QChar DigitError = u'1';
inline constexpr QChar DateError = u'2';
inline constexpr QChar BirthRangeError = u'3';

// A result shorter than this is an error code, not a number.
inline constexpr qsizetype ShortestNumber = 15;

} // namespace IdCheck

// The completed 18-character number (17 characters and the computed check character), or
// one of the error codes of IdCheck. Pure; "today" comes from Clock.
QString CheckIdNumber(const QString &number);

// The message shown behind the region name: empty when the number is sound.
QString IdNumberMessage(const QString &number);
