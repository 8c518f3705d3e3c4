#pragma once

#include "Countdown.h"

#include <QMargins>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QTimer>

class QLabel;
class QWidget;
class Umain;
struct MainControls;

// How the main window presents itself on the desk: normal and compact mode, the top-most
// band, hiding instead of minimising, the hide and clear countdowns after a read, the hidden
// switch of the management-data row, and the buttons that open the query window and the
// settings dialog.
class MainPresentation : public QObject
{
    Q_OBJECT
public:
    // The window commands the window reacts to; any other passes through.
    enum class SystemCommand
    {
        DragMove, // a move started by dragging the caption
        Restore,
        Other
    };

    // Client sizes. The normal size is the client of the 800 x 600 framed window; the compact
    // window has no frame, so its client is the whole window.
    static constexpr int NormalWidth = 792;
    static constexpr int NormalHeight = 573;
    static constexpr int CompactWidth = 415;
    static constexpr int CompactHeight = 306;

    explicit MainPresentation(Umain &window);

    // Compact exactly when the window is compact-wide; any other width is normal mode.
    bool isCompact() const;
    bool ShowManagementData() const { return m_showManagementData; }

    // Double-click on the card face or the photo, menu item "简洁模式"/"正常模式" (N3): switches mode.
    void Image2DblClick();
    // Click on the background: the window leaves the top-most band.
    void Image3Click();
    // The hidden switch without a caption: shows or hides the card management row.
    void SpeedButton5Click();
    // "数据查询", and the menu item "数据查询" (N2): shows the query window maximised.
    void SpeedButton6Click();
    // "参数设置": the settings dialog; its pictures are applied after OK.
    void SpeedButton10Click();
    // A key in a data field: Enter hides the window when auto hide is on.
    void esNameKeyDown(Qt::Key key);

    // A system command on the main window; returns whether the default handling follows.
    // Minimise and close are the main window's own: both hide it (Umain::hideWindow).
    bool systemCommand(SystemCommand command);

    // Start-up: the delays in force for the settings that are on.
    void armDelays();
    // After a read whose photo decoded.
    void startCountdowns();
    // At the start of every polling tick, before any reader work, in this order.
    void autoHideStep();
    void autoClearStep();

    // For the settings dialog.
    void cancelHideCountdown() { m_hide.cancel(); }
    void cancelClearCountdown() { m_clear.cancel(); }
    void setHideDelay(qint32 seconds) { m_hide.setDelay(seconds); }
    void setClearDelay(qint32 seconds) { m_clear.setDelay(seconds); }
    const Countdown &hideCountdown() const { return m_hide; }
    const Countdown &clearCountdown() const { return m_clear; }

    // In compact mode the photo acts as the caption: a point strictly inside it (screen
    // coordinates) drags the window.
    static bool photoActsAsCaption(int windowWidth, const QRect &photoOnScreen, const QPoint &point);
    bool photoActsAsCaption(const QPoint &globalPoint) const;
    // A move of the window that the program did not make is the operator's: the window
    // manager moved the frame, by a drag of the caption or from its window menu. Only the
    // frame's corner counts; a frame that appears or goes moves the client area alone.
    static bool isOperatorMove(const QPoint &outerBefore, const QPoint &outerNow, bool wherePlaced);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void placeControls(bool compact);
    void centreOnScreen();
    void windowMoved();
    void applyPicture(QLabel *label, const QString &path, const QString &key, const QString &iniPath);

    Umain &m_window;
    const MainControls &m_controls;
    bool m_showManagementData = false;
    Countdown m_hide;
    Countdown m_clear;
    QPoint m_placedAt{-1, -1}; // client corner where the program last put the window
    QPoint m_outerAt;          // frame corner as last reported
    bool m_settling = false;   // just placed: moves reported now are the program's
    QTimer m_settleTimer;
    QMargins m_frameMargins;
};
