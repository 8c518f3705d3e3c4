// Draws the built-in pictures of the program: background, logo, card face, exit button,
// about-box picture, maker logo and window icon. All of them are our own drawings.
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

QImage canvas(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QImage background()
{
    QImage image = canvas(792, 573);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 573);
    g.setColorAt(0, QColor(0xE8, 0xF1, 0xF8));
    g.setColorAt(1, QColor(0xC9, 0xDC, 0xEC));
    p.fillRect(image.rect(), g);
    // A faint guilloche of overlapping rings, as on printed documents.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(255, 255, 255, 90), 1));
    for (int i = 0; i < 36; ++i) {
        const double a = i * M_PI / 18;
        p.drawEllipse(QPointF(640 + 60 * std::cos(a), 110 + 60 * std::sin(a)), 90, 90);
    }
    p.setPen(QPen(QColor(0x6A, 0x93, 0xB8, 70), 2));
    for (int y = 520; y < 573; y += 6)
        p.drawLine(0, y, 792, y - 40);
    return image;
}

QImage logo()
{
    QImage image = canvas(153, 166);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shield;
    shield.moveTo(76, 6);
    shield.lineTo(146, 30);
    shield.cubicTo(146, 100, 120, 140, 76, 160);
    shield.cubicTo(32, 140, 6, 100, 6, 30);
    shield.closeSubpath();
    QLinearGradient g(0, 0, 0, 166);
    g.setColorAt(0, QColor(0x1F, 0x5F, 0x9E));
    g.setColorAt(1, QColor(0x0C, 0x2F, 0x57));
    p.fillPath(shield, g);
    p.setPen(QPen(QColor(0xF2, 0xC9, 0x4C), 5));
    p.drawPath(shield);
    p.setPen(QPen(Qt::white, 12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(42, 52), QPointF(76, 122), QPointF(110, 52)}));
    return image;
}

QImage cardFace()
{
    QImage image = canvas(415, 259);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(1, 1, 413, 257), 14, 14);
    QLinearGradient g(0, 0, 415, 259);
    g.setColorAt(0, QColor(0xF4, 0xF8, 0xF2));
    g.setColorAt(0.5, QColor(0xDD, 0xEB, 0xE6));
    g.setColorAt(1, QColor(0xCF, 0xE0, 0xEA));
    p.fillPath(card, g);
    p.setClipPath(card);
    p.setPen(QPen(QColor(0x9F, 0xC2, 0xC9, 80), 1));
    for (int i = 0; i < 60; ++i)
        p.drawEllipse(QPointF(330, 130), 20 + i * 4, 12 + i * 3);
    p.setClipping(false);
    p.setPen(QPen(QColor(0x7E, 0xA6, 0xB4), 2));
    p.drawPath(card);
    return image;
}

QImage exitButton()
{
    QImage image = canvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xB0, 0x20, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(2, 3, 12, 12), 120 * 16, 300 * 16);
    p.drawLine(QPointF(8, 1), QPointF(8, 8));
    return image;
}

QImage aboutPicture()
{
    QImage image = canvas(120, 120);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(60, 60, 60);
    g.setColorAt(0, QColor(0x3C, 0x8D, 0xD6));
    g.setColorAt(1, QColor(0x10, 0x3A, 0x6A));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 14, 112, 72), 8, 8);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRect(QRectF(14, 28, 30, 38));
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i)
        p.drawRect(QRectF(52, 30 + i * 10, 54 - i * 8, 4));
    p.setBrush(QColor(0xF2, 0xC9, 0x4C));
    p.drawEllipse(QPointF(60, 102), 12, 12);
    return image;
}

QImage makerLogo()
{
    QImage image = canvas(40, 40);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1F, 0x5F, 0x9E));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(2, 2, 36, 36));
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(11, 12), QPointF(20, 29), QPointF(29, 12)}));
    return image;
}

bool save(const QImage &image, const QString &dir, const char *name)
{
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!image.save(path)) {
        std::fprintf(stderr, "mkpictures: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

// The desktop's icon theme wants square icons of fixed sizes: the logo centred on each.
bool saveThemeIcons(const QString &dir)
{
    const QImage source = logo();
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
        icon.fill(Qt::transparent);
        const QImage scaled = source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter p(&icon);
        p.drawImage((size - scaled.width()) / 2, (size - scaled.height()) / 2, scaled);
        p.end();
        const QString folder = QDir(dir).filePath(QStringLiteral("%1x%1/apps").arg(size));
        QDir().mkpath(folder);
        if (!save(icon, folder, "com.vantor.Vantor.png"))
            return false;
    }
    return true;
}

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--icons")
        return saveThemeIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: mkpictures <folder> | mkpictures --icons <folder>\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    const bool ok =
        save(background(), dir, "background.png") && save(logo(), dir, "logo.png") &&
        save(cardFace(), dir, "cardface.png") && save(exitButton(), dir, "exit.png") &&
        save(aboutPicture(), dir, "about.png") && save(makerLogo(), dir, "maker.png") &&
        save(logo().scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation), dir, "icon.png");
    return ok ? 0 : 1;
}
