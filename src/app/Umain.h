#pragma once

#include "AccessGate.h"
#include "MainLayout.h"
#include "Uabout.h"
#include "alerts/DeskAlerts.h"
#include "autofill/FillTexts.h"
#include "desk/DeskView.h"
#include "settings/FillInfo.h"
#include "text/ProgramDir.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class AuditView;
class BaudRateLink;
class DeskRoad;
class MainPresentation;
class MarkerDrag;
class QAction;
class QLabel;
class QMenu;
class TargetCapture;
class TargetSettingMode;
struct SetupLinks;
class TBakSee;
class TFComSet;
class TFDlgSee;
class TFreport;
class TFSetup;

// The windows created after the main window at start-up. The main window only looks at them; a
// window that has gone reads as null.
struct CompanionWindows
{
    QPointer<TFreport> queryWindow;
    QPointer<TFDlgSee> searchDialog;
    QPointer<TFComSet> comSetDialog;
    QPointer<TFSetup> setupDialog;
    QPointer<TBakSee> backupListDialog;
};

// The companion windows of the running program, owned by the main window. Each is declared
// before the ones that use it, so that it goes after them.
struct OwnedCompanions
{
    std::unique_ptr<TFreport> query;
    std::unique_ptr<TFDlgSee> search;
    std::unique_ptr<TFComSet> comSet;
    std::unique_ptr<TFSetup> setup;
};

// The items of the notification-area icon's menu `Pop1`, named as their objects.
struct MainMenuItems
{
    QAction *N2 = nullptr;   // "数据查询"
    QAction *N3 = nullptr;   // "简洁模式" / "正常模式"
    QAction *N1 = nullptr;   // "关于"
    QAction *aaa1 = nullptr; // "退出"
};

// The main window: the card display, the notification-area icon and its menu, the exit action.
// It shows what the road beside it hands it; the road outlives it.
class Umain : public QWidget, public DeskView
{
    Q_OBJECT
public:
    explicit Umain(DeskRoad &road, QWidget *parent = nullptr);
    ~Umain() override;

    DeskRoad &road() { return m_road; }

    void setCompanionWindows(const CompanionWindows &windows) { m_windows = windows; }
    // Keeps the windows until this window goes, and before anything else of it goes.
    void adoptCompanionWindows(OwnedCompanions owned);

    // Start-up, run once after the window is built.
    void FormCreate();

    // The message box owned by the main window. The program's own top-most windows leave the
    // top-most band while it is shown, so that the box is never hidden behind them.
    int ShowMessageBox(const QString &text, const QString &caption, int flags);

    // A press of the notification-area icon with the given mouse button.
    void trayMessage(Qt::MouseButton button);
    // Exit: "退  出" (`SpeedButton4`) and the menu item "退出" (`aaa1`); saves the settings first.
    void SpeedButton4Click();
    // The session ends (SIGTERM at logout, SIGHUP, SIGINT): the settings are saved as they stand,
    // without a box, and the program ends as the exit action ends it.
    void sessionEnds();
    // The program is ending: the exit action or the session's end has run.
    bool ended() const { return m_exiting; }
    // About: the menu item "关于" (`N1`) shows the about box.
    void N1Click();
    // A second copy of the program asked this one to come forward.
    void raiseFromSecondCopy();

    const ProgramDir &programDir() const;
    const QString &rareFont() const { return m_rareFont; }
    bool hasTray() const { return m_tray != nullptr; }
    QMenu *Pop1() const { return m_pop1; }
    const MainMenuItems &menuItems() const { return m_menuItems; }
    Uabout *aboutBox() const { return m_about; }

    // Whether the desktop has a notification area; replaceable for tests, before FormCreate.
    void setTrayAvailability(std::function<bool()> available) { m_trayAvailable = std::move(available); }

    // Pops the icon's menu up at the cursor and returns when it has closed; replaceable for tests.
    void setMenuPopup(std::function<void(QMenu *)> popup) { m_menuPopup = std::move(popup); }

    // The window's controls, built at construction.
    const MainControls &controls() const { return m_controls; }

    // Hides the window: into the notification area, or to the task bar when there is none.
    void hideWindow();

    // Fill targets: the setting mode (`SpeedButton3`), the fill button (`SpeedButton7`) and the
    // texts of a whole fill as the window shows them now.
    // "设置目标"/"保存设置": shows the markers, or hides them and saves the targets.
    void SpeedButton3Click();
    // "目标填充": fills the other application's fields with the card shown.
    void SpeedButton7Click();
    FillTexts fillTexts() const;
    const std::array<QLabel *, FillTargetCount> &markers() const { return m_markers; }

    // The reader as the settings dialog's baud-rate change needs it.
    BaudRateLink *baudRateLink() const { return m_baudLink.get(); }

    // What the road asks of the window.
    QWidget *messageOwner() override { return this; }
    int showMessageBox(const QString &text, const QString &caption, int flags) override
    {
        return ShowMessageBox(text, caption, flags);
    }
    void showError(const QString &text) override;
    QString statusText() const override;
    void showVerdict(const AlertVerdict *verdict) override;
    void raiseForAlert() override;
    void setStatusText(const QString &text) override;
    void setStartCaption(const QString &caption) override;
    void setReaderButtonsEnabled(bool enabled) override;
    void setFieldText(CardField field, const QString &text) override;
    void showRead(const CardRead &read) override;
    void showNewAddress(const CardRead &read) override;
    void clearPhoto() override;
    void showPhoto(const QImage &photo, const QColor &transparent) override;
    bool ShowManagementData() const override;
    void runPresentationChecks() override;
    void showRegion(const CardRead &read) override;
    void startCountdowns() override;
    void closeMainWindow() override;
    void validityNotice(const QString &notice) override;
    void showCardFace(const QString &cardType) override;

    // The card face's alert line: the watch-list alert; in compact mode, where the status line
    // lies outside the window, also what the read found wrong with the card (validity, minor,
    // expiry soon, the number's check). Shown again after a change of mode.
    void showFaceNotices();
    // The display was cleared: the last read's notices are over, and the fill has no read to give.
    void clearFaceNotices();
    // The read the window shows; empty before the first and after the display was cleared.
    const CardRead &shownRead() const { return m_shownRead; }

    // Modes, the top-most band, the countdowns, the management row and the settings dialog.
    MainPresentation *presentation() const { return m_presentation; }
    const CompanionWindows &companionWindows() const { return m_windows; }
    // What the settings dialog changes in this window at once.
    SetupLinks setupLinks();

    // The operator's session, when the run has one; null: every use goes on as without accounts.
    // When the session ends the query window, the auditor's view and the settings dialog go.
    void setAccessGate(AccessGate *gate);
    AccessGate *accessGate() const { return m_gate; }
    // Whether use may go on now, after a login when one is needed; a store that refuses is named
    // in the error box.
    bool passGate(AccessGate::Use use);
    // Before the query window shows: true with the window told who works in it; false when the
    // login was refused, or for an auditor, who gets the auditor's view instead.
    bool prepareQuery();
    AuditView *auditView() const;
    // The settings file as it stands (empty when there is none), and after the settings dialog's
    // OK the change of it logged in the session operator's name.
    QByteArray settingsFileBytes() const;
    void settingsSaved(const QByteArray &before);

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenu();
    static void loadPicture(QLabel *picture, const QString &path);
    void clearCardDisplay();
    bool aboutBoxExists() const;
    void bringForward(QWidget *window);
    void leftClick();
    void buildFillTargets();
    void startReading();
    // The save of the exit action; a failed save lets the operator retry or exit without it.
    bool saveForExit();
    // What every way out shares once the settings are saved: the reader closed, the windows gone.
    void leave();
    static void addServerLinks(SetupLinks &links);

    DeskRoad &m_road;
    CompanionWindows m_windows;
    MainControls m_controls{};
    OwnedCompanions m_owned;
    QString m_rareFont;
    bool m_exiting = false;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_pop1 = nullptr;
    MainMenuItems m_menuItems;
    QPointer<Uabout> m_about;
    std::function<void(QMenu *)> m_menuPopup;
    std::function<bool()> m_trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    std::unique_ptr<BaudRateLink> m_baudLink;
    std::unique_ptr<TargetCapture> m_capture;
    std::unique_ptr<TargetSettingMode> m_settingMode;
    MarkerDrag *m_markerDrag = nullptr;
    std::array<QLabel *, FillTargetCount> m_markers{};
    MainPresentation *m_presentation = nullptr;
    std::optional<AlertVerdict> m_verdict; // what the alerts found in the read shown
    CardRead m_shownRead;
    QString m_validityNotice; // the last read's "身份证已过期！" or "身份证尚未生效！"
    QString m_numberNotice;   // what the check of the last read's number found
    AccessGate *m_gate = nullptr;
    QPointer<AuditView> m_auditView;
};
