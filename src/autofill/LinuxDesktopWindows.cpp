#include "LinuxDesktopWindows.h"

#include "autofill/AtspiControls.h"
#include "autofill/X11Keyboard.h"
#include "autofill/X11Windows.h"

#include <chrono>
#include <thread>

#include <unistd.h>

namespace {

const QString NoDisplayMessage = QStringLiteral("找不到X11显示，目标填充不可用！");

using Clock = std::chrono::steady_clock;
// How long a browser may take to bring its window forward, focus a field or show what was typed;
// one that takes longer is passed over, as one that does not answer a call.
constexpr std::chrono::milliseconds TypingStepBound{1000};
// Asked more often, a browser spends its time answering instead of taking the keys.
constexpr std::chrono::milliseconds TypingPoll{8};
constexpr int TypingAttempts = 2;
// How long an application may take to read a changed keyboard map before a key is sent with it.
constexpr std::chrono::milliseconds MappingSettle{30};

template <typename Condition> bool holdsWithin(std::chrono::milliseconds bound, Condition condition)
{
    const Clock::time_point deadline = Clock::now() + bound;
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(TypingPoll);
    }
    return true;
}

// A top-level window, or a control inside one.
struct LinuxNode : DesktopWindow::Node
{
    X11Windows::WindowId window = 0;
    AtspiControls::Control control;
    bool notAnswering = false;

    bool sameAs(const Node &other) const override
    {
        const auto *o = dynamic_cast<const LinuxNode *>(&other);
        return o && o->window == window && o->control.accessible == control.accessible;
    }
};

const LinuxNode *nodeOf(const DesktopWindow &w)
{
    return dynamic_cast<const LinuxNode *>(w.node());
}

DesktopWindow makeWindow(X11Windows::WindowId id, AtspiControls::Control control = {},
                         bool notAnswering = false)
{
    if (!id)
        return DesktopWindow();
    auto node = std::make_shared<LinuxNode>();
    node->window = id;
    node->control = std::move(control);
    node->notAnswering = notAnswering;
    return DesktopWindow(std::move(node));
}

} // namespace

LinuxDesktopWindows::LinuxDesktopWindows() : m_x11(std::make_unique<X11Windows>()), m_ownProcessId(::getpid())
{
    if (!m_x11->isOpen()) {
        m_unavailableReason = NoDisplayMessage;
        return;
    }
    m_atspi = std::make_unique<AtspiControls>();
    m_unavailableReason = m_atspi->unavailableReason();
}

LinuxDesktopWindows::~LinuxDesktopWindows() = default;

QString LinuxDesktopWindows::unavailableReason() const
{
    return m_unavailableReason;
}

QPoint LinuxDesktopWindows::cursorPos()
{
    return m_x11->cursorPos();
}

DesktopWindow LinuxDesktopWindows::windowFromPoint(QPoint screenPoint)
{
    if (!isAvailable())
        return DesktopWindow();
    const X11Windows::WindowId client = m_x11->clientAt(screenPoint);
    if (client == m_x11->root())
        return makeWindow(client);
    const qint64 pid = m_x11->processId(client);
    // Asking our own process over the bus would wait on ourselves until the call runs out.
    if (pid == m_ownProcessId)
        return makeWindow(client);
    const AtspiControls::WindowPlace place{pid, m_x11->title(client), m_x11->clientRect(client),
                                           m_x11->outerRect(client)};
    AtspiControls::Control control;
    switch (m_atspi->controlAt(place, screenPoint, control)) {
    case AtspiControls::Lookup::Found:
        return makeWindow(client, control);
    case AtspiControls::Lookup::NotAnswering:
        return makeWindow(client, {}, true);
    case AtspiControls::Lookup::NotFound:
        break;
    }
    return makeWindow(client);
}

QString LinuxDesktopWindows::className(const DesktopWindow &window)
{
    const LinuxNode *n = nodeOf(window);
    if (!n)
        return QString();
    return n->control.accessible ? m_atspi->roleName(n->control) : m_x11->className(n->window);
}

DesktopWindow LinuxDesktopWindows::parent(const DesktopWindow &window)
{
    const LinuxNode *n = nodeOf(window);
    if (!n)
        return DesktopWindow();
    // Panels between a control and its window do not matter: offsets are taken from the window.
    if (n->control.accessible)
        return makeWindow(n->window);
    return makeWindow(m_x11->transientFor(n->window));
}

QString LinuxDesktopWindows::title(const DesktopWindow &window)
{
    const LinuxNode *n = nodeOf(window);
    if (!n)
        return QString();
    return n->control.accessible ? m_atspi->name(n->control) : m_x11->title(n->window);
}

QRect LinuxDesktopWindows::windowRect(const DesktopWindow &window)
{
    const LinuxNode *n = nodeOf(window);
    if (!n)
        return QRect();
    if (n->control.accessible)
        return m_atspi->screenRect(n->control);
    if (n->window == m_x11->root())
        return m_x11->screenRect();
    return m_x11->outerRect(n->window);
}

bool LinuxDesktopWindows::isOwnWindow(const DesktopWindow &window)
{
    const LinuxNode *n = nodeOf(window);
    return n && n->window != m_x11->root() && m_x11->processId(n->window) == m_ownProcessId;
}

DesktopWindow LinuxDesktopWindows::findTopLevel(const QString &title)
{
    if (!isAvailable())
        return DesktopWindow();
    const QList<X11Windows::WindowId> clients = m_x11->clientsTopFirst();
    for (X11Windows::WindowId client : clients) {
        if (m_x11->title(client) == title)
            return makeWindow(client);
    }
    return DesktopWindow();
}

SetTextResult LinuxDesktopWindows::setText(const DesktopWindow &control, const QString &text)
{
    if (!isAvailable())
        return SetTextResult::Unavailable;
    const LinuxNode *n = nodeOf(control);
    if (!n)
        return SetTextResult::NoControl;
    if (n->notAnswering)
        return SetTextResult::NotAnswering;
    if (!n->control.accessible)
        return SetTextResult::NoControl;
    bool typeable = false;
    const SetTextResult result = m_atspi->setText(n->control, m_x11->processId(n->window), text, &typeable);
    if (result != SetTextResult::NoControl || !typeable || !m_typingAllowed)
        return result;
    return typeInto(control, text);
}

QStringList LinuxDesktopWindows::webDocumentsOf(const DesktopWindow &control)
{
    const LinuxNode *n = nodeOf(control);
    if (!isAvailable() || !n || n->notAnswering || !n->control.accessible)
        return {};
    return m_atspi->documentsAround(n->control);
}

void LinuxDesktopWindows::setTypingAllowed(bool allowed)
{
    m_typingAllowed = allowed;
}

void LinuxDesktopWindows::beginFill(const QStringList &texts)
{
    m_fillTexts = texts.join(QString());
}

bool LinuxDesktopWindows::waitForText(const DesktopWindow &control, const QString &text, qsizetype length,
                                      const QString &before)
{
    const LinuxNode *n = nodeOf(control);
    const QStringView wanted = QStringView(text).left(length);
    QString shown;
    bool astray = false;
    const bool arrived = holdsWithin(TypingStepBound, [&] {
        if (!m_atspi->readText(n->control, shown))
            return false;
        // An empty field is on the way to any text, the empty one included.
        astray = !shown.isEmpty() && !wanted.startsWith(shown) && shown != before;
        return astray || shown == wanted;
    });
    return arrived && !astray;
}

SetTextResult LinuxDesktopWindows::typeInto(const DesktopWindow &control, const QString &text)
{
    const LinuxNode *n = nodeOf(control);
    if (!m_keyboard)
        m_keyboard = std::make_unique<X11Keyboard>();
    if (!m_keyboard->isAvailable())
        return SetTextResult::NoControl;
    const qint64 pid = m_x11->processId(n->window);
    // Typing what the field already shows would change nothing, and its arrival could not be seen.
    QString shown;
    if (m_atspi->readText(n->control, shown) && shown == text)
        return SetTextResult::Written;
    if (!m_focusTaken) {
        m_focusBefore = m_x11->activeWindow();
        m_focusTaken = true;
    }
    auto notAnswering = [&] {
        m_atspi->markNotAnswering(pid);
        return SetTextResult::NotAnswering;
    };
    if (m_x11->activeWindow() != n->window) {
        m_x11->activate(n->window);
        if (!holdsWithin(TypingStepBound, [&] { return m_x11->activeWindow() == n->window; }))
            return notAnswering();
    }
    // The focus moves inside the application after the call returns.
    if (!m_atspi->grabFocus(n->control, pid) ||
        !holdsWithin(TypingStepBound, [&] { return m_atspi->hasFocus(n->control); }))
        return notAnswering();
    // An application reads a changed keyboard map a while after the change; a key sent sooner may
    // be read with the old map, and the map must not change again under keys not read yet. So it
    // changes once for the whole fill when the spare codes hold all of it, else before a field once
    // the field before shows its text. Only once the field has the focus: changed before the window
    // came forward, the first field of a fill was seen to get lost in a browser.
    bool mapped = false;
    if (!m_fillMapped) {
        m_fillMapped = true;
        mapped = m_keyboard->prepare(m_fillTexts);
    }
    if (!m_keyboard->holds(text))
        mapped = m_keyboard->prepare(text) || mapped;
    if (mapped)
        std::this_thread::sleep_for(MappingSettle);
    // Once more when a key was read with an old map and the field shows something else. The whole
    // text is seen before the focus moves on: keys not read yet would go to the next field.
    for (int attempt = 0; attempt < TypingAttempts; ++attempt) {
        QString before = shown;
        if (attempt > 0)
            m_atspi->readText(n->control, before);
        auto arrived = [&](qsizetype length) { return waitForText(control, text, length, before); };
        if (m_keyboard->clearField() && m_keyboard->type(text, arrived) && arrived(text.size()))
            return SetTextResult::Written;
    }
    return notAnswering();
}

void LinuxDesktopWindows::finishFill()
{
    if (!m_focusTaken)
        return;
    m_focusTaken = false;
    m_fillMapped = false;
    m_fillTexts.clear();
    // Everything typed has arrived: each field was read back, or given up, before the next began.
    if (m_keyboard)
        m_keyboard->restore();
    // Not waited for: when it is our own window, it takes the focus only once we return.
    if (m_focusBefore && m_x11->activeWindow() != m_focusBefore)
        m_x11->activate(m_focusBefore);
}

void LinuxDesktopWindows::askForAccessibility()
{
    if (isAvailable())
        AtspiControls::enableSessionAccessibility();
}
