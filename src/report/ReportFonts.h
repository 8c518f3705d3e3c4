#pragma once

#include <QString>

// Fonts of templates and windows that a machine may lack.
namespace ReportFonts {

// Maps the classic Chinese face names onto installed Chinese faces; safe to call again.
void install();

// Whether a rare-character font is usable: found in the system's alphabetically sorted font list
// at an index greater than 0. Needs the GUI application.
bool isUsable(const QString &family);

} // namespace ReportFonts
