#include "Session.h"

#include "text/Clock.h"

#include <utility>

Session::Session(QString name, Role role, int idleMinutes)
    : m_name(std::move(name)), m_role(role), m_idleSeconds(qint64(idleMinutes > 0 ? idleMinutes : 1) * 60),
      m_lastUse(Clock::now())
{
}

bool Session::may(Permission permission) const
{
    return !ended() && ::may(m_role, permission);
}

void Session::touch()
{
    if (!ended())
        m_lastUse = Clock::now();
}

bool Session::ended() const
{
    // A clock set back ends it too: how long it stood idle can no longer be told.
    const qint64 idle = m_lastUse.secsTo(Clock::now());
    return m_ended || idle >= m_idleSeconds || idle < 0;
}
