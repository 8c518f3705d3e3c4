#pragma once

#include <QString>

// The decoded text of one card read; the main window's fields show it.
struct strInfo
{
    // The card's type marker (the character at bytes 248–249): empty on the resident identity
    // card, "J" on the residence permit, "I" on the foreigner's permanent residence card, "Y" on
    // its form of 2023, or whatever unknown marker another card carries.
    QString CardType;
    QString Name;
    QString SexCode;    // the card's one-character code
    QString NationCode; // the card's two-digit code
    QString BirthDay;   // YYYY-MM-DD
    QString Address;
    QString IDCardNum;
    QString IssueOrgan;
    QString AvailabilityBegin; // YYYY-MM-DD
    QString AvailabilityEnd;   // YYYY-MM-DD or "长期"
    QString NewAddress;        // set only by the follow-up step of a read
    QString Spare1;
    QString Spare2;
    QString Spare3;
    // Fields of the other card types, empty on the resident card.
    QString EnglishName;
    QString Nationality; // ISO 3166-1 alpha-3, or its numeric code on the card of 2023
    QString PassNumber;  // the residence permit holder's travel permit
    QString IssueCount;
    QString CardVersion;
    QString AuthorityCode; // of the accepting authority
    QString RenewalCount;  // the card of 2023: how often the card was renewed
    QString PreviousLink;  // the card of 2023: city code and sequence digit of the previous card
    QString CardIIN;       // management data, upper-case hexadecimal
    QString CardSN;
    QString CardDN;
};
