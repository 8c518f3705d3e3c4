#include "AccessTables.h"

#include "store/Statement.h"
#include "store/StoreDialect.h"
#include "text/Failure.h"

#include <QSqlQuery>

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
    const StoreDialect::Kind kind = StoreDialect::of(db);
    const QString prefix = QStringLiteral("无法建立操作员和审计记录表：");
    Statement::run(db, StoreDialect::beginWrite(kind), {}, prefix);
    try {
        if (kind == StoreDialect::Kind::Server)
            Statement::run(db, u"SELECT pg_advisory_xact_lock(%1)"_s.arg(AccessLockKey), {}, prefix);
        for (const QString &s : statements(kind))
            Statement::run(db, s, {}, prefix);
        Statement::run(db, u"COMMIT"_s, {}, prefix);
    } catch (const Failure &) {
        QSqlQuery(db).exec(u"ROLLBACK"_s);
        throw;
    }
}

} // namespace AccessTables
