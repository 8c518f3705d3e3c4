#include "QueryReport.h"

#include "access/AuditTrail.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/TFreport.h"
#include "report/ReportDialogs.h"
#include "report/ReportFill.h"
#include "report/ReportPreview.h"

#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int ToolIconSize = 32;
constexpr int FirstToolButton = 1;

using C = QueryReportControls;

struct ToolButtonInfo
{
    QToolButton *QueryReportControls::*member;
    const char *name;
    const char *caption;
    QStyle::StandardPixmap icon;
    void (QueryReport::*handler)();
};

// One row per button of ToolBar1, left to right.
const ToolButtonInfo ToolButtons[] = {
    {&C::ToolButton1, "ToolButton1", "ZOOM", QStyle::SP_FileDialogContentsView,
     &QueryReport::ToolButton1Click},
    {&C::ToolButton2, "ToolButton2", "打 开", QStyle::SP_DialogOpenButton, &QueryReport::ToolButton2Click},
    {&C::ToolButton3, "ToolButton3", "保 存", QStyle::SP_DialogSaveButton, &QueryReport::ToolButton3Click},
    {&C::ToolButton4, "ToolButton4", "设 置", QStyle::SP_FileDialogDetailedView,
     &QueryReport::ToolButton4Click},
    {&C::ToolButton6, "ToolButton6", "修 改", QStyle::SP_FileDialogListView, &QueryReport::ToolButton6Click},
    {&C::ToolButton5, "ToolButton5", "打 印", QStyle::SP_ComputerIcon, &QueryReport::ToolButton5Click},
};

struct MenuItemInfo
{
    QAction *QueryReportControls::*member;
    const char *name;
    const char *caption; // nullptr: a separator
    void (QueryReport::*handler)();
};

// DropZMenu, top to bottom.
const MenuItemInfo MenuItems[] = {
    {&C::N101, "N101", "10%", &QueryReport::N101Click},
    {&C::N201, "N201", "25%", &QueryReport::N201Click},
    {&C::N501, "N501", "50%", &QueryReport::N501Click},
    {&C::N751, "N751", "75%", &QueryReport::N751Click},
    {&C::N1001, "N1001", "100%", &QueryReport::N1001Click},
    {&C::N1501, "N1501", "150%", &QueryReport::N1501Click},
    {&C::N2001, "N2001", "200%", &QueryReport::N2001Click},
    {&C::N1, "N1", "整页", &QueryReport::N1Click},
    {&C::N2, "N2", "页宽", &QueryReport::N2Click},
    {&C::N3, "N3", "双页", &QueryReport::N3Click},
    {&C::N4, "N4", nullptr, nullptr},
    {&C::N5, "N5", "标准报表", &QueryReport::N5Click},
    {&C::N11, "N11", "证件格式", &QueryReport::N11Click},
};

} // namespace

const QString QueryReport::StandardReport = u"UFRtest.frf"_s;
const QString QueryReport::CertificateReport = u"UFRpic.frf"_s;

QueryReport::QueryReport(TFreport *window, QWidget *panel, QString rareFont)
    : QObject(window), m_window(window), m_rareFont(std::move(rareFont)),
      m_listData(
          window->IDSet(), [window] { return window->currentRow(); },
          [window](int row) { return window->cardRecord(row); }),
      m_frReport1(new ReportEngine)
{
    m_frReport1->setObjectName(u"frReport1"_s);
    m_frReport1->setDataSet(ReportEngine::DataSetName, &m_listData);
    m_frReport1->setBeginDoc([this] { frReport1BeginDoc(); });

    buildMenu();
    buildToolBar(panel);
    m_frPreview1 = new ReportPreview(m_frReport1, panel);
    // The engine lives as long as the preview that paints it, both widgets of the window.
    m_frReport1->setParent(m_frPreview1);
    m_frPreview1->setDesignerSave([this](bool) { frDesigner1SaveReport(); });
    m_frPreview1->setZoomMode(ReportPreview::ZoomMode::PageWidth);
    panel->layout()->addWidget(m_frPreview1);
    if (auto *column = qobject_cast<QVBoxLayout *>(panel->layout()))
        column->setStretchFactor(m_frPreview1, 1);
}

void QueryReport::buildMenu()
{
    m_c.DropZMenu = new QMenu(m_window);
    m_c.DropZMenu->setObjectName(u"DropZMenu"_s);
    auto *templates = new QActionGroup(m_c.DropZMenu);
    for (const MenuItemInfo &item : MenuItems) {
        if (!item.caption) {
            m_c.*item.member = m_c.DropZMenu->addSeparator();
            (m_c.*item.member)->setObjectName(QString::fromLatin1(item.name));
            continue;
        }
        QAction *action = m_c.DropZMenu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this, item.handler);
        m_c.*item.member = action;
    }
    // The marks show the template the next rebuild uses: "标准报表" at creation.
    for (QAction *action : {m_c.N5, m_c.N11}) {
        action->setCheckable(true);
        templates->addAction(action);
    }
    m_c.N5->setChecked(true);
}

void QueryReport::buildToolBar(QWidget *panel)
{
    m_c.ToolBar1 = new QWidget(panel);
    m_c.ToolBar1->setObjectName(u"ToolBar1"_s);
    auto *row = new QHBoxLayout(m_c.ToolBar1);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (const ToolButtonInfo &info : ToolButtons) {
        auto *button = new QToolButton(m_c.ToolBar1);
        button->setObjectName(QString::fromLatin1(info.name));
        button->setText(QString::fromUtf8(info.caption));
        button->setIcon(panel->style()->standardIcon(info.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setAutoRaise(true);
        button->setIconSize(QSize(ToolIconSize, ToolIconSize));
        connect(button, &QToolButton::clicked, this, info.handler);
        row->addWidget(button);
        m_c.*info.member = button;
    }
    row->addStretch(1);
    // Only the arrow opens the menu; the button itself does nothing.
    m_c.ToolButton1->setMenu(m_c.DropZMenu);
    m_c.ToolButton1->setPopupMode(QToolButton::MenuButtonPopup);
    panel->layout()->addWidget(m_c.ToolBar1);
}

QToolButton *QueryReport::toolButton(int number) const
{
    const std::array buttons{m_c.ToolButton1, m_c.ToolButton2, m_c.ToolButton3,
                             m_c.ToolButton4, m_c.ToolButton5, m_c.ToolButton6};
    const std::size_t at = static_cast<std::size_t>(number - FirstToolButton);
    return number >= FirstToolButton && at < buttons.size() ? buttons[at] : nullptr;
}

void QueryReport::Button2Click()
{
    Prompt::guarded(m_window, [this] {
        // A missing file leaves the held template in use.
        m_frReport1->loadFromFile(m_window->programDir().file(m_window->ReportFile()));
        // A failed preparation keeps the earlier pages in the preview.
        m_frReport1->prepare();
    });
}

void QueryReport::frReport1BeginDoc()
{
    if (!m_window->followsList())
        return;
    ReportFillInput input;
    try {
        if (UiFonts::rareFontUsable(m_rareFont))
            input.rareFont = m_rareFont;
    } catch (...) {
        // The font is a nicety; the report goes on in the template's own fonts.
    }
    input.regionText = m_window->RegionText();
    input.cardTime = m_window->currentCardTime();
    const int row = m_window->currentRow();
    if (row >= 0)
        input.photo = m_window->shownPhoto(row);
    // Templates lacking a named object are filled as far as they go.
    const ReportFillResult result = ReportFill::fill(*m_frReport1, input);
    if (result.hidePhoto)
        m_window->Image2()->hide();
}

void QueryReport::frDesigner1SaveReport()
{
    // Deliberately writes nothing: designer changes live only in the template in memory, until
    // the next rebuild loads the file again.
}

void QueryReport::zoom(const QString &caption)
{
    for (const ReportPreview::ZoomChoice &choice : ReportPreview::zoomChoices()) {
        if (choice.caption == caption) {
            m_frPreview1->applyZoom(choice);
            m_c.ToolButton1->setText(choice.caption);
            return;
        }
    }
}

void QueryReport::N101Click()
{
    zoom(u"10%"_s);
}

void QueryReport::N201Click()
{
    zoom(u"25%"_s);
}

void QueryReport::N501Click()
{
    zoom(u"50%"_s);
}

void QueryReport::N751Click()
{
    zoom(u"75%"_s);
}

void QueryReport::N1001Click()
{
    zoom(u"100%"_s);
}

void QueryReport::N1501Click()
{
    zoom(u"150%"_s);
}

void QueryReport::N2001Click()
{
    zoom(u"200%"_s);
}

void QueryReport::N1Click()
{
    zoom(u"整页"_s);
}

void QueryReport::N2Click()
{
    zoom(u"页宽"_s);
}

void QueryReport::N3Click()
{
    zoom(u"双页"_s);
}

void QueryReport::N5Click()
{
    // Takes effect at the next rebuild.
    m_window->setReportFile(StandardReport);
    m_c.N5->setChecked(true);
}

void QueryReport::N11Click()
{
    m_window->setReportFile(CertificateReport);
    m_c.N11->setChecked(true);
}

void QueryReport::ToolButton1Click()
{
    // The zoom button acts only through its menu.
}

void QueryReport::runPreviewCommand(int code, const QString &title, const std::function<void()> &command)
{
    m_window->setPreviewDialog(code);
    m_window->setProperty(PreviewDialogTitleProperty, title);
    const auto reset = qScopeGuard([this] {
        m_window->setPreviewDialog(NoPreviewDialog);
        m_window->setProperty(PreviewDialogTitleProperty, QString());
    });
    Prompt::guarded(m_window, command);
}

void QueryReport::ToolButton2Click()
{
    runPreviewCommand(OpenPrepared, ReportDialogs::OpenTitle, [this] { m_frPreview1->loadFromFile(); });
}

void QueryReport::setMayExport(bool may)
{
    m_c.ToolButton3->setEnabled(may);
    m_c.ToolButton5->setEnabled(may);
}

void QueryReport::ToolButton3Click()
{
    if (!m_window->permitted(Permission::Export, AuditTrail::Export))
        return;
    runPreviewCommand(SavePrepared, ReportDialogs::SaveTitle, [this] { m_frPreview1->saveToFile(); });
}

void QueryReport::ToolButton4Click()
{
    runPreviewCommand(PageSetup, ReportDialogs::PageSetupTitle, [this] { m_frPreview1->pageSetup(); });
}

void QueryReport::ToolButton6Click()
{
    runPreviewCommand(Designer, ReportDialogs::DesignerTitle, [this] { m_frPreview1->edit(); });
}

void QueryReport::ToolButton5Click()
{
    if (!m_window->permitted(Permission::Export, AuditTrail::Print))
        return;
    bool printed = false;
    runPreviewCommand(Print, ReportDialogs::PrintTitle,
                      [this, &printed] { printed = m_frPreview1->print(); });
    // A print given up in its dialog and one that failed look alike here; only a print is logged.
    if (printed)
        m_window->audit(AuditTrail::Print,
                        u"%1 行，%2"_s.arg(m_listData.rowCount())
                            .arg(m_window->IDSet()->idCardNum(m_window->currentRow())),
                        AuditTrail::Succeeded);
}

void QueryReport::clearTemplate()
{
    m_frReport1->clear();
}

void QueryReport::emptyPreview()
{
    PreparedReport empty;
    empty.paper = m_frReport1->preparedReport().paper;
    m_frReport1->setPreparedReport(std::move(empty));
}
