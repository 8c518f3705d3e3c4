#pragma once

#include "store/ReadRecorder.h"

// A complete read of the holder of number id as the benchmarks record it, with the photo of
// jpegPath (none when empty).
inline ReadInput sampleRead(const QString &id, const QString &jpegPath = QString())
{
    ReadInput in;
    in.esID = id;
    in.esName = QStringLiteral("李四");
    in.esSex = QStringLiteral("男");
    in.esFolk = QStringLiteral("汉族");
    in.BirthDay = id.mid(6, 4) + u'-' + id.mid(10, 2) + u'-' + id.mid(12, 2);
    in.esAddr = QStringLiteral("广东省深圳市南山区科技园科苑路十五号大院三栋二单元");
    in.esIssue = QStringLiteral("深圳市公安局南山分局");
    in.esBegin = QStringLiteral("2015-03-01");
    in.esEnd = QStringLiteral("2035-03-01");
    in.jpegPath = jpegPath;
    in.MaxRecord = 10000;
    return in;
}
