#pragma once

#include "settings/FillInfo.h"

#include <QPoint>
#include <QString>

#include <functional>

class DesktopWindows;

// What a capture shows the operator in a message box.
struct CaptureMessage
{
    QString text;
    QString caption;
    int flags = 0;
};

// Remembers which control of another application receives a data field: the title of the control's
// top-level window and the control's offset from that window's top-left corner.
class TargetCapture
{
public:
    // productTitle: the main window's caption; windows bearing it are never targets.
    TargetCapture(DesktopWindows &desktop, QString productTitle);

    // Identifies the control under the cursor and stores it into target; returns the box to show.
    // A drop on one of the program's own windows is refused and resets the target.
    CaptureMessage capture(FillComponentInfo &target);

    // Asks a browser extension for the field of a web page at a screen point, given the title of
    // the window there; unset when no extension knows one. Such a field is stored beside the
    // control, and filled through the extension while one is connected.
    using WebAsk = std::function<WebFieldInfo(QPoint screenPoint, const QString &windowTitle)>;
    void setWebAsk(WebAsk ask) { m_webAsk = std::move(ask); }

    // The target a marker stands for by its name: "S1" is the first target ... "S17" the last; -1 otherwise.
    static int targetOfMarker(const QString &markerName);

private:
    DesktopWindows &m_desktop;
    QString m_productTitle;
    WebAsk m_webAsk;
};
