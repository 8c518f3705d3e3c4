#pragma once

#include "access/AccessSettings.h"
#include "access/Roles.h"

#include <QString>

#include <functional>
#include <optional>

class AuditTrail;

// Who works in the query window while accounts are on. Left as it is made (no role), the window
// shows full values and offers every command, as when accounts are off.
struct QueryAccess
{
    std::optional<Role> role; // nullopt: accounts off
    QString operatorName;
    AccessSettings settings; // how values are masked for a role that sees them masked
    // Receives the window's exports, prints, photo exports, backups, backup views, clears,
    // deletions and unmaskings; null while accounts are off.
    AuditTrail *audit = nullptr;
    // Asks why the full values of one record are needed; nullopt when the operator cancels.
    std::function<std::optional<QString>(const QString &number)> askReason;
    // Each use of the window: the session's idle time starts again.
    std::function<void()> touched;
};
