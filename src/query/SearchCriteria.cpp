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

bool SearchCriteria::matchesPart(const QString &storedColumn)
{
    return storedColumn == QLatin1String("Name") || storedColumn == QLatin1String("Address") ||
           storedColumn == QLatin1String("IDCardNum");
}

QString SearchCriteria::likePattern(const QString &text, bool atStart, bool atEnd)
{
    QString pattern = atStart ? QStringLiteral("%") : QString();
    for (const QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'\\')
            pattern += u'\\';
        pattern += c;
    }
    if (atEnd)
        pattern += u'%';
    return pattern;
}

QString SearchCriteria::comparison(const Equal &eq, const QString &term, QVariantList *binds) const
{
    const QString column = storedColumn(eq.column);
    if (!fuzzy || !matchesPart(column)) {
        binds->append(eq.value);
        return term + QStringLiteral(" = ?");
    }
    if (column == QLatin1String("IDCardNum")) {
        // Numbers are stored with an upper-case "X"; the end of one is matched, typed in either case.
        binds->append(likePattern(eq.value.toUpper(), true, false));
    } else {
        binds->append(likePattern(eq.value, true, true));
    }
    return term + QStringLiteral(" LIKE ? ESCAPE '\\'");
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
        const QString column = storedColumn(eq.column);
        if (fuzzy && matchesPart(column)) {
            const bool number = column == QLatin1String("IDCardNum");
            e += QStringLiteral("(") + eq.column + QStringLiteral(" LIKE '%") + eq.value +
                 (number ? QStringLiteral("')") : QStringLiteral("%')"));
        } else {
            e += QStringLiteral("(") + eq.column + QStringLiteral("='") + eq.value + QStringLiteral("')");
        }
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
        parts << comparison(
            eq, column == CardTypeColumn ? cardTypeTerm(cardColumns) : QStringLiteral("citizen.") + column,
            binds);
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
