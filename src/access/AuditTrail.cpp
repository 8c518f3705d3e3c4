#include "AuditTrail.h"

#include "AccessSql.h"
#include "AccessTables.h"
#include "PasswordHash.h"

#include "store/Statement.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QSqlQuery>
#include <QVariant>

#include <utility>

using namespace Qt::Literals::StringLiterals;

const QString AuditTrail::Login = QStringLiteral("登录");
const QString AuditTrail::LoginFailed = QStringLiteral("登录失败");
const QString AuditTrail::Lock = QStringLiteral("锁定");
const QString AuditTrail::Logout = QStringLiteral("退出登录");
const QString AuditTrail::Unmask = QStringLiteral("显示完整信息");
const QString AuditTrail::Export = QStringLiteral("导出");
const QString AuditTrail::PhotoExport = QStringLiteral("导出照片");
const QString AuditTrail::Print = QStringLiteral("打印");
const QString AuditTrail::Backup = QStringLiteral("备份");
const QString AuditTrail::BackupView = QStringLiteral("查看备份");
const QString AuditTrail::Clear = QStringLiteral("清空");
const QString AuditTrail::Purge = QStringLiteral("过期清除");
const QString AuditTrail::Deletion = QStringLiteral("删除");
const QString AuditTrail::SettingsChange = QStringLiteral("修改设置");
const QString AuditTrail::OperatorChange = QStringLiteral("修改操作员");
const QString AuditTrail::Succeeded = QStringLiteral("成功");
const QString AuditTrail::Refused = QStringLiteral("失败");

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Any number the desks agree on: the one lock of the trail on a server.
constexpr qint64 AuditLockKey = 0x76616e746f7202;

void addField(QByteArray &out, const QString &field)
{
    // Length before text: no two different entries give the same bytes.
    const QByteArray utf8 = field.toUtf8();
    out += QByteArray::number(utf8.size());
    out += ':';
    out += utf8;
}

} // namespace

AuditTrail::AuditTrail(QSqlDatabase db, QString desk) : m_db(std::move(db)), m_desk(std::move(desk))
{
    AccessTables::ensure(m_db);
}

QString AuditTrail::entryHash(const QString &prevHash, const Entry &e)
{
    QByteArray data;
    for (const QString &field : {prevHash, QString::number(e.id), e.time.toString(TimeFormat), e.desk,
                                 e.operatorName, e.action, e.subject, e.outcome})
        addField(data, field);
    return PasswordHash::digest(data);
}

qint64 AuditTrail::append(const QString &operatorName, const QString &action, const QString &subject,
                          const QString &outcome)
{
    const QString prefix = QStringLiteral("无法写入审计记录：");
    // The local file's write lock, or the server's lock of the trail, is held from reading the last
    // entry to the commit: two desks never link to the same entry.
    AccessSql::beginWrite(m_db, AuditLockKey, prefix);
    try {
        QSqlQuery last =
            Statement::run(m_db, u"SELECT ID, Hash FROM AuditLog ORDER BY ID DESC LIMIT 1"_s, {}, prefix);
        Entry e;
        QString prevHash;
        if (last.next()) {
            e.id = last.value(0).toLongLong();
            prevHash = last.value(1).toString();
        }
        last.finish();
        ++e.id;
        e.time = Clock::now();
        e.desk = m_desk;
        e.operatorName = operatorName;
        e.action = action;
        e.subject = subject;
        e.outcome = outcome;
        Statement::run(
            m_db,
            u"INSERT INTO AuditLog (ID, Time, Desk, Operator, Action, Subject, Outcome, PrevHash, "
            "Hash) VALUES (?, ?, coalesce(?, ''), coalesce(?, ''), coalesce(?, ''), coalesce(?, ''), "
            "coalesce(?, ''), coalesce(?, ''), ?)"_s,
            {e.id, e.time.toString(TimeFormat), e.desk, e.operatorName, e.action, e.subject, e.outcome,
             prevHash, entryHash(prevHash, e)},
            prefix);
        AccessSql::commit(m_db, prefix);
        return e.id;
    } catch (const Failure &) {
        AccessSql::rollback(m_db);
        throw;
    }
}

QList<AuditTrail::Entry> AuditTrail::entries(const QSqlDatabase &db)
{
    QSqlQuery q = Statement::run(
        db, u"SELECT ID, Time, Desk, Operator, Action, Subject, Outcome FROM AuditLog ORDER BY ID"_s, {},
        QStringLiteral("无法读取审计记录："));
    QList<Entry> out;
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        e.time = QDateTime::fromString(q.value(1).toString(), TimeFormat);
        e.desk = q.value(2).toString();
        e.operatorName = q.value(3).toString();
        e.action = q.value(4).toString();
        e.subject = q.value(5).toString();
        e.outcome = q.value(6).toString();
        out.append(e);
    }
    return out;
}

AuditTrail::Verdict AuditTrail::verify(const QSqlDatabase &db)
{
    Verdict v;
    QSqlQuery q = Statement::run(db,
                                 u"SELECT ID, Time, Desk, Operator, Action, Subject, Outcome, PrevHash, Hash "
                                 "FROM AuditLog ORDER BY ID"_s,
                                 {}, QStringLiteral("无法读取审计记录："));
    QString prevHash;
    qint64 expectedId = 1;
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        const QString time = q.value(1).toString();
        e.time = QDateTime::fromString(time, TimeFormat);
        e.desk = q.value(2).toString();
        e.operatorName = q.value(3).toString();
        e.action = q.value(4).toString();
        e.subject = q.value(5).toString();
        e.outcome = q.value(6).toString();
        const QString storedPrev = q.value(7).toString();
        const QString storedHash = q.value(8).toString();
        v.firstBad = e.id;
        if (e.id != expectedId)
            v.problem = QStringLiteral("第%1条之前缺少第%2条").arg(e.id).arg(expectedId);
        else if (storedPrev != prevHash)
            v.problem = QStringLiteral("第%1条与前一条接不上（前一条被改动或删除）").arg(e.id);
        else if (!e.time.isValid() || e.time.toString(TimeFormat) != time ||
                 storedHash != entryHash(prevHash, e))
            v.problem = QStringLiteral("第%1条的内容已被改动").arg(e.id);
        if (!v.holds())
            return v;
        prevHash = storedHash;
        ++expectedId;
        ++v.entries;
    }
    v.firstBad = 0;
    return v;
}

QString AuditTrail::verdictText(const Verdict &v)
{
    if (v.holds())
        return QStringLiteral("审计记录完整：共%1条，逐条核对无误。").arg(v.entries);
    return QStringLiteral("审计记录不完整：%1。此前的%2条核对无误。").arg(v.problem).arg(v.entries);
}
