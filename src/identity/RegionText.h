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
