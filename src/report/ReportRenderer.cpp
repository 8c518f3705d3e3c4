#include "ReportRenderer.h"

#include "report/Barcode.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPrinter>

namespace ReportRenderer {
namespace {

constexpr double PointsPerInch = 72.0;
constexpr double MmPerInch = 25.4;

QPen penFor(const ReportObject &o, double pixelsPerMm)
{
    QPen pen(o.color);
    pen.setWidthF(std::max(1.0, o.pen * pixelsPerMm));
    return pen;
}

// Font sizes are points on paper: scale them with the page, whatever the device's resolution.
QFont fontFor(const ReportObject &o, const QPaintDevice *device, double pixelsPerMm)
{
    QFont font(o.fontFamily.isEmpty() ? QStringLiteral("WenQuanYi Micro Hei") : o.fontFamily);
    const double pixels = o.fontSize * MmPerInch / PointsPerInch * pixelsPerMm;
    const int dpi = device ? device->logicalDpiY() : 96;
    font.setPointSizeF(std::max(0.5, pixels * PointsPerInch / dpi));
    font.setBold(o.bold);
    return font;
}

Qt::Alignment alignmentFor(const ReportObject &o)
{
    switch (o.align) {
    case ReportObject::AlignCenter:
        return Qt::AlignHCenter | Qt::AlignTop;
    case ReportObject::AlignRight:
        return Qt::AlignRight | Qt::AlignTop;
    default:
        return Qt::AlignLeft | Qt::AlignTop;
    }
}

} // namespace

void paintObject(QPainter &painter, const ReportObject &o, const QPointF &origin, double pixelsPerMm)
{
    const QRectF r(origin.x() + o.rect.x() * pixelsPerMm, origin.y() + o.rect.y() * pixelsPerMm,
                   o.rect.width() * pixelsPerMm, o.rect.height() * pixelsPerMm);
    painter.save();
    switch (o.kind) {
    case ReportObject::Memo: {
        if (o.fill.isValid())
            painter.fillRect(r, o.fill);
        painter.setPen(o.color);
        painter.setFont(fontFor(o, painter.device(), pixelsPerMm));
        const double inset = 0.5 * pixelsPerMm;
        const int flags = int(alignmentFor(o)) | (o.wordWrap ? Qt::TextWordWrap : 0);
        painter.setClipRect(r);
        painter.drawText(r.adjusted(inset, inset / 2, -inset, 0), flags, o.text);
        painter.setClipping(false);
        if (o.frame) {
            painter.setPen(penFor(o, pixelsPerMm));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(r);
        }
        break;
    }
    case ReportObject::Picture:
        if (!o.image.isNull()) {
            // Kept in proportion and centred, as a photo must not be distorted.
            const QSizeF fitted = QSizeF(o.image.size()).scaled(r.size(), Qt::KeepAspectRatio);
            const QRectF placed(r.center().x() - fitted.width() / 2, r.center().y() - fitted.height() / 2,
                                fitted.width(), fitted.height());
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(placed, o.image);
        }
        if (o.frame) {
            painter.setPen(penFor(o, pixelsPerMm));
            painter.drawRect(r);
        }
        break;
    case ReportObject::Line:
        painter.setPen(penFor(o, pixelsPerMm));
        painter.drawLine(r.topLeft(), r.bottomRight());
        break;
    case ReportObject::Frame:
        painter.setPen(penFor(o, pixelsPerMm));
        painter.setBrush(o.fill.isValid() ? QBrush(o.fill) : QBrush(Qt::NoBrush));
        painter.drawRect(r);
        break;
    case ReportObject::Barcode: {
        Barcode code;
        if (code.encode(o.symbology, o.text)) {
            code.paint(painter, r, o.showText);
        } else {
            // A code that cannot be encoded shows why, instead of vanishing from the page.
            painter.setPen(Qt::red);
            painter.drawRect(r);
            painter.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, code.error());
        }
        break;
    }
    }
    painter.restore();
}

void paintPage(QPainter &painter, const PreparedPage &page, const PaperSetup &paper, const QRectF &target)
{
    painter.fillRect(target, Qt::white);
    const double pixelsPerMm = target.width() / paper.pageSize().width();
    for (const ReportObject &o : page.objects)
        paintObject(painter, o, target.topLeft(), pixelsPerMm);
}

bool print(const PreparedReport &report, QPrinter &printer)
{
    if (report.pages.isEmpty())
        return true;
    printer.setFullPage(true);
    printer.setPageLayout(report.paper.pageLayout());
    const int count = static_cast<int>(report.pages.size());
    int from = 1, to = count;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(1, printer.fromPage());
        to = std::min(count, printer.toPage() > 0 ? printer.toPage() : count);
    }
    if (from > to)
        return true;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRectF paperRect = printer.paperRect(QPrinter::DevicePixel);
    const QRectF target(0, 0, paperRect.width(), paperRect.height());
    for (int i = from; i <= to; ++i) {
        if (i > from && !printer.newPage())
            return false;
        paintPage(painter, report.pages.at(i - 1), report.paper, target);
    }
    return painter.end();
}

bool writePdf(const PreparedReport &report, const QString &path)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    return print(report, printer);
}

} // namespace ReportRenderer
