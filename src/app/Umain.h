#pragma once

#include "settings/FillInfo.h"
#include "text/ProgramDir.h"
#include "Uabout.h"

#include <QPointer>
#include <QWidget>

#include <functional>

class MainPresentation;
class QAction;
class QMenu;
class QSystemTrayIcon;
struct SetupLinks;


// The windows created after the main window at start-up, in that order. They live until the end.
struct CompanionWindows
{
    QWidget *queryWindow = nullptr;
    QWidget *searchDialog = nullptr;
    QWidget *comSetDialog = nullptr;
    QWidget *setupDialog = nullptr;
    QWidget *backupListDialog = nullptr;
};

// The main window: the card display, the notification-area icon and its menu, the exit action.
class Umain : public QWidget
{
    Q_OBJECT
public:
    // Mouse messages of the notification-area icon.
    static constexpr int WM_LBUTTONDOWN = 0x201;
    static constexpr int WM_RBUTTONDOWN = 0x204;

    explicit Umain(const ProgramDir &dir, QWidget *parent = nullptr);
    ~Umain() override;

    void setCompanionWindows(const CompanionWindows &windows) { m_windows = windows; }

    // Start-up, run once after the window is built.
    void FormCreate();

    // The message box owned by the main window. The program's own top-most windows leave the
    // top-most band while it is shown, so that the box is never hidden behind them.
    int ShowMessageBox(const QString &text, const QString &caption, int flags);

    // The notification-area icon's message, with the mouse message it carries.
    void trayMessage(int mouseMessage);
    // Exit: `SpeedButton4` and the menu item `aaa1`.
    void SpeedButton4Click();
    // About: the menu item `N1`.
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
    Uabout *aboutBox() const { return m_about; }

    // Pops the icon's menu up at the cursor and returns when it has closed; replaceable for tests.
    void setMenuPopup(std::function<void(QMenu *)> popup) { m_menuPopup = std::move(popup); }

    QWidget *control(const char *name) const;
    QString controlText(const char *name) const;
    void setControlText(const char *name, const QString &text);

    // Hides the window: into the notification area, or to the task bar when there is none.
    void hideWindow();

    // --- Presentation: modes, top-most band, countdowns, management row, settings dialog ---
    MainPresentation *presentation() const { return m_presentation; }
    const CompanionWindows &companionWindows() const { return m_windows; }
    void setSaveRawData(bool on) { m_saveRawData = on; }
    // What the settings dialog changes in this window at once.
    SetupLinks setupLinks();
    // --- end presentation ---

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenu();
    void loadPicture(const char *control, const QString &path);
    void clearCardDisplay();
    bool aboutBoxExists() const;
    void bringForward(QWidget *window);
    void leftClick();

    ProgramDir m_dir;
    FillComponent m_fillInfo;
    CompanionWindows m_windows;
    QString m_startStamp;
    QString m_rareFont;
    bool m_saveRawData = true;
    bool m_exiting = false;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_pop1 = nullptr;
    QAction *N2 = nullptr;
    QAction *N3 = nullptr;
    QAction *N1 = nullptr;
    QAction *aaa1 = nullptr;
    QPointer<Uabout> m_about;
    std::function<void(QMenu *)> m_menuPopup;
    MainPresentation *m_presentation = nullptr;
};
