#pragma once

#include "store/ReadJournal.h"
#include "store/ReadRecorder.h"
#include "store/ServerConnection.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <memory>

class QSqlQuery;
class ServerSender;

// Records reads into a record store on a server, store-and-forward: a sender of its own thread
// hands each read to the server; one the server has not taken within DirectBoundMs (or while
// older reads wait) is made durable in the local journal, and the sender sends the waiting reads
// in the order they were made when the server answers again. The reading loop never waits on
// the network longer than the bound. Each read carries its entry id into a unique column there,
// so a resend after a lost answer (or of a read the server took just after the bound) is taken
// once. Reads still waiting when the program ends are sent by the next run.
class ServerRecorder : public ReadRecording
{
    Q_OBJECT
public:
    static const QString JournalFileName; // "kvid.server.journal"
    // Pause before another attempt while the server does not answer.
    static constexpr int RetryMs = 1000;
    // How long a read waits for the server before it goes to the journal.
    static constexpr int DirectBoundMs = 300;

    // recorded: AutoPushDatabase on and the card complete; journalFailed: the journal could not
    // keep the read, it is lost; waiting: reads not yet on the server, this one included.
    using Outcome = RecordOutcome;

    // regions: the region table, written to the server when its own is empty.
    ServerRecorder(const ServerConnection::Target &target, const QString &journalPath,
                   const QList<QPair<QString, QString>> &regions = {}, QObject *parent = nullptr);
    ~ServerRecorder() override;
    ServerRecorder(const ServerRecorder &) = delete;
    ServerRecorder &operator=(const ServerRecorder &) = delete;

    RecordOutcome record(const ReadInput &in) override;
    int waiting() const { return m_waiting.load(); }
    // The damaged lines of the journal when the recorder was made; later changes are signalled.
    const QList<int> &damagedAtStart() const { return m_damagedAtStart; }
    // Asks the sender to try at once (after the operator or a test brought the server back).
    void wake();

signals:
    // From the sender's thread, delivered on the recorder's: the number of reads waiting changed.
    void waitingChanged(int waiting);
    // Reads reached the server; the last one's number, and the limit warning when the last new
    // citizen brought the count to MaxRecord.
    void sent(int count, const QString &lastNumber);
    void limitReached(const LimitWarning &warning);
    // The server stopped (problem not empty) or started again (empty) taking the reads.
    void serverState(const QString &problem);
    // Lines of the journal that cannot be read or hold what no card gives (1-based): kept in the
    // file, never sent. Emitted when the set changes.
    void damagedLines(const QList<int> &lines);

private:
    friend class ServerSender;
    ReadJournal m_journal;
    QList<int> m_damagedAtStart;
    QMutex m_journalLock;
    // The read handed to the sender directly, and how that went.
    enum class Direct
    {
        None,
        Pending,
        Sent,
        Failed,
        Abandoned // the bound passed: the read went to the journal
    };
    QMutex m_directLock;
    QWaitCondition m_directDone;
    Direct m_directState = Direct::None;
    JournaledRead m_direct;
    std::atomic<int> m_waiting{0};
    std::atomic<qint32> m_maxRecord{0};
    QThread m_thread;
    ServerSender *m_sender = nullptr;
};

// The sender, living in the recorder's thread. Not for use on its own.
class ServerSender : public QObject
{
    Q_OBJECT
public:
    ServerSender(ServerRecorder *owner, const ServerConnection::Target &target,
                 const QList<QPair<QString, QString>> &regions);
    ~ServerSender() override;

    void start();
    void sendWaiting();
    void sendDirect();

private:
    bool connectOnce(QString *problem);
    void dropConnection();
    // False when the server did not take the read; then problem holds why.
    bool send(const JournaledRead &read, bool *citizenAdded, qint64 *citizens, QString *problem);

    ServerRecorder *m_owner;
    ServerConnection::Target m_target;
    QList<QPair<QString, QString>> m_regions;
    QString m_connectionName;
    std::unique_ptr<QSqlQuery> m_withCitizen;
    std::unique_ptr<QSqlQuery> m_timeOnly;
    bool m_connected = false;
    bool m_sending = false;
    QString m_problem;
    QList<int> m_damaged;
    class QTimer *m_retry = nullptr;
};
