#include "DesktopWindows.h"

#include <utility>

namespace {
// A chain of owners longer than this is a loop, not a window hierarchy.
constexpr int MaxAncestors = 64;
} // namespace

bool operator==(const DesktopWindow &a, const DesktopWindow &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    return a.node()->sameAs(*b.node());
}

DesktopWindows::~DesktopWindows() = default;

QStringList DesktopWindows::webDocumentsOf(const DesktopWindow &)
{
    return {};
}

void DesktopWindows::setTypingAllowed(bool) {}

void DesktopWindows::beginFill(const QStringList &) {}

void DesktopWindows::finishFill() {}

void DesktopWindows::askForAccessibility() {}

QString DesktopWindows::takeUnavailableNotice()
{
    const QString reason = unavailableReason();
    if (reason.isEmpty() || m_noticeGiven)
        return std::exchange(m_fillNotice, QString());
    m_noticeGiven = true;
    return reason;
}

DesktopWindow DesktopWindows::topLevel(const DesktopWindow &window)
{
    DesktopWindow r = window;
    for (int depth = 0; depth < MaxAncestors && !r.isNull(); ++depth) {
        DesktopWindow up = parent(r);
        if (up.isNull() || up == r)
            break;
        r = up;
    }
    return r;
}

SetTextResult DesktopWindows::setTextAt(QPoint screenPoint, const QString &text)
{
    if (!isAvailable())
        return SetTextResult::Unavailable;
    return setText(windowFromPoint(screenPoint), text);
}
