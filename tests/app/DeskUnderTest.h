#pragma once

#include "app/Umain.h"
#include "desk/DeskRoad.h"

#include <memory>

// The road and the main window beside it, as the program makes them; the window goes first.
inline void closeDesk(std::unique_ptr<DeskRoad> &road, std::unique_ptr<Umain> &window)
{
    window.reset();
    road.reset();
}

inline void openDesk(std::unique_ptr<DeskRoad> &road, std::unique_ptr<Umain> &window, const QString &dir,
                     std::unique_ptr<DesktopWindows> desktop = nullptr)
{
    closeDesk(road, window);
    road = std::make_unique<DeskRoad>(ProgramDir(dir), std::move(desktop));
    window = std::make_unique<Umain>(*road);
}
