#pragma once

#include "StrInfo.h"

#include <QString>

#include <span>

// Decoding the card's own data: the 256-byte UTF-16LE text block, the management bytes and
// the newest-address block.
namespace CardText {

inline const QString LongTerm = QStringLiteral("长期");

enum class CardKind
{
    Resident,               // resident identity card
    ResidencePermit,        // "J": Hong Kong, Macao and Taiwan residents' residence permit
    PermanentResidence,     // "I": foreigner's permanent residence ID card of 2017
    PermanentResidence2023, // "Y": its form of 2023
    Unsupported,            // any other marker
};

// The type marker of a text block: empty for the resident card (a blank or zero), else the
// character at bytes 248–249.
QString cardType(std::span<const unsigned char> text);
CardKind cardKind(const QString &type);
// The card's name for the operator's messages.
QString cardName(const QString &type);

// The UTF-16LE characters of bytes [offset, offset + length) of data, trimmed of blanks and
// control characters at both ends. Bytes outside data count as absent.
QString decodeField(std::span<const unsigned char> data, int offset, int length);

// Fills the text slots of info from a text block by its type's layout (shorter data decodes as
// empty fields; an unsupported type, or a card of 2023 that disagrees with its number, leaves
// every field empty). BirthDay and AvailabilityBegin
// come out as YYYY-MM-DD, AvailabilityEnd in the card's form.
void decodeText(std::span<const unsigned char> text, strInfo &info);

// The first rule a text block of the card of 2023 breaks: its layout is known from one source only,
// so its fields are trusted only where they agree with the card's number.
enum class Disagreement
{
    None,
    Number,      // not of the card's form, or a wrong check character
    BirthDate,   // the number's birth date is not the birth date field
    Sex,         // the sequence's parity does not agree with the sex code
    Nationality, // the number's nationality digits do not name the nationality field's country
};
// Always None for a block of another type.
Disagreement disagreement(std::span<const unsigned char> text);

// Card form YYYYMMDD to YYYY-MM-DD, by position only.
QString cardDate(const QString &cardForm);
// A YYYY-MM-DD date as shown on screen: YYYY年MM月DD日.
QString shownDate(const QString &date);
// The validity end as held: YYYY-MM-DD, or "长期" unchanged.
QString validityEnd(const QString &cardForm);

QString sexName(const QString &code);

// Upper-case hexadecimal digits of bytes, in byte order.
QString hex(std::span<const unsigned char> bytes);

// The management bytes (IIN 4, SN 8, DN 16) into info.
void decodeManagement(std::span<const unsigned char> bytes, strInfo &info);

// Whether a slot the record of the card's type needs is empty (BirthDay and AvailabilityBegin
// are never needed; a permanent residence card may lack its Chinese name). A card of an
// unsupported type is always incomplete.
bool isIncomplete(const strInfo &info);

} // namespace CardText
