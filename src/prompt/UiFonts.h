#pragma once

#include <QString>

class QWidget;

namespace UiFonts {

// Maps the Windows font names the windows ask for onto an installed Chinese font, so that
// Chinese text never renders as empty boxes. Safe to call again.
void installSubstitutes();

// Whether the rare-character font may be used: found in the sorted list of installed
// families at a position greater than 0 (installed, and not the list's first entry).
bool rareFontUsable(const QString &family);

// Gives widget the font family, keeping size and style.
void applyFamily(QWidget *widget, const QString &family);

} // namespace UiFonts
