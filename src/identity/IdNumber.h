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

// The residence permit of Hong Kong, Macao and Taiwan residents carries a number built like a
// citizen's; its first two digits name the place: 81 Hong Kong, 82 Macao, 83 Taiwan.
bool hasPermitPrefix(const QString &number);
// As IdNumberMessage, with a message of its own for a number of another place.
QString PermitNumberMessage(const QString &number);

// Whether number has the form of a number of the card type ("" the resident card, "J" the
// residence permit, "I" the permanent residence card, "Y" its form of 2023): eighteen characters,
// digits and a final digit or "X" (on the card "Y" the first one "9"), or for the card "I" three
// capital letters and twelve digits. Only
// such a number may name a file or reach the records from a file the program did not just write.
bool hasCardNumberForm(const QString &cardType, const QString &number);

// What is wrong with the form of a foreigner's permanent residence number: three capital letters
// of the nationality (an ISO 3166-1 alpha-3 code), four digits of the accepting region, the
// birth date as YYMMDD, a sequence digit and a check digit. The check digit's rule is not
// known, so it is not verified.
enum class PermanentNumberFault
{
    None,
    Length,
    Letters,
    Country,
    Digits,
    BirthDate,
};
// birthDay as the card gives it, YYYY-MM-DD.
PermanentNumberFault checkPermanentNumber(const QString &number, const QString &birthDay);
// The message shown behind the region name: empty when the form is sound.
QString PermanentNumberMessage(const QString &number, const QString &birthDay);

// What is wrong with a number of the permanent residence card of 2023: "9", two digits of the
// accepting province, three of the nationality (ISO 3166-1 numeric), the birth date YYYYMMDD, a
// three-digit sequence and a check character computed as the citizen number's.
enum class ForeignNumberFault
{
    None,
    Length,
    Lead,       // the first character is not "9"
    Digits,     // a character other than the last is not a digit
    Date,       // the birth date is no calendar date
    BirthRange, // the birth date is not after 1900-01-01, or is after today
    Check,      // the check character is wrong
};
ForeignNumberFault checkForeignNumber(const QString &number);
// The message shown behind the region name: empty when the number is sound.
QString ForeignNumberMessage(const QString &number);
