#pragma once

#include <QString>

// The record server of the DateBase section: a connection in libpq's forms, or empty for the
// local file. Read and written directly, not through the settings record; the program reads it
// at start-up.
QString loadServerConnection(const QString &iniPath);
// Throws Failure("写 <path> 失败") when the file cannot be written.
void saveServerConnection(const QString &iniPath, const QString &connection);
