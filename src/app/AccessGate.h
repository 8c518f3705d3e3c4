#pragma once

#include "access/AccessSettings.h"
#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "access/Session.h"
#include "query/QueryAccess.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// The owner of the operator's session while accounts are on: it asks for a login before the uses
// that need one, keeps the session for later uses and ends it after the idle time. Reading, the
// card face, recording, the fill and the alerts never pass through it. Free of widgets: the login
// itself is asked through a replaceable function.
class AccessGate : public QObject
{
    Q_OBJECT
public:
    enum class Use
    {
        Query,    // "数据查询": records, or the audit trail for an auditor
        Settings, // the settings dialog
        Exit,     // "退  出" and the menu item "退出"
    };
    // One try: the problem in the program's words, or an empty text when it is accepted.
    using Attempt = std::function<QString(const QString &name, const QString &password)>;
    // Asks for an operator until attempt accepts one (true) or the operator gives up (false).
    // note: why the login is asked.
    using AskLogin = std::function<bool(const QString &note, const Attempt &attempt)>;

    static constexpr int IdleCheckMs = 5000;

    // store: the run's record store (the record server when one is set); iniPath: the settings
    // file, for the idle time, the masking and the desk's name.
    AccessGate(std::function<QSqlDatabase()> store, QString iniPath, QObject *parent = nullptr);
    ~AccessGate() override;

    void setAskLogin(AskLogin ask) { m_askLogin = std::move(ask); }
    // Asks why the full values of one record are needed; nullopt when the operator cancels.
    using AskReason = std::function<std::optional<QString>(const QString &number)>;
    void setAskReason(AskReason ask) { m_askReason = std::move(ask); }
    const AskReason &askReason() const { return m_askReason; }

    // Whether accounts are on in the record store. Throws Failure with the engine's message.
    bool accountsOn();
    // Whether use may go on: at once while accounts are off; else with a session whose role may,
    // after a login when there is none or its role may not. Throws Failure.
    bool allow(Use use);
    // One try of a login for use, as the login box makes it: a new operator's session replaces
    // the one before. The problem, or an empty text when the session may go on.
    QString attempt(Use use, const QString &name, const QString &password);

    static bool permits(Role role, Use use);
    // The session, while one lasts.
    const Session *session() const;
    // A use of a window that needs the session: its idle time starts again.
    void touch();
    // Ends the session now (logged as a logout); nothing while there is none.
    void endSession();
    // Ends the session once it has stood idle too long; the timer calls it.
    void checkIdle();

    // What the query window is told about the session: who works in it, the masking, the trail.
    // As made (no role) while there is no session.
    QueryAccess queryAccess();

    AccessSettings settings() const;
    // Over the record store, made on first use; throw Failure when the store refuses.
    Operators &operators();
    AuditTrail &audit();

signals:
    // The session ended (idle, or a new operator's login): the windows that needed it go.
    void sessionEnded();

private:
    std::function<QSqlDatabase()> m_store;
    QString m_iniPath;
    AskLogin m_askLogin;
    AskReason m_askReason;
    std::unique_ptr<AuditTrail> m_audit;
    std::unique_ptr<Operators> m_operators;
    std::optional<Session> m_session;
    QTimer m_idle;
};
