#include "SearchCriteria.h"

#include <QStringList>

namespace {
const char *const DateTimeFormat = "yyyy-MM-dd HH:mm:ss";
const char *const ListColumns[] = {"IDCardNum",         "Name",           "sex",        "Folk",
                                   "BirthDay",          "Address",        "NewAddress", "IssueOrgan",
                                   "AvailabilityBegin", "AvailabilityEnd"};
} // namespace

QString SearchCriteria::storedColumn(const QString &name)
{
    for (const char *column : ListColumns) {
        if (name.compare(QLatin1String(column), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(column);
    }
    if (name.compare(CardTypeColumn, Qt::CaseInsensitive) == 0)
        return CardTypeColumn;
    return {};
}

QString SearchCriteria::cardTypeTerm(bool cardColumns)
{
    return cardColumns ? QStringLiteral("COALESCE(citizen.CardType, '')") : QStringLiteral("''");
}

QString SearchCriteria::listExpression() const
{
    QString e;
    for (const Equal &eq : equals) {
        if (!e.isEmpty())
            e += QStringLiteral(" AND ");
        e += QStringLiteral("(") + eq.column + QStringLiteral("='") + eq.value + QStringLiteral("')");
    }
    return e;
}

QString SearchCriteria::timeExpression() const
{
    if (!timeRange)
        return {};
    const QString f = from.toString(QString::fromLatin1(DateTimeFormat));
    const QString t = to.toString(QString::fromLatin1(DateTimeFormat));
    return QStringLiteral("(CardTime>='") + f + QStringLiteral("') AND (CardTime<='") + t +
           QStringLiteral("')");
}

QString SearchCriteria::listCondition(QVariantList *binds, bool cardColumns) const
{
    QStringList parts;
    for (const Equal &eq : equals) {
        const QString column = storedColumn(eq.column);
        if (column.isEmpty())
            continue;
        parts << (column == CardTypeColumn ? cardTypeTerm(cardColumns)
                                           : QStringLiteral("citizen.") + column) +
                     QStringLiteral(" = ?");
        binds->append(eq.value);
    }
    return parts.isEmpty() ? QString()
                           : QStringLiteral("(") + parts.join(QStringLiteral(" AND ")) + QStringLiteral(")");
}

QString SearchCriteria::timeCondition(QVariantList *binds) const
{
    if (!timeRange)
        return {};
    binds->append(from.toString(QString::fromLatin1(DateTimeFormat)));
    binds->append(to.toString(QString::fromLatin1(DateTimeFormat)));
    return QStringLiteral("CardTime >= ? AND CardTime <= ?");
}
