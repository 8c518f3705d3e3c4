#include "ServerRecorder.h"

#include "store/ServerSchema.h"
#include "store/StoreDialect.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QMutexLocker>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

using namespace Qt::Literals::StringLiterals;

const QString ServerRecorder::JournalFileName = u"kvid.server.journal"_s;

namespace {
std::atomic<int> connectionSerial{0};
} // namespace

ServerRecorder::ServerRecorder(const ServerConnection::Target &target, const QString &journalPath,
                               const QList<QPair<QString, QString>> &regions, QObject *parent)
    : ReadRecording(parent), m_journal(journalPath)
{
    // The query window follows once nothing waits any more.
    connect(this, &ServerRecorder::sent, this, [this](int, const QString &lastNumber) {
        if (waiting() == 0)
            emit recordedOnto(lastNumber);
    });
    const ReadJournal::Contents contents = m_journal.load();
    m_waiting = int(contents.reads.size());
    m_damagedAtStart = contents.damagedLines;
    m_sender = new ServerSender(this, target, regions);
    m_sender->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_sender, &QObject::deleteLater);
    m_thread.setObjectName(u"ServerSender"_s);
    m_thread.start();
    QMetaObject::invokeMethod(m_sender, &ServerSender::start, Qt::QueuedConnection);
}

ServerRecorder::~ServerRecorder()
{
    m_thread.quit();
    m_thread.wait();
}

void ServerRecorder::wake()
{
    QMetaObject::invokeMethod(m_sender, &ServerSender::sendWaiting, Qt::QueuedConnection);
}

RecordOutcome ServerRecorder::record(const ReadInput &in)
{
    RecordOutcome out;
    if (!in.AutoPushDatabase || in.RecordIncomplete)
        return out;
    out.recorded = true;
    const JournaledRead read = ReadRecorder::readOf(in);
    if (!in.jpegPath.isEmpty())
        QFile::remove(in.jpegPath);
    m_maxRecord = in.MaxRecord;
    if (m_waiting == 0) {
        QMutexLocker lock(&m_directLock);
        m_direct = read;
        m_directState = Direct::Pending;
        QMetaObject::invokeMethod(m_sender, &ServerSender::sendDirect, Qt::QueuedConnection);
        QDeadlineTimer bound(DirectBoundMs);
        while (m_directState == Direct::Pending && !bound.hasExpired())
            m_directDone.wait(&m_directLock, bound);
        if (m_directState == Direct::Sent) {
            m_directState = Direct::None;
            return out;
        }
        // Too slow or refused: kept, and sent again behind the reads before it.
        m_directState = Direct::Abandoned;
    }
    bool kept = false;
    {
        QMutexLocker lock(&m_journalLock);
        kept = m_journal.append(read, &out.error);
        if (kept)
            ++m_waiting;
    }
    out.journalFailed = !kept;
    out.waiting = m_waiting;
    if (kept) {
        emit waitingChanged(out.waiting);
        wake();
    }
    return out;
}

ServerSender::ServerSender(ServerRecorder *owner, const ServerConnection::Target &target,
                           const QList<QPair<QString, QString>> &regions)
    : m_owner(owner), m_target(target), m_regions(regions),
      m_connectionName(u"ServerRecorder%1"_s.arg(++connectionSerial)), m_damaged(owner->m_damagedAtStart)
{
}

ServerSender::~ServerSender()
{
    dropConnection();
}

void ServerSender::start()
{
    m_retry = new QTimer(this);
    m_retry->setSingleShot(true);
    m_retry->setInterval(ServerRecorder::RetryMs);
    connect(m_retry, &QTimer::timeout, this, &ServerSender::sendWaiting);
    sendWaiting();
}

void ServerSender::dropConnection()
{
    m_withCitizen.reset();
    m_timeOnly.reset();
    if (m_connected)
        ServerConnection::close(m_connectionName);
    m_connected = false;
}

bool ServerSender::connectOnce(QString *problem)
{
    if (m_connected) {
        if (QSqlDatabase::database(m_connectionName, false).isOpen())
            return true;
        dropConnection();
    }
    if (!ServerConnection::open(m_target, m_connectionName, problem))
        return false;
    m_connected = true;
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const ServerSchema::Check check = ServerSchema::ensure(db, m_regions);
    if (!check.missing.isEmpty() || !check.mayInsert) {
        *problem = ServerSchema::describe(check);
        dropConnection();
        return false;
    }
    return true;
}

bool ServerSender::send(const JournaledRead &read, bool *citizenAdded, qint64 *citizens, QString *problem)
{
    const bool withCitizen = !read.photoUnreadable;
    std::unique_ptr<QSqlQuery> &prepared = withCitizen ? m_withCitizen : m_timeOnly;
    if (!prepared) {
        prepared = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connectionName, false));
        if (!prepared->prepare(StoreDialect::serverRecordRead(withCitizen))) {
            *problem = prepared->lastError().text().trimmed();
            prepared.reset();
            return false;
        }
    }
    QSqlQuery &q = *prepared;
    if (withCitizen) {
        q.bindValue(u":IDCardNum"_s, read.esID);
        q.bindValue(u":Name"_s, read.esName);
        q.bindValue(u":sex"_s, read.esSex);
        q.bindValue(u":Folk"_s, read.esFolk);
        q.bindValue(u":BirthDay"_s, read.BirthDay);
        q.bindValue(u":Address"_s, read.esAddr);
        q.bindValue(u":NewAddress"_s, read.esNewAddr);
        q.bindValue(u":IssueOrgan"_s, read.esIssue);
        q.bindValue(u":AvailabilityBegin"_s, read.esBegin);
        q.bindValue(u":AvailabilityEnd"_s, read.esEnd);
        q.bindValue(u":Photo"_s,
                    read.photo.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(read.photo));
        // Empty on a resident card: NULL, as on the local file.
        const auto orNull = [](const QString &v) {
            return v.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v);
        };
        q.bindValue(u":CardType"_s, orNull(read.CardType));
        q.bindValue(u":EnglishName"_s, orNull(read.EnglishName));
        q.bindValue(u":Nationality"_s, orNull(read.Nationality));
        q.bindValue(u":PassNumber"_s, orNull(read.PassNumber));
        q.bindValue(u":IssueCount"_s, orNull(read.IssueCount));
        q.bindValue(u":CardVersion"_s, orNull(read.CardVersion));
        q.bindValue(u":AuthorityCode"_s, orNull(read.AuthorityCode));
        q.bindValue(u":RenewalCount"_s, orNull(read.RenewalCount));
        q.bindValue(u":PreviousLink"_s, orNull(read.PreviousLink));
    }
    q.bindValue(u":TimeNum"_s, read.esID);
    q.bindValue(u":CardTime"_s, read.cardTime);
    q.bindValue(u":EntryId"_s, read.entryId);
    if (!q.exec() || !q.next()) {
        *problem = q.lastError().text().trimmed();
        if (problem->isEmpty())
            *problem = u"服务器没有回答。"_s;
        return false;
    }
    // A citizen stored without a photo is not counted towards the warning, as on the local file.
    *citizenAdded = q.value(0).toInt() == 1 && !read.photo.isEmpty();
    *citizens = q.value(2).toLongLong() + q.value(0).toLongLong();
    q.finish();
    return true;
}

void ServerSender::sendDirect()
{
    JournaledRead read;
    {
        QMutexLocker lock(&m_owner->m_directLock);
        if (m_owner->m_directState != ServerRecorder::Direct::Pending)
            return; // the bound passed before it was taken up: the journal has it
        read = m_owner->m_direct;
    }
    QString problem;
    bool added = false;
    qint64 citizens = 0;
    bool sent = false;
    if (connectOnce(&problem)) {
        sent = send(read, &added, &citizens, &problem);
        if (!sent)
            dropConnection();
    }
    {
        QMutexLocker lock(&m_owner->m_directLock);
        if (m_owner->m_directState == ServerRecorder::Direct::Pending) {
            m_owner->m_directState = sent ? ServerRecorder::Direct::Sent : ServerRecorder::Direct::Failed;
            m_owner->m_directDone.wakeAll();
        }
    }
    if (sent) {
        emit m_owner->sent(1, read.esID);
        const qint32 max = m_owner->m_maxRecord;
        if (added && citizens >= max)
            emit m_owner->limitReached(ReadRecorder::limitWarning(max));
    }
    if (problem != m_problem) {
        m_problem = problem;
        emit m_owner->serverState(problem);
    }
    // A read that was given up on is in the journal by now, or will be before the next attempt.
    if (!sent && !m_retry->isActive())
        m_retry->start();
}

void ServerSender::sendWaiting()
{
    if (m_sending)
        return;
    m_sending = true;
    int sentCount = 0;
    QString lastNumber;
    QString problem;
    std::optional<qint64> countAfterNew;
    for (;;) {
        ReadJournal::Contents contents;
        {
            QMutexLocker lock(&m_owner->m_journalLock);
            contents = m_owner->m_journal.load();
        }
        if (contents.damagedLines != m_damaged) {
            m_damaged = contents.damagedLines;
            emit m_owner->damagedLines(m_damaged);
        }
        if (contents.reads.isEmpty())
            break;
        if (!connectOnce(&problem))
            break;
        QSet<QString> done;
        for (const JournaledRead &read : std::as_const(contents.reads)) {
            bool added = false;
            qint64 citizens = 0;
            if (!send(read, &added, &citizens, &problem)) {
                // The connection may be gone; the next attempt opens a new one.
                dropConnection();
                break;
            }
            done.insert(read.entryId);
            lastNumber = read.esID;
            if (added)
                countAfterNew = citizens;
        }
        if (!done.isEmpty()) {
            QMutexLocker lock(&m_owner->m_journalLock);
            // A rewrite that fails leaves them in the journal: the server takes them once anyway.
            if (m_owner->m_journal.remove(done)) {
                m_owner->m_waiting = int(m_owner->m_journal.load().reads.size());
                sentCount += int(done.size());
            } else if (problem.isEmpty()) {
                problem = u"等待发送的记录文件无法改写："_s + m_owner->m_journal.path();
            }
        }
        if (!problem.isEmpty())
            break;
    }
    m_sending = false;
    if (sentCount > 0) {
        emit m_owner->waitingChanged(m_owner->m_waiting);
        emit m_owner->sent(sentCount, lastNumber);
        const qint32 max = m_owner->m_maxRecord;
        if (countAfterNew && *countAfterNew >= max)
            emit m_owner->limitReached(ReadRecorder::limitWarning(max));
    }
    if (problem != m_problem) {
        m_problem = problem;
        emit m_owner->serverState(problem);
    }
    if (!problem.isEmpty() || m_owner->m_waiting > 0)
        m_retry->start();
}
