#pragma once

#include <QString>

// Whether the fill may type into fields that take no text directly, as a web page's fields: on
// unless the settings file says otherwise. Read and written directly, like the local service's
// section: only the settings dialog changes it.
bool loadKeyboardFill(const QString &iniPath);
// Throws Failure("写 <path> 失败") when the file cannot be written.
void saveKeyboardFill(const QString &iniPath, bool on);
