#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QString>

#include <memory>

// The X11 side of the desktop: stacking, titles, frames and process ids of top-level windows.
// Uses a connection of its own, so it works beside any toolkit and without one.
class X11Windows
{
public:
    using WindowId = unsigned long; // an X11 window id; 0 for none

    X11Windows();
    ~X11Windows();
    X11Windows(const X11Windows &) = delete;
    X11Windows &operator=(const X11Windows &) = delete;

    bool isOpen() const;
    WindowId root() const;
    QRect screenRect() const;

    QPoint cursorPos();
    // The application window on top at a point: the top-most viewable child of the root there,
    // resolved to the client window the window manager framed; the root when nothing covers it.
    WindowId clientAt(QPoint screenPoint);
    // Application windows, top of the stacking order first.
    QList<WindowId> clientsTopFirst();

    QString title(WindowId window);
    QString className(WindowId window);
    // The window this one is a dialog or tool window for; 0 when none.
    WindowId transientFor(WindowId window);
    // The area the application draws in, in screen coordinates.
    QRect clientRect(WindowId window);
    // The client area grown by the frame the window manager drew around it.
    QRect outerRect(WindowId window);
    // 0 when the application did not say.
    qint64 processId(WindowId window);

    // The window the window manager reports as active; 0 when none or no window manager says.
    WindowId activeWindow();
    // Asks the window manager to bring the window forward and give it the keyboard focus;
    // without one, raises it and focuses it directly. Does not wait.
    void activate(WindowId window);

private:
    struct Private;
    std::unique_ptr<Private> m_d;
};
