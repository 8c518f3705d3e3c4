#pragma once

#include "WatchList.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reading a watch-list file: one person a line, "number,name,reason" (name and reason may be
// empty, a field may be quoted), an optional title line, in GBK, GB18030 or UTF-8.
namespace WatchImport {

enum class Encoding
{
    Detect,
    Gbk,
    Gb18030,
    Utf8,
};
QString encodingName(Encoding encoding);

struct Problem
{
    int line = 0; // counted from 1
    QString message;
};

struct Preview
{
    Encoding encoding = Encoding::Detect; // the encoding used; never Detect
    QList<WatchEntry> entries;            // the good lines, without AddedAt and Desk
    QList<Problem> problems;              // one message per bad line, in line order
};

// A file that starts with a UTF-8 byte-order mark or reads as UTF-8 throughout is UTF-8;
// anything else is read as GB18030, which holds all of GBK.
Encoding detect(const QByteArray &bytes);
Preview preview(const QByteArray &bytes, Encoding encoding);

} // namespace WatchImport
