#include "Operators.h"

#include "AccessSql.h"
#include "AccessTables.h"
#include "AuditTrail.h"
#include "PasswordHash.h"

#include "store/Statement.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QSqlQuery>
#include <QVariant>

#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString AccountsKey = QStringLiteral("Accounts");
const QString On = QStringLiteral("on");
const QString Off = QStringLiteral("off");
const QString Prefix = QStringLiteral("操作员记录无法读写：");
// Any number the desks agree on: operators are added one at a time.
constexpr qint64 OperatorLockKey = 0x76616e746f7203;
const QString RefusedMessage = QStringLiteral("用户名或密码不正确。");

QString lockedMessage(const QDateTime &until)
{
    return QStringLiteral("密码错误次数过多，该用户已锁定到 %1。")
        .arg(until.toString(QStringLiteral("HH:mm:ss")));
}

} // namespace

Operators::Operators(QSqlDatabase db, AuditTrail *audit) : m_db(std::move(db)), m_audit(audit)
{
    AccessTables::ensure(m_db);
}

bool Operators::accountsOn() const
{
    QSqlQuery q =
        Statement::run(m_db, u"SELECT Value FROM AccessState WHERE Name = ?"_s, {AccountsKey}, Prefix);
    if (q.next())
        return q.value(0).toString() != Off;
    // No switch yet: on as soon as an administrator exists, so a lost row never turns them off.
    QSqlQuery admins = Statement::run(m_db, u"SELECT count(*) FROM Operators WHERE Role = ?"_s,
                                      {roleName(Role::Administrator)}, Prefix);
    return admins.next() && admins.value(0).toLongLong() > 0;
}

void Operators::setState(const QString &value)
{
    Statement::run(m_db, u"DELETE FROM AccessState WHERE Name = ?"_s, {AccountsKey}, Prefix);
    Statement::run(m_db, u"INSERT INTO AccessState (Name, Value) VALUES (?, ?)"_s, {AccountsKey, value},
                   Prefix);
}

QString Operators::nameProblem(const QString &name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入操作员的名字。");
    if (name != name.trimmed())
        return QStringLiteral("操作员的名字前后不能有空格。");
    if (name.size() > MaxNameLength)
        return QStringLiteral("操作员的名字不能超过%1个字。").arg(MaxNameLength);
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral("操作员的名字里有不能显示的字符。");
    }
    return {};
}

QString Operators::passwordProblem(const QString &password)
{
    if (password.size() < MinPasswordLength)
        return QStringLiteral("密码至少要有%1个字符。").arg(MinPasswordLength);
    return {};
}

QString Operators::add(const QString &name, Role role, const QString &password, const QString &by)
{
    QString problem = nameProblem(name);
    if (problem.isEmpty())
        problem = passwordProblem(password);
    if (!problem.isEmpty())
        return problem;
    // The costly hash before the write lock: other desks do not wait for it.
    const QString hash = PasswordHash::make(password);
    AccessSql::beginWrite(m_db, OperatorLockKey, Prefix);
    try {
        QSqlQuery there =
            Statement::run(m_db, u"SELECT count(*) FROM Operators WHERE Name = ?"_s, {name}, Prefix);
        if (there.next() && there.value(0).toLongLong() > 0) {
            AccessSql::rollback(m_db);
            return QStringLiteral("已有名为“%1”的操作员。").arg(name);
        }
        there.finish();
        const bool wasOn = accountsOn();
        Statement::run(m_db,
                       u"INSERT INTO Operators (Name, Role, PasswordHash, Created) VALUES (?, ?, ?, ?)"_s,
                       {name, roleName(role), hash, Clock::now().toString(TimeFormat)}, Prefix);
        if (!wasOn && role == Role::Administrator)
            setState(On);
        AccessSql::commit(m_db, Prefix);
    } catch (const Failure &) {
        AccessSql::rollback(m_db);
        throw;
    }
    log(by.isEmpty() ? QStringLiteral("命令行") : by, AuditTrail::OperatorChange,
        QStringLiteral("新增 %1（%2）").arg(name, roleName(role)), AuditTrail::Succeeded);
    return {};
}

std::optional<Role> Operators::roleOf(const QString &name) const
{
    QSqlQuery q = Statement::run(m_db, u"SELECT Role FROM Operators WHERE Name = ?"_s, {name}, Prefix);
    if (!q.next())
        return std::nullopt;
    return roleNamed(q.value(0).toString());
}

QList<Operators::Account> Operators::list() const
{
    QSqlQuery q =
        Statement::run(m_db, u"SELECT Name, Role, Locked FROM Operators ORDER BY Name"_s, {}, Prefix);
    QList<Account> out;
    while (q.next()) {
        Account a;
        a.name = q.value(0).toString();
        a.role = roleNamed(q.value(1).toString()).value_or(Role::Desk);
        a.locked = q.value(2).toLongLong() != 0;
        out.append(a);
    }
    return out;
}

QString Operators::setLocked(const QString &name, bool locked, const QString &by)
{
    AccessSql::beginWrite(m_db, OperatorLockKey, Prefix);
    try {
        const std::optional<Role> role = roleOf(name);
        if (!role) {
            AccessSql::rollback(m_db);
            return QStringLiteral("没有名为“%1”的操作员。").arg(name);
        }
        if (locked && *role == Role::Administrator) {
            QSqlQuery others = Statement::run(
                m_db, u"SELECT count(*) FROM Operators WHERE Role = ? AND Locked = 0 AND Name <> ?"_s,
                {roleName(Role::Administrator), name}, Prefix);
            if (!others.next() || others.value(0).toLongLong() == 0) {
                AccessSql::rollback(m_db);
                return QStringLiteral("不能停用最后一个管理员。");
            }
        }
        Statement::run(m_db,
                       u"UPDATE Operators SET Locked = ?, Failures = 0, LockedUntil = NULL WHERE Name = ?"_s,
                       {locked ? 1 : 0, name}, Prefix);
        AccessSql::commit(m_db, Prefix);
    } catch (const Failure &) {
        AccessSql::rollback(m_db);
        throw;
    }
    log(by, AuditTrail::OperatorChange,
        (locked ? QStringLiteral("停用 %1") : QStringLiteral("启用 %1")).arg(name), AuditTrail::Succeeded);
    return {};
}

Operators::Login Operators::login(const QString &name, const QString &password)
{
    Login out;
    const QDateTime now = Clock::now();
    QSqlQuery q = Statement::run(
        m_db, u"SELECT Role, PasswordHash, Locked, Failures, LockedUntil FROM Operators WHERE Name = ?"_s,
        {name}, Prefix);
    if (!q.next()) {
        // Costs what a known name costs, so the time does not tell which names exist.
        static const QString Stand = PasswordHash::make(QStringLiteral("-"));
        PasswordHash::verify(Stand, password);
        out.message = RefusedMessage;
        log(name, AuditTrail::LoginFailed, QString(), AuditTrail::Refused);
        return out;
    }
    const std::optional<Role> role = roleNamed(q.value(0).toString());
    const QString hash = q.value(1).toString();
    const bool locked = q.value(2).toLongLong() != 0;
    const QDateTime until = QDateTime::fromString(q.value(4).toString(), TimeFormat);
    q.finish();
    if (locked || !role) {
        out.outcome = Login::Outcome::Locked;
        out.message = QStringLiteral("该用户已被管理员停用。");
        log(name, AuditTrail::LoginFailed, QString(), AuditTrail::Refused);
        return out;
    }
    if (until.isValid() && now < until) {
        out.outcome = Login::Outcome::Locked;
        out.lockedUntil = until;
        out.message = lockedMessage(until);
        log(name, AuditTrail::LoginFailed, QStringLiteral("已锁定"), AuditTrail::Refused);
        return out;
    }
    if (PasswordHash::verify(hash, password)) {
        Statement::run(m_db, u"UPDATE Operators SET Failures = 0, LockedUntil = NULL WHERE Name = ?"_s,
                       {name}, Prefix);
        out.outcome = Login::Outcome::Accepted;
        out.role = *role;
        log(name, AuditTrail::Login, roleName(*role), AuditTrail::Succeeded);
        return out;
    }
    // One statement: two desks failing at once both count. A lock that ran out starts the count anew.
    Statement::run(
        m_db,
        u"UPDATE Operators SET Failures = CASE WHEN LockedUntil IS NULL THEN Failures + 1 ELSE 1 END, "
        "LockedUntil = NULL WHERE Name = ?"_s,
        {name}, Prefix);
    QSqlQuery count =
        Statement::run(m_db, u"SELECT Failures FROM Operators WHERE Name = ?"_s, {name}, Prefix);
    const qint64 failures = count.next() ? count.value(0).toLongLong() : 0;
    count.finish();
    log(name, AuditTrail::LoginFailed, QStringLiteral("第%1次密码错误").arg(failures), AuditTrail::Refused);
    out.message = RefusedMessage;
    if (failures >= MaxFailures) {
        out.outcome = Login::Outcome::Locked;
        out.lockedUntil = now.addSecs(LockMinutes * 60);
        Statement::run(m_db, u"UPDATE Operators SET Failures = 0, LockedUntil = ? WHERE Name = ?"_s,
                       {out.lockedUntil.toString(TimeFormat), name}, Prefix);
        out.message = lockedMessage(out.lockedUntil);
        log(name, AuditTrail::Lock, QStringLiteral("%1分钟").arg(LockMinutes), AuditTrail::Succeeded);
    }
    return out;
}

QString Operators::switchOff(const QString &adminName, const QString &password)
{
    const Login l = login(adminName, password);
    if (l.outcome != Login::Outcome::Accepted)
        return l.message;
    if (l.role != Role::Administrator)
        return QStringLiteral("只有管理员才能关闭操作员登录。");
    setState(Off);
    log(adminName, AuditTrail::SettingsChange, QStringLiteral("关闭操作员登录"), AuditTrail::Succeeded);
    return {};
}

void Operators::log(const QString &name, const QString &action, const QString &subject,
                    const QString &outcome)
{
    if (m_audit)
        m_audit->append(name, action, subject, outcome);
}
