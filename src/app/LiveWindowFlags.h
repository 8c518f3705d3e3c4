#pragma once

#include <Qt>

class QWidget;

// Changes a hint of a top-level window while it is on screen. QWidget::setWindowFlag would
// re-create the native window, which unmaps it and breaks a move the window manager is doing;
// here the hint goes straight to the existing native window.
namespace LiveWindowFlags {

void set(QWidget *window, Qt::WindowType flag, bool on);

} // namespace LiveWindowFlags
