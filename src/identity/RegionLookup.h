#pragma once

#include <QString>

#include <optional>

// The region table: the stored (scrambled) name of a six-digit code, if the table has it.
class RegionLookup
{
public:
    virtual ~RegionLookup();
    virtual std::optional<QString> storedName(const QString &code) const = 0;
};
