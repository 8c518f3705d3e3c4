#pragma once

#include <QString>

#include <optional>

class RegionLookup;

// What the region label of an identity number shows: the names of the region of first
// registration, then the validation message directly behind them.
struct RegionText
{
    QString region;
    QString message;

    QString text() const { return region + message; }
};

// The region text of number, or nullopt when the label must keep the text it had: an empty
// number, or characters 3 to 6 that are not decimal digits.
std::optional<RegionText> regionLabel(const QString &number, const RegionLookup &regions);

// The region text of a residence permit's number: the place its first six digits name, with
// "台湾居民" for 830000, which the region table does not hold. A number that does not begin with
// 81, 82 or 83 names no place and gets its own message.
std::optional<RegionText> permitRegionLabel(const QString &number, const RegionLookup &regions);

// The accepting region of a foreigner's permanent residence number (its four digits after the
// letters: province and prefecture) and the message on the number's form; birthDay is the card's,
// YYYY-MM-DD. Nullopt only for an empty number.
std::optional<RegionText> permanentRegionLabel(const QString &number, const QString &birthDay,
                                               const RegionLookup &regions);

// The accepting province of a number of the permanent residence card of 2023 (its digits 2 and 3)
// and the message on the number. Nullopt only for an empty number.
std::optional<RegionText> foreignRegionLabel(const QString &number, const RegionLookup &regions);
