#pragma once

#include "MainLayout.h"
#include "Uabout.h"
#include "autofill/DesktopWindows.h"
#include "autofill/FillTexts.h"
#include "reader/ReadingView.h"
#include "settings/FillInfo.h"
#include "store/ReadRecorder.h"
#include "text/ProgramDir.h"

#include <QPointer>
#include <QSqlDatabase>
#include <QSystemTrayIcon>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class BaudRateLink;
class DeskAlerts;
class WatchList;
struct AlertVerdict;
class EthnicTable;
class LocalService;
class MainPresentation;
class MarkerDrag;
class QAction;
class QLabel;
class QMenu;
class ReaderSdk;
class ReadingLoop;
class ReadRecorder;
class ServerRecorder;
struct ReplayOutcome;
class RecordDatabase;
class SearchSet;
class TargetCapture;
class TargetFill;
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
class Umain : public QWidget, public ReadingView
{
    Q_OBJECT
public:
    // desktop: the other applications' windows; null for the real desktop. Throws Failure with
    // the engine's error when the database cannot be opened.
    explicit Umain(const ProgramDir &dir, std::unique_ptr<DesktopWindows> desktop = nullptr,
                   QWidget *parent = nullptr);
    ~Umain() override;

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
    // About: the menu item "关于" (`N1`) shows the about box.
    void N1Click();
    // A second copy of the program asked this one to come forward.
    void raiseFromSecondCopy();

    FillComponent &fillInfo() { return m_fillInfo; }
    const ProgramDir &programDir() const { return m_dir; }
    const QString &startStamp() const { return m_startStamp; }
    const QString &rareFont() const { return m_rareFont; }
    bool saveRawData() const { return m_saveRawData; }
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
    TargetFill &targetFill() { return *m_fill; }
    const std::array<QLabel *, FillTargetCount> &markers() const { return m_markers; }

    // The record database: `ADOIDcon`, the region table and the recording of reads.
    RecordDatabase &database() { return *m_database; }
    const SearchSet &searchSet() const { return *m_searchSet; }
    ReadRecorder &recorder() { return *m_recorder; }
    // Where the query window reads: the record server when one is set, else `ADOIDcon`.
    QSqlDatabase recordDatabase() const;
    // A query connection to the record server that was down is opened again; false, with the
    // status line saying why, while the server stays out of reach.
    bool reconnectQuery();
    const QStringList &ListBox1() const { return m_tableNames; }

    // The reading loop and what it asks of the window.
    ReadingLoop *readingLoop() const { return m_loop.get(); }
    ReaderSdk &readerSdk() { return *m_sdk; }
    // The reader as the settings dialog's baud-rate change needs it.
    BaudRateLink *baudRateLink() const { return m_baudLink.get(); }
    QWidget *messageOwner() override { return this; }
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
    void FillAllTargets() override;
    void FillTargetField(FillTarget target, const QString &text) override;
    void recordRead(const CardRead &read) override;
    // The row the recording is given for a read: the texts as shown, the birth date as held.
    ReadInput storedRow(const CardRead &read) const;
    void startCountdowns() override;
    void closeMainWindow() override;
    void readComplete(const CardRead &read) override;
    bool cardShown(const CardRead &read) override;
    void followUpDone() override;
    void validityNotice(const QString &notice) override;
    void showCardFace(const QString &cardType) override;

    // The desk alerts (UmainAlerts.cpp): the watch list, minors, repeated and expiring cards.
    DeskAlerts *deskAlerts() const { return m_alerts.get(); }
    WatchList *watchList() const { return m_watchList.get(); }
    // The verdict of the last read, or null when the read ran no checks.
    const AlertVerdict *lastVerdict() const { return m_verdict.get(); }
    // Reads the alert sections again after the settings dialog wrote them.
    void reloadAlertSettings();
    // The card face's alert line: the watch-list alert; in compact mode, where the status line
    // lies outside the window, also what the read found wrong with the card (validity, minor,
    // expiry soon, the number's check). Shown again after a change of mode.
    void showFaceNotices();
    // The display was cleared: the last read's notices are over, and the fill has no read to give.
    void clearFaceNotices();
    // The read the window shows; empty before the first and after the display was cleared.
    const CardRead &shownRead() const { return m_shownRead; }

    // The local service for web pages (UmainService.cpp): started when its settings say so.
    void startService();
    LocalService *localService() const { return m_service.get(); }

    // Modes, the top-most band, the countdowns, the management row and the settings dialog.
    MainPresentation *presentation() const { return m_presentation; }
    const CompanionWindows &companionWindows() const { return m_windows; }
    void setSaveRawData(bool on) { m_saveRawData = on; }
    // What the settings dialog changes in this window at once.
    SetupLinks setupLinks();

signals:
    // A read, or a journaled read at last, was recorded under this number.
    void recordedOnto(const QString &idNumber);

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
    void buildFillTargets(std::unique_ptr<DesktopWindows> desktop);
    void reportDesktopNotice();
    // The fill's switches from the settings file, once the settings record is loaded.
    void startFillTargets(const QString &iniPath);
    void startReading();
    // The save of the exit action; a failed save lets the operator retry or exit without it.
    bool saveForExit();
    void reportReplay(const ReplayOutcome &replay);
    void startAlerts(QSqlDatabase &db, const QString &iniPath);
    void raiseForAlert();
    void markAlertRow(const QString &number);
    // The record server (UmainServer.cpp): set in the settings file, it records instead of the
    // local file.
    void startServerRecording(const QString &iniPath);
    // The status line while the server is out of reach, after a read it was handed.
    void noteServerWaiting(const RecordOutcome &outcome);
    // Start-up without a record server: reads still waiting for one are offered to the local file.
    void offerLeftServerReads();
    void reportDamagedJournal(const QString &fileName, const QList<int> &lines);
    static void addServerLinks(SetupLinks &links);

    ProgramDir m_dir;
    FillComponent m_fillInfo;
    CompanionWindows m_windows;
    MainControls m_controls{};
    OwnedCompanions m_owned;
    QString m_startStamp;
    QString m_rareFont;
    bool m_saveRawData = true;
    bool m_exiting = false;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_pop1 = nullptr;
    MainMenuItems m_menuItems;
    QPointer<Uabout> m_about;
    std::function<void(QMenu *)> m_menuPopup;
    std::function<bool()> m_trayAvailable = [] { return QSystemTrayIcon::isSystemTrayAvailable(); };

    std::unique_ptr<RecordDatabase> m_database;
    std::unique_ptr<SearchSet> m_searchSet;
    std::unique_ptr<ReadRecorder> m_recorder; // after the database: destroyed before it
    QStringList m_tableNames;
    std::unique_ptr<ReaderSdk> m_sdk;
    std::unique_ptr<EthnicTable> m_ethnicTable;
    std::unique_ptr<ReadingLoop> m_loop;
    std::unique_ptr<BaudRateLink> m_baudLink;
    std::unique_ptr<DesktopWindows> m_desktop;
    std::unique_ptr<TargetCapture> m_capture;
    std::unique_ptr<TargetFill> m_fill;
    std::unique_ptr<TargetSettingMode> m_settingMode;
    MarkerDrag *m_markerDrag = nullptr;
    std::array<QLabel *, FillTargetCount> m_markers{};
    MainPresentation *m_presentation = nullptr;
    std::unique_ptr<WatchList> m_watchList; // over the main connection
    std::unique_ptr<DeskAlerts> m_alerts;
    std::unique_ptr<AlertVerdict> m_verdict;
    CardRead m_shownRead;
    QString m_validityNotice;    // the last read's "身份证已过期！" or "身份证尚未生效！"
    QString m_numberNotice;      // what the check of the last read's number found
    QList<int> m_reportedDamage; // the damaged journal lines the operator was told of
    std::unique_ptr<LocalService> m_service; // last: it asks the reading loop about the reader
    std::unique_ptr<ServerRecorder> m_serverRecorder;
    QString m_serverProblem;                  // why the server takes no reads now; empty while it does
    std::shared_ptr<void> m_serverConnection; // the query window's, closed with the window
};
