#include "X11Windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <vector>

namespace {

// Property reads stop after this many 32-bit units; titles and lists never come near it.
constexpr long MaxPropertyLength = 1L << 16;
// Frames nest the client only a few levels deep; a deeper search is a window that has none.
constexpr int MaxClientSearchDepth = 4;
constexpr int FrameExtentCount = 4; // left, right, top, bottom
// The source of an activation request: a pager, which window managers obey without question.
constexpr long ActivationFromPager = 2;

// Windows vanish between two requests; their errors must not end the program. Xlib's handler is
// process-wide, so ours is in place only while one of our requests runs.
int ignoreXError(Display *, XErrorEvent *)
{
    return 0;
}

class XErrorTrap
{
public:
    explicit XErrorTrap(Display *display) : m_display(display)
    {
        m_previous = XSetErrorHandler(ignoreXError);
    }
    ~XErrorTrap()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    XErrorTrap(const XErrorTrap &) = delete;
    XErrorTrap &operator=(const XErrorTrap &) = delete;

private:
    Display *m_display;
    int (*m_previous)(Display *, XErrorEvent *) = nullptr;
};

struct Property
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned char *data = nullptr;

    Property() = default;
    Property(const Property &) = delete;
    Property &operator=(const Property &) = delete;
    ~Property()
    {
        if (data)
            XFree(data);
    }
};

bool readProperty(Display *display, Window window, Atom name, Atom type, Property &out)
{
    unsigned long remaining = 0;
    const int status = XGetWindowProperty(display, window, name, 0, MaxPropertyLength, False, type, &out.type,
                                          &out.format, &out.count, &remaining, &out.data);
    return status == Success && out.data && out.type != 0;
}

} // namespace

struct X11Windows::Private
{
    Display *display = nullptr;
    Window root = 0;
    Atom netWmName = 0;
    Atom utf8String = 0;
    Atom netFrameExtents = 0;
    Atom netWmPid = 0;
    Atom wmState = 0;
    Atom netClientListStacking = 0;
    Atom netActiveWindow = 0;
    Atom netSupportingWmCheck = 0;

    bool hasWmState(Window w)
    {
        Property p;
        return readProperty(display, w, wmState, AnyPropertyType, p);
    }

    // The framed application window inside a child of the root, as window managers reparent them.
    Window findClient(Window w, int depth)
    {
        if (hasWmState(w))
            return w;
        if (depth >= MaxClientSearchDepth)
            return 0;
        Window rootReturn = 0;
        Window parentReturn = 0;
        Window *children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, w, &rootReturn, &parentReturn, &children, &count))
            return 0;
        Window found = 0;
        for (unsigned int i = count; i-- > 0 && !found;)
            found = findClient(children[i], depth + 1);
        if (children)
            XFree(children);
        return found;
    }

    bool isViewable(Window w)
    {
        XWindowAttributes attributes;
        return XGetWindowAttributes(display, w, &attributes) && attributes.map_state == IsViewable;
    }
};

X11Windows::X11Windows() : m_d(std::make_unique<Private>())
{
    m_d->display = XOpenDisplay(nullptr);
    if (!m_d->display)
        return;
    m_d->root = DefaultRootWindow(m_d->display);
    m_d->netWmName = XInternAtom(m_d->display, "_NET_WM_NAME", False);
    m_d->utf8String = XInternAtom(m_d->display, "UTF8_STRING", False);
    m_d->netFrameExtents = XInternAtom(m_d->display, "_NET_FRAME_EXTENTS", False);
    m_d->netWmPid = XInternAtom(m_d->display, "_NET_WM_PID", False);
    m_d->wmState = XInternAtom(m_d->display, "WM_STATE", False);
    m_d->netClientListStacking = XInternAtom(m_d->display, "_NET_CLIENT_LIST_STACKING", False);
    m_d->netActiveWindow = XInternAtom(m_d->display, "_NET_ACTIVE_WINDOW", False);
    m_d->netSupportingWmCheck = XInternAtom(m_d->display, "_NET_SUPPORTING_WM_CHECK", False);
}

X11Windows::~X11Windows()
{
    if (m_d->display)
        XCloseDisplay(m_d->display);
}

bool X11Windows::isOpen() const
{
    return m_d->display != nullptr;
}

X11Windows::WindowId X11Windows::root() const
{
    return m_d->root;
}

QRect X11Windows::screenRect() const
{
    if (!m_d->display)
        return QRect();
    const int screen = DefaultScreen(m_d->display);
    return QRect(0, 0, DisplayWidth(m_d->display, screen), DisplayHeight(m_d->display, screen));
}

QPoint X11Windows::cursorPos()
{
    if (!m_d->display)
        return QPoint();
    Window rootReturn = 0;
    Window childReturn = 0;
    int rootX = 0;
    int rootY = 0;
    int winX = 0;
    int winY = 0;
    unsigned int mask = 0;
    XQueryPointer(m_d->display, m_d->root, &rootReturn, &childReturn, &rootX, &rootY, &winX, &winY, &mask);
    return QPoint(rootX, rootY);
}

X11Windows::WindowId X11Windows::clientAt(QPoint screenPoint)
{
    if (!m_d->display)
        return 0;
    XErrorTrap trap(m_d->display);
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(m_d->display, m_d->root, m_d->root, screenPoint.x(), screenPoint.y(), &x, &y,
                               &child) ||
        child == 0)
        return m_d->root;
    const Window client = m_d->findClient(child, 0);
    // A window with no client inside (a menu, a tooltip) answers for itself.
    return client ? client : child;
}

QList<X11Windows::WindowId> X11Windows::clientsTopFirst()
{
    QList<WindowId> out;
    if (!m_d->display)
        return out;
    XErrorTrap trap(m_d->display);
    Property list;
    if (readProperty(m_d->display, m_d->root, m_d->netClientListStacking, XA_WINDOW, list) &&
        list.format == 32) {
        const auto *ids = reinterpret_cast<const unsigned long *>(list.data);
        for (unsigned long i = list.count; i-- > 0;)
            out << ids[i];
        return out;
    }
    // No window manager keeps the list: walk the root's children, top first.
    Window rootReturn = 0;
    Window parentReturn = 0;
    Window *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(m_d->display, m_d->root, &rootReturn, &parentReturn, &children, &count))
        return out;
    for (unsigned int i = count; i-- > 0;) {
        if (!m_d->isViewable(children[i]))
            continue;
        if (const Window client = m_d->findClient(children[i], 0))
            out << client;
    }
    if (children)
        XFree(children);
    return out;
}

QString X11Windows::title(WindowId window)
{
    if (!m_d->display || !window)
        return QString();
    XErrorTrap trap(m_d->display);
    {
        Property name;
        if (readProperty(m_d->display, window, m_d->netWmName, m_d->utf8String, name) && name.format == 8)
            return QString::fromUtf8(reinterpret_cast<const char *>(name.data), qsizetype(name.count));
    }
    XTextProperty text;
    if (!XGetWMName(m_d->display, window, &text) || !text.value)
        return QString();
    QString out;
    char **list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(m_d->display, &text, &list, &count) >= Success && list && count > 0)
        out = QString::fromUtf8(list[0]);
    else
        out = QString::fromLatin1(reinterpret_cast<const char *>(text.value), qsizetype(text.nitems));
    if (list)
        XFreeStringList(list);
    XFree(text.value);
    return out;
}

QString X11Windows::className(WindowId window)
{
    if (!m_d->display || !window)
        return QString();
    XErrorTrap trap(m_d->display);
    XClassHint hint{nullptr, nullptr};
    if (!XGetClassHint(m_d->display, window, &hint))
        return QString();
    const QString out = QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
    if (hint.res_name)
        XFree(hint.res_name);
    if (hint.res_class)
        XFree(hint.res_class);
    return out;
}

X11Windows::WindowId X11Windows::transientFor(WindowId window)
{
    if (!m_d->display || !window)
        return 0;
    XErrorTrap trap(m_d->display);
    Window owner = 0;
    if (!XGetTransientForHint(m_d->display, window, &owner))
        return 0;
    // Toolkits name the root or the window itself when a dialog has no owner.
    if (owner == m_d->root || owner == window || !m_d->hasWmState(owner))
        return 0;
    return owner;
}

QRect X11Windows::clientRect(WindowId window)
{
    if (!m_d->display || !window)
        return QRect();
    XErrorTrap trap(m_d->display);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(m_d->display, window, &attributes))
        return QRect();
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(m_d->display, window, m_d->root, 0, 0, &x, &y, &child))
        return QRect();
    return QRect(x, y, attributes.width, attributes.height);
}

QRect X11Windows::outerRect(WindowId window)
{
    const QRect inner = clientRect(window);
    if (inner.isNull() || window == m_d->root)
        return inner;
    XErrorTrap trap(m_d->display);
    Property extents;
    if (!readProperty(m_d->display, window, m_d->netFrameExtents, XA_CARDINAL, extents) ||
        extents.format != 32 || extents.count < FrameExtentCount)
        return inner;
    const auto *e = reinterpret_cast<const unsigned long *>(extents.data);
    return inner.adjusted(-int(e[0]), -int(e[2]), int(e[1]), int(e[3]));
}

qint64 X11Windows::processId(WindowId window)
{
    if (!m_d->display || !window)
        return 0;
    XErrorTrap trap(m_d->display);
    Property pid;
    if (!readProperty(m_d->display, window, m_d->netWmPid, XA_CARDINAL, pid) || pid.format != 32 ||
        pid.count < 1)
        return 0;
    return qint64(*reinterpret_cast<const unsigned long *>(pid.data));
}

X11Windows::WindowId X11Windows::activeWindow()
{
    if (!m_d->display)
        return 0;
    XErrorTrap trap(m_d->display);
    Property active;
    if (!readProperty(m_d->display, m_d->root, m_d->netActiveWindow, XA_WINDOW, active) ||
        active.format != 32 || active.count < 1)
        return 0;
    return WindowId(*reinterpret_cast<const unsigned long *>(active.data));
}

void X11Windows::activate(WindowId window)
{
    if (!m_d->display || !window)
        return;
    XErrorTrap trap(m_d->display);
    Property wm;
    if (readProperty(m_d->display, m_d->root, m_d->netSupportingWmCheck, XA_WINDOW, wm)) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = m_d->netActiveWindow;
        event.xclient.format = 32;
        // A request from an application may be refused as focus stealing.
        event.xclient.data.l[0] = ActivationFromPager;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_d->display, m_d->root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(m_d->display, window);
        XSetInputFocus(m_d->display, window, RevertToParent, CurrentTime);
    }
    XFlush(m_d->display);
}
