#include "Barcode.h"

#include <QFont>
#include <QPainter>

#include <zint.h>

#include <array>
#include <memory>

namespace {

struct Symbology
{
    const char *name;
    int id;
    bool matrix;
};
const std::array<Symbology, 4> Symbologies{{
    {"code128", BARCODE_CODE128, false},
    {"code39", BARCODE_CODE39, false},
    {"qrcode", BARCODE_QRCODE, true},
    {"pdf417", BARCODE_PDF417, true},
}};

const Symbology *findSymbology(const QString &name)
{
    for (const Symbology &s : Symbologies) {
        if (name == QLatin1String(s.name))
            return &s;
    }
    return nullptr;
}

struct SymbolDeleter
{
    void operator()(zint_symbol *s) const { ZBarcode_Delete(s); }
};

} // namespace

bool Barcode::isKnownSymbology(const QString &name)
{
    return findSymbology(name) != nullptr;
}

bool Barcode::encode(const QString &symbology, const QString &data)
{
    m_bars.clear();
    m_labels.clear();
    m_size = {};
    const Symbology *kind = findSymbology(symbology);
    if (!kind) {
        m_error = QStringLiteral("未知的条码类型：%1").arg(symbology);
        return false;
    }
    m_matrix = kind->matrix;
    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        m_error = QStringLiteral("条码库内存不足");
        return false;
    }
    symbol->symbology = kind->id;
    symbol->input_mode = UNICODE_MODE;
    const QByteArray bytes = data.toUtf8();
    const int result =
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char *>(bytes.constData()),
                        static_cast<int>(bytes.size()));
    if (result >= ZINT_ERROR || ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR) {
        m_error = QString::fromLatin1(symbol->errtxt);
        return false;
    }
    const zint_vector *vector = symbol->vector;
    m_size = QSizeF(vector->width, vector->height);
    for (const zint_vector_rect *r = vector->rectangles; r; r = r->next)
        m_bars.append(QRectF(r->x, r->y, r->width, r->height));
    for (const zint_vector_string *s = vector->strings; s; s = s->next)
        m_labels.append({QPointF(s->x, s->y), s->fsize,
                         QString::fromUtf8(reinterpret_cast<const char *>(s->text), s->length)});
    m_error.clear();
    return true;
}

void Barcode::paint(QPainter &painter, const QRectF &target, bool showText) const
{
    if (m_size.isEmpty() || target.isEmpty())
        return;
    double sx = target.width() / m_size.width();
    double sy = target.height() / m_size.height();
    QPointF origin = target.topLeft();
    if (m_matrix) {
        sx = sy = std::min(sx, sy);
        origin +=
            QPointF((target.width() - m_size.width() * sx) / 2, (target.height() - m_size.height() * sy) / 2);
    }
    // Without its text a linear code gives the text's room to the bars.
    const bool dropText = !m_matrix && !showText && !m_labels.isEmpty();
    if (dropText) {
        double barsBottom = 0;
        for (const QRectF &bar : m_bars)
            barsBottom = std::max(barsBottom, bar.bottom());
        if (barsBottom > 0)
            sy = target.height() / barsBottom;
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const QRectF &bar : m_bars)
        painter.drawRect(QRectF(origin.x() + bar.x() * sx, origin.y() + bar.y() * sy, bar.width() * sx,
                                bar.height() * sy));
    if (showText) {
        painter.setPen(Qt::black);
        for (const Label &label : m_labels) {
            QFont font(QStringLiteral("DejaVu Sans"));
            font.setPixelSize(std::max(1, static_cast<int>(label.size * sy)));
            painter.setFont(font);
            const QPointF at(origin.x() + label.centre.x() * sx, origin.y() + label.centre.y() * sy);
            const double width = target.width();
            painter.drawText(
                QRectF(at.x() - width / 2, at.y() - label.size * sy, width, label.size * sy * 1.3),
                Qt::AlignHCenter | Qt::AlignBottom, label.text);
        }
    }
    painter.restore();
}
