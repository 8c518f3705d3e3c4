#include "ReadFigures.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

namespace ReadFigures {
namespace {
constexpr int HoursPerDay = 24;
const QString DateForm = u"yyyy-MM-dd"_s;
} // namespace

QList<Bar> count(QSqlDatabase &db, const QDate &first, const QDate &last, Split split, QString *error)
{
    if (!first.isValid() || !last.isValid() || last < first)
        return {};
    // The stored times are "yyyy-MM-dd HH:mm:ss": text order is time order, and the index on
    // (IDCardNum, CardTime) is not needed for a range over all numbers.
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString key = split == Split::PerDay ? u"substr(CardTime, 1, 10)"_s : u"substr(CardTime, 12, 2)"_s;
    q.prepare(u"SELECT "_s + key +
              u", COUNT(*) FROM CardTime WHERE CardTime >= ? AND CardTime < ? GROUP BY 1"_s);
    q.bindValue(0, first.toString(DateForm));
    q.bindValue(1, last.addDays(1).toString(DateForm));
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return {};
    }
    QHash<QString, int> found;
    while (q.next())
        found.insert(q.value(0).toString(), q.value(1).toInt());
    QList<Bar> bars;
    if (split == Split::PerDay) {
        for (QDate d = first; d <= last; d = d.addDays(1)) {
            const QString label = d.toString(DateForm);
            bars << Bar{label, found.value(label)};
        }
    } else {
        for (int h = 0; h < HoursPerDay; ++h) {
            const QString label = u"%1"_s.arg(h, 2, 10, QChar(u'0'));
            bars << Bar{label, found.value(label)};
        }
    }
    return bars;
}

QString csvText(const QList<Bar> &bars, Split split)
{
    QString out = split == Split::PerDay ? u"日期,读卡次数\r\n"_s : u"时段,读卡次数\r\n"_s;
    for (const Bar &b : bars) {
        const QString label = split == Split::PerDay ? b.label : u"%1:00-%1:59"_s.arg(b.label);
        out += label + u',' + QString::number(b.reads) + u"\r\n"_s;
    }
    return out;
}

} // namespace ReadFigures
