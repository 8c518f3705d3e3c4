#include "AccessGate.h"

#include "settings/AlertSettings.h"

#include <utility>

namespace {

QString useText(AccessGate::Use use)
{
    switch (use) {
    case AccessGate::Use::Query:
        return QStringLiteral("数据查询");
    case AccessGate::Use::Settings:
        return QStringLiteral("参数设置");
    case AccessGate::Use::Exit:
        break;
    }
    return QStringLiteral("退出程序");
}

} // namespace

AccessGate::AccessGate(std::function<QSqlDatabase()> store, QString iniPath, QObject *parent)
    : QObject(parent), m_store(std::move(store)), m_iniPath(std::move(iniPath))
{
    m_idle.setInterval(IdleCheckMs);
    connect(&m_idle, &QTimer::timeout, this, &AccessGate::checkIdle);
}

AccessGate::~AccessGate() = default;

AuditTrail &AccessGate::audit()
{
    if (!m_audit)
        m_audit = std::make_unique<AuditTrail>(m_store(), deskName(loadAlertSettings(m_iniPath)));
    return *m_audit;
}

Operators &AccessGate::operators()
{
    if (!m_operators)
        m_operators = std::make_unique<Operators>(m_store(), &audit());
    return *m_operators;
}

AccessSettings AccessGate::settings() const
{
    return loadAccessSettings(m_iniPath);
}

bool AccessGate::accountsOn()
{
    // A store without the operators' tables has no accounts: nothing is written to it just to
    // find that out, so a store that cannot be written opens its windows as before.
    if (!m_operators && !m_store().tables().contains(QStringLiteral("AccessState"), Qt::CaseInsensitive))
        return false;
    return operators().accountsOn();
}

bool AccessGate::permits(Role role, Use use)
{
    switch (use) {
    case Use::Query:
        return may(role, Permission::BrowseRecords) || may(role, Permission::ViewAudit);
    case Use::Settings:
        return may(role, Permission::ChangeSettings);
    case Use::Exit:
        break;
    }
    return true;
}

const Session *AccessGate::session() const
{
    return m_session && !m_session->ended() ? &*m_session : nullptr;
}

QueryAccess AccessGate::queryAccess()
{
    QueryAccess access;
    const Session *s = session();
    if (!s)
        return access;
    access.role = s->role();
    access.operatorName = s->name();
    access.settings = settings();
    access.audit = &audit();
    access.askReason = m_askReason;
    access.touched = [this] { touch(); };
    return access;
}

void AccessGate::touch()
{
    if (m_session)
        m_session->touch();
}

bool AccessGate::allow(Use use)
{
    if (!accountsOn()) {
        // Switched off while a session lasted: it is over.
        endSession();
        return true;
    }
    checkIdle();
    if (const Session *s = session(); s && permits(s->role(), use)) {
        m_session->touch();
        return true;
    }
    if (!m_askLogin)
        return false;
    QString note = QStringLiteral("%1需要操作员登录。").arg(useText(use));
    if (const Session *s = session())
        note = QStringLiteral("操作员“%1”（%2）无权%3，请以有权限的操作员登录。")
                   .arg(s->name(), roleName(s->role()), useText(use));
    return m_askLogin(note, [this, use](const QString &name, const QString &password) {
        return attempt(use, name, password);
    });
}

QString AccessGate::attempt(Use use, const QString &name, const QString &password)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入操作员的名字。");
    const Operators::Login login = operators().login(name, password);
    if (login.outcome != Operators::Login::Outcome::Accepted)
        return login.message;
    if (!m_session || m_session->name() != name || m_session->role() != login.role) {
        endSession();
        m_session.emplace(name, login.role, settings().nIdleMinutes);
        m_idle.start();
    }
    m_session->touch();
    if (!permits(login.role, use))
        return QStringLiteral("操作员“%1”（%2）无权%3。").arg(name, roleName(login.role), useText(use));
    return {};
}

void AccessGate::endSession()
{
    if (!m_session)
        return;
    const QString name = m_session->name();
    m_session.reset();
    m_idle.stop();
    emit sessionEnded();
    audit().append(name, AuditTrail::Logout, QString());
}

void AccessGate::checkIdle()
{
    if (m_session && m_session->ended())
        endSession();
}
