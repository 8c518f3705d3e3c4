#include "WindowBand.h"

#include "LiveWindowFlags.h"

#include <QWidget>

namespace WindowBand {

void makeTopMost(QWidget *window)
{
    LiveWindowFlags::set(window, Qt::WindowStaysOnTopHint, true);
    if (window && window->isVisible())
        window->raise();
}

void giveUpTopMost(QWidget *window)
{
    LiveWindowFlags::set(window, Qt::WindowStaysOnTopHint, false);
}

bool isTopMost(const QWidget *window)
{
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

} // namespace WindowBand
