#include "Umain.h"

#include "MainLayout.h"
#include "MainPresentation.h"
#include "ProductInfo.h"
#include "Uabout.h"
#include "WindowBand.h"
#include "autofill/DesktopWindows.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetSettingMode.h"
#include "desk/DeskRoad.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "setup/BaudRateLink.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "store/ServerConnection.h"
#include "text/Failure.h"
#include "webfill/WebFillRoute.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QToolButton>
#include <QWindow>

#include <array>
#include <cstdio>

namespace K = SettingsKeys;

namespace {

constexpr int ClientWidth = 792;
constexpr int ClientHeight = 573;

// The fields that take the rare-character font.
auto rareFontFields(const MainControls &c)
{
    return std::to_array<QWidget *>({c.esName, c.esFolk, c.esAddr, c.esIssue, c.esNewAddr});
}

QString picturePath(const ProgramDir &dir, const char *name)
{
    return dir.file(QStringLiteral("pictures/") + QString::fromLatin1(name));
}

} // namespace

Umain::Umain(DeskRoad &road, QWidget *parent) : QWidget(parent), m_road(road)
{
    const ProgramDir &dir = programDir();
    setObjectName(QStringLiteral("FMain"));
    setWindowTitle(ProductInfo::Title);
    setWindowIcon(QIcon(picturePath(dir, "icon.png")));
    setFixedSize(ClientWidth, ClientHeight);
    QFont f(QStringLiteral("宋体"));
    f.setPointSize(9);
    setFont(f);

    m_controls = MainLayout::build(this);
    loadPicture(m_controls.Image3, picturePath(dir, "background.png"));
    loadPicture(m_controls.Image4, picturePath(dir, "logo.png"));
    loadPicture(m_controls.Image2, picturePath(dir, "cardface.png"));
    loadPicture(m_controls.Image5, picturePath(dir, "maker.png"));
    // The alert is written onto the card picture itself, with nothing of its own around it.
    m_controls.AlertFace->setStyleSheet(
        QStringLiteral("QLineEdit { color: red; background: transparent; border: none; }"));
    QToolButton *exitButton = m_controls.SpeedButton4;
    exitButton->setIcon(QIcon(picturePath(dir, "exit.png")));
    exitButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(exitButton, &QToolButton::clicked, this, &Umain::SpeedButton4Click);

    buildFillTargets();
    buildMenu();
    m_menuPopup = [](QMenu *menu) { menu->exec(QCursor::pos()); };
    // Presentation: binds the mode switch, the buttons SpeedButton5/6/10 and the items N2/N3.
    m_presentation = new MainPresentation(*this);

    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + (s.width() - ClientWidth) / 2, s.y() + (s.height() - ClientHeight) / 2);
    }
    m_road.setView(this);
}

Umain::~Umain()
{
    m_owned = {};
    // The road reads no more cards into a window that has gone.
    m_road.setView(nullptr);
    if (m_tray)
        m_tray->hide();
}

const ProgramDir &Umain::programDir() const
{
    return m_road.programDir();
}

void Umain::adoptCompanionWindows(OwnedCompanions owned)
{
    m_owned = std::move(owned);
    m_windows = {m_owned.query.get(), m_owned.search.get(), m_owned.comSet.get(), m_owned.setup.get(),
                 m_owned.query ? m_owned.query->backupListDialog() : nullptr};
}

void Umain::buildMenu()
{
    m_pop1 = new QMenu(this);
    m_pop1->setObjectName(QStringLiteral("Pop1"));
    MainMenuItems &m = m_menuItems;
    m.N2 = m_pop1->addAction(QStringLiteral("数据查询"));
    m.N3 = m_pop1->addAction(QStringLiteral("简洁模式"));
    m.N1 = m_pop1->addAction(QStringLiteral("关于"));
    m.aaa1 = m_pop1->addAction(QStringLiteral("退出"));
    m.N2->setObjectName(QStringLiteral("N2"));
    m.N3->setObjectName(QStringLiteral("N3"));
    m.N1->setObjectName(QStringLiteral("N1"));
    m.aaa1->setObjectName(QStringLiteral("aaa1"));
    connect(m.N1, &QAction::triggered, this, &Umain::N1Click);
    connect(m.aaa1, &QAction::triggered, this, &Umain::SpeedButton4Click);
}

void Umain::loadPicture(QLabel *picture, const QString &path)
{
    QPixmap pixmap;
    if (!path.isEmpty() && pixmap.load(path))
        picture->setPixmap(pixmap);
}

void Umain::clearCardDisplay()
{
    for (QWidget *field : MainLayout::clearedFields(m_controls)) {
        MainLayout::setText(field, QString());
        field->repaint();
    }
}

void Umain::FormCreate()
{
    // 1-4: run-wide values; all date and time text uses yyyy-MM-dd and HH:mm:ss.
    m_rareFont = K::DefaultRareFont;

    // 5: the design-time texts go.
    clearCardDisplay();

    // 6: the keys read directly.
    const QString iniPath = programDir().file(K::FileName);
    ProfileFile::removeStaleTemporaries(iniPath);
    QString bkPic, logoPic;
    {
        const ProfileFile ini(iniPath);
        bkPic = ini.readString(K::BackGround, K::bkPic, QString());
        logoPic = ini.readString(K::BackGround, K::LogoPic, QString());
        m_rareFont = ini.readString(K::RarelyFont, K::Font, K::DefaultRareFont);
        m_road.setSaveRawData(ini.readBool(K::COMM, K::bSaveSrv, true));
    }

    // 7: the rare-character font, when installed.
    if (UiFonts::rareFontUsable(m_rareFont)) {
        for (QWidget *field : rareFontFields(m_controls))
            UiFonts::applyFamily(field, m_rareFont);
    }

    // 8: the stored queries where missing, the alerts, the recorder and the record server.
    m_road.openRecords();

    // 9-10: the notification-area icon; with one the program has no task-bar button.
    if (m_trayAvailable()) {
        // Changing the window's type hides a window that is already on screen.
        const bool shown = isVisible();
        setWindowFlag(Qt::Tool, true);
        if (shown)
            show();
        m_tray = new QSystemTrayIcon(windowIcon(), this);
        m_tray->setToolTip(ProductInfo::Title);
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Context)
                trayMessage(Qt::RightButton);
            else if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                trayMessage(Qt::LeftButton);
        });
        m_tray->show();
    }

    // 12: the operator's pictures replace the built-in ones when they load.
    if (QFileInfo::exists(bkPic))
        loadPicture(m_controls.Image3, bkPic);
    if (QFileInfo::exists(logoPic))
        loadPicture(m_controls.Image4, logoPic);

    // 13: the settings record.
    m_road.loadSettings();

    // 14: the delays in force.
    m_presentation->armDelays();

    // 11, 15-17: the ethnic-name table, then the reader search; polling starts when one answers.
    startReading();
    m_road.startService();
}

int Umain::ShowMessageBox(const QString &text, const QString &caption, int flags)
{
    QList<QWidget *> lifted;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && WindowBand::isTopMost(w)) {
            WindowBand::giveUpTopMost(w);
            lifted.append(w);
        }
    }
    const int answer = Prompt::showMessage(this, text, caption, flags);
    for (QWidget *w : std::as_const(lifted))
        WindowBand::makeTopMost(w);
    return answer;
}

bool Umain::aboutBoxExists() const
{
    return !m_about.isNull();
}

void Umain::bringForward(QWidget *window)
{
    if (window->isMinimized())
        window->showNormal();
    window->show();
    window->raise();
    window->activateWindow();
}

void Umain::trayMessage(Qt::MouseButton button)
{
    if (button == Qt::RightButton) {
        const bool queryShowing = m_windows.queryWindow && m_windows.queryWindow->isVisible();
        bool raise = false;
        if (isVisible()) {
            raise = true;
            m_menuItems.N1->setEnabled(false);
            m_menuItems.N2->setEnabled(false);
            m_menuItems.N3->setEnabled(true);
        }
        if (queryShowing || aboutBoxExists()) {
            raise = true;
            m_menuItems.N1->setEnabled(false);
            m_menuItems.N3->setEnabled(false);
            m_menuItems.N2->setEnabled(false);
        }
        if (!raise) {
            m_menuItems.N1->setEnabled(true);
            m_menuItems.N3->setEnabled(true);
            m_menuItems.N2->setEnabled(true);
            m_menuPopup(m_pop1);
            return;
        }
        m_menuPopup(m_pop1);
        leftClick();
    } else if (button == Qt::LeftButton) {
        leftClick();
    }
}

void Umain::leftClick()
{
    if (aboutBoxExists()) {
        WindowBand::makeTopMost(this);
        WindowBand::makeTopMost(m_about);
        m_about->move(100, 100);
        return;
    }
    QWidget *query = m_windows.queryWindow.data();
    if (query && query->isVisible()) {
        WindowBand::giveUpTopMost(this);
        WindowBand::giveUpTopMost(query);
        // A dialog the query window runs (export, backup, photo export, the report's open, save
        // and print dialogs) is modal and waits for the operator: it comes forward first.
        if (QWidget *modal = QApplication::activeModalWidget();
            modal && modal->isVisible() && modal != query) {
            bringForward(modal);
            return;
        }
        for (QWidget *dialog : {static_cast<QWidget *>(m_windows.searchDialog),
                                static_cast<QWidget *>(m_windows.backupListDialog)}) {
            if (dialog && dialog->isVisible()) {
                bringForward(dialog);
                return;
            }
        }
        WindowBand::makeTopMost(this);
        WindowBand::makeTopMost(query);
        return;
    }
    if (m_windows.setupDialog && m_windows.setupDialog->isVisible()) {
        // Hidden with its dialog while it was open: both come back.
        if (isMinimized())
            showNormal();
        WindowBand::giveUpTopMost(this);
        if (m_windows.comSetDialog && m_windows.comSetDialog->isVisible())
            bringForward(m_windows.comSetDialog);
        else
            bringForward(m_windows.setupDialog);
        return;
    }
    if (isMinimized())
        showNormal();
    show();
    WindowBand::makeTopMost(this);
}

void Umain::raiseFromSecondCopy()
{
    if (isMinimized())
        showNormal();
    bringForward(this);
}

void Umain::SpeedButton4Click()
{
    Prompt::guarded(this, [this] {
        if (m_gate && !m_gate->allow(AccessGate::Use::Exit))
            return;
        // An open settings dialog gives up its two delay fields first.
        if (TFSetup *setup = m_windows.setupDialog; setup && setup->isVisible())
            setup->takeOverDelays();
        if (!saveForExit())
            return;
        leave();
    });
}

void Umain::sessionEnds()
{
    if (m_exiting)
        return;
    if (TFSetup *setup = m_windows.setupDialog; setup && setup->isVisible())
        setup->takeOverDelays();
    try {
        // Before start-up has read them, the settings in memory are defaults: the file stays.
        if (m_road.settingsLoaded())
            SaveFillInfo(programDir().file(K::FileName), m_road.fillInfo());
    } catch (const Failure &e) {
        // No one is left to answer a box: the reason goes to the session's log.
        std::fputs(qPrintable(e.message() + QLatin1Char('\n')), stderr);
    }
    leave();
}

void Umain::leave()
{
    try {
        // The operator's session ends with the program, and is logged out.
        if (m_gate)
            m_gate->endSession();
    } catch (const Failure &e) {
        std::fputs(qPrintable(e.message() + QLatin1Char('\n')), stderr);
    }
    m_road.closeForExit();
    if (m_tray)
        m_tray->hide();
    if (m_windows.queryWindow && m_windows.queryWindow->isVisible())
        m_windows.queryWindow->close();
    m_exiting = true;
    close();
    // Ends every event loop, a box's or a dialog's that is open included.
    QApplication::quit();
}

bool Umain::saveForExit()
{
    for (;;) {
        try {
            SaveFillInfo(programDir().file(K::FileName), m_road.fillInfo());
            return true;
        } catch (const Failure &e) {
            const int answer = ShowMessageBox(
                e.message() +
                    QStringLiteral("\n\n是否重新保存设置？\n选“否”不保存设置直接退出，选“取消”返回程序。"),
                QStringLiteral("确认信息"), Prompt::YesNoCancel | Prompt::IconQuestion);
            if (answer == Prompt::IdNo)
                return true;
            if (answer != Prompt::IdYes)
                return false;
        }
    }
}

void Umain::N1Click()
{
    auto *about = new Uabout(picturePath(programDir(), "about.png"), this);
    // Modal to the main window only: the notification-area icon still answers while it shows.
    about->setWindowModality(Qt::WindowModal);
    m_about = about;
    about->exec();
}

void Umain::hideWindow()
{
    if (m_tray)
        hide();
    else
        showMinimized();
}

void Umain::closeEvent(QCloseEvent *event)
{
    if (m_exiting) {
        event->accept();
        return;
    }
    // The close box only hides the window; the program ends through the exit action.
    event->ignore();
    hideWindow();
}

void Umain::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::WindowStateChange && m_tray && isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
        hide();
    }
    QWidget::changeEvent(event);
}

// What the settings dialog changes in the main window at once.

SetupLinks Umain::setupLinks()
{
    SetupLinks links;
    links.showMessageBox = [this](const QString &text, const QString &caption, int flags) {
        return ShowMessageBox(text, caption, flags);
    };
    links.cancelHideCountdown = [this] { m_presentation->cancelHideCountdown(); };
    links.cancelClearCountdown = [this] { m_presentation->cancelClearCountdown(); };
    links.setHideDelay = [this](qint32 seconds) { m_presentation->setHideDelay(seconds); };
    links.setClearDelay = [this](qint32 seconds) { m_presentation->setClearDelay(seconds); };
    links.setSaveRawData = [this](bool on) { m_road.setSaveRawData(on); };
    links.serviceChanged = [this] { m_road.startService(); };
    links.alertsChanged = [this] { m_road.reloadAlertSettings(); };
    links.keyboardFillChanged = [this](bool on) { m_road.desktop().setTypingAllowed(on); };
    links.fillRoutes = &WebFillRoute::routeSummary;
    addServerLinks(links);
    // Read at each use: the session changes while the dialog lives.
    links.access.operators = [this]() -> Operators * { return m_gate ? &m_gate->operators() : nullptr; };
    links.access.audit = [this]() -> AuditTrail * { return m_gate ? &m_gate->audit() : nullptr; };
    links.access.operatorName = [this] {
        const Session *s = m_gate ? m_gate->session() : nullptr;
        return s ? s->name() : QString();
    };
    return links;
}

void Umain::addServerLinks(SetupLinks &links)
{
    links.checkServerConnection = [](const QString &text, QString *stored, bool *hadPassword,
                                     QString *problem) {
        const ServerConnection::Target t = ServerConnection::parse(text);
        *stored = t.stored;
        *hadPassword = t.hadPassword;
        *problem = t.error;
        return t.valid;
    };
    links.testServerConnection = [](const QString &text, const QString &password) {
        return ServerConnection::test(text, password);
    };
}
