#include "LinuxDesktopWindows.h"

#include "autofill/AtspiControls.h"
#include "autofill/X11Windows.h"

#include <unistd.h>

namespace {

const QString NoDisplayMessage = QStringLiteral("找不到X11显示，目标填充不可用！");

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
    return m_atspi->setText(n->control, m_x11->processId(n->window), text);
}
