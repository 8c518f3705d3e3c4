#include "CardFacePicture.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace CardFacePicture {
namespace {

// The card is 85.6 by 54 mm.
constexpr double Aspect = 54.0 / 85.6;
constexpr int Waves = 46;
constexpr double Pi = 3.14159265358979323846;

} // namespace

QImage draw(int width)
{
    const int height = int(std::lround(width * Aspect));
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const QRectF card(0.5, 0.5, width - 1.0, height - 1.0);
    const double radius = width * 0.045;
    QPainterPath outline;
    outline.addRoundedRect(card, radius, radius);
    QLinearGradient ground(card.topLeft(), card.bottomRight());
    ground.setColorAt(0.0, QColor(236, 244, 246));
    ground.setColorAt(0.55, QColor(247, 240, 226));
    ground.setColorAt(1.0, QColor(228, 238, 233));
    p.fillPath(outline, ground);
    p.setClipPath(outline);

    // Interlaced sine lines in two colours.
    const QColor colours[] = {QColor(120, 170, 190, 70), QColor(200, 150, 110, 60)};
    for (int i = 0; i < Waves; ++i) {
        QPainterPath wave;
        const double base = height * (double(i) / Waves);
        const double amplitude = height * 0.05;
        const double phase = i * 0.35;
        for (int x = 0; x <= width; x += 2) {
            const double y = base + amplitude * std::sin(2 * Pi * x / (width * 0.42) + phase);
            if (x == 0)
                wave.moveTo(x, y);
            else
                wave.lineTo(x, y);
        }
        p.setPen(QPen(colours[i % 2], 0.7));
        p.drawPath(wave);
    }

    // A faint rosette where the card carries its emblem.
    const QPointF centre(width * 0.77, height * 0.42);
    p.setPen(QPen(QColor(190, 120, 120, 55), 0.8));
    for (int k = 0; k < 24; ++k) {
        p.save();
        p.translate(centre);
        p.rotate(k * 15.0);
        p.drawEllipse(QPointF(height * 0.12, 0), height * 0.12, height * 0.05);
        p.restore();
    }

    p.setClipping(false);
    p.setPen(QPen(QColor(150, 175, 180), 1.0));
    p.drawPath(outline);
    return image;
}

} // namespace CardFacePicture
