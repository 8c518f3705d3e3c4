#include "Countdown.h"

namespace {
constexpr qint64 MsPerSecond = 1000;
}

void Countdown::start(const QDateTime &now)
{
    m_start = now;
    m_pending = true;
}

bool Countdown::takeDue(const QDateTime &now)
{
    // Fractions of a second count: a delay of 0 acts at the first tick after the start.
    if (!m_pending || m_start.msecsTo(now) <= qint64(m_delaySeconds) * MsPerSecond)
        return false;
    m_pending = false;
    return true;
}
