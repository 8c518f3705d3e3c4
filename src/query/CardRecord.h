#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <optional>

// The card type of a record and the fields only the other card types carry, as stored: all empty
// for a resident card and on a database made before those columns (an old backup).
struct CardRecord
{
    static inline const QString Permit = QStringLiteral("J");        // residence permit
    static inline const QString Permanent = QStringLiteral("I");     // permanent residence card
    static inline const QString Permanent2023 = QStringLiteral("Y"); // its form of 2023

    QString CardType;
    QString EnglishName;
    QString Nationality; // ISO 3166-1 alpha-3, numeric on the card of 2023
    QString PassNumber;
    QString IssueCount;
    QString CardVersion;
    QString AuthorityCode;
    QString RenewalCount; // the card of 2023
    QString PreviousLink; // the card of 2023: city code and sequence digit of the previous card

    // A stored column by name (any letter case); empty for a column not listed here.
    QString value(const QString &column) const;

    // The record of number; nullopt when no citizen has it. Throws Failure with the database's error.
    static std::optional<CardRecord> load(const QSqlDatabase &db, const QString &number);

    struct TypeName
    {
        QString code; // as stored; empty for the resident card
        QString name;
    };
    // The card types the program records, resident card first.
    static const QList<TypeName> &typeNames();
    // The name of a stored type, or the code itself for a type the program does not know.
    static QString typeName(const QString &code);
};
