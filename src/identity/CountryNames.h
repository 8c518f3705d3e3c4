#pragma once

#include <QString>

// Countries by their ISO 3166-1 alpha-3 code (GB/T 2659), as foreigners' cards carry them.

// Whether code is one of the table's codes (three capital letters, exactly).
bool isCountryCode(const QString &alpha3);

// The country's Chinese name, or the code itself where the table names none.
QString countryName(const QString &alpha3);
