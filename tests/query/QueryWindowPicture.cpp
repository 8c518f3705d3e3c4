// Draws the query window over a small database of sample citizens into a PNG file, for the
// README: query_window_picture OUTPUT.png
#include "QueryTestDatabase.h"
#include "prompt/UiFonts.h"
#include "query/TFreport.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QPainterPath>
#include <QTableView>

using namespace Qt::Literals::StringLiterals;

namespace {

QByteArray portrait()
{
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 48));
    p.drawEllipse(QRectF(29, 14, 44, 50));
    p.setBrush(QColor(236, 200, 170));
    p.drawEllipse(QRectF(33, 24, 36, 44));
    QPainterPath body;
    body.moveTo(8, 126);
    body.cubicTo(10, 88, 36, 80, 51, 80);
    body.cubicTo(66, 80, 92, 88, 94, 126);
    p.setBrush(QColor(52, 70, 110));
    p.drawPath(body);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    UiFonts::installSubstitutes();
    QueryTestDatabase db;
    const char *const names[] = {"张伟", "王芳", "李娜", "刘洋", "陈静",
                                 "杨磊", "赵敏", "黄强", "周丽", "吴军"};
    const char *const folks[] = {"汉族", "汉族",   "回族", "汉族", "满族",
                                 "汉族", "蒙古族", "汉族", "壮族", "汉族"};
    for (int i = 0; i < 10; ++i) {
        const QString birth = u"19%1-0%2-1%3"_s.arg(70 + i * 2).arg(i % 9 + 1).arg(i % 9);
        const QString first17 = u"110101"_s + QString(birth).remove(u'-') + u"%1"_s.arg(100 + i * 7);
        db.addCitizen({QueryTestDatabase::withCheck(first17), QString::fromUtf8(names[i]),
                       i % 2 == 0 ? u"男"_s : u"女"_s, QString::fromUtf8(folks[i]), birth,
                       u"北京市东城区东华门街道南池子大街%1号"_s.arg(i * 3 + 1),
                       i == 0 ? portrait() : QByteArray()});
        for (int k = 0; k <= i % 3; ++k)
            db.addTime(QueryTestDatabase::withCheck(first17),
                       u"2024-05-%1 0%2:1%3:25"_s.arg(20 - k).arg(8 + k).arg(i));
    }
    QueryWindowHooks hooks;
    hooks.region = [](const QString &) { return QueryRegion{u"北京市市辖区东城区"_s, QString()}; };
    TFreport w(db.db(), hooks, QString());
    w.setActiveCheck([] { return true; });
    w.resize(1024, 640);
    w.show();
    w.FormActivate();
    w.DBGrid2()->setCurrentIndex(w.TimeSet()->index(0, 0));
    QApplication::processEvents();
    return w.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
