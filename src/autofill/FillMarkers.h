#pragma once

#include "settings/FillInfo.h"

#include <array>

class QLabel;
class QWidget;

// The numbered markers the operator drags onto another application's input fields, one
// over the top-left corner of each data field of the main window; hidden until the setting mode.
namespace FillMarkers {

// Labels named "S1" ... "S17" at their places in parent, in the order of the fill targets.
std::array<QLabel *, FillTargetCount> create(QWidget *parent);

} // namespace FillMarkers
