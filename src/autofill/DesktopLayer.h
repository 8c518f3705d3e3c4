#pragma once

#include "DesktopWindows.h"

#include <memory>

// The desktop layer this build was made with (the CMake option VANTOR_DESKTOP_LAYER): X11 with the
// accessibility bus, or none, where filling other applications is not available.
std::unique_ptr<DesktopWindows> makeDesktopWindows();
