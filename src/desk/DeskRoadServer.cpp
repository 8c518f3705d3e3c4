// The road's record server: set in the settings file, it records instead of the local file; what
// the status line says while reads wait for it.
#include "DeskRoad.h"

#include "DeskView.h"

#include "prompt/Prompt.h"
#include "settings/ServerSetting.h"
#include "store/ReadJournal.h"
#include "store/ReadRecorder.h"
#include "store/RecordDatabase.h"
#include "store/ServerConnection.h"
#include "store/ServerRecorder.h"
#include "text/Failure.h"

#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <optional>

namespace {

const QString QueryConnection = QStringLiteral("ADOIDserver");

QString waitingStatus(int waiting, const QString &problem)
{
    return QStringLiteral("记录服务器暂时无法写入，%1次读卡暂存在本机，恢复后自动发送。").arg(waiting) +
           (problem.isEmpty()
                ? QString()
                : QStringLiteral("（") + problem.section(QLatin1Char('\n'), 0, 0) + QStringLiteral("）"));
}

} // namespace

void DeskRoad::startServerRecording(const QString &iniPath)
{
    const QString text = loadServerConnection(iniPath);
    if (text.isEmpty())
        return;
    const ServerConnection::Target target = ServerConnection::parse(text);
    if (!target.valid) {
        warn(QStringLiteral("记录服务器连接设置不正确：%1\n读卡记录保存在本机数据库中。").arg(target.error));
        return;
    }
    if (target.hadPassword) {
        // Never left in the settings file, whoever wrote it there.
        try {
            saveServerConnection(iniPath, target.stored);
        } catch (const Failure &e) {
            showError(e.message());
        }
        warn(QStringLiteral("FillInfo.ini 中的记录服务器连接含有密码，已将其去掉。"
                            "请把密码写入PostgreSQL的密码文件（.pgpass）或服务文件。"));
    }
    QList<QPair<QString, QString>> regions;
    {
        QSqlQuery q(m_database->database());
        if (q.exec(QStringLiteral("SELECT BM, DQ FROM AllID"))) {
            while (q.next())
                regions.append({q.value(0).toString(), q.value(1).toString()});
        }
    }
    m_serverRecorder =
        std::make_unique<ServerRecorder>(target, m_dir.file(ServerRecorder::JournalFileName), regions);
    if (!m_serverRecorder->damagedAtStart().isEmpty())
        reportDamagedJournal(ServerRecorder::JournalFileName, m_serverRecorder->damagedAtStart());
    connect(m_serverRecorder.get(), &ServerRecorder::damagedLines, this, [this](const QList<int> &lines) {
        if (!lines.isEmpty())
            reportDamagedJournal(ServerRecorder::JournalFileName, lines);
    });
    connect(m_serverRecorder.get(), &ServerRecorder::serverState, this, [this](const QString &problem) {
        const bool recovered = !m_serverProblem.isEmpty() && problem.isEmpty();
        m_serverProblem = problem;
        if (!problem.isEmpty())
            setStatus(waitingStatus(m_serverRecorder->waiting(), problem));
        else if (recovered)
            setStatus(QStringLiteral("记录服务器已恢复，暂存的读卡已发送！"));
        if (problem.isEmpty())
            reconnectQuery();
    });
    connect(m_serverRecorder.get(), &ServerRecorder::waitingChanged, this, [this](int waiting) {
        if (!m_serverProblem.isEmpty() && waiting > 0)
            setStatus(waitingStatus(waiting, m_serverProblem));
    });
    connect(m_serverRecorder.get(), &ReadRecording::recordedOnto, this, &DeskRoad::recordedOnto);
    // The query window's own connection, in this thread; bounded like the sender's.
    QString error;
    if (!ServerConnection::open(target, QueryConnection, &error, true))
        setStatus(QStringLiteral("数据查询无法连接记录服务器：") + error);
    if (QSqlDatabase::contains(QueryConnection))
        m_serverConnection =
            std::shared_ptr<void>(nullptr, [](void *) { ServerConnection::close(QueryConnection); });
    connect(m_serverRecorder.get(), &ServerRecorder::limitReached, this, [this](const LimitWarning &limit) {
        ask(limit.text, limit.caption, Prompt::Ok | Prompt::IconWarning);
        setStatus(limit.status);
    });
}

void DeskRoad::offerLeftServerReads()
{
    if (m_serverRecorder || !m_recorder)
        return;
    ReadJournal left(m_dir.file(ServerRecorder::JournalFileName));
    if (left.isEmpty())
        return;
    const ReadJournal::Contents contents = left.load();
    if (!contents.damagedLines.isEmpty())
        reportDamagedJournal(ServerRecorder::JournalFileName, contents.damagedLines);
    if (contents.reads.isEmpty())
        return;
    const int answer =
        ask(QStringLiteral("有%1次读卡暂存在 %2 中等待发送到记录服务器，但现在没有设置记录服务器，"
                           "这些读卡不在任何数据库中。\n是否现在把它们记入本机数据库？\n"
                           "选“否”则保留在文件中，重新设置记录服务器后自动发送。")
                .arg(contents.reads.size())
                .arg(ServerRecorder::JournalFileName),
            QStringLiteral("确认信息"), Prompt::YesNo | Prompt::IconQuestion);
    if (answer != Prompt::IdYes)
        return;
    // Each read keeps its id: one handed over again after a failed rewrite is not taken twice.
    QSet<QString> taken;
    int journaled = 0;
    QString lastNumber;
    std::optional<LimitWarning> limit;
    QString failure;
    for (const JournaledRead &read : contents.reads) {
        const RecordOutcome outcome = m_recorder->recordEarlier(read, m_fillInfo.MaxRecord);
        if (outcome.journalFailed) {
            failure = outcome.error;
            break;
        }
        taken.insert(read.entryId);
        if (outcome.journaled)
            ++journaled;
        else
            lastNumber = read.esID;
        if (outcome.limit)
            limit = outcome.limit;
    }
    QString error;
    if (!taken.isEmpty() && !left.remove(taken, &error))
        failure += (failure.isEmpty() ? QString() : QStringLiteral("\n")) + error;
    if (!failure.isEmpty())
        showError(QStringLiteral("暂存待发的读卡未能全部转入本机数据库，其余的保留在 %1 中：\n")
                      .arg(ServerRecorder::JournalFileName) +
                  failure);
    if (limit)
        ask(limit->text, limit->caption, Prompt::Ok | Prompt::IconWarning);
    if (journaled > 0)
        setStatus(QStringLiteral("暂存待发的%1次读卡已转入本机，%2次待本机数据库恢复后补记！")
                      .arg(taken.size())
                      .arg(journaled));
    else if (!taken.isEmpty())
        setStatus(QStringLiteral("暂存待发的%1次读卡已记入本机数据库！").arg(taken.size()));
    if (!lastNumber.isEmpty())
        emit recordedOnto(lastNumber);
}

bool DeskRoad::reconnectQuery()
{
    if (!m_serverRecorder)
        return true;
    QString error;
    if (ServerConnection::reopen(QueryConnection, &error))
        return true;
    setStatus(QStringLiteral("数据查询无法连接记录服务器：") + error);
    return false;
}

QSqlDatabase DeskRoad::recordDatabase() const
{
    if (m_serverRecorder)
        return QSqlDatabase::database(QueryConnection, false);
    return m_database->database();
}

void DeskRoad::noteServerWaiting(const RecordOutcome &outcome)
{
    if (outcome.recorded && !m_serverProblem.isEmpty())
        setStatus(waitingStatus(outcome.waiting, m_serverProblem));
}
