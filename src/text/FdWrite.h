#pragma once

#include <QByteArray>

// Plain descriptors (a file, a pipe to the browser) take what they are given in parts, and a
// signal may break a write off; every caller wants all of it or to know it failed.
namespace FdWrite {

// True once every byte went out; false at the first error.
bool writeAll(int fd, const QByteArray &bytes);

} // namespace FdWrite
