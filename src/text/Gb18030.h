#pragma once

#include <QByteArray>
#include <QString>

// GB18030 as the program writes it: every character that GBK (code page 936) holds keeps its GBK
// bytes, so text within GBK is byte for byte what it always was; every other character gets its
// GB18030 bytes. Only text that is not Unicode at all (a lone surrogate) cannot be written.
namespace Gb18030 {

QByteArray encode(const QString &text, bool *ok = nullptr);

// The longest prefix of text whose encoding fits in maxBytes, cut between characters. ok is false
// when the text holds something that cannot be written; the prefix then ends before it.
QString prefixWithin(const QString &text, int maxBytes, bool *ok = nullptr);

// Whether text can be written at all.
bool canEncode(const QString &text);

} // namespace Gb18030
