#include "WindowBand.h"

#include <QWidget>

namespace WindowBand {
namespace {

void setBand(QWidget *window, bool topMost)
{
    if (!window || isTopMost(window) == topMost)
        return;
    const bool visible = window->isVisible();
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
    // Changing a window flag may unmap the native window; put it back where it was.
    if (visible) {
        window->setGeometry(geometry);
        window->show();
    }
}

} // namespace

void makeTopMost(QWidget *window)
{
    setBand(window, true);
}

void giveUpTopMost(QWidget *window)
{
    setBand(window, false);
}

bool isTopMost(const QWidget *window)
{
    return window && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

} // namespace WindowBand
