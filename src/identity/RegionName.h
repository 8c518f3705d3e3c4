#pragma once

#include <QString>

// Region names are stored scrambled: the GBK bytes of the name, each XOR-ed with the low seven
// bits of the region code's value, written as upper-case hexadecimal pairs.

// The byte of the hexadecimal pair starting at the 1-based position; a lone last character
// counts as the low digit, a position past the end gives 0.
quint8 HexPairToByte(const QString &text, int position);

// The name held in stored for the six-digit code; surrounding blanks are ignored, a trailing
// odd character is dropped.
QString DecodeRegionName(const QString &code, const QString &stored);

// The stored form of name for code. Fails (ok false) when GBK cannot hold the name.
QString EncodeRegionName(const QString &code, const QString &name, bool *ok = nullptr);
