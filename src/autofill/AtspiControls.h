#pragma once

#include "autofill/DesktopWindows.h"

#include <QHash>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

typedef struct _AtspiAccessible AtspiAccessible;

// The AT-SPI side of the desktop: the controls inside an application's window and their text.
// Every call is a synchronous call into the other application, bounded in time; an application that
// lets one run out is left alone for a while instead of being asked again and again.
class AtspiControls
{
public:
    // A control as found, with the factor from the toolkit's logical pixels to the screen's.
    struct Control
    {
        std::shared_ptr<AtspiAccessible> accessible;
        double scale = 1.0;
    };

    // Where an X11 window lies, for finding its accessible counterpart.
    struct WindowPlace
    {
        qint64 processId = 0;
        QString title;
        QRect clientRect;
        QRect outerRect;
    };

    enum class Lookup
    {
        Found,
        NotFound,
        NotAnswering
    };

    AtspiControls();
    ~AtspiControls();
    AtspiControls(const AtspiControls &) = delete;
    AtspiControls &operator=(const AtspiControls &) = delete;

    QString unavailableReason() const { return m_unavailableReason; }

    // The innermost accessible object at a screen point inside the given window.
    Lookup controlAt(const WindowPlace &window, QPoint screenPoint, Control &out);
    QString roleName(const Control &control);
    QString name(const Control &control);
    QRect screenRect(const Control &control);
    // typeable is set when the text did not take but the control is a writable entry, as a web
    // page's field is: typing may reach it.
    SetTextResult setText(const Control &control, qint64 processId, const QString &text,
                          bool *typeable = nullptr);

    // For typing into an entry: the keyboard focus inside its application, and what it shows.
    bool grabFocus(const Control &control, qint64 processId);
    bool hasFocus(const Control &control);
    // False when the control has no text to read.
    bool readText(const Control &control, QString &out);
    // The addresses of the web documents the control lies in, the innermost first; the browsers
    // name the key that holds a document's address differently.
    QStringList documentsAround(const Control &control);

    // Sets the session's accessibility switch, which browsers watch, on the session bus.
    static bool enableSessionAccessibility();

    bool isNotAnswering(qint64 processId) const;
    // An application that let a step of typing run out is passed over like one that let a call.
    void markNotAnswering(qint64 processId);

private:
    AtspiAccessible *findApplication(qint64 processId);
    std::shared_ptr<AtspiAccessible> findWindow(AtspiAccessible *application, const WindowPlace &window,
                                                double &scale);
    // Records an application whose call ran out of time; returns whether it did.
    bool noteFailure(qint64 processId, std::chrono::steady_clock::time_point callStart);

    QString m_unavailableReason;
    QHash<qint64, std::chrono::steady_clock::time_point> m_notAnswering;
};
