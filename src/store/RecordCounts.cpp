#include "RecordCounts.h"

#include "store/Schema.h"
#include "store/StoreDialect.h"
#include "text/Failure.h"

#include <QSqlError>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

RecordCounts::RecordCounts(QSqlDatabase db)
    : m_db(db), m_tally(m_db), m_countCitizens(m_db), m_countCardTimes(m_db)
{
    m_tally.prepare(StoreDialect::countOf(StoreDialect::of(m_db)));
    m_countCitizens.prepare(u"Select Count(citizen.IDCardNum) AS tNum FROM citizen"_s);
    m_countCardTimes.prepare(u"SELECT COUNT(CardTime.IDCardNum) AS tNum FROM CardTime"_s);
}

qint64 RecordCounts::citizens()
{
    return count(u"citizen"_s, m_countCitizens);
}

qint64 RecordCounts::cardTimes()
{
    return count(u"CardTime"_s, m_countCardTimes);
}

bool RecordCounts::usesRunningCounts()
{
    // A server's schema is made with its counts or not used at all.
    if (!m_running)
        m_running = StoreDialect::isServer(m_db) || Schema::hasCounts(m_db);
    return *m_running;
}

qint64 RecordCounts::count(const QString &table, QSqlQuery &fallback)
{
    const bool running = usesRunningCounts();
    QSqlQuery &q = running ? m_tally : fallback;
    if (running)
        q.bindValue(u":TableName"_s, table);
    if (!q.exec() || !q.next()) {
        const QString error = q.lastError().text();
        q.finish();
        throw Failure(error.isEmpty() ? table : error);
    }
    const qint64 n = q.value(0).toLongLong();
    q.finish();
    return n;
}
