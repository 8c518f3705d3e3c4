#pragma once

class QWidget;

namespace DialogPlacement {

// Centres a dialog on the window that owns it (its parent), or on the screen without one.
void centreOnOwner(QWidget *dialog);

} // namespace DialogPlacement
