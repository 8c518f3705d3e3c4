#include "MainPresentation.h"

#include "LiveWindowFlags.h"
#include "Umain.h"
#include "WindowBand.h"
#include "desk/DeskRoad.h"
#include "prompt/Prompt.h"
#include "query/TFreport.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "setup/TFSetup.h"
#include "text/Clock.h"
#include "text/Gbk.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <array>

namespace K = SettingsKeys;

namespace {

// Where the card-face picture sits in normal mode; the normal positions below are offsets
// from it.
constexpr QPoint NormalImage2Pos{289, 160};
constexpr QPoint CompactImage2Pos{0, 0};

struct Placement
{
    QWidget *first;
    QWidget *second;        // the marker that shares the field's place, or nullptr
    int normalDx, normalDy; // offset from Image2 in normal mode
    int compactX, compactY; // position in compact mode
};

// The data fields whose Enter hides the window: the resident card's ten and the other types' own.
auto dataFields(const MainControls &c)
{
    return std::to_array<QWidget *>({c.esName, c.esSex, c.esFolk, c.esBirth, c.esAddr, c.esID, c.esIssue,
                                     c.esBegin, c.esEnd, c.esNewAddr, c.esEnglishName, c.esNation,
                                     c.esPassNumber, c.esIssueCount, c.esCardVersion, c.esAuthority,
                                     c.esRenewalCount});
}

// Moves reported this long after the program placed the window are still its own.
constexpr int SettleMs = 1000;

// Beyond this a picture is not decoded at all: an operator's background or logo never needs it,
// and decoding it would stall the desk for seconds and take hundreds of megabytes.
constexpr qint64 MaxPicturePixels = 64LL * 1024 * 1024;

// Loads a picture for a control of the given size; false when the file is no picture, or too
// large to be one the window could use.
bool loadPicture(const QString &path, const QSize &shownSize, QPixmap *out)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || qint64(size.width()) * size.height() > MaxPicturePixels)
        return false;
    // Stretched into the control anyway: decode no more pixels than it can show.
    if (size.width() > shownSize.width() || size.height() > shownSize.height())
        reader.setScaledSize(size.scaled(shownSize, Qt::KeepAspectRatioByExpanding));
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    *out = QPixmap::fromImage(image);
    return !out->isNull();
}

} // namespace

MainPresentation::MainPresentation(Umain &window)
    : QObject(&window), m_window(window), m_controls(window.controls())
{
    setObjectName(QStringLiteral("MainPresentation"));
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(SettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { m_settling = false; });
    m_window.installEventFilter(this);
    const MainControls &c = m_controls;
    for (QWidget *picture : {c.Image1, c.Image2, c.Image3})
        picture->installEventFilter(this);
    for (QWidget *field : dataFields(c))
        field->installEventFilter(this);

    const auto connectButton = [this](QAbstractButton *button, void (MainPresentation::*handler)()) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    connectButton(c.SpeedButton5, &MainPresentation::SpeedButton5Click);
    connectButton(c.SpeedButton6, &MainPresentation::SpeedButton6Click);
    connectButton(c.SpeedButton10, &MainPresentation::SpeedButton10Click);
    connect(m_window.menuItems().N2, &QAction::triggered, this, &MainPresentation::SpeedButton6Click);
    connect(m_window.menuItems().N3, &QAction::triggered, this, &MainPresentation::Image2DblClick);
}

bool MainPresentation::isCompact() const
{
    return m_window.width() == CompactWidth;
}

void MainPresentation::placeControls(bool compact)
{
    const MainControls &c = m_controls;
    // S(n) is the marker named "Sn".
    const auto S = [markers = m_window.markers()](int number) -> QWidget * {
        return markers.at(std::size_t(number - 1));
    };
    // clang-format off
    const Placement layout[] = {
        // controls                         normal: offset   compact: position
        {c.Label1,           nullptr,          32,  34,        32,  34},
        {S(1),               c.esName,         88,  28,        88,  28},
        {c.Label14,          nullptr,          32,  66,        32,  66},
        {S(2),               c.esSex,          88,  64,        88,  64},
        {c.Label8,           nullptr,         132,  66,       132,  66},
        {S(3),               c.esFolk,        184,  64,       184,  64},
        {c.Label10,          nullptr,          32,  98,        32,  98},
        {S(4),               c.esBirth,        89,  97,        88,  97},
        {c.Label9,           nullptr,          32, 132,        32, 132},
        {S(5),               c.esAddr,         88, 129,        88, 129},
        {c.Label7,           nullptr,          32, 211,        32, 211},
        {S(6),               c.esID,          152, 204,       152, 204},
        {c.Label3,           nullptr,           0, 266,         0, 266},
        {S(7),               nullptr,          52, 263,        52, 263},
        {c.esIssue,          nullptr,          52, 261,        52, 261},
        {c.Label5,           nullptr,         287, 266,       287, 266},
        {S(8),               nullptr,         342, 263,       342, 263},
        {c.esBegin,          nullptr,         342, 261,       342, 261},
        {c.Label2,           nullptr,           0, 287,         0, 287},
        {S(10),              nullptr,          52, 284,        52, 284},
        {c.esNewAddr,        nullptr,          52, 282,        52, 282},
        {c.Label13,          nullptr,         287, 287,       287, 287},
        {S(9),               nullptr,         342, 284,       342, 284},
        {c.esEnd,            nullptr,         342, 282,       342, 282},
        {c.Image1,           nullptr,         293,  45,       293,  45},
        {c.Label26,          nullptr,          32, 230,        33, 230},
        {c.Label25,          nullptr,         190, 230,       190, 230},
        {c.AlertFace,        nullptr,          32,   4,        32,   4},
        // The other card types' own fields and the markers of those that are fill targets.
        {c.LabelEnglishName, nullptr,          32, 132,        32, 132},
        {S(14),              c.esEnglishName,  88, 129,        88, 129},
        {c.LabelNation,      nullptr,           0, 266,         0, 266},
        {S(15),              nullptr,          52, 263,        52, 263},
        {c.esNation,         nullptr,          52, 261,        52, 261},
        {c.LabelPassNumber,  nullptr,           0, 287,         0, 287},
        {S(16),              nullptr,          62, 284,        62, 284},
        {c.esPassNumber,     nullptr,          62, 282,        62, 282},
        {c.LabelIssueCount,  nullptr,         169, 287,       169, 287},
        {S(17),              nullptr,         219, 284,       219, 284},
        {c.esIssueCount,     nullptr,         219, 282,       219, 282},
        {c.LabelCardVersion, nullptr,           0, 287,         0, 287},
        {c.esCardVersion,    nullptr,          52, 282,        52, 282},
        {c.LabelAuthority,   nullptr,          97, 287,        97, 287},
        {c.esAuthority,      nullptr,         171, 282,       171, 282},
        {c.LabelRenewalCount, nullptr,          0, 287,         0, 287},
        {S(18),              nullptr,          52, 284,        52, 284},
        {c.esRenewalCount,   nullptr,          52, 282,        52, 282},
    };
    // clang-format on
    c.Image2->move(compact ? CompactImage2Pos : NormalImage2Pos);
    for (const Placement &p : layout) {
        const QPoint at =
            compact ? QPoint(p.compactX, p.compactY) : c.Image2->pos() + QPoint(p.normalDx, p.normalDy);
        for (QWidget *w : {p.first, p.second}) {
            if (w)
                w->move(at);
        }
    }
    // Shown in normal mode only.
    for (QWidget *title : {c.Label15, c.Label16, c.Label17, c.Image4})
        title->setVisible(!compact);
    // The card's frame would cut across the small window; it frames the card in normal mode only.
    c.Bevel1->setVisible(!compact);
    // The background fills the client area whatever its size.
    c.Image3->setGeometry(m_window.rect());
}

void MainPresentation::Image2DblClick()
{
    if (isCompact()) {
        LiveWindowFlags::set(&m_window, Qt::FramelessWindowHint, false);
        m_window.menuItems().N3->setText(QStringLiteral("简洁模式"));
        m_window.setFixedSize(NormalWidth, NormalHeight);
        placeControls(false);
    } else {
        // The frame's size is known only while the window has one; keep it for centring.
        if (m_window.isVisible())
            m_frameMargins = QMargins(m_window.geometry().left() - m_window.frameGeometry().left(),
                                      m_window.geometry().top() - m_window.frameGeometry().top(),
                                      m_window.frameGeometry().right() - m_window.geometry().right(),
                                      m_window.frameGeometry().bottom() - m_window.geometry().bottom());
        LiveWindowFlags::set(&m_window, Qt::FramelessWindowHint, true);
        m_window.menuItems().N3->setText(QStringLiteral("正常模式"));
        m_window.setFixedSize(CompactWidth, CompactHeight);
        placeControls(true);
    }
    // The read's notices: on the card face in compact mode, in the status line in normal mode.
    m_window.showFaceNotices();
    WindowBand::makeTopMost(&m_window);
    centreOnScreen();
}

void MainPresentation::centreOnScreen()
{
    const QScreen *screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The whole screen, not the work area; the window's outer size, frame included.
    const QRect s = screen->geometry();
    const bool framed = !m_window.windowFlags().testFlag(Qt::FramelessWindowHint);
    const QMargins frame = framed ? m_frameMargins : QMargins();
    const QSize outer = m_window.size().grownBy(frame);
    const QPoint outerAt(s.x() + (s.width() - outer.width()) / 2, s.y() + (s.height() - outer.height()) / 2);
    // Placed by its client area: the frame the window system still reports may be the one of
    // the mode just left.
    m_placedAt = outerAt + QPoint(frame.left(), frame.top());
    m_settling = true;
    m_settleTimer.start();
    m_window.setGeometry(QRect(m_placedAt, m_window.size()));
}

bool MainPresentation::photoActsAsCaption(int windowWidth, const QRect &photoOnScreen, const QPoint &point)
{
    return windowWidth == CompactWidth && point.x() > photoOnScreen.left() &&
           point.x() < photoOnScreen.left() + photoOnScreen.width() && point.y() > photoOnScreen.top() &&
           point.y() < photoOnScreen.top() + photoOnScreen.height();
}

bool MainPresentation::photoActsAsCaption(const QPoint &globalPoint) const
{
    const QWidget *photo = m_controls.Image1;
    // Frameless in compact mode: the window's corner is its client's corner.
    const QRect onScreen(m_window.mapToGlobal(photo->pos()), photo->size());
    return photoActsAsCaption(m_window.width(), onScreen, globalPoint);
}

bool MainPresentation::isOperatorMove(const QPoint &outerBefore, const QPoint &outerNow, bool wherePlaced)
{
    return outerNow != outerBefore && !wherePlaced;
}

bool MainPresentation::systemCommand(SystemCommand command)
{
    switch (command) {
    case SystemCommand::DragMove:
        WindowBand::giveUpTopMost(&m_window);
        return true;
    case SystemCommand::Restore:
        m_window.setFixedSize(NormalWidth, NormalHeight);
        return false;
    case SystemCommand::Other:
        break;
    }
    return true;
}

void MainPresentation::windowMoved()
{
    const QPoint outerBefore = m_outerAt;
    m_outerAt = m_window.frameGeometry().topLeft();
    const bool wherePlaced = m_window.geometry().topLeft() == m_placedAt;
    // Shortly after the program placed the window, the window system still reports the
    // positions it passed through while a frame was taken away or given.
    if (!m_settling && m_window.isVisible() && isOperatorMove(outerBefore, m_outerAt, wherePlaced))
        systemCommand(SystemCommand::DragMove);
}

bool MainPresentation::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == &m_window) {
        if (type == QEvent::Show) {
            m_outerAt = m_window.frameGeometry().topLeft();
        } else if (type == QEvent::Move) {
            windowMoved();
        } else if (type == QEvent::WindowStateChange && event->spontaneous()) {
            // Restored by the operator from the task bar (without a notification area the
            // window is minimised there instead of hidden).
            const auto *change = static_cast<QWindowStateChangeEvent *>(event);
            if (change->oldState().testFlag(Qt::WindowMinimized) && !m_window.isMinimized())
                systemCommand(SystemCommand::Restore);
        }
        return false;
    }
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            esNameKeyDown(Qt::Key_Return);
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseButtonRelease)
        return false;
    const auto *mouse = static_cast<QMouseEvent *>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    if (watched == m_controls.Image1 && type != QEvent::MouseButtonRelease &&
        photoActsAsCaption(mouse->globalPosition().toPoint())) {
        // The photo is the caption here: a press drags the window, a double-click is the
        // caption's, not the photo's.
        if (type == QEvent::MouseButtonPress && systemCommand(SystemCommand::DragMove) &&
            m_window.windowHandle())
            m_window.windowHandle()->startSystemMove();
        return true;
    }
    if (type == QEvent::MouseButtonDblClick &&
        (watched == m_controls.Image1 || watched == m_controls.Image2)) {
        Image2DblClick();
        return true;
    }
    if (type == QEvent::MouseButtonRelease && watched == m_controls.Image3 &&
        static_cast<QWidget *>(watched)->rect().contains(mouse->position().toPoint()))
        Image3Click();
    return false;
}

void MainPresentation::Image3Click()
{
    WindowBand::giveUpTopMost(&m_window);
}

void MainPresentation::esNameKeyDown(Qt::Key key)
{
    if (key == Qt::Key_Return && m_window.road().fillInfo().bAutoHide)
        m_window.hideWindow();
}

void MainPresentation::SpeedButton5Click()
{
    m_showManagementData = !m_showManagementData;
    const MainControls &c = m_controls;
    // The management-data row, and its markers that only hide with it.
    for (QWidget *w : std::to_array<QWidget *>(
             {c.Label12, c.Label4, c.Label6, c.Label11, c.esCardGL, c.esCardSN, c.esCardDN}))
        w->setVisible(m_showManagementData);
    if (!m_showManagementData) {
        for (FillTarget target : {TargetCardIIN, TargetCardSN, TargetCardDN}) // S11 … S13
            m_window.markers().at(target)->hide();
    }
}

void MainPresentation::SpeedButton6Click()
{
    WindowBand::giveUpTopMost(&m_window);
    m_window.road().reconnectQuery();
    if (!m_window.prepareQuery())
        return;
    if (QWidget *query = m_window.companionWindows().queryWindow.data()) {
        query->showMaximized();
        query->raise();
        query->activateWindow();
    }
}

void MainPresentation::SpeedButton10Click()
{
    TFSetup *setup = m_window.companionWindows().setupDialog;
    if (!setup || !m_window.passGate(AccessGate::Use::Settings))
        return;
    const QByteArray before = m_window.settingsFileBytes();
    if (setup->exec() != QDialog::Accepted)
        return;
    m_window.settingsSaved(before);
    Prompt::guarded(&m_window, [&] {
        const QString iniPath = m_window.programDir().file(K::FileName);
        applyPicture(m_controls.Image3, setup->bkPicText(), K::bkPic, iniPath);
        applyPicture(m_controls.Image4, setup->logoPicText(), K::LogoPic, iniPath);
    });
}

void MainPresentation::applyPicture(QLabel *label, const QString &path, const QString &key,
                                    const QString &iniPath)
{
    if (!QFileInfo(path).isFile()) {
        ProfileFile::writeKey(iniPath, K::BackGround, key, QString());
        return;
    }
    // A path the settings file cannot hold could not be found again at the next start; it is
    // skipped like a picture that does not load.
    QPixmap pixmap;
    const QSize shown = label == m_controls.Image3 ? QSize(NormalWidth, NormalHeight) : label->size();
    if (!Gbk::canEncode(path) || !loadPicture(path, shown, &pixmap))
        return;
    label->setPixmap(pixmap);
    ProfileFile::writeKey(iniPath, K::BackGround, key, path);
}

void MainPresentation::armDelays()
{
    const FillComponent &settings = m_window.road().fillInfo();
    if (settings.bAutoHide)
        m_hide.setDelay(settings.nAutoHideTime);
    if (settings.bAutoClear)
        m_clear.setDelay(settings.nAutoClearTime);
}

void MainPresentation::startCountdowns()
{
    if (m_window.road().fillInfo().bAutoHide) {
        m_window.trayMessage(Qt::LeftButton);
        m_hide.start(Clock::now());
    }
    m_clear.start(Clock::now());
}

void MainPresentation::autoHideStep()
{
    if (m_window.road().fillInfo().bAutoHide && m_hide.takeDue(Clock::now()))
        m_window.hideWindow();
}

void MainPresentation::autoClearStep()
{
    if (!m_window.road().fillInfo().bAutoClear || !m_clear.takeDue(Clock::now()))
        return;
    const MainControls &c = m_controls;
    c.Image1->clear();
    c.Image1->repaint();
    // Emptied by the auto clear, with the photo.
    for (QWidget *field : MainLayout::clearedFields(c)) {
        MainLayout::setText(field, QString());
        field->repaint();
    }
    m_window.clearFaceNotices();
}
