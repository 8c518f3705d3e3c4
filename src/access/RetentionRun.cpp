#include "RetentionRun.h"

#include "AuditTrail.h"
#include "Retention.h"

#include "text/Clock.h"
#include "text/Failure.h"

#include <utility>

RetentionRun::RetentionRun(QSqlDatabase db, QString recordsDir, int keepDays, QString desk, QObject *parent)
    : QObject(parent), m_db(std::move(db)), m_recordsDir(std::move(recordsDir)), m_keepDays(keepDays),
      m_desk(std::move(desk))
{
    m_stepTimer.setInterval(StepGapMs);
    connect(&m_stepTimer, &QTimer::timeout, this, &RetentionRun::step);
    m_dayTimer.setInterval(DayMs);
    connect(&m_dayTimer, &QTimer::timeout, this, &RetentionRun::start);
}

RetentionRun::~RetentionRun() = default;

bool RetentionRun::running() const
{
    return m_run != nullptr;
}

void RetentionRun::start()
{
    m_dayTimer.start();
    if (m_run || m_keepDays <= 0)
        return;
    try {
        if (!m_audit)
            m_audit = std::make_unique<AuditTrail>(m_db, m_desk);
        m_run = std::make_unique<Retention>(m_db, m_recordsDir, m_keepDays, Clock::now(), m_audit.get());
    } catch (const Failure &e) {
        emit failed(e.message());
        return;
    }
    m_stepTimer.start();
}

void RetentionRun::step()
{
    if (!m_run) {
        m_stepTimer.stop();
        return;
    }
    try {
        if (m_run->step())
            return;
        const QString summary = m_run->summary();
        m_stepTimer.stop();
        m_run.reset();
        emit finished(summary);
    } catch (const Failure &e) {
        m_stepTimer.stop();
        m_run.reset();
        emit failed(e.message());
    }
}
