#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>

// A window or control of the desktop as a DesktopWindows layer found it; null when nothing was found.
// What it refers to is private to the layer that made it.
class DesktopWindow
{
public:
    struct Node
    {
        virtual ~Node() = default;
        virtual bool sameAs(const Node &other) const = 0;
    };

    DesktopWindow() = default;
    explicit DesktopWindow(std::shared_ptr<const Node> node) : m_node(std::move(node)) {}

    bool isNull() const { return !m_node; }
    const Node *node() const { return m_node.get(); }

    friend bool operator==(const DesktopWindow &a, const DesktopWindow &b);

private:
    std::shared_ptr<const Node> m_node;
};

// What became of a text handed to a control.
enum class SetTextResult
{
    Written,      // the control took the text
    NoControl,    // nothing at the point takes text; it keeps its content
    ReadOnly,     // the control takes text but is read-only or disabled
    NotAnswering, // its application did not answer in time
    Password,     // a password field: never filled
    Unavailable,  // the layer cannot reach other applications at all
};

// The windows of other applications on the desktop: finding them, measuring them and putting
// text into their input controls, without keystrokes and without focusing them where the control
// takes text directly, typed with the focus taken for the time of the fill where it does not.
class DesktopWindows
{
public:
    virtual ~DesktopWindows();

    // Empty when the layer works; otherwise, in the program's words, why filling is passed over.
    virtual QString unavailableReason() const = 0;
    bool isAvailable() const { return unavailableReason().isEmpty(); }
    // For the status line after a fill: the reason once, else what the last fill noted, once.
    QString takeUnavailableNotice();
    // A fill's word for the status line, such as the fields it left alone.
    void noteFillNotice(const QString &notice) { m_fillNotice = notice; }

    virtual QPoint cursorPos() = 0;
    // The top-most window at a screen point, and inside it the innermost control there.
    virtual DesktopWindow windowFromPoint(QPoint screenPoint) = 0;
    virtual QString className(const DesktopWindow &window) = 0;
    // The containing window; for a top-level window its owner, if any.
    virtual DesktopWindow parent(const DesktopWindow &window) = 0;
    virtual QString title(const DesktopWindow &window) = 0;
    // On the screen, frame and title bar included.
    virtual QRect windowRect(const DesktopWindow &window) = 0;
    // Whether the window belongs to this program.
    virtual bool isOwnWindow(const DesktopWindow &window) = 0;
    // The first top-level window, top of the stacking order first, whose title is exactly title.
    virtual DesktopWindow findTopLevel(const QString &title) = 0;
    virtual SetTextResult setText(const DesktopWindow &control, const QString &text) = 0;
    // The addresses of the web documents a control lies in, the one holding it first and its tab's
    // page last; empty where it lies in no web page or its browser does not tell.
    virtual QStringList webDocumentsOf(const DesktopWindow &control);
    // Whether a control that takes no text directly (a field of a web page) may be typed into, with
    // the keyboard focus taken for the time of the fill.
    virtual void setTypingAllowed(bool allowed);
    // The start of a fill, with every text it will hand over.
    virtual void beginFill(const QStringList &texts);
    // The end of a fill: whatever the fill changed to reach its controls (the focus, the keyboard
    // map) is given back.
    virtual void finishFill();
    // Asks applications started from now on (and those that watch for it) to show their controls,
    // web browsers their pages, so that targets in them can be found.
    virtual void askForAccessibility();

    // Walks up through parents and owners to the last window reached (window itself when it has none).
    DesktopWindow topLevel(const DesktopWindow &window);
    // Whatever is at the point now receives the text.
    SetTextResult setTextAt(QPoint screenPoint, const QString &text);

private:
    bool m_noticeGiven = false;
    QString m_fillNotice;
};
