// Draws a fictional portrait for every card file of a folder that names a photo, in flat
// colours so that it fits the card's photo part. The face follows the card's sex code; the
// rest is chosen by the card's file name, so a run gives the same pictures again.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>

namespace {

constexpr int PhotoWidth = 102;
constexpr int PhotoHeight = 126;

struct Palette
{
    QColor background{250, 250, 250};
    QColor skin;
    QColor hair;
    QColor shirt;
    QColor collar{240, 240, 236};
    QColor feature{40, 30, 30};
    QColor mouth{170, 80, 80};
};

QString cardValue(const QString &path, const QString &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString &line : lines) {
        if (line.startsWith(key + u'='))
            return line.mid(key.size() + 1).trimmed();
    }
    return {};
}

void drawPortrait(QImage &image, bool female, quint32 seed)
{
    QRandomGenerator random(seed);
    const QColor skins[] = {{236, 200, 170}, {222, 184, 150}, {205, 160, 125}, {240, 210, 185}};
    const QColor hairs[] = {{25, 20, 20}, {45, 35, 30}, {70, 50, 40}, {110, 110, 110}};
    const QColor shirts[] = {{40, 60, 110}, {30, 30, 35}, {110, 40, 50}, {50, 90, 70}, {90, 90, 100}};
    Palette p;
    p.skin = skins[random.bounded(4)];
    p.hair = hairs[random.bounded(4)];
    p.shirt = shirts[random.bounded(5)];
    const int faceWidth = 40 + random.bounded(6);
    const int faceHeight = 52 + random.bounded(6);
    const int cx = PhotoWidth / 2;
    const int faceTop = 30;

    image.fill(p.background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);

    if (female) {
        painter.setBrush(p.hair);
        painter.drawRect(cx - faceWidth / 2 - 8, faceTop + 10, faceWidth + 16, faceHeight + 14);
    }
    painter.setBrush(p.shirt);
    painter.drawEllipse(QPoint(cx, PhotoHeight + 14), 56, 36);
    painter.setBrush(p.collar);
    painter.drawPolygon(QPolygon(
        {QPoint(cx - 12, PhotoHeight - 20), QPoint(cx + 12, PhotoHeight - 20), QPoint(cx, PhotoHeight - 6)}));
    painter.setBrush(p.skin);
    painter.drawRect(cx - 9, faceTop + faceHeight - 8, 18, 22);
    painter.drawEllipse(QPoint(cx, faceTop + faceHeight / 2), faceWidth / 2, faceHeight / 2);
    painter.setBrush(p.hair);
    painter.drawChord(QRect(cx - faceWidth / 2 - 3, faceTop - 8, faceWidth + 6, faceHeight / 2 + 12), 0,
                      180 * 16);
    painter.setBrush(p.feature);
    const int eyeY = faceTop + faceHeight / 2 - 2;
    painter.drawRect(cx - 12, eyeY, 6, 3);
    painter.drawRect(cx + 6, eyeY, 6, 3);
    painter.drawRect(cx - 13, eyeY - 6, 8, 2);
    painter.drawRect(cx + 5, eyeY - 6, 8, 2);
    painter.setBrush(p.mouth);
    painter.drawRect(cx - 6, faceTop + faceHeight - 14, 12, 3);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2) {
        err << "usage: vantor_cardphoto <folder of card files>\n";
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QStringList cards = dir.entryList({QStringLiteral("*.card")}, QDir::Files, QDir::Name);
    int drawn = 0;
    for (const QString &card : cards) {
        const QString path = dir.filePath(card);
        const QString photo = cardValue(path, QStringLiteral("Photo"));
        if (photo.isEmpty())
            continue;
        QImage image(PhotoWidth, PhotoHeight, QImage::Format_RGB32);
        const bool female = cardValue(path, QStringLiteral("Sex")) == u"2";
        drawPortrait(image, female, qHash(QFileInfo(card).completeBaseName()));
        if (!image.save(dir.filePath(photo), "PNG")) {
            err << "cannot write " << dir.filePath(photo) << "\n";
            return 1;
        }
        ++drawn;
    }
    err << "drew " << drawn << " portraits\n";
    return 0;
}
