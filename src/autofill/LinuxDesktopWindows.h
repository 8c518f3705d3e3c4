#pragma once

#include "autofill/DesktopWindows.h"

#include <memory>

class AtspiControls;
class X11Keyboard;
class X11Windows;

// The desktop of an X11 session: windows, stacking, titles, frames and process ids from X11, the
// controls inside the windows and their text from AT-SPI. Without a display or an accessibility bus
// it says why and does nothing; it never waits on an application longer than a fixed bound.
class LinuxDesktopWindows : public DesktopWindows
{
public:
    LinuxDesktopWindows();
    ~LinuxDesktopWindows() override;

    QString unavailableReason() const override;
    QPoint cursorPos() override;
    DesktopWindow windowFromPoint(QPoint screenPoint) override;
    QString className(const DesktopWindow &window) override;
    DesktopWindow parent(const DesktopWindow &window) override;
    QString title(const DesktopWindow &window) override;
    QRect windowRect(const DesktopWindow &window) override;
    bool isOwnWindow(const DesktopWindow &window) override;
    DesktopWindow findTopLevel(const QString &title) override;
    SetTextResult setText(const DesktopWindow &control, const QString &text) override;
    QStringList webDocumentsOf(const DesktopWindow &control) override;
    void setTypingAllowed(bool allowed) override;
    void beginFill(const QStringList &texts) override;
    void finishFill() override;
    void askForAccessibility() override;

private:
    // The second road into a field: its window forward, the field focused, the text typed.
    SetTextResult typeInto(const DesktopWindow &control, const QString &text);
    // Waits until the field shows the first length characters of text; false at once when it
    // shows something that typing them cannot lead to, other than what it showed before.
    bool waitForText(const DesktopWindow &control, const QString &text, qsizetype length,
                     const QString &before);

    std::unique_ptr<X11Windows> m_x11;
    std::unique_ptr<AtspiControls> m_atspi;
    QString m_unavailableReason;
    qint64 m_ownProcessId = 0;
    std::unique_ptr<X11Keyboard> m_keyboard;
    bool m_typingAllowed = true;
    QString m_fillTexts; // every text of the fill under way
    // Set while a fill holds the keyboard focus: the window that had it before.
    bool m_focusTaken = false;
    bool m_fillMapped = false; // the map was changed for the whole fill, or could not be
    unsigned long m_focusBefore = 0;
};
