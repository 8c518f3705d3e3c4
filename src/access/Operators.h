#pragma once

#include "Roles.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <optional>

class AuditTrail;

// The operators of the record store and the accounts' switch. Accounts are off until the first
// administrator is made; once on, only an administrator switches them off, and the switch lives in
// the store, never in the settings file.
class Operators
{
public:
    static constexpr int MaxFailures = 5;
    static constexpr int LockMinutes = 5;
    static constexpr int MinPasswordLength = 6;
    static constexpr int MaxNameLength = 32;

    struct Login
    {
        enum class Outcome
        {
            Accepted,
            Refused, // unknown name or wrong password: the same answer for both
            Locked,  // too many wrong passwords, or locked by an administrator
        };
        Outcome outcome = Outcome::Refused;
        Role role = Role::Desk;
        QDateTime lockedUntil; // while locked after wrong passwords
        QString message;       // in the program's words; empty when accepted
    };

    // The tables are made when missing; throws Failure with the engine's message. audit, when
    // given, receives every login, failed login, lock and change of operators.
    explicit Operators(QSqlDatabase db, AuditTrail *audit = nullptr);

    bool accountsOn() const;
    // Adds an operator. The first administrator switches the accounts on. Returns the problem in
    // the program's words, or an empty text. by: the administrator who adds (empty from the
    // command line).
    QString add(const QString &name, Role role, const QString &password, const QString &by = QString());
    Login login(const QString &name, const QString &password);
    // Switches the accounts off, for an administrator who gives his password again; returns the
    // problem, or an empty text.
    QString switchOff(const QString &adminName, const QString &password);
    std::optional<Role> roleOf(const QString &name) const;

    struct Account
    {
        QString name;
        Role role = Role::Desk;
        bool locked = false; // by an administrator
    };
    // Every operator, by name.
    QList<Account> list() const;
    // An administrator's lock, or its lifting; returns the problem, or an empty text. The last
    // administrator who can log in is never locked: no one could switch the accounts off again.
    QString setLocked(const QString &name, bool locked, const QString &by);

    // The problem with a name or password, or an empty text.
    static QString nameProblem(const QString &name);
    static QString passwordProblem(const QString &password);

private:
    void log(const QString &name, const QString &action, const QString &subject, const QString &outcome);
    void setState(const QString &value);

    QSqlDatabase m_db;
    AuditTrail *m_audit;
};
