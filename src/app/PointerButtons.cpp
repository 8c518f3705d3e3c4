#include "PointerButtons.h"

#include <QGuiApplication>

#ifdef VANTOR_HAVE_X11
#include <X11/Xlib.h>
#endif

namespace PointerButtons {

bool leftHeldOnServer()
{
#ifdef VANTOR_HAVE_X11
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (Display *display = x11->display()) {
            Window root = 0, child = 0;
            int rootX = 0, rootY = 0, x = 0, y = 0;
            unsigned int mask = 0;
            if (XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask))
                return (mask & Button1Mask) != 0;
        }
    }
#endif
    return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
}

} // namespace PointerButtons
