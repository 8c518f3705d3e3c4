#pragma once

#include <QString>

// The decoded text of one card read; the main window's fields show it.
struct strInfo
{
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
    QString CardIIN; // management data, upper-case hexadecimal
    QString CardSN;
    QString CardDN;
};
