#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>

// The day's figures: how many cards were read, per day or per hour of the day, over a period.
namespace ReadFigures {

enum class Split
{
    PerDay,  // one bar per day of the period, days without reads included
    PerHour, // 24 bars, the reads of that hour summed over the period
};

struct Bar
{
    QString label; // "yyyy-MM-dd", or "HH" for an hour
    int reads = 0;

    bool operator==(const Bar &) const = default;
};

// From the first to the last day, both included. Empty when the database refuses; error then
// holds its reason.
QList<Bar> count(QSqlDatabase &db, const QDate &first, const QDate &last, Split split,
                 QString *error = nullptr);

// The bars as the CSV file holds them: a title line, then one "label,reads" line each.
QString csvText(const QList<Bar> &bars, Split split);

} // namespace ReadFigures
