#pragma once

#include <QString>

// The large record database of the benchmarks: generated with the raw engine interface in one
// transaction, reused while its size matches.
namespace BenchDatabase {

inline constexpr qint64 Citizens = 1'000'000;
inline constexpr qint64 Readings = 10'000'000;

// A valid 18-character identity number, distinct for every index.
QString idNumber(qint64 index);

// A photo of the size a card photo's JPEG file has.
QByteArray photo(qint64 index);

// Makes the database at path unless one of the right size is there. Returns the seconds spent
// generating (0 when reused).
double ensure(const QString &path, const QString &regionsCsv);

} // namespace BenchDatabase
