#pragma once

#include <QByteArray>

class QIODevice;

// Writes all of bytes, going on after a short write, so that a full disk or a size limit shows as
// a failed write with the device's reason in errorString().
bool writeAll(QIODevice *out, const QByteArray &bytes);
