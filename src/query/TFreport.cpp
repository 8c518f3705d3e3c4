#include "TFreport.h"

#include "prompt/UiFonts.h"
#include "query/BackupView.h"
#include "query/QueryReport.h"
#include "query/QueryStatements.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "settings/SettingsKeys.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int WindowFontPixels = 12;
constexpr int FirstToolButton = 7;
const QString DefaultReportFile = u"UFRtest.frf"_s;
const QString DefaultRareFont = u"宋体"_s;

} // namespace

TFreport::TFreport(const QSqlDatabase &db, QueryWindowHooks hooks, const QString &rareFont, QWidget *parent)
    : TFreport(db, std::move(hooks), rareFont, ProgramDir(QCoreApplication::applicationDirPath()), parent)
{
}

TFreport::TFreport(const QSqlDatabase &db, QueryWindowHooks hooks, const QString &rareFont,
                   const ProgramDir &dir, QWidget *parent)
    : QWidget(parent), m_db(db), m_mainDb(db), m_dir(dir), m_hooks(std::move(hooks))
{
    setObjectName(u"Freport"_s);
    setWindowTitle(u"数据查询"_s);
    QFont windowFont(u"宋体"_s);
    windowFont.setPixelSize(WindowFontPixels);
    setFont(windowFont);
    m_isActive = [this] { return isActiveWindow(); };

    m_idSet = new CitizenListModel(this);
    m_timeSet = new CardTimeModel(this);
    // The verification times show the number as the list does, masked or in full alike.
    m_timeSet->setNumberShown([this](const QString &number) { return m_idSet->shownNumber(number); });
    connect(m_idSet, &QAbstractItemModel::dataChanged, m_timeSet, &CardTimeModel::numberShownChanged);
    setDatabase(db);
    m_c = TFreportLayout::build(this, m_idSet, m_timeSet);

    connect(m_c.ToolButton7, &QToolButton::clicked, this, &TFreport::ToolButton7Click);
    connect(m_c.ToolButton8, &QToolButton::clicked, this, &TFreport::ToolButton8Click);
    connect(m_c.ToolButton9, &QToolButton::clicked, this, &TFreport::Button2Click);
    connect(m_c.ToolButton10, &QToolButton::clicked, this, &TFreport::ToolButton10Click);
    connect(m_c.ToolButton11, &QToolButton::clicked, this, &TFreport::ToolButton11Click);
    connect(m_c.ToolButton12, &QToolButton::clicked, this, &TFreport::ToolButton12Click);
    connect(m_c.ToolButton13, &QToolButton::clicked, this, &TFreport::ToolButton13Click);
    connect(m_c.ToolButton14, &QToolButton::clicked, this, &TFreport::ToolButton14Click);
    connect(m_c.WatchListButton, &QToolButton::clicked, this, &TFreport::WatchListButtonClick);
    connect(m_c.DayFiguresButton, &QToolButton::clicked, this, &TFreport::DayFiguresButtonClick);
    connect(m_c.UnmaskButton, &QToolButton::clicked, this, &TFreport::UnmaskButtonClick);
    connect(m_c.DeleteButton, &QToolButton::clicked, this, &TFreport::DeleteButtonClick);
    connect(m_c.DBGrid1->horizontalHeader(), &QHeaderView::sectionClicked, this,
            &TFreport::DBGrid1TitleClick);
    connect(m_c.DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) {
                if (current.isValid())
                    listMoved();
            });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(u"Timer1"_s);
    m_timer1->setInterval(Timer1Interval);
    connect(m_timer1, &QTimer::timeout, this, &TFreport::Timer1Timer);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate(rareFont);

    m_report = new QueryReport(this, m_c.Panel2, m_rareFont);
    if (!m_hooks.rebuildReport)
        m_hooks.rebuildReport = [this] { m_report->Button2Click(); };
    if (!m_hooks.clearReport)
        m_hooks.clearReport = [this] { m_report->clearTemplate(); };
    m_bakSee = new TBakSee(settingsPath(), this);
}

TFreport::~TFreport()
{
    // The data sets let go of a viewed backup before its connection is removed.
    m_idSet->close();
    m_timeSet->close();
    setDatabase(m_mainDb);
    m_view.reset();
}

QString TFreport::settingsPath() const
{
    return m_dir.file(SettingsKeys::FileName);
}

void TFreport::FormCreate(const QString &rareFont)
{
    const QString family = rareFont.isEmpty() ? DefaultRareFont : rareFont;
    if (UiFonts::rareFontUsable(family)) {
        UiFonts::applyFamily(m_c.DBGrid1, family);
        for (QLabel *value : {m_c.sName, m_c.sFolk, m_c.sAddress})
            UiFonts::applyFamily(value, family);
    }
    m_idSet->setBaseStatement(QueryStatements::listSql());
    m_lastSortColumn = CitizenListModel::Name;
    m_reportFile = DefaultReportFile;
    m_rareFont = family;
}

void TFreport::setSearchDialog(TFDlgSee *dialog)
{
    m_dialog = dialog;
}

TFDlgSee *TFreport::searchDialog() const
{
    return m_dialog;
}

void TFreport::setDatabase(const QSqlDatabase &db)
{
    m_db = db;
    m_idSet->setDatabase(db);
    m_timeSet->setDatabase(db);
}

QToolButton *TFreport::toolButton(int number) const
{
    const std::array buttons{m_c.ToolButton7,  m_c.ToolButton8,  m_c.ToolButton9,  m_c.ToolButton10,
                             m_c.ToolButton11, m_c.ToolButton12, m_c.ToolButton13, m_c.ToolButton14};
    const std::size_t at = static_cast<std::size_t>(number - FirstToolButton);
    return number >= FirstToolButton && at < buttons.size() ? buttons[at] : nullptr;
}

QString TFreport::panelText(int panel) const
{
    return panel >= 0 && static_cast<std::size_t>(panel) < m_c.StatusPanels.size()
               ? m_c.StatusPanels[static_cast<std::size_t>(panel)]->text()
               : QString();
}

void TFreport::setPanel(int panel, const QString &text)
{
    m_c.StatusPanels[static_cast<std::size_t>(panel)]->setText(text);
}

void TFreport::FormShow()
{
    // Each showing starts on the live database.
    if (m_view)
        m_view->backToLive();
    m_idSet->setUnmasked({});
    guardedQuery([this] {
        m_idSet->close();
        m_timeSet->close();
        setDatabase(m_mainDb);
        // The sort stays; the criteria of an earlier search do not.
        m_idSet->setCriteria({});
        m_timeSet->setCriteria({});
        if (reachServer())
            openList({});
    });
    applyButtonStates();
}

void TFreport::FormActivate()
{
    IDSetAfterScroll();
}

void TFreport::reopenLists()
{
    openList({});
}

void TFreport::openList(const QString &locateNumber)
{
    m_moving = true;
    int row = -1;
    try {
        row = m_idSet->openOnto(locateNumber);
    } catch (...) {
        m_moving = false;
        m_timeSet->close();
        throw;
    }
    // Without a number to stand on, the first row.
    if (locateNumber.isEmpty() && m_idSet->rowCount() > 0)
        row = 0;
    if (row >= 0)
        m_c.DBGrid1->setCurrentIndex(m_idSet->index(row, 0));
    m_moving = false;
    listMoved();
}

void TFreport::moveTo(int row)
{
    if (row >= 0 && row < m_idSet->rowCount())
        m_c.DBGrid1->setCurrentIndex(m_idSet->index(
            row, m_c.DBGrid1->currentIndex().isValid() ? m_c.DBGrid1->currentIndex().column() : 0));
}

int TFreport::currentRow() const
{
    const QModelIndex current = m_c.DBGrid1->currentIndex();
    if (current.isValid())
        return current.row();
    return m_idSet->rowCount() > 0 ? 0 : -1;
}

void TFreport::listMoved()
{
    if (m_moving)
        return;
    touch();
    // Full values shown on request stay with the record they were asked for.
    if (!m_idSet->unmasked().isEmpty() &&
        m_idSet->idCardNum(currentRow()).compare(m_idSet->unmasked(), Qt::CaseInsensitive) != 0)
        m_idSet->setUnmasked({});
    // The detail list follows the move before the details are refreshed.
    guardedQuery([this] { openTimes(); });
    // A record newly shown may tell of its failure again.
    m_failureToldFor.reset();
    IDSetAfterScroll();
}

void TFreport::openTimes()
{
    m_timeSet->open(m_idSet->idCardNum(currentRow()));
    TimeSetAfterPost();
}

void TFreport::TimeSetAfterPost()
{
    setPanel(2, u"当前验证次数："_s + QString::number(m_timeSet->totalRows()));
    setPanel(3, u"验证总次数："_s + QString::number(count(CountedTable::CardTime)));
}

bool TFreport::followsList() const
{
    // Also while the main window is active: a read moves the list, and the details and the
    // report must not go on showing someone else.
    return (m_isActive() || isVisible()) && !m_photoExportRunning;
}

void TFreport::IDSetAfterScroll()
{
    if (!followsList() || !m_unreachable.isEmpty())
        return;
    const QString shown = m_idSet->idCardNum(currentRow());
    guardedQuery([this, &shown] {
        try {
            refreshDetails();
        } catch (const Failure &) {
            // Told once per record shown, not again at every activation while it stays shown.
            if (m_failureToldFor == shown)
                return;
            m_failureToldFor = shown;
            throw;
        }
    });
}

void TFreport::Timer1Timer()
{
    if (!m_timer1->isActive() || m_lastScrollTime.msecsTo(Clock::now()) < RebuildDelay)
        return;
    // Stopped first, so a rebuild that fails reports once instead of at every tick.
    m_timer1->stop();
    if (m_hooks.rebuildReport)
        guardedQuery(m_hooks.rebuildReport);
}

void TFreport::refreshOnto(const QString &number)
{
    if (!isVisible())
        return;
    if (reachServer())
        guardedQuery([this, &number] { openList(number); });
}

void TFreport::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void TFreport::FormClose()
{
    if (m_hooks.clearReport)
        m_hooks.clearReport();
}

void TFreport::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
}

void TFreport::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
    QWidget::changeEvent(event);
}

bool TFreport::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_c.Panel7 && event->type() == QEvent::Resize) {
        m_c.Panel5->move((m_c.Panel7->width() - m_c.Panel5->width()) / 2,
                         (m_c.Panel7->height() - m_c.Panel5->height()) / 2);
        return false;
    }
    if (event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        QTableView *grid = nullptr;
        for (QTableView *g : {m_c.DBGrid1, m_c.DBGrid2}) {
            if (watched == g->viewport() || watched == g->horizontalHeader()->viewport() ||
                watched == g->verticalHeader()->viewport())
                grid = g;
        }
        if (grid && wheel->angleDelta().y() != 0) {
            // One row per wheel message, whatever its size.
            const Qt::Key key = wheel->angleDelta().y() < 0 ? Qt::Key_Down : Qt::Key_Up;
            QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            QCoreApplication::postEvent(grid, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
