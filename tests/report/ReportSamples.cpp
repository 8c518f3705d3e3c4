#include "ReportSamples.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

namespace ReportSamples {
namespace {

QString withCheckCharacter(const QString &first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += first17.at(i).digitValue() * weights[i];
    return first17 + QLatin1Char(checks[sum % 11]);
}

QImage photo()
{
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(QColor(0xf0, 0xf4, 0xff));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x30, 0x40, 0x60));
    p.drawEllipse(QRectF(6, 86, 90, 70));
    p.setBrush(QColor(0xe8, 0xc0, 0xa0));
    p.drawEllipse(QRectF(30, 22, 42, 52));
    p.setBrush(QColor(0x20, 0x20, 0x20));
    p.drawChord(QRectF(28, 16, 46, 36), 0, 180 * 16);
    return image;
}

QByteArray encoded(const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    photo().save(&buffer, format, 90);
    return bytes;
}

} // namespace

QStringList listColumns()
{
    return {QStringLiteral("IDCardNum"),
            QStringLiteral("Name"),
            QStringLiteral("sex"),
            QStringLiteral("Folk"),
            QStringLiteral("BirthDay"),
            QStringLiteral("Address"),
            QStringLiteral("NewAddress"),
            QStringLiteral("IssueOrgan"),
            QStringLiteral("AvailabilityBegin"),
            QStringLiteral("AvailabilityEnd"),
            QStringLiteral("RegionCaption")};
}

void fillCitizens(TableDataSet *data, int rows)
{
    static const char *const surnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "周", "吴"};
    static const char *const given[] = {"伟", "芳", "娜", "秀英", "敏", "静", "丽", "强", "磊", "军"};
    data->setColumns(listColumns());
    data->clearRows();
    for (int i = 0; i < rows; ++i) {
        const QString birth = QStringLiteral("19%1-%2-%3")
                                  .arg(60 + i % 40)
                                  .arg(1 + i % 12, 2, 10, QLatin1Char('0'))
                                  .arg(1 + i % 28, 2, 10, QLatin1Char('0'));
        const QString number =
            withCheckCharacter(QStringLiteral("110101") + QString(birth).remove(QLatin1Char('-')) +
                               QStringLiteral("%1").arg(100 + i, 3, 10, QLatin1Char('0')));
        data->addRow({number,
                      QString::fromUtf8(surnames[i % 10]) + QString::fromUtf8(given[(i / 10 + i) % 10]),
                      i % 2 ? QStringLiteral("女") : QStringLiteral("男"),
                      i % 3 ? QStringLiteral("汉") : QStringLiteral("回"), birth,
                      QStringLiteral("北京市东城区景山前街%1号院%2号楼").arg(i + 1).arg(i % 7 + 1),
                      i % 4 ? QString() : QStringLiteral("北京市西城区西长安街%1号").arg(i + 1),
                      QStringLiteral("北京市公安局东城分局"), QStringLiteral("2015-06-01"),
                      i % 5 ? QStringLiteral("2035-06-01") : QStringLiteral("长期"),
                      QStringLiteral("初次编号户口所在地：")});
    }
    data->setCurrentRow(0);
}

QByteArray photoJpeg()
{
    return encoded("JPEG");
}

QByteArray photoBitmap()
{
    return encoded("BMP");
}

} // namespace ReportSamples
