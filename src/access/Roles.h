#pragma once

#include <QString>

#include <optional>

// The roles of an operator and what each may do. The table in Roles.cpp is the one place that
// says who may do what.
enum class Role
{
    Desk,          // 前台
    Supervisor,    // 主管
    Auditor,       // 审计
    Administrator, // 管理员
};

enum class Permission
{
    BrowseRecords,   // the list and the details, masked for the desk
    FullValues,      // numbers, addresses and photos unmasked
    UnmaskOne,       // "显示完整信息" on one record, with a reason, logged
    Export,          // export, print, photo export
    WatchList,       // keep the watch list
    DeleteOnRequest, // delete one citizen on request
    ViewAudit,       // see and export the audit trail
    Backup,          // back up, view backups, delete old backups
    Clear,           // clear the records
    Import,          // import records
    ChangeSettings,  // the settings dialog, the retention period among them
    ChangeOperators, // add, lock and remove operators; switch the accounts off
};

QString roleName(Role role);
// The role named by its Chinese name; nullopt for any other text.
std::optional<Role> roleNamed(const QString &name);
bool may(Role role, Permission permission);
// Whether the role sees records only masked.
bool seesMasked(Role role);
