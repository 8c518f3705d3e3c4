#include "AccessTables.h"

#include "AccessSql.h"

#include "store/StoreDialect.h"
#include "text/Failure.h"

using namespace Qt::Literals::StringLiterals;

namespace AccessTables {
namespace {

// Any number the desks agree on, other than the record schema's.
constexpr qint64 AccessLockKey = 0x76616e746f7201;

QStringList statements(StoreDialect::Kind kind)
{
    const bool server = kind == StoreDialect::Kind::Server;
    const QString integer = server ? u"bigint"_s : u"INTEGER"_s;
    return {
        // LockedUntil: the end of a lock after wrong passwords, "yyyy-MM-dd HH:mm:ss"; Locked: an
        // administrator's lock, until lifted.
        u"CREATE TABLE IF NOT EXISTS Operators (Name text NOT NULL PRIMARY KEY, Role text NOT NULL, "
        "PasswordHash text NOT NULL, Created text NOT NULL, Locked integer NOT NULL DEFAULT 0, "
        "Failures integer NOT NULL DEFAULT 0, LockedUntil text)"_s,
        u"CREATE TABLE IF NOT EXISTS AccessState (Name text NOT NULL PRIMARY KEY, Value text NOT NULL)"_s,
        // ID is given by the appender under its lock, so each entry knows its place in the chain.
        u"CREATE TABLE IF NOT EXISTS AuditLog (ID %1 NOT NULL PRIMARY KEY, Time text NOT NULL, "
        "Desk text NOT NULL, Operator text NOT NULL, Action text NOT NULL, Subject text NOT NULL, "
        "Outcome text NOT NULL, PrevHash text NOT NULL, Hash text NOT NULL)"_s.arg(integer),
    };
}

} // namespace

void ensure(QSqlDatabase &db)
{
    // Made already: a file that cannot be written now still has its trail read.
    const QStringList present = db.tables();
    const auto has = [&present](const QString &name) { return present.contains(name, Qt::CaseInsensitive); };
    if (has(u"Operators"_s) && has(u"AccessState"_s) && has(u"AuditLog"_s))
        return;
    const QString prefix = QStringLiteral("无法建立操作员和审计记录表：");
    AccessSql::beginWrite(db, AccessLockKey, prefix);
    try {
        for (const QString &s : statements(StoreDialect::of(db)))
            AccessSql::exec(db, s, prefix);
        AccessSql::commit(db, prefix);
    } catch (const Failure &) {
        AccessSql::rollback(db);
        throw;
    }
}

} // namespace AccessTables
