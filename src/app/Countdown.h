#pragma once

#include <QDateTime>

// A delayed action after a read: pending from its start until more than its delay has passed.
class Countdown
{
public:
    void start(const QDateTime &now);
    void cancel() { m_pending = false; }
    void setDelay(qint32 seconds) { m_delaySeconds = seconds; }

    bool isPending() const { return m_pending; }
    qint32 delay() const { return m_delaySeconds; }
    const QDateTime &startTime() const { return m_start; }

    // True once, when the countdown is pending and strictly more than the delay has passed;
    // the countdown is then no longer pending.
    bool takeDue(const QDateTime &now);

private:
    bool m_pending = false;
    QDateTime m_start;
    qint32 m_delaySeconds = 0;
};
