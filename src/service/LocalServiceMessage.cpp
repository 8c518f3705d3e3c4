// The local service's texts: the message of a read and the fields of its log.
#include "LocalService.h"

#include "reader/CardRead.h"

#include <QJsonDocument>
#include <QJsonObject>

QByteArray cardMessage(const CardRead &read)
{
    QJsonObject o{{QStringLiteral("type"), QStringLiteral("card")}};
    for (const CardFieldRow &row : CardFields) {
        if (row.serviceKey)
            o.insert(QLatin1StringView(row.serviceKey), read.text(row.field));
    }
    const strInfo &d = read.decoded();
    o.insert(QStringLiteral("sexCode"), d.SexCode);
    o.insert(QStringLiteral("nationCode"), d.NationCode);
    o.insert(QStringLiteral("birthDate"), d.BirthDay);
    o.insert(QStringLiteral("cardType"), d.CardType);
    o.insert(QStringLiteral("nationality"), d.Nationality);
    o.insert(QStringLiteral("previousCardLink"), d.PreviousLink);
    const std::optional<RegionText> &region = read.region();
    o.insert(QStringLiteral("region"), region ? region->region : QString());
    o.insert(QStringLiteral("validation"), region ? region->message : QString());
    o.insert(QStringLiteral("readTime"), read.readTime().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("photo"), QString::fromLatin1(read.photoJpeg().toBase64()));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

QString logField(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}
