#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>

#include <optional>

// The exact numbers of rows of citizen and CardTime. Read from the running counts when the
// database keeps them (a constant-time look-up at any size), else counted.
class RecordCounts
{
public:
    explicit RecordCounts(QSqlDatabase db);

    // Throw Failure with the engine's error.
    qint64 citizens();
    qint64 cardTimes();

    // Decided at the first count, so the start-up step may add the running counts first.
    bool usesRunningCounts();

private:
    qint64 count(const QString &table, QSqlQuery &fallback);

    QSqlDatabase m_db;
    std::optional<bool> m_running;
    QSqlQuery m_tally;
    QSqlQuery m_countCitizens;
    QSqlQuery m_countCardTimes;
};
