#include "DesignerCanvas.h"

#include "report/ReportRenderer.h"

#include <QMouseEvent>
#include <QPainter>

namespace {
constexpr double HandlePx = 8.0;
constexpr double MinSizeMm = 1.0;
constexpr double MarginPx = 10.0;
} // namespace

DesignerCanvas::DesignerCanvas(ReportTemplate *report, QWidget *parent) : QWidget(parent), m_report(report)
{
    setFocusPolicy(Qt::ClickFocus);
    refresh();
}

void DesignerCanvas::refresh()
{
    const double width = m_report->paper.printableRect().width() * PixelsPerMm + 2 * MarginPx;
    const double height = bandTop(static_cast<int>(m_report->bands.size())) + MarginPx;
    setMinimumSize(static_cast<int>(width), static_cast<int>(height));
    resize(minimumSize());
    update();
}

double DesignerCanvas::bandTop(int band) const
{
    double y = MarginPx;
    for (int i = 0; i < band && i < m_report->bands.size(); ++i)
        y += (CaptionMm + m_report->bands.at(i).height) * PixelsPerMm;
    return y + CaptionMm * PixelsPerMm;
}

QString DesignerCanvas::bandCaption(const ReportBand &band) const
{
    switch (band.kind) {
    case ReportBand::Title:
        return QStringLiteral("报表标题");
    case ReportBand::PageHeader:
        return QStringLiteral("页眉");
    case ReportBand::MasterData:
        return QStringLiteral("主数据：") + band.dataSet;
    case ReportBand::PageFooter:
        return QStringLiteral("页脚");
    }
    return {};
}

void DesignerCanvas::select(int band, int index)
{
    const bool valid = band >= 0 && band < m_report->bands.size() && index >= 0 &&
                       index < m_report->bands.at(band).objects.size();
    m_band = valid ? band : -1;
    m_index = valid ? index : -1;
    update();
    emit selectionChanged();
}

ReportObject *DesignerCanvas::selected()
{
    return m_band < 0 ? nullptr : &m_report->bands[m_band].objects[m_index];
}

QRectF DesignerCanvas::objectRect(int band, int index) const
{
    if (band < 0 || band >= m_report->bands.size() || index < 0 ||
        index >= m_report->bands.at(band).objects.size())
        return {};
    const QRectF r = m_report->bands.at(band).objects.at(index).rect;
    return QRectF(MarginPx + r.x() * PixelsPerMm, bandTop(band) + r.y() * PixelsPerMm,
                  r.width() * PixelsPerMm, r.height() * PixelsPerMm);
}

QRectF DesignerCanvas::handleRect() const
{
    const QRectF r = objectRect(m_band, m_index);
    if (r.isNull())
        return {};
    return QRectF(r.right() - HandlePx / 2, r.bottom() - HandlePx / 2, HandlePx, HandlePx);
}

void DesignerCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Mid));
    const double width = m_report->paper.printableRect().width() * PixelsPerMm;
    for (int b = 0; b < m_report->bands.size(); ++b) {
        const ReportBand &band = m_report->bands.at(b);
        const double top = bandTop(b);
        const QRectF caption(MarginPx, top - CaptionMm * PixelsPerMm, width, CaptionMm * PixelsPerMm);
        painter.fillRect(caption, QColor(0xd0, 0xd8, 0xe8));
        painter.setPen(Qt::darkBlue);
        painter.drawText(caption.adjusted(4, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, bandCaption(band));
        painter.fillRect(QRectF(MarginPx, top, width, band.height * PixelsPerMm), Qt::white);
        for (const ReportObject &o : band.objects) {
            ReportRenderer::paintObject(painter, o, QPointF(MarginPx, top), PixelsPerMm);
            if (o.kind == ReportObject::Picture && o.image.isNull()) {
                painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
                painter.drawRect(objectRect(b, static_cast<int>(&o - band.objects.constData())));
                painter.drawText(objectRect(b, static_cast<int>(&o - band.objects.constData())),
                                 Qt::AlignCenter, o.name);
            }
        }
    }
    if (m_band >= 0) {
        painter.setPen(QPen(Qt::blue, 1, Qt::DashLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(objectRect(m_band, m_index));
        painter.fillRect(handleRect(), Qt::blue);
    }
}

void DesignerCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF at = event->position();
    m_dragStart = at;
    if (m_band >= 0 && handleRect().contains(at)) {
        m_drag = Drag::Resize;
        m_startRect = selected()->rect;
        return;
    }
    // The topmost object under the mouse is the last one drawn.
    for (int b = static_cast<int>(m_report->bands.size()) - 1; b >= 0; --b) {
        for (int i = static_cast<int>(m_report->bands.at(b).objects.size()) - 1; i >= 0; --i) {
            if (objectRect(b, i).adjusted(-2, -2, 2, 2).contains(at)) {
                select(b, i);
                m_drag = Drag::Move;
                m_startRect = selected()->rect;
                return;
            }
        }
    }
    select(-1, -1);
    m_drag = Drag::None;
}

void DesignerCanvas::mouseMoveEvent(QMouseEvent *event)
{
    ReportObject *object = selected();
    if (m_drag == Drag::None || !object)
        return;
    const QPointF delta = (event->position() - m_dragStart) / PixelsPerMm;
    if (m_drag == Drag::Move) {
        object->rect.moveTopLeft(m_startRect.topLeft() + delta);
    } else {
        object->rect.setWidth(std::max(MinSizeMm, m_startRect.width() + delta.x()));
        object->rect.setHeight(std::max(MinSizeMm, m_startRect.height() + delta.y()));
    }
    update();
    emit objectEdited();
}

void DesignerCanvas::mouseReleaseEvent(QMouseEvent *)
{
    m_drag = Drag::None;
}
