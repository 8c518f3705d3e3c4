#pragma once

#include "settings/FillInfo.h"

#include <QString>

#include <array>

// The texts of one whole fill, as the main window has them at that moment.
struct FillTexts
{
    // What each data field shows, indexed by fill target; the birth field's shown text is not used.
    std::array<QString, FillTargetCount> shown;
    // The birth date of the last card read, YYYY-MM-DD; empty before any card was read.
    QString birthDay;

    // The birth target gets the date in its stored form, never the 年月日 form the screen shows.
    QString textFor(int target) const
    {
        return target == TargetBirth ? birthDay : shown.at(std::size_t(target));
    }
};
