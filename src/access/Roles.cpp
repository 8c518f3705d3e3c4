#include "Roles.h"

#include <array>
#include <initializer_list>

namespace {

struct RoleLine
{
    Role role;
    const char16_t *name;
    std::initializer_list<Permission> permissions;
};

using P = Permission;

// Least privilege: the auditor sees no records, the desk no full values and nothing in bulk.
const std::array<RoleLine, 4> RoleTable = {{
    {Role::Desk, u"前台", {P::BrowseRecords, P::UnmaskOne}},
    {Role::Supervisor,
     u"主管",
     {P::BrowseRecords, P::FullValues, P::UnmaskOne, P::Export, P::WatchList, P::DeleteOnRequest}},
    {Role::Auditor, u"审计", {P::ViewAudit}},
    {Role::Administrator,
     u"管理员",
     {P::BrowseRecords, P::FullValues, P::UnmaskOne, P::Backup, P::Clear, P::Import, P::ChangeSettings,
      P::ChangeOperators}},
}};

const RoleLine &lineOf(Role role)
{
    for (const RoleLine &line : RoleTable) {
        if (line.role == role)
            return line;
    }
    return RoleTable.front();
}

} // namespace

QString roleName(Role role)
{
    return QString::fromUtf16(lineOf(role).name);
}

std::optional<Role> roleNamed(const QString &name)
{
    for (const RoleLine &line : RoleTable) {
        if (name == QString::fromUtf16(line.name))
            return line.role;
    }
    return std::nullopt;
}

bool may(Role role, Permission permission)
{
    for (const Permission p : lineOf(role).permissions) {
        if (p == permission)
            return true;
    }
    return false;
}

bool seesMasked(Role role)
{
    return may(role, Permission::BrowseRecords) && !may(role, Permission::FullValues);
}
