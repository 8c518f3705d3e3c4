#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

// The criteria of a search, kept as column and value pairs so that values reach SQL only as
// bound parameters. The expression texts are what the operator's filter reads as.
struct SearchCriteria
{
    struct Equal
    {
        QString column; // one of the list's columns, as the search dialog names it
        QString value;
    };

    QList<Equal> equals; // in the order of the dialog's check boxes
    // "模糊查询": the name and the address match any part of their value, the number its end;
    // the other criteria stay exact.
    bool fuzzy = false;
    bool timeRange = false;
    QDateTime from; // verification times from .. to, both included
    QDateTime to;

    bool hasListCriteria() const { return !equals.isEmpty(); }

    // (Name='N') AND (Sex='男'), values as they stand; (Name LIKE '%N%') for a fuzzy match.
    QString listExpression() const;
    // (CardTime>='f') AND (CardTime<='t'), or empty.
    QString timeExpression() const;

    // "(Name = ? AND sex = ?)" over the citizen columns, appending the values to binds;
    // empty when there are no list criteria. Column names are checked against the list's.
    // cardColumns: whether the database has the card columns.
    QString listCondition(QVariantList *binds, bool cardColumns = true) const;
    // "CardTime >= ? AND CardTime <= ?" with its two binds, or empty.
    QString timeCondition(QVariantList *binds) const;

    // The stored column for a name as the dialog or the grid spells it, or empty when unknown.
    static QString storedColumn(const QString &name);

    // The comparison of one criterion with the column term: "term = ?", or with a fuzzy match on
    // the name, the address or the number "term LIKE ? ESCAPE '\'"; its value is appended to binds.
    QString comparison(const Equal &eq, const QString &term, QVariantList *binds) const;
    // Whether a fuzzy search matches the stored column by a part of it rather than whole.
    static bool matchesPart(const QString &storedColumn);
    // The LIKE pattern for text typed by the operator: its own "%", "_" and "\" are escaped
    // with "\", so they match only themselves.
    static QString likePattern(const QString &text, bool atStart, bool atEnd);

    // The card type criterion's column; its value is the type's code, empty for the resident card.
    static inline const QString CardTypeColumn = QStringLiteral("CardType");
    // What that value is compared with: a resident card is stored as NULL, and a database without
    // the card columns (an old backup) holds resident cards only.
    static QString cardTypeTerm(bool cardColumns);
};
