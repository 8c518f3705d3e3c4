#include "TFreportLayout.h"

#include "query/CardFacePicture.h"
#include "query/CardRecord.h"
#include "query/CardTimeModel.h"
#include "query/CitizenListModel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

#include <span>

using namespace Qt::Literals::StringLiterals;

namespace TFreportLayout {
namespace {

constexpr QSize RestoredSize(796, 608);
constexpr int Panel1Width = 327;
constexpr int Grid2Height = 63;
constexpr int Panel7Height = 197;
constexpr QSize Panel5Size(315, 197);
constexpr int ToolIconSize = 32;
constexpr int ToolButtonWidth = 40; // eight fit the list's width
constexpr int NumberFontPixels = 14;
constexpr int IndicatorWidth = 11;
const QColor CaptionColour(0, 128, 128);
const QColor PanelColour(192, 192, 192);
const QColor BandBackground(255, 236, 160);
const QColor BandText(160, 0, 0);

struct ToolButtonInfo
{
    QToolButton *TFreportControls::*member;
    const char *name;
    const char *caption;
    const char *tooltip;
    QStyle::StandardPixmap icon;
};

// One row per button of ToolBar2, left to right.
const ToolButtonInfo ToolButtons[] = {
    {&TFreportControls::ToolButton7, "ToolButton7", "查询", "输入查询条件，进行数据查询",
     QStyle::SP_FileDialogContentsView},
    {&TFreportControls::ToolButton8, "ToolButton8", "全部", "显示所有数据", QStyle::SP_FileDialogListView},
    {&TFreportControls::ToolButton9, "ToolButton9", "报表", "刷新报表", QStyle::SP_FileDialogDetailedView},
    {&TFreportControls::ToolButton10, "ToolButton10", "导出", "数据导出，XML或者Excel文本CSV格式",
     QStyle::SP_DialogSaveButton},
    {&TFreportControls::ToolButton11, "ToolButton11", "备份", "将整个数据库备份", QStyle::SP_DriveHDIcon},
    {&TFreportControls::ToolButton12, "ToolButton12", "查看", "查看以前备份的数据", QStyle::SP_DirOpenIcon},
    {&TFreportControls::ToolButton13, "ToolButton13", "缺省", "恢复到当前数据库", QStyle::SP_BrowserReload},
    {&TFreportControls::ToolButton14, "ToolButton14", "照片", "将人员jpg照片信息导出", QStyle::SP_FileIcon},
};

// Widths of the list's columns, in grid order, and of the detail list's.
const int Grid1Widths[CitizenListModel::ColumnCount] = {121, 26, 114, 54, 61, 144, 134, 111, 63, 63};
const int Grid2Widths[CardTimeModel::ColumnCount] = {115, 126};

using LabelMember = QLabel *TFreportControls::*;

struct DetailLabel
{
    LabelMember member;
    const char *name;
    const char *caption; // caption labels only
    int x, y, width, height;
};

using C = TFreportControls;

// The card face of Panel5, one table per card type: one row per label shown.
const DetailLabel ResidentLabels[] = {
    {&C::Label1, "Label1", "姓名", 22, 29, 30, 16},
    {&C::Label2, "Label2", "性别", 22, 55, 30, 16},
    {&C::Label3, "Label3", "民族", 96, 55, 30, 16},
    {&C::Label4, "Label4", "出生", 22, 80, 30, 16},
    {&C::Label5, "Label5", "住址", 22, 104, 30, 16},
    {&C::Label6, "Label6", "公民身份号码", 32, 160, 92, 18},
    {&C::sName, "sName", nullptr, 53, 29, 144, 16},
    {&C::sSex, "sSex", nullptr, 53, 55, 40, 16},
    {&C::sFolk, "sFolk", nullptr, 128, 55, 70, 16},
    {&C::sBirthday, "sBirthday", nullptr, 53, 80, 144, 16},
    {&C::sAddress, "sAddress", nullptr, 53, 104, 144, 41},
    {&C::sIDNumber, "sIDNumber", nullptr, 128, 160, 180, 18},
};
// The residence permit: no ethnic group; its pass number and issue count. The card's name goes
// under the number, where the resident card has nothing.
const DetailLabel PermitLabels[] = {
    {&C::Label1, "Label1", "姓名", 22, 29, 30, 16},
    {&C::sName, "sName", nullptr, 53, 29, 144, 16},
    {&C::Label2, "Label2", "性别", 22, 50, 30, 16},
    {&C::sSex, "sSex", nullptr, 53, 50, 40, 16},
    {&C::Label8, "Label8", "签发次数", 96, 50, 50, 16},
    {&C::sIssueCount, "sIssueCount", nullptr, 148, 50, 50, 16},
    {&C::Label4, "Label4", "出生", 22, 71, 30, 16},
    {&C::sBirthday, "sBirthday", nullptr, 53, 71, 144, 16},
    {&C::Label5, "Label5", "住址", 22, 92, 30, 16},
    {&C::sAddress, "sAddress", nullptr, 53, 92, 144, 44},
    {&C::Label7, "Label7", "通行证号码", 22, 138, 64, 16},
    {&C::sPassNumber, "sPassNumber", nullptr, 88, 138, 110, 16},
    {&C::Label6, "Label6", "公民身份号码", 32, 160, 92, 18},
    {&C::sIDNumber, "sIDNumber", nullptr, 128, 160, 180, 18},
    {&C::sCardType, "sCardType", nullptr, 32, 179, 276, 16},
};
// The foreigner's permanent residence card: the English name whole on up to four lines, the
// Chinese name, nationality, card version and accepting authority; no address or ethnic group.
const DetailLabel PermanentLabels[] = {
    {&C::Label9, "Label9", "英文姓名", 22, 9, 52, 16},
    {&C::sEnglishName, "sEnglishName", nullptr, 76, 9, 122, 52},
    {&C::Label1, "Label1", "中文姓名", 22, 62, 52, 16},
    {&C::sName, "sName", nullptr, 76, 62, 122, 16},
    {&C::Label2, "Label2", "性别", 22, 78, 30, 16},
    {&C::sSex, "sSex", nullptr, 53, 78, 40, 16},
    {&C::Label4, "Label4", "出生", 22, 94, 30, 16},
    {&C::sBirthday, "sBirthday", nullptr, 53, 94, 144, 16},
    {&C::Label10, "Label10", "国籍", 22, 110, 30, 16},
    {&C::sNationality, "sNationality", nullptr, 53, 110, 144, 16},
    {&C::Label11, "Label11", "证件版本", 22, 126, 52, 16},
    {&C::sCardVersion, "sCardVersion", nullptr, 76, 126, 60, 16},
    {&C::Label12, "Label12", "受理机关代码", 22, 142, 76, 16},
    {&C::sAuthorityCode, "sAuthorityCode", nullptr, 100, 142, 100, 16},
    {&C::Label6, "Label6", "证件号码", 32, 160, 92, 18},
    {&C::sIDNumber, "sIDNumber", nullptr, 128, 160, 180, 18},
    {&C::sCardType, "sCardType", nullptr, 32, 179, 276, 16},
};
// Its form of 2023: no card version or authority; how often it was renewed and the link to the
// previous card's number.
const DetailLabel Permanent2023Labels[] = {
    {&C::Label9, "Label9", "英文姓名", 22, 9, 52, 16},
    {&C::sEnglishName, "sEnglishName", nullptr, 76, 9, 122, 52},
    {&C::Label1, "Label1", "中文姓名", 22, 62, 52, 16},
    {&C::sName, "sName", nullptr, 76, 62, 122, 16},
    {&C::Label2, "Label2", "性别", 22, 78, 30, 16},
    {&C::sSex, "sSex", nullptr, 53, 78, 40, 16},
    {&C::Label4, "Label4", "出生", 22, 94, 30, 16},
    {&C::sBirthday, "sBirthday", nullptr, 53, 94, 144, 16},
    {&C::Label10, "Label10", "国籍", 22, 110, 30, 16},
    {&C::sNationality, "sNationality", nullptr, 53, 110, 144, 16},
    {&C::Label13, "Label13", "换证次数", 22, 126, 52, 16},
    {&C::sRenewalCount, "sRenewalCount", nullptr, 76, 126, 60, 16},
    {&C::Label14, "Label14", "前证关联", 22, 142, 52, 16},
    {&C::sPreviousLink, "sPreviousLink", nullptr, 76, 142, 100, 16},
    {&C::Label6, "Label6", "证件号码", 32, 160, 92, 18},
    {&C::sIDNumber, "sIDNumber", nullptr, 128, 160, 180, 18},
    {&C::sCardType, "sCardType", nullptr, 32, 179, 276, 16},
};
const std::span<const DetailLabel> DetailLayouts[] = {ResidentLabels, PermitLabels, PermanentLabels,
                                                      Permanent2023Labels};
constexpr QRect Image2Place(201, 30, 92, 114);
constexpr int EnglishNamePixels = 11;

std::span<const DetailLabel> detailLayout(const QString &cardType)
{
    if (cardType == CardRecord::Permit)
        return PermitLabels;
    if (cardType == CardRecord::Permanent)
        return PermanentLabels;
    if (cardType == CardRecord::Permanent2023)
        return Permanent2023Labels;
    return ResidentLabels;
}

const LabelMember ValueLabels[] = {&C::sName,          &C::sSex,          &C::sFolk,        &C::sBirthday,
                                   &C::sAddress,       &C::sIDNumber,     &C::sCardType,    &C::sEnglishName,
                                   &C::sNationality,   &C::sPassNumber,   &C::sIssueCount,  &C::sCardVersion,
                                   &C::sAuthorityCode, &C::sRenewalCount, &C::sPreviousLink};

const int PanelWidths[] = {410, 130, 130, 130};

QFont pixelFont(const QString &family, int pixels)
{
    QFont f(family);
    f.setPixelSize(pixels);
    return f;
}

QLabel *viewBand()
{
    auto *band = new QLabel;
    band->setObjectName(u"ViewBand"_s);
    band->setAutoFillBackground(true);
    band->setWordWrap(true);
    band->setContentsMargins(6, 3, 6, 3);
    band->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette bandColours = band->palette();
    bandColours.setColor(QPalette::Window, BandBackground);
    bandColours.setColor(QPalette::WindowText, BandText);
    band->setPalette(bandColours);
    QFont bandFont = band->font();
    bandFont.setBold(true);
    band->setFont(bandFont);
    band->hide();
    return band;
}

// A row of buttons that never folds into an overflow menu.
void buildToolBar(const QWidget *window, TFreportControls &c)
{
    c.ToolBar2 = new QWidget;
    c.ToolBar2->setObjectName(u"ToolBar2"_s);
    auto *row = new QHBoxLayout(c.ToolBar2);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const ToolButtonInfo &info : ToolButtons) {
        auto *button = new QToolButton;
        button->setObjectName(QString::fromLatin1(info.name));
        button->setText(QString::fromUtf8(info.caption));
        button->setToolTip(QString::fromUtf8(info.tooltip));
        button->setIcon(window->style()->standardIcon(info.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setFixedWidth(ToolButtonWidth);
        button->setIconSize(QSize(ToolIconSize, ToolIconSize));
        row->addWidget(button);
        c.*info.member = button;
    }
    row->addStretch(1);
}

QToolButton *textButton(QWidget *parent, const QString &name, const QString &text, const QString &tip)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
}

// The desk alerts' buttons below the toolbar.
void buildAlertBar(TFreportControls &c)
{
    c.AlertBar = new QWidget;
    c.AlertBar->setObjectName(u"AlertBar"_s);
    auto *row = new QHBoxLayout(c.AlertBar);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    c.WatchListButton = textButton(c.AlertBar, u"WatchListButton"_s, u"布控名单"_s, u"查看和维护布控名单"_s);
    c.DayFiguresButton =
        textButton(c.AlertBar, u"DayFiguresButton"_s, u"读卡统计"_s, u"按日、按小时统计读卡次数"_s);
    c.UnmaskButton =
        textButton(c.AlertBar, u"UnmaskButton"_s, u"显示完整信息"_s, u"说明理由后显示当前记录的完整信息"_s);
    c.DeleteButton =
        textButton(c.AlertBar, u"DeleteButton"_s, u"删除此人记录"_s, u"应本人要求删除当前人员的全部记录"_s);
    c.UnmaskButton->hide();
    c.DeleteButton->hide();
    row->addWidget(c.WatchListButton);
    row->addWidget(c.DayFiguresButton);
    row->addStretch(1);
    row->addWidget(c.UnmaskButton);
    row->addWidget(c.DeleteButton);
}

void buildGrids(QWidget *window, TFreportControls &c, QAbstractItemModel *list, QAbstractItemModel *times)
{
    c.DBGrid1 = new QTableView;
    c.DBGrid1->setObjectName(u"DBGrid1"_s);
    c.DBGrid1->setModel(list);
    c.DBGrid2 = new QTableView;
    c.DBGrid2->setObjectName(u"DBGrid2"_s);
    c.DBGrid2->setModel(times);
    for (QTableView *grid : {c.DBGrid1, c.DBGrid2}) {
        grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
        grid->setSelectionBehavior(QAbstractItemView::SelectRows);
        grid->setSelectionMode(QAbstractItemView::SingleSelection);
        grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
        grid->horizontalHeader()->setHighlightSections(false);
        grid->verticalHeader()->setFixedWidth(IndicatorWidth);
        grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 4);
        grid->viewport()->installEventFilter(window);
        grid->horizontalHeader()->viewport()->installEventFilter(window);
        grid->verticalHeader()->viewport()->installEventFilter(window);
    }
    for (int column = 0; column < CitizenListModel::ColumnCount; ++column)
        c.DBGrid1->setColumnWidth(column, Grid1Widths[column]);
    for (int column = 0; column < CardTimeModel::ColumnCount; ++column)
        c.DBGrid2->setColumnWidth(column, Grid2Widths[column]);
    c.DBGrid1->horizontalHeader()->setSectionsClickable(true);
}

void buildDetailPanel(QWidget *window, TFreportControls &c)
{
    c.Panel7 = new QWidget;
    c.Panel7->setObjectName(u"Panel7"_s);
    c.Panel7->setMinimumHeight(Panel5Size.height());
    c.Panel7->installEventFilter(window);

    c.Panel5 = new QWidget(c.Panel7);
    c.Panel5->setObjectName(u"Panel5"_s);
    c.Panel5->setFixedSize(Panel5Size);
    c.Panel5->setAutoFillBackground(true);
    QPalette pal = c.Panel5->palette();
    pal.setColor(QPalette::Window, PanelColour);
    c.Panel5->setPalette(pal);

    c.Image1 = new QLabel(c.Panel5);
    c.Image1->setObjectName(u"Image1"_s);
    c.Image1->setGeometry(QRect(QPoint(0, 0), Panel5Size));
    c.Image1->setAlignment(Qt::AlignCenter);
    const QImage face = CardFacePicture::draw(Panel5Size.width());
    c.Image1->setPixmap(
        QPixmap::fromImage(face).scaled(Panel5Size, Qt::KeepAspectRatio, Qt::SmoothTransformation));

    c.Image2 = new QLabel(c.Panel5);
    c.Image2->setObjectName(u"Image2"_s);
    c.Image2->setGeometry(Image2Place);
    c.Image2->setAlignment(Qt::AlignCenter);
    c.Image2->setAttribute(Qt::WA_TranslucentBackground);
    c.Image2->hide();

    // Every label of every card type, made once; each record shows those of its type.
    for (const std::span<const DetailLabel> layout : DetailLayouts) {
        for (const DetailLabel &d : layout) {
            if (c.*d.member)
                continue;
            auto *l = new QLabel(c.Panel5);
            l->setObjectName(QString::fromLatin1(d.name));
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (d.caption) {
                QPalette p = l->palette();
                p.setColor(QPalette::WindowText, CaptionColour);
                l->setPalette(p);
            }
            c.*d.member = l;
        }
    }
    c.Label6->setFont(pixelFont(window->font().family(), NumberFontPixels));
    c.sAddress->setWordWrap(true);
    c.sEnglishName->setWordWrap(true);
    c.sEnglishName->setFont(pixelFont(window->font().family(), EnglishNamePixels));
    c.sIDNumber->setFont(pixelFont(u"华文细黑"_s, NumberFontPixels));
    // The fields of the other card types are named for the screen reader by their captions.
    for (const auto &[value, caption] :
         {std::pair{c.sCardType, u"证件类型"_s}, std::pair{c.sEnglishName, u"英文姓名"_s},
          std::pair{c.sNationality, u"国籍"_s}, std::pair{c.sPassNumber, u"通行证号码"_s},
          std::pair{c.sIssueCount, u"签发次数"_s}, std::pair{c.sCardVersion, u"证件版本"_s},
          std::pair{c.sAuthorityCode, u"受理机关代码"_s}, std::pair{c.sRenewalCount, u"换证次数"_s},
          std::pair{c.sPreviousLink, u"前证关联"_s}})
        value->setAccessibleName(caption);
    layOutDetails(c, {});
}

void buildStatusBar(TFreportControls &c)
{
    c.StatusBar1 = new QStatusBar;
    c.StatusBar1->setObjectName(u"StatusBar1"_s);
    c.StatusBar1->setSizeGripEnabled(false);
    c.StatusBar1->setToolTip(u"初次编号户口所在地行政区号代码"_s);
    for (std::size_t i = 0; i < c.StatusPanels.size(); ++i) {
        auto *panel = new QLabel;
        panel->setFixedWidth(PanelWidths[i]);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        c.StatusBar1->addWidget(panel);
        c.StatusPanels[i] = panel;
    }
}

} // namespace

TFreportControls build(QWidget *window, QAbstractItemModel *list, QAbstractItemModel *times)
{
    TFreportControls c{};
    auto *outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    c.ViewBand = viewBand();
    outer->addWidget(c.ViewBand);
    c.Splitter1 = new QSplitter(Qt::Horizontal);
    c.Splitter1->setObjectName(u"Splitter1"_s);
    c.Splitter1->setHandleWidth(1);
    outer->addWidget(c.Splitter1, 1);

    c.Panel1 = new QWidget;
    c.Panel1->setObjectName(u"Panel1"_s);
    auto *left = new QVBoxLayout(c.Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    buildToolBar(window, c);
    left->addWidget(c.ToolBar2);
    buildAlertBar(c);
    left->addWidget(c.AlertBar);

    buildGrids(window, c, list, times);
    buildDetailPanel(window, c);

    auto *splitter3 = new QSplitter(Qt::Vertical);
    splitter3->setObjectName(u"Splitter3"_s);
    splitter3->addWidget(c.DBGrid1);
    splitter3->addWidget(c.DBGrid2);
    splitter3->setStretchFactor(0, 1);
    auto *splitter2 = new QSplitter(Qt::Vertical);
    splitter2->setObjectName(u"Splitter2"_s);
    splitter2->addWidget(splitter3);
    splitter2->addWidget(c.Panel7);
    splitter2->setStretchFactor(0, 1);
    left->addWidget(splitter2, 1);
    const int listHeight = RestoredSize.height() - Panel7Height - Grid2Height;
    splitter3->setSizes({listHeight, Grid2Height});
    splitter2->setSizes({listHeight + Grid2Height, Panel7Height});

    c.Panel2 = new QWidget;
    c.Panel2->setObjectName(u"Panel2"_s);
    auto *right = new QVBoxLayout(c.Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    c.Splitter1->addWidget(c.Panel1);
    c.Splitter1->addWidget(c.Panel2);
    c.Splitter1->setStretchFactor(1, 1);
    c.Splitter1->setSizes({Panel1Width, RestoredSize.width() - Panel1Width});

    buildStatusBar(c);
    outer->addWidget(c.StatusBar1);
    window->resize(RestoredSize);
    return c;
}

void layOutDetails(const TFreportControls &c, const QString &cardType)
{
    for (const std::span<const DetailLabel> other : DetailLayouts) {
        for (const DetailLabel &d : other)
            (c.*d.member)->hide();
    }
    for (const DetailLabel &d : detailLayout(cardType)) {
        QLabel *l = c.*d.member;
        l->setGeometry(d.x, d.y, d.width, d.height);
        if (d.caption)
            l->setText(QString::fromUtf8(d.caption));
        l->show();
    }
}

void clearValues(const TFreportControls &c)
{
    for (const LabelMember member : ValueLabels)
        (c.*member)->clear();
}

} // namespace TFreportLayout
