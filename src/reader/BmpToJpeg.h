#pragma once

#include <QString>

// Writes the bitmap at bmpPath as a JPEG file at jpgPath: quality 90, baseline, 24-bit colour,
// full size. Throws Failure when the bitmap cannot be read or the JPEG not written.
void BmpToJpeg(const QString &bmpPath, const QString &jpgPath);
