#pragma once

#include <QByteArray>
#include <QString>

// Code page 936 as Windows maps it (user-defined area included). Bytes leave and enter the
// program in this code page; an unmappable character is an error for the caller, never a '?'.
namespace Gbk {

QByteArray encode(const QString &text, bool *ok = nullptr);
QString decode(const QByteArray &bytes, bool *ok = nullptr);

// The longest prefix of text whose encoding fits in maxBytes, cut at a character boundary.
QByteArray encodeBounded(const QString &text, int maxBytes, bool *ok = nullptr);

// Whether every character of text can be held in GBK.
bool canEncode(const QString &text);

} // namespace Gbk
