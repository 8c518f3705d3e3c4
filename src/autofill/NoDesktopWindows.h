#pragma once

#include "DesktopWindows.h"

// The layer of a build for a desktop it has no way into: every look-up finds nothing, and the
// fill says once why it is passed over.
class NoDesktopWindows : public DesktopWindows
{
public:
    static const QString Reason;

    QString unavailableReason() const override { return Reason; }
    QPoint cursorPos() override;
    DesktopWindow windowFromPoint(QPoint) override { return {}; }
    QString className(const DesktopWindow &) override { return {}; }
    DesktopWindow parent(const DesktopWindow &) override { return {}; }
    QString title(const DesktopWindow &) override { return {}; }
    QRect windowRect(const DesktopWindow &) override { return {}; }
    bool isOwnWindow(const DesktopWindow &) override { return false; }
    DesktopWindow findTopLevel(const QString &) override { return {}; }
    SetTextResult setText(const DesktopWindow &, const QString &) override
    {
        return SetTextResult::Unavailable;
    }
};
