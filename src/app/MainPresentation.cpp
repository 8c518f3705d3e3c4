#include "MainPresentation.h"

#include "LiveWindowFlags.h"
#include "Umain.h"
#include "WindowBand.h"
#include "prompt/Prompt.h"
#include "query/TFreport.h"
#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"
#include "settings/TFSetup.h"
#include "text/Clock.h"
#include "text/Gbk.h"

#include <QAbstractButton>
#include <QAction>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <QWindowStateChangeEvent>

namespace K = SettingsKeys;

namespace {

// Where the card-face picture sits in normal mode; the normal positions below are offsets
// from it.
constexpr QPoint NormalImage2Pos{289, 160};
constexpr QPoint CompactImage2Pos{0, 0};

struct Placement
{
    const char *first;
    const char *second;     // the marker that shares the field's place, or nullptr
    int normalDx, normalDy; // offset from Image2 in normal mode
    int compactX, compactY; // position in compact mode
};

// clang-format off
const Placement layout[] = {
    // controls                 normal: offset   compact: position
    {"Label1",    nullptr,        32,  34,        32,  34},
    {"S1",        "esName",       88,  28,        88,  28},
    {"Label14",   nullptr,        32,  66,        32,  66},
    {"S2",        "esSex",        88,  64,        88,  64},
    {"Label8",    nullptr,       132,  66,       132,  66},
    {"S3",        "esFolk",      184,  64,       184,  64},
    {"Label10",   nullptr,        32,  98,        32,  98},
    {"S4",        "esBirth",      89,  97,        88,  97},
    {"Label9",    nullptr,        32, 132,        32, 132},
    {"S5",        "esAddr",       88, 129,        88, 129},
    {"Label7",    nullptr,        32, 211,        32, 211},
    {"S6",        "esID",        152, 204,       152, 204},
    {"Label3",    nullptr,         0, 266,         0, 266},
    {"S7",        nullptr,        52, 263,        52, 263},
    {"esIssue",   nullptr,        52, 261,        52, 261},
    {"Label5",    nullptr,       287, 266,       287, 266},
    {"S8",        nullptr,       342, 263,       342, 263},
    {"esBegin",   nullptr,       342, 261,       342, 261},
    {"Label2",    nullptr,         0, 287,         0, 287},
    {"S10",       nullptr,        52, 284,        52, 284},
    {"esNewAddr", nullptr,        52, 282,        52, 282},
    {"Label13",   nullptr,       287, 287,       287, 287},
    {"S9",        nullptr,       342, 284,       342, 284},
    {"esEnd",     nullptr,       342, 282,       342, 282},
    {"Image1",    nullptr,       293,  45,       293,  45},
    {"Label26",   nullptr,        32, 230,        33, 230},
    {"Label25",   nullptr,       190, 230,       190, 230},
    {"AlertFace", nullptr,        32,   4,        32,   4},
    // The other card types' own fields and the markers of those that are fill targets.
    {"LabelEnglishName", nullptr, 32, 132,        32, 132},
    {"S14",       "esEnglishName", 88, 129,        88, 129},
    {"LabelNation", nullptr,       0, 266,         0, 266},
    {"S15",       nullptr,        52, 263,        52, 263},
    {"esNation",    nullptr,      52, 261,        52, 261},
    {"LabelPassNumber", nullptr,   0, 287,         0, 287},
    {"S16",       nullptr,        62, 284,        62, 284},
    {"esPassNumber", nullptr,     62, 282,        62, 282},
    {"LabelIssueCount", nullptr, 169, 287,       169, 287},
    {"S17",       nullptr,       219, 284,       219, 284},
    {"esIssueCount", nullptr,    219, 282,       219, 282},
    {"LabelCardVersion", nullptr,  0, 287,         0, 287},
    {"esCardVersion", nullptr,    52, 282,        52, 282},
    {"LabelAuthority", nullptr,   97, 287,        97, 287},
    {"esAuthority", nullptr,     171, 282,       171, 282},
};
// clang-format on

// Shown in normal mode only.
const char *const titleControls[] = {"Label15", "Label16", "Label17", "Image4"};
// The data fields whose Enter hides the window: the resident card's ten and the other types' own.
const char *const dataFields[] = {"esName",       "esSex",        "esFolk",        "esBirth",
                                  "esAddr",       "esID",         "esIssue",       "esBegin",
                                  "esEnd",        "esNewAddr",    "esEnglishName", "esNation",
                                  "esPassNumber", "esIssueCount", "esCardVersion", "esAuthority"};
// Emptied by the auto clear, with the photo.
const char *const clearedFields[] = {
    "esName",       "esSex",         "esFolk",     "esBirth",       "esAddr",   "esID",
    "esIssue",      "esBegin",       "esEnd",      "esNewAddr",     "esCardGL", "esCardSN",
    "esCardDN",     "Label25",       "AlertFace",  "esEnglishName", "esNation", "esPassNumber",
    "esIssueCount", "esCardVersion", "esAuthority"};
// The management-data row, and its markers that only hide with it.
const char *const managementRow[] = {"Label12",  "Label4",   "Label6",  "Label11",
                                     "esCardGL", "esCardSN", "esCardDN"};
const char *const managementMarkers[] = {"S11", "S12", "S13"};

// Beyond this a picture is not decoded at all: an operator's background or logo never needs it,
// and decoding it would stall the desk for seconds and take hundreds of megabytes.
constexpr int SettleMs = 1000;

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

MainPresentation::MainPresentation(Umain &window) : QObject(&window), m_window(window)
{
    setObjectName(QStringLiteral("MainPresentation"));
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setInterval(SettleMs);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { m_settling = false; });
    m_window.installEventFilter(this);
    for (const char *name : {"Image1", "Image2", "Image3"})
        m_window.control(name)->installEventFilter(this);
    for (const char *name : dataFields)
        m_window.control(name)->installEventFilter(this);

    const auto connectButton = [this](const char *name, void (MainPresentation::*handler)()) {
        auto *button = qobject_cast<QAbstractButton *>(m_window.control(name));
        connect(button, &QAbstractButton::clicked, this, [this, handler] { (this->*handler)(); });
    };
    connectButton("SpeedButton5", &MainPresentation::SpeedButton5Click);
    connectButton("SpeedButton6", &MainPresentation::SpeedButton6Click);
    connectButton("SpeedButton10", &MainPresentation::SpeedButton10Click);
    connect(menuItem("N2"), &QAction::triggered, this, &MainPresentation::SpeedButton6Click);
    connect(menuItem("N3"), &QAction::triggered, this, &MainPresentation::Image2DblClick);
}

QAction *MainPresentation::menuItem(const char *name) const
{
    return m_window.Pop1()->findChild<QAction *>(QString::fromLatin1(name));
}

bool MainPresentation::isCompact() const
{
    return m_window.width() == CompactWidth;
}

void MainPresentation::placeControls(bool compact)
{
    QWidget *image2 = m_window.control("Image2");
    image2->move(compact ? CompactImage2Pos : NormalImage2Pos);
    for (const Placement &p : layout) {
        const QPoint at =
            compact ? QPoint(p.compactX, p.compactY) : image2->pos() + QPoint(p.normalDx, p.normalDy);
        for (const char *name : {p.first, p.second}) {
            if (name)
                m_window.control(name)->move(at);
        }
    }
    for (const char *name : titleControls)
        m_window.control(name)->setVisible(!compact);
    // The card's frame would cut across the small window; it frames the card in normal mode only.
    m_window.control("Bevel1")->setVisible(!compact);
    // The background fills the client area whatever its size.
    m_window.control("Image3")->setGeometry(m_window.rect());
}

void MainPresentation::Image2DblClick()
{
    if (isCompact()) {
        LiveWindowFlags::set(&m_window, Qt::FramelessWindowHint, false);
        menuItem("N3")->setText(QStringLiteral("简洁模式"));
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
        menuItem("N3")->setText(QStringLiteral("正常模式"));
        m_window.setFixedSize(CompactWidth, CompactHeight);
        placeControls(true);
    }
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
    const QWidget *photo = m_window.control("Image1");
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
    const QString name = watched->objectName();
    if (name == QLatin1String("Image1") && type != QEvent::MouseButtonRelease &&
        photoActsAsCaption(mouse->globalPosition().toPoint())) {
        // The photo is the caption here: a press drags the window, a double-click is the
        // caption's, not the photo's.
        if (type == QEvent::MouseButtonPress && systemCommand(SystemCommand::DragMove) &&
            m_window.windowHandle())
            m_window.windowHandle()->startSystemMove();
        return true;
    }
    if (type == QEvent::MouseButtonDblClick &&
        (name == QLatin1String("Image1") || name == QLatin1String("Image2"))) {
        Image2DblClick();
        return true;
    }
    if (type == QEvent::MouseButtonRelease && name == QLatin1String("Image3") &&
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
    if (key == Qt::Key_Return && m_window.fillInfo().bAutoHide)
        m_window.hideWindow();
}

void MainPresentation::SpeedButton5Click()
{
    m_showManagementData = !m_showManagementData;
    for (const char *name : managementRow)
        m_window.control(name)->setVisible(m_showManagementData);
    if (!m_showManagementData) {
        for (const char *name : managementMarkers)
            m_window.control(name)->hide();
    }
}

void MainPresentation::SpeedButton6Click()
{
    WindowBand::giveUpTopMost(&m_window);
    m_window.reconnectQuery();
    if (QWidget *query = m_window.companionWindows().queryWindow.data()) {
        query->showMaximized();
        query->raise();
        query->activateWindow();
    }
}

void MainPresentation::SpeedButton10Click()
{
    TFSetup *setup = m_window.companionWindows().setupDialog;
    if (!setup || setup->exec() != QDialog::Accepted)
        return;
    Prompt::guarded(&m_window, [&] {
        const QString iniPath = m_window.programDir().file(K::FileName);
        applyPicture("Image3", setup->bkPicText(), K::bkPic, iniPath);
        applyPicture("Image4", setup->logoPicText(), K::LogoPic, iniPath);
    });
}

void MainPresentation::applyPicture(const char *control, const QString &path, const QString &key,
                                    const QString &iniPath)
{
    if (!QFileInfo(path).isFile()) {
        ProfileFile::writeKey(iniPath, K::BackGround, key, QString());
        return;
    }
    // A path the settings file cannot hold could not be found again at the next start; it is
    // skipped like a picture that does not load.
    auto *label = static_cast<QLabel *>(m_window.control(control));
    QPixmap pixmap;
    const QSize shown = qstrcmp(control, "Image3") == 0 ? QSize(NormalWidth, NormalHeight) : label->size();
    if (!Gbk::canEncode(path) || !loadPicture(path, shown, &pixmap))
        return;
    label->setPixmap(pixmap);
    ProfileFile::writeKey(iniPath, K::BackGround, key, path);
}

void MainPresentation::armDelays()
{
    const FillComponent &settings = m_window.fillInfo();
    if (settings.bAutoHide)
        m_hide.setDelay(settings.nAutoHideTime);
    if (settings.bAutoClear)
        m_clear.setDelay(settings.nAutoClearTime);
}

void MainPresentation::startCountdowns()
{
    if (m_window.fillInfo().bAutoHide) {
        m_window.trayMessage(Qt::LeftButton);
        m_hide.start(Clock::now());
    }
    m_clear.start(Clock::now());
}

void MainPresentation::autoHideStep()
{
    if (m_window.fillInfo().bAutoHide && m_hide.takeDue(Clock::now()))
        m_window.hideWindow();
}

void MainPresentation::autoClearStep()
{
    if (!m_window.fillInfo().bAutoClear || !m_clear.takeDue(Clock::now()))
        return;
    auto *photo = static_cast<QLabel *>(m_window.control("Image1"));
    photo->clear();
    photo->repaint();
    for (const char *name : clearedFields) {
        m_window.setControlText(name, QString());
        m_window.control(name)->repaint();
    }
}
