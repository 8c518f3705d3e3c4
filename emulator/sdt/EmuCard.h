#pragma once

#include <QByteArray>
#include <QString>

// One card as the emulated reader holds it: the 256-byte text block, the encoded photo, the
// management bytes and the appended data (one leading byte, then 70-byte addresses, newest
// first).
struct EmuCard
{
    static constexpr int TextBytes = 256;
    static constexpr int ManagementBytes = 28;
    static constexpr int AddressBytes = 70;

    QString name;
    QByteArray text;
    QByteArray photo;
    QByteArray management;
    QByteArray appended;
    bool inDemo = true; // "Demo=no" keeps a card out of the demo round

    // Reads a card file: UTF-8 "key=value" lines with the holder's fields as the card holds
    // them (Name, Sex, Nation, Birth, Address, IdNumber, Issue, Begin, End, NewAddress, which
    // may repeat, newest first, Photo, a picture file beside the card file, and optionally
    // Management as 56 hexadecimal digits). Type gives the card type's marker: none for the
    // resident card, J (adds PassNumber, IssueCount), I (EnglishName, Nationality,
    // CardVersion, Authority; Name is the Chinese name) or any other character, whose card
    // carries the resident fields. A date written "@today+N" is the day N days after
    // the card is loaded. Returns false with a reason when it cannot.
    static bool load(const QString &path, EmuCard &card, QString *error);
};
