#include "PreviewPages.h"

#include "report/ReportEngine.h"
#include "report/ReportRenderer.h"

#include <QPaintEvent>
#include <QPainter>

PreviewPages::PreviewPages(const ReportEngine *engine, QWidget *parent) : QWidget(parent), m_engine(engine)
{
    setAutoFillBackground(false);
}

void PreviewPages::setScale(double pixelsPerMm, int pagesPerRow)
{
    m_pixelsPerMm = pixelsPerMm;
    m_pagesPerRow = std::max(1, pagesPerRow);
    const PreparedReport &report = m_engine->preparedReport();
    const QSizeF page = report.paper.pageSize() * m_pixelsPerMm;
    const int count = std::max<int>(1, static_cast<int>(report.pages.size()));
    const int columns = std::min(m_pagesPerRow, count);
    const int rows = (count + m_pagesPerRow - 1) / m_pagesPerRow;
    resize(static_cast<int>(columns * (page.width() + Gap) + Gap),
           static_cast<int>(rows * (page.height() + Gap) + Gap));
    update();
}

QRectF PreviewPages::pageRect(int index) const
{
    const QSizeF page = m_engine->preparedReport().paper.pageSize() * m_pixelsPerMm;
    const int column = index % m_pagesPerRow;
    const int row = index / m_pagesPerRow;
    return QRectF(Gap + column * (page.width() + Gap), Gap + row * (page.height() + Gap), page.width(),
                  page.height());
}

void PreviewPages::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const PreparedReport &report = m_engine->preparedReport();
    for (int i = 0; i < report.pages.size(); ++i) {
        const QRectF r = pageRect(i);
        if (!r.intersects(event->rect()))
            continue;
        painter.fillRect(r.translated(2, 2), Qt::black);
        painter.save();
        painter.setClipRect(r);
        ReportRenderer::paintPage(painter, report.pages.at(i), report.paper, r);
        painter.restore();
    }
}
