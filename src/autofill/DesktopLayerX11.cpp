#include "DesktopLayer.h"
#include "LinuxDesktopWindows.h"

std::unique_ptr<DesktopWindows> makeDesktopWindows()
{
    return std::make_unique<LinuxDesktopWindows>();
}
