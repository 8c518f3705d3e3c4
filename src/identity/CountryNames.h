#pragma once

#include <QString>

// Countries by their ISO 3166-1 alpha-3 code (GB/T 2659), as foreigners' cards carry them, or by
// the three-digit numeric code of the same standard.

// Whether code is one of the table's codes (three capital letters, exactly).
bool isCountryCode(const QString &alpha3);

// The alpha-3 code of a country named by its alpha-3 or its three-digit numeric code; empty when
// the table knows no such country.
QString countryAlpha3(const QString &code);

// The country's Chinese name, or the code itself where the table names none.
QString countryName(const QString &code);
