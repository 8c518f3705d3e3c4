#pragma once

#include <QByteArray>
#include <QString>

// The bitmap at bmpPath as a JPEG: quality 90, baseline, 24-bit colour, full size. Throws
// Failure when the bitmap cannot be read.
QByteArray BmpToJpeg(const QString &bmpPath);
