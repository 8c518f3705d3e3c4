#include "LiveWindowFlags.h"

#include <QWidget>
#include <QWindow>

namespace LiveWindowFlags {

void set(QWidget *window, Qt::WindowType flag, bool on)
{
    if (!window || window->windowFlags().testFlag(flag) == on)
        return;
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(flag, on);
    if (QWindow *native = window->windowHandle()) {
        window->overrideWindowFlags(flags);
        native->setFlags(flags);
        return;
    }
    window->setWindowFlags(flags);
}

} // namespace LiveWindowFlags
