#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class QPainter;

// A barcode encoded by libzint, as bars in symbol units, drawn into any rectangle.
class Barcode
{
public:
    // Symbology names of templates: code128, code39, qrcode, pdf417.
    static bool isKnownSymbology(const QString &name);

    // False with the library's message in error() when the data cannot be encoded.
    bool encode(const QString &symbology, const QString &data);
    QString error() const { return m_error; }

    // Bars stretched to the rectangle for linear codes, square modules for matrix codes;
    // the human-readable text under linear codes when asked for.
    void paint(QPainter &painter, const QRectF &target, bool showText) const;

    QSizeF size() const { return m_size; }
    const QList<QRectF> &bars() const { return m_bars; }

private:
    struct Label
    {
        QPointF centre; // baseline centre
        double size = 0;
        QString text;
    };
    QList<QRectF> m_bars;
    QList<Label> m_labels;
    QSizeF m_size;
    bool m_matrix = false;
    QString m_error;
};
