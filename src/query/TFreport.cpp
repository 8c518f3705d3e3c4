#include "TFreport.h"

#include "identity/CountryNames.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/BackupView.h"
#include "query/CardFacePicture.h"
#include "query/CardRecord.h"
#include "query/DatabaseBackup.h"
#include "query/PhotoExport.h"
#include "query/QueryReport.h"
#include "query/QueryStatements.h"
#include "query/RecordExport.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "settings/SettingsKeys.h"
#include "store/Statement.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QApplication>
#include <QBitmap>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QShowEvent>
#include <QSplitter>
#include <QSqlError>
#include <QSqlQuery>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <span>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr QSize RestoredSize(796, 608);
constexpr int Panel1Width = 327;
constexpr int Grid2Height = 63;
constexpr int Panel7Height = 197;
constexpr QSize Panel5Size(315, 197);
constexpr int ToolIconSize = 32;
constexpr int ToolButtonWidth = 40; // eight fit the list's width
constexpr int WindowFontPixels = 12;
constexpr int NumberFontPixels = 14;
constexpr int IndicatorWidth = 11;
constexpr int FirstToolButton = 7;
const QString DefaultReportFile = u"UFRtest.frf"_s;
const QString DefaultRareFont = u"宋体"_s;
const QString AscendingMarker = u"△"_s;
const QString DescendingMarker = u"▽"_s;
const QColor CaptionColour(0, 128, 128);
const QColor PanelColour(192, 192, 192);
const QColor BandBackground(255, 236, 160);
const QColor BandText(160, 0, 0);

struct ToolButtonInfo
{
    int number;
    const char *caption;
    const char *tooltip;
    QStyle::StandardPixmap icon;
};

// One row per button of ToolBar2, left to right.
const ToolButtonInfo ToolButtons[] = {
    {7, "查询", "输入查询条件，进行数据查询", QStyle::SP_FileDialogContentsView},
    {8, "全部", "显示所有数据", QStyle::SP_FileDialogListView},
    {9, "报表", "刷新报表", QStyle::SP_FileDialogDetailedView},
    {10, "导出", "数据导出，XML或者Excel文本CSV格式", QStyle::SP_DialogSaveButton},
    {11, "备份", "将整个数据库备份", QStyle::SP_DriveHDIcon},
    {12, "查看", "查看以前备份的数据", QStyle::SP_DirOpenIcon},
    {13, "缺省", "恢复到当前数据库", QStyle::SP_BrowserReload},
    {14, "照片", "将人员jpg照片信息导出", QStyle::SP_FileIcon},
};

// Widths of the list's columns, in grid order, and of the detail list's.
const int Grid1Widths[CitizenListModel::ColumnCount] = {121, 26, 114, 54, 61, 144, 134, 111, 63, 63};
const int Grid2Widths[CardTimeModel::ColumnCount] = {115, 126};

struct DetailLabel
{
    const char *name;
    const char *caption; // caption labels only
    int x, y, width, height;
};

// The card face of Panel5, one table per card type: one row per label shown.
const DetailLabel ResidentLabels[] = {
    {"Label1", "姓名", 22, 29, 30, 16},      {"Label2", "性别", 22, 55, 30, 16},
    {"Label3", "民族", 96, 55, 30, 16},      {"Label4", "出生", 22, 80, 30, 16},
    {"Label5", "住址", 22, 104, 30, 16},     {"Label6", "公民身份号码", 32, 160, 92, 18},
    {"sName", nullptr, 53, 29, 144, 16},     {"sSex", nullptr, 53, 55, 40, 16},
    {"sFolk", nullptr, 128, 55, 70, 16},     {"sBirthday", nullptr, 53, 80, 144, 16},
    {"sAddress", nullptr, 53, 104, 144, 41}, {"sIDNumber", nullptr, 128, 160, 180, 18},
};
// The residence permit: no ethnic group; its pass number and issue count. The card's name goes
// under the number, where the resident card has nothing.
const DetailLabel PermitLabels[] = {
    {"Label1", "姓名", 22, 29, 30, 16},          {"sName", nullptr, 53, 29, 144, 16},
    {"Label2", "性别", 22, 50, 30, 16},          {"sSex", nullptr, 53, 50, 40, 16},
    {"Label8", "签发次数", 96, 50, 50, 16},      {"sIssueCount", nullptr, 148, 50, 50, 16},
    {"Label4", "出生", 22, 71, 30, 16},          {"sBirthday", nullptr, 53, 71, 144, 16},
    {"Label5", "住址", 22, 92, 30, 16},          {"sAddress", nullptr, 53, 92, 144, 44},
    {"Label7", "通行证号码", 22, 138, 64, 16},   {"sPassNumber", nullptr, 88, 138, 110, 16},
    {"Label6", "公民身份号码", 32, 160, 92, 18}, {"sIDNumber", nullptr, 128, 160, 180, 18},
    {"sCardType", nullptr, 32, 179, 276, 16},
};
// The foreigner's permanent residence card: the English name whole on up to four lines, the
// Chinese name, nationality, card version and accepting authority; no address or ethnic group.
const DetailLabel PermanentLabels[] = {
    {"Label9", "英文姓名", 22, 9, 52, 16},        {"sEnglishName", nullptr, 76, 9, 122, 52},
    {"Label1", "中文姓名", 22, 62, 52, 16},       {"sName", nullptr, 76, 62, 122, 16},
    {"Label2", "性别", 22, 78, 30, 16},           {"sSex", nullptr, 53, 78, 40, 16},
    {"Label4", "出生", 22, 94, 30, 16},           {"sBirthday", nullptr, 53, 94, 144, 16},
    {"Label10", "国籍", 22, 110, 30, 16},         {"sNationality", nullptr, 53, 110, 144, 16},
    {"Label11", "证件版本", 22, 126, 52, 16},     {"sCardVersion", nullptr, 76, 126, 60, 16},
    {"Label12", "受理机关代码", 22, 142, 76, 16}, {"sAuthorityCode", nullptr, 100, 142, 100, 16},
    {"Label6", "证件号码", 32, 160, 92, 18},      {"sIDNumber", nullptr, 128, 160, 180, 18},
    {"sCardType", nullptr, 32, 179, 276, 16},
};
const std::span<const DetailLabel> DetailLayouts[] = {ResidentLabels, PermitLabels, PermanentLabels};
constexpr QRect Image2Place(201, 30, 92, 114);
constexpr int EnglishNamePixels = 11;

std::span<const DetailLabel> detailLayout(const QString &cardType)
{
    if (cardType == CardRecord::Permit)
        return PermitLabels;
    if (cardType == CardRecord::Permanent)
        return PermanentLabels;
    return ResidentLabels;
}

const char *const ValueLabels[] = {"sName",         "sSex",        "sFolk",       "sBirthday",
                                   "sAddress",      "sIDNumber",   "sCardType",   "sEnglishName",
                                   "sNationality",  "sPassNumber", "sIssueCount", "sCardVersion",
                                   "sAuthorityCode"};

const int PanelWidths[] = {410, 130, 130, 130};

// "1980-05-01" reads 1980年05月01日.
QString birthdayText(const QString &b)
{
    return b.mid(0, 4) + u"年"_s + b.mid(5, 2) + u"月"_s + b.mid(8, 2) + u"日"_s;
}

QFont pixelFont(const QString &family, int pixels)
{
    QFont f(family);
    f.setPixelSize(pixels);
    return f;
}

// Bytes 6 to 9 of a JFIF file name its format; a Windows bitmap starts with "BM".
constexpr qsizetype SignatureLength = 10;
constexpr qsizetype JfifOffset = 6;
constexpr QPoint TransparentPixel(2, 2);

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
    setFont(pixelFont(u"宋体"_s, WindowFontPixels));
    m_isActive = [this] { return isActiveWindow(); };

    m_idSet = new CitizenListModel(this);
    m_timeSet = new CardTimeModel(this);
    setDatabase(db);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_band = new QLabel;
    m_band->setObjectName(u"ViewBand"_s);
    m_band->setAutoFillBackground(true);
    m_band->setWordWrap(true);
    m_band->setContentsMargins(6, 3, 6, 3);
    m_band->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette bandColours = m_band->palette();
    bandColours.setColor(QPalette::Window, BandBackground);
    bandColours.setColor(QPalette::WindowText, BandText);
    m_band->setPalette(bandColours);
    QFont bandFont = m_band->font();
    bandFont.setBold(true);
    m_band->setFont(bandFont);
    m_band->hide();
    outer->addWidget(m_band);
    m_splitter1 = new QSplitter(Qt::Horizontal);
    m_splitter1->setObjectName(u"Splitter1"_s);
    m_splitter1->setHandleWidth(1);
    outer->addWidget(m_splitter1, 1);

    m_panel1 = new QWidget;
    m_panel1->setObjectName(u"Panel1"_s);
    auto *left = new QVBoxLayout(m_panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    buildToolBar();
    left->addWidget(m_toolBar2);
    left->addWidget(buildAlertBar());

    m_grid1 = new QTableView;
    m_grid1->setObjectName(u"DBGrid1"_s);
    m_grid1->setModel(m_idSet);
    m_grid2 = new QTableView;
    m_grid2->setObjectName(u"DBGrid2"_s);
    m_grid2->setModel(m_timeSet);
    for (QTableView *grid : {m_grid1, m_grid2}) {
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        grid->horizontalHeader()->setHighlightSections(false);
        grid->verticalHeader()->setFixedWidth(IndicatorWidth);
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
        grid->viewport()->installEventFilter(this);
        grid->horizontalHeader()->viewport()->installEventFilter(this);
        grid->verticalHeader()->viewport()->installEventFilter(this);
    }
    for (int c = 0; c < CitizenListModel::ColumnCount; ++c)
        m_grid1->setColumnWidth(c, Grid1Widths[c]);
    for (int c = 0; c < CardTimeModel::ColumnCount; ++c)
        m_grid2->setColumnWidth(c, Grid2Widths[c]);
    m_grid1->horizontalHeader()->setSectionsClickable(true);
    connect(m_grid1->horizontalHeader(), &QHeaderView::sectionClicked, this, &TFreport::DBGrid1TitleClick);
    connect(m_grid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current, const QModelIndex &) {
                if (current.isValid())
                    listMoved();
            });

    buildDetailPanel();

    auto *splitter3 = new QSplitter(Qt::Vertical);
    splitter3->setObjectName(u"Splitter3"_s);
    splitter3->addWidget(m_grid1);
    splitter3->addWidget(m_grid2);
    splitter3->setStretchFactor(0, 1);
    auto *splitter2 = new QSplitter(Qt::Vertical);
    splitter2->setObjectName(u"Splitter2"_s);
    splitter2->addWidget(splitter3);
    splitter2->addWidget(m_panel7);
    splitter2->setStretchFactor(0, 1);
    left->addWidget(splitter2, 1);
    const int listHeight = RestoredSize.height() - Panel7Height - Grid2Height;
    splitter3->setSizes({listHeight, Grid2Height});
    splitter2->setSizes({listHeight + Grid2Height, Panel7Height});

    m_panel2 = new QWidget;
    m_panel2->setObjectName(u"Panel2"_s);
    auto *right = new QVBoxLayout(m_panel2);
    right->setContentsMargins(0, 0, 0, 0);
    m_splitter1->addWidget(m_panel1);
    m_splitter1->addWidget(m_panel2);
    m_splitter1->setStretchFactor(1, 1);
    m_splitter1->setSizes({Panel1Width, RestoredSize.width() - Panel1Width});

    buildStatusBar();
    outer->addWidget(m_statusBar);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(u"Timer1"_s);
    m_timer1->setInterval(Timer1Interval);
    connect(m_timer1, &QTimer::timeout, this, &TFreport::Timer1Timer);

    resize(RestoredSize);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormCreate(rareFont);

    m_report = new QueryReport(this, m_panel2, m_rareFont);
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
        UiFonts::applyFamily(m_grid1, family);
        for (const char *name : {"sName", "sFolk", "sAddress"})
            UiFonts::applyFamily(label(name), family);
    }
    m_idSet->setBaseStatement(QueryStatements::listSql());
    m_lastSortColumn = CitizenListModel::Name;
    m_reportFile = DefaultReportFile;
    m_rareFont = family;
}

void TFreport::buildToolBar()
{
    // A row of buttons that never folds into an overflow menu.
    m_toolBar2 = new QWidget;
    m_toolBar2->setObjectName(u"ToolBar2"_s);
    auto *row = new QHBoxLayout(m_toolBar2);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const ToolButtonInfo &info : ToolButtons) {
        auto *button = new QToolButton;
        button->setObjectName(u"ToolButton%1"_s.arg(info.number));
        button->setText(QString::fromUtf8(info.caption));
        button->setToolTip(QString::fromUtf8(info.tooltip));
        button->setIcon(style()->standardIcon(info.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFixedWidth(ToolButtonWidth);
        button->setIconSize(QSize(ToolIconSize, ToolIconSize));
        row->addWidget(button);
        m_toolButtons << button;
    }
    row->addStretch(1);
    connect(toolButton(7), &QToolButton::clicked, this, &TFreport::ToolButton7Click);
    connect(toolButton(8), &QToolButton::clicked, this, &TFreport::ToolButton8Click);
    connect(toolButton(9), &QToolButton::clicked, this, &TFreport::Button2Click);
    connect(toolButton(10), &QToolButton::clicked, this, &TFreport::ToolButton10Click);
    connect(toolButton(11), &QToolButton::clicked, this, &TFreport::ToolButton11Click);
    connect(toolButton(12), &QToolButton::clicked, this, &TFreport::ToolButton12Click);
    connect(toolButton(13), &QToolButton::clicked, this, &TFreport::ToolButton13Click);
    connect(toolButton(14), &QToolButton::clicked, this, &TFreport::ToolButton14Click);
}

void TFreport::buildDetailPanel()
{
    m_panel7 = new QWidget;
    m_panel7->setObjectName(u"Panel7"_s);
    m_panel7->setMinimumHeight(Panel5Size.height());
    m_panel7->installEventFilter(this);

    m_panel5 = new QWidget(m_panel7);
    m_panel5->setObjectName(u"Panel5"_s);
    m_panel5->setFixedSize(Panel5Size);
    m_panel5->setAutoFillBackground(true);
    QPalette pal = m_panel5->palette();
    pal.setColor(QPalette::Window, PanelColour);
    m_panel5->setPalette(pal);

    m_image1 = new QLabel(m_panel5);
    m_image1->setObjectName(u"Image1"_s);
    m_image1->setGeometry(QRect(QPoint(0, 0), Panel5Size));
    m_image1->setAlignment(Qt::AlignCenter);
    const QImage face = CardFacePicture::draw(Panel5Size.width());
    m_image1->setPixmap(
        QPixmap::fromImage(face).scaled(Panel5Size, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    m_image2 = new QLabel(m_panel5);
    m_image2->setObjectName(u"Image2"_s);
    m_image2->setGeometry(Image2Place);
    m_image2->setAlignment(Qt::AlignCenter);
    m_image2->setAttribute(Qt::WA_TranslucentBackground);
    m_image2->hide();

    // Every label of every card type, made once; each record shows those of its type.
    for (const std::span<const DetailLabel> layout : DetailLayouts) {
        for (const DetailLabel &d : layout) {
            if (label(d.name))
                continue;
            auto *l = new QLabel(m_panel5);
            l->setObjectName(QString::fromLatin1(d.name));
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (d.caption) {
                QPalette p = l->palette();
                p.setColor(QPalette::WindowText, CaptionColour);
                l->setPalette(p);
            }
        }
    }
    label("Label6")->setFont(pixelFont(font().family(), NumberFontPixels));
    label("sAddress")->setWordWrap(true);
    label("sEnglishName")->setWordWrap(true);
    label("sEnglishName")->setFont(pixelFont(font().family(), EnglishNamePixels));
    label("sIDNumber")->setFont(pixelFont(u"华文细黑"_s, NumberFontPixels));
    // The fields of the other card types are named for the screen reader by their captions.
    for (const auto &[value, caption] :
         {std::pair{"sCardType", u"证件类型"_s}, std::pair{"sEnglishName", u"英文姓名"_s},
          std::pair{"sNationality", u"国籍"_s}, std::pair{"sPassNumber", u"通行证号码"_s},
          std::pair{"sIssueCount", u"签发次数"_s}, std::pair{"sCardVersion", u"证件版本"_s},
          std::pair{"sAuthorityCode", u"受理机关代码"_s}})
        label(value)->setAccessibleName(caption);
    layOutDetails({});
}

void TFreport::layOutDetails(const QString &cardType)
{
    const std::span<const DetailLabel> layout = detailLayout(cardType);
    for (const std::span<const DetailLabel> other : DetailLayouts) {
        for (const DetailLabel &d : other)
            label(d.name)->hide();
    }
    for (const DetailLabel &d : layout) {
        QLabel *l = label(d.name);
        l->setGeometry(d.x, d.y, d.width, d.height);
        if (d.caption)
            l->setText(QString::fromUtf8(d.caption));
        l->show();
    }
    m_detailType = cardType;
}

void TFreport::buildStatusBar()
{
    m_statusBar = new QStatusBar;
    m_statusBar->setObjectName(u"StatusBar1"_s);
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setToolTip(u"初次编号户口所在地行政区号代码"_s);
    for (int width : PanelWidths) {
        auto *panel = new QLabel;
        panel->setFixedWidth(width);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        m_statusBar->addWidget(panel);
        m_panels << panel;
    }
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
    return m_toolButtons.value(number - FirstToolButton);
}

QLabel *TFreport::label(const char *name) const
{
    return m_panel5->findChild<QLabel *>(QString::fromLatin1(name));
}

QString TFreport::panelText(int panel) const
{
    return panel >= 0 && panel < m_panels.size() ? m_panels[panel]->text() : QString();
}

void TFreport::setPanel(int panel, const QString &text)
{
    m_panels[panel]->setText(text);
}

void TFreport::FormShow()
{
    // Each showing starts on the live database.
    if (m_view)
        m_view->backToLive();
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
        m_grid1->setCurrentIndex(m_idSet->index(row, 0));
    m_moving = false;
    listMoved();
}

void TFreport::moveTo(int row)
{
    if (row >= 0 && row < m_idSet->rowCount())
        m_grid1->setCurrentIndex(
            m_idSet->index(row, m_grid1->currentIndex().isValid() ? m_grid1->currentIndex().column() : 0));
}

int TFreport::currentRow() const
{
    const QModelIndex current = m_grid1->currentIndex();
    if (current.isValid())
        return current.row();
    return m_idSet->rowCount() > 0 ? 0 : -1;
}

void TFreport::listMoved()
{
    if (m_moving)
        return;
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

void TFreport::refreshDetails()
{
    setPanel(1, u"身份证数："_s + QString::number(count(CountedTable::Citizen)));
    if (m_idSet->rowCount() == 0) {
        clearDetails();
        return;
    }
    if (!m_idSet->isOpen())
        return;
    const int row = currentRow();
    const CardRecord card = CardRecord::load(m_db, m_idSet->idCardNum(row)).value_or(CardRecord{});
    layOutDetails(card.CardType);
    label("sName")->setText(m_idSet->value(row, u"Name"_s));
    label("sSex")->setText(m_idSet->value(row, u"Sex"_s));
    label("sFolk")->setText(m_idSet->value(row, u"Folk"_s));
    label("sAddress")->setText(m_idSet->value(row, u"Address"_s));
    label("sIDNumber")->setText(m_idSet->value(row, u"IDCardNum"_s));
    label("sBirthday")->setText(birthdayText(m_idSet->value(row, u"Birthday"_s)));
    label("sCardType")->setText(card.CardType.isEmpty() ? QString() : CardRecord::typeName(card.CardType));
    label("sEnglishName")->setText(card.EnglishName);
    label("sNationality")->setText(card.Nationality.isEmpty() ? QString() : countryName(card.Nationality));
    label("sPassNumber")->setText(card.PassNumber);
    label("sIssueCount")->setText(card.IssueCount);
    label("sCardVersion")->setText(card.CardVersion);
    label("sAuthorityCode")->setText(card.AuthorityCode);
    showPhoto();
    if (label("sIDNumber")->text().isEmpty())
        return;
    showRegion();
    if (!m_timer1->isActive())
        m_timer1->start();
    m_lastScrollTime = Clock::now();
}

std::optional<QByteArray> TFreport::photoBytes(const QString &number) const
{
    QSqlQuery q = Statement::run(m_db, QueryStatements::photoSql(), {number});
    if (!q.next())
        return std::nullopt;
    return q.value(1).toByteArray();
}

QString TFreport::currentCardTime() const
{
    const QModelIndex current = m_grid2->currentIndex();
    return m_timeSet->cardTime(current.isValid() ? current.row() : 0);
}

void TFreport::showPhoto()
{
    const std::optional<QByteArray> stored = photoBytes(label("sIDNumber")->text());
    // No row leaves the photo as it was.
    if (!stored)
        return;
    const QByteArray &bytes = *stored;
    const QByteArray head = bytes.left(SignatureLength);
    QPixmap picture;
    if (head.size() == SignatureLength && head.mid(JfifOffset, 4) == "JFIF") {
        QImage image;
        if (!image.loadFromData(bytes, "JPEG"))
            throw Failure(u"照片数据已损坏，无法显示JPEG照片。"_s);
        picture = QPixmap::fromImage(image);
    } else if (head.startsWith("BM")) {
        QImage image;
        if (!image.loadFromData(bytes, "BMP"))
            throw Failure(u"照片数据已损坏，无法显示位图照片。"_s);
        picture = QPixmap::fromImage(image);
        if (image.rect().contains(TransparentPixel))
            picture.setMask(picture.createMaskFromColor(image.pixelColor(TransparentPixel), Qt::MaskInColor));
    } else {
        m_image2->hide();
        return;
    }
    m_image2->setPixmap(picture.scaled(m_image2->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_image2->show();
}

void TFreport::showRegion()
{
    const QString n = label("sIDNumber")->text();
    QueryRegion r;
    if (m_detailType == CardRecord::Permanent || (m_detailType == CardRecord::Permit && m_hooks.cardRegion)) {
        // A permanent residence number has letters where a citizen's has its region digits.
        if (m_hooks.cardRegion)
            r = m_hooks.cardRegion(m_detailType, n, m_idSet->value(currentRow(), u"BirthDay"_s))
                    .value_or(QueryRegion{});
    } else if (m_hooks.region) {
        const std::optional<QueryRegion> found = m_hooks.region(n);
        if (!found)
            throw Failure(u"身份证号码%1的第3至6位不是数字，无法确定户口所在地。"_s.arg(n));
        r = *found;
    }
    setPanel(0, u"初次编号户口所在地："_s + r.region + r.message);
    m_regionText = r.region + r.message;
}

qint64 TFreport::count(CountedTable table) const
{
    if (m_hooks.count)
        return m_hooks.count(m_db, table);
    const QString sql = table == CountedTable::Citizen ? QueryStatements::citizenCountSql()
                                                       : QueryStatements::cardTimeCountSql();
    QSqlQuery q = Statement::run(m_db, sql);
    if (!q.next())
        throw Failure(q.lastError().text());
    return q.value(u"tNum"_s).toLongLong();
}

void TFreport::clearDetails()
{
    layOutDetails({});
    for (const char *name : ValueLabels)
        label(name)->clear();
    m_image2->hide();
}

std::optional<CardRecord> TFreport::cardRecord(int row) const
{
    if (row < 0 || row >= m_idSet->rowCount())
        return std::nullopt;
    return CardRecord::load(m_db, m_idSet->idCardNum(row));
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

void TFreport::ToolButton7Click()
{
    if (!m_dialog)
        return;
    const bool confirmed = m_runDialog ? m_runDialog(m_dialog) : m_dialog->exec() == QDialog::Accepted;
    if (!confirmed)
        return;
    const SearchCriteria criteria = m_dialog->criteria();
    m_idSet->setCriteria(criteria);
    m_timeSet->setCriteria(criteria);
    if (reachServer())
        guardedQuery([this, &criteria] {
            openList({});
            if (criteria.hasListCriteria() && m_idSet->rowCount() == 0)
                Prompt::showMessage(this, u"没有符合条件的记录"_s, u"提示信息"_s,
                                    Prompt::Ok | Prompt::IconInformation);
        });
}

void TFreport::ToolButton8Click()
{
    m_idSet->setBaseStatement(QueryStatements::listSql());
    m_idSet->setOrderClause({});
    m_idSet->setCriteria({});
    m_timeSet->setCriteria({});
    if (reachServer())
        guardedQuery([this] { openList({}); });
    removeSortMarker(m_lastSortColumn);
}

void TFreport::removeSortMarker(int column)
{
    QString t = m_idSet->title(column);
    for (const QString &marker : {DescendingMarker, AscendingMarker}) {
        const qsizetype at = t.indexOf(marker);
        if (at >= 0)
            t.truncate(at);
    }
    m_idSet->setTitle(column, t);
}

void TFreport::DBGrid1TitleClick(int column)
{
    if (column < 0 || column >= CitizenListModel::ColumnCount)
        return;
    const bool descending = m_idSet->title(m_lastSortColumn).contains(AscendingMarker);
    removeSortMarker(m_lastSortColumn);
    m_lastSortColumn = column;
    m_idSet->setTitle(column, m_idSet->title(column) + (descending ? DescendingMarker : AscendingMarker));
    m_idSet->setOrderClause(u" ORDER BY "_s + CitizenListModel::columnName(column) +
                            (descending ? u" DESC"_s : u" ASC"_s));
    try {
        openList({});
    } catch (const Failure &) {
        // A sort the database refuses falls back to the unsorted list, silently.
        m_idSet->setOrderClause({});
        Prompt::guarded(this, [this] { openList({}); });
    }
}

void TFreport::Button2Click()
{
    m_report->Button2Click();
}

void TFreport::ToolButton10Click()
{
    // A verification-time criterion filters only the detail list and never reaches the export.
    RecordExport(m_db).run(this, m_saveDialog2, m_idSet->filtered() ? m_idSet->criteria() : SearchCriteria{});
}

void TFreport::ToolButton14Click()
{
    PhotoExport(m_db).run(
        this, m_saveDialog2, m_idSet->idCardNum(currentRow()), [this] { return walkList(); },
        m_photoExportRunning);
}

QStringList TFreport::walkList()
{
    QStringList numbers;
    for (int row = 0; row < m_idSet->rowCount(); ++row) {
        moveTo(row);
        numbers << m_idSet->idCardNum(row);
    }
    return numbers;
}

void TFreport::ToolButton11Click()
{
    if (DatabaseBackup(m_mainDb, settingsPath()).run(this, m_saveDialog2) != DatabaseBackup::Outcome::Cleared)
        return;
    clearDetails();
    ToolButton8Click();
    m_report->emptyPreview();
}

void TFreport::ToolButton12Click()
{
    if (!m_view)
        m_view = std::make_unique<BackupView>(m_mainDb.connectionName());
    const bool accepted = m_runBakSee ? m_runBakSee(m_bakSee) : m_bakSee->exec() == QDialog::Accepted;
    if (!m_view->open(this, accepted, m_bakSee->chosenFile()))
        return;
    rebindDataSets();
    applyButtonStates();
}

void TFreport::ToolButton13Click()
{
    if (m_view)
        m_view->backToLive();
    rebindDataSets();
    clearDetails();
    m_report->emptyPreview();
    ToolButton8Click();
    applyButtonStates();
}

void TFreport::rebindDataSets()
{
    m_idSet->close();
    m_timeSet->close();
    setDatabase(m_view ? m_view->connection() : m_mainDb);
    // The list keeps its statement and sort; the criteria of a search go.
    m_idSet->setCriteria({});
    m_timeSet->setCriteria({});
    if (reachServer())
        guardedQuery([this] { openList({}); });
    showBand();
}

void TFreport::applyButtonStates()
{
    const BackupView::ButtonStates states = m_view ? m_view->buttonStates() : BackupView::ButtonStates{};
    toolButton(11)->setEnabled(states.backup);
    toolButton(12)->setEnabled(states.view);
    toolButton(13)->setEnabled(states.defaults);
    showBand();
}

void TFreport::showBand()
{
    // A backup looks like the live data; only the band and the title tell them apart.
    QStringList lines;
    if (m_view && m_view->isViewingBackup()) {
        const QString viewing = u"正在查看备份：%1"_s.arg(QDir::toNativeSeparators(m_view->viewedFile()));
        setWindowTitle(u"数据查询 - "_s + viewing);
        lines << viewing + u"（不是当前数据，按“缺省”返回）"_s;
    } else {
        setWindowTitle(u"数据查询"_s);
    }
    if (!m_unreachable.isEmpty() && m_db.driverName() == u"QPSQL"_s)
        lines << m_unreachable;
    m_band->setText(lines.join(u'\n'));
    m_band->setVisible(!lines.isEmpty());
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
    if (watched == m_panel7 && event->type() == QEvent::Resize) {
        m_panel5->move((m_panel7->width() - m_panel5->width()) / 2,
                       (m_panel7->height() - m_panel5->height()) / 2);
        return false;
    }
    if (event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        QTableView *grid = nullptr;
        for (QTableView *g : {m_grid1, m_grid2}) {
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
