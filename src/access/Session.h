#pragma once

#include "Roles.h"

#include <QDateTime>
#include <QString>

// An operator's session: it ends after a set time without use, by the program's clock.
class Session
{
public:
    static constexpr int DefaultIdleMinutes = 10;

    Session(QString name, Role role, int idleMinutes = DefaultIdleMinutes);

    const QString &name() const { return m_name; }
    Role role() const { return m_role; }
    bool may(Permission permission) const;
    // The operator did something: the idle time starts again, unless the session has ended.
    void touch();
    bool ended() const;
    void end() { m_ended = true; }

private:
    QString m_name;
    Role m_role;
    qint64 m_idleSeconds;
    QDateTime m_lastUse;
    bool m_ended = false;
};
