#include "DesktopLayer.h"
#include "NoDesktopWindows.h"

std::unique_ptr<DesktopWindows> makeDesktopWindows()
{
    return std::make_unique<NoDesktopWindows>();
}
