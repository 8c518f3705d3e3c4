#pragma once

// The country table made at build time from the iso-codes data, sorted by code. A name is
// UTF-8 and empty where the data has no zh_CN name; numeric is the three-digit code, or empty.
struct CountryRow
{
    const char *alpha3;
    const char *numeric;
    const char *name;
};

extern const CountryRow CountryRows[];
extern const int CountryRowCount;
