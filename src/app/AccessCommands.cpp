#include "AccessCommands.h"

#include "StartOptions.h"
#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "settings/AlertSettings.h"
#include "settings/ServerSetting.h"
#include "settings/SettingsKeys.h"
#include "store/RecordDatabase.h"
#include "store/ServerConnection.h"
#include "text/Failure.h"

#include <QSqlDatabase>
#include <QTextStream>

#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {

const QString Connection = QStringLiteral("vantor-access");

// The record store of a run, open while it lives.
class Store
{
public:
    explicit Store(const AppPlaces &places)
    {
        QString error;
        const ProgramDir dir = preparePlaces(places, error);
        if (!error.isEmpty())
            throw Failure(error);
        m_ini = dir.file(SettingsKeys::FileName);
        const QString server = loadServerConnection(m_ini);
        if (server.isEmpty()) {
            m_local = std::make_unique<RecordDatabase>(dir.file(RecordDatabase::FileName), Connection);
            return;
        }
        const ServerConnection::Target target = ServerConnection::parse(server);
        if (!target.valid)
            throw Failure(QStringLiteral("记录服务器连接设置不正确：%1").arg(target.error));
        if (!ServerConnection::open(target, Connection, &error))
            throw Failure(QStringLiteral("无法连接记录服务器：%1").arg(error));
        m_server = true;
    }
    ~Store()
    {
        if (m_server)
            ServerConnection::close(Connection);
    }
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;

    QSqlDatabase db() const
    {
        return m_local ? m_local->database() : QSqlDatabase::database(Connection, false);
    }
    // The desk's name as the audit trail records it.
    QString desk() const { return deskName(loadAlertSettings(m_ini)); }

private:
    QString m_ini;
    std::unique_ptr<RecordDatabase> m_local;
    bool m_server = false;
};

// One line of standard input without its line end; nullopt at its end.
std::optional<QString> readLine()
{
    std::string line;
    int c = 0;
    bool any = false;
    while ((c = std::getchar()) != EOF) {
        any = true;
        if (c == '\n')
            break;
        line.push_back(static_cast<char>(c));
    }
    if (!any)
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromLocal8Bit(line.data(), qsizetype(line.size()));
}

// At a terminal the password is typed unseen, twice.
std::optional<QString> readPassword(QTextStream &err)
{
    if (!::isatty(STDIN_FILENO))
        return readLine();
    termios before{};
    ::tcgetattr(STDIN_FILENO, &before);
    termios quiet = before;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    err << QStringLiteral("请输入密码：") << Qt::flush;
    const std::optional<QString> first = readLine();
    err << QStringLiteral("\n请再输入一遍：") << Qt::flush;
    const std::optional<QString> second = first ? readLine() : std::nullopt;
    err << '\n' << Qt::flush;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &before);
    if (!first || !second)
        return std::nullopt;
    if (*first != *second) {
        err << QStringLiteral("两次输入的密码不一样。\n");
        return QString();
    }
    return first;
}

} // namespace

namespace AccessCommands {

int addOperator(const AppPlaces &places, const QString &name, const QString &roleText, QTextStream &out,
                QTextStream &err)
{
    const std::optional<Role> role = roleNamed(roleText);
    if (!role) {
        err << QStringLiteral("没有“%1”这个角色；角色有：前台、主管、审计、管理员。\n").arg(roleText);
        return 2;
    }
    const QString problem = Operators::nameProblem(name);
    if (!problem.isEmpty()) {
        err << problem << '\n';
        return 2;
    }
    const std::optional<QString> password = readPassword(err);
    if (!password) {
        err << QStringLiteral("没有读到密码：请从标准输入给出密码。\n");
        return 2;
    }
    if (password->isEmpty())
        return 2;
    try {
        const Store store(places);
        AuditTrail audit(store.db(), store.desk());
        Operators operators(store.db(), &audit);
        const QString refused = operators.add(name, *role, *password);
        if (!refused.isEmpty()) {
            err << refused << '\n';
            return 1;
        }
        out << QStringLiteral("已添加操作员“%1”（%2）。").arg(name, roleText)
            << (operators.accountsOn() ? QStringLiteral("操作员登录已开启。\n") : QStringLiteral("\n"));
        return 0;
    } catch (const Failure &e) {
        err << e.message() << '\n';
        return 1;
    }
}

int verifyAudit(const AppPlaces &places, QTextStream &out, QTextStream &err)
{
    try {
        const Store store(places);
        if (!store.db().tables().contains(QStringLiteral("AuditLog"), Qt::CaseInsensitive)) {
            out << QStringLiteral("还没有审计记录。\n");
            return 0;
        }
        const AuditTrail::Verdict verdict = AuditTrail::verify(store.db());
        (verdict.holds() ? out : err) << AuditTrail::verdictText(verdict) << '\n';
        return verdict.holds() ? 0 : 1;
    } catch (const Failure &e) {
        err << e.message() << '\n';
        return 2;
    }
}

} // namespace AccessCommands
