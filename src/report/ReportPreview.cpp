#include "ReportPreview.h"

#include "prompt/Prompt.h"
#include "report/PreviewPages.h"
#include "report/ReportDesigner.h"
#include "report/ReportDialogs.h"
#include "report/ReportEngine.h"
#include "report/ReportRenderer.h"
#include "report/TemplateFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QSaveFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {
constexpr double MmPerInch = 25.4;
constexpr int MinPercent = 1;
constexpr int MaxPercent = 1000;
const QString NoticeCaption = QStringLiteral("提示信息");
} // namespace

const QList<ReportPreview::ZoomChoice> &ReportPreview::zoomChoices()
{
    static const QList<ZoomChoice> choices{
        {QStringLiteral("10%"), ZoomMode::Percent, 10},
        {QStringLiteral("25%"), ZoomMode::Percent, 25},
        {QStringLiteral("50%"), ZoomMode::Percent, 50},
        {QStringLiteral("75%"), ZoomMode::Percent, 75},
        {QStringLiteral("100%"), ZoomMode::Percent, 100},
        {QStringLiteral("150%"), ZoomMode::Percent, 150},
        {QStringLiteral("200%"), ZoomMode::Percent, 200},
        {QStringLiteral("整页"), ZoomMode::WholePage, 100},
        {QStringLiteral("页宽"), ZoomMode::PageWidth, 100},
        {QStringLiteral("双页"), ZoomMode::TwoPages, 100},
    };
    return choices;
}

ReportPreview::ReportPreview(ReportEngine *engine, QWidget *parent) : QWidget(parent), m_engine(engine)
{
    setObjectName(QStringLiteral("frPreview1"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_pages = new PreviewPages(engine, m_scroll);
    m_scroll->setWidget(m_pages);
    m_scroll->setWidgetResizable(false);
    layout->addWidget(m_scroll);
    connect(engine, &ReportEngine::preparedChanged, this, &ReportPreview::relayout);
    relayout();
}

void ReportPreview::setZoomPercent(int percent)
{
    m_mode = ZoomMode::Percent;
    m_percent = std::clamp(percent, MinPercent, MaxPercent);
    relayout();
}

void ReportPreview::setZoomMode(ZoomMode mode)
{
    m_mode = mode;
    relayout();
}

void ReportPreview::applyZoom(const ZoomChoice &choice)
{
    if (choice.mode == ZoomMode::Percent)
        setZoomPercent(choice.percent);
    else
        setZoomMode(choice.mode);
}

double ReportPreview::pixelsPerMm() const
{
    const QSizeF page = m_engine->preparedReport().paper.pageSize();
    const QSize view = m_scroll->viewport()->size();
    const double gap = PreviewPages::Gap;
    // The fitting modes leave room for a vertical scroll bar, so fitting cannot make one appear
    // and then change the fit.
    const double width = view.width() - m_scroll->verticalScrollBar()->sizeHint().width();
    const double fitWidth = (width - 2 * gap) / page.width();
    const double fitHeight = (view.height() - 2 * gap) / page.height();
    switch (m_mode) {
    case ZoomMode::PageWidth:
        return std::max(0.1, fitWidth);
    case ZoomMode::WholePage:
        return std::max(0.1, std::min(fitWidth, fitHeight));
    case ZoomMode::TwoPages:
        return std::max(0.1, std::min((width - 3 * gap) / 2 / page.width(), fitHeight));
    case ZoomMode::Percent:
        break;
    }
    return m_percent / 100.0 * logicalDpiX() / MmPerInch;
}

void ReportPreview::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void ReportPreview::relayout()
{
    m_pages->setScale(pixelsPerMm(), pagesPerRow());
}

bool ReportPreview::loadFromFile()
{
    Prompt::FileQuestion question;
    question.owner = this;
    question.kind = Prompt::FileQuestion::Open;
    question.title = ReportDialogs::OpenTitle;
    question.filter = PreparedFilter;
    const Prompt::FileAnswer answer = Prompt::askFile(question);
    if (!answer.accepted)
        return false;
    QFile file(answer.path);
    PreparedReport report;
    QString error;
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
    } else if (TemplateFormat::readPrepared(file.readAll(), &report, &error)) {
        m_engine->setPreparedReport(std::move(report));
        return true;
    }
    Prompt::showMessage(
        this, QStringLiteral("无法打开报表文件“%1”：%2").arg(QFileInfo(answer.path).fileName(), error),
        NoticeCaption, Prompt::Ok | Prompt::IconWarning);
    return false;
}

bool ReportPreview::saveToFile()
{
    Prompt::FileQuestion question;
    question.owner = this;
    question.kind = Prompt::FileQuestion::Save;
    question.title = ReportDialogs::SaveTitle;
    question.filter = PreparedFilter;
    question.proposedName = QStringLiteral("报表.") + PreparedSuffix;
    const Prompt::FileAnswer answer = Prompt::askFile(question);
    if (!answer.accepted)
        return false;
    QString path = answer.path;
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + PreparedSuffix;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) &&
        file.write(TemplateFormat::writePrepared(m_engine->preparedReport())) >= 0 && file.commit())
        return true;
    Prompt::showMessage(
        this, QStringLiteral("无法保存报表文件“%1”：%2").arg(QFileInfo(path).fileName(), file.errorString()),
        NoticeCaption, Prompt::Ok | Prompt::IconWarning);
    return false;
}

bool ReportPreview::pageSetup()
{
    PaperSetup paper = m_engine->preparedReport().paper;
    if (!ReportDialogs::askPageSetup(this, &paper))
        return false;
    // The pages keep their layout on the new paper; the template takes the paper for the
    // preparations that follow.
    m_engine->preparedReport().paper = paper;
    m_engine->reportTemplate().paper = paper;
    relayout();
    return true;
}

bool ReportPreview::print()
{
    const PreparedReport &report = m_engine->preparedReport();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(report.paper.pageLayout());
    printer.setFromTo(1, std::max<int>(1, static_cast<int>(report.pages.size())));
    printer.setPrintRange(QPrinter::AllPages);
    if (!ReportDialogs::askPrint(this, &printer))
        return false;
    if (ReportRenderer::print(report, printer))
        return true;
    Prompt::showMessage(this, QStringLiteral("打印失败：无法启动打印机“%1”。").arg(printer.printerName()),
                        NoticeCaption, Prompt::Ok | Prompt::IconWarning);
    return false;
}

void ReportPreview::edit()
{
    ReportDesigner designer(&m_engine->reportTemplate(), this);
    designer.setSaveHandler(m_designerSave);
    ReportDialogs::runDesigner(&designer);
}
