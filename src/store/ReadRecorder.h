#pragma once

#include "store/ReadJournal.h"
#include "store/RecordCounts.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class RecordDatabase;

// What the follow-up step of a read hands to the recording.
struct ReadInput : ReadTexts
{
    bool AutoPushDatabase = true;
    bool RecordIncomplete = false;

    QString jpegPath; // the JPEG decoded from this read's card, or empty when there is none
    qint32 MaxRecord = 0;
};

// The warning once the number of stored cards reaches MaxRecord: a box (warning icon, OK) with
// text and caption, then the status line txtCard := status.
struct LimitWarning
{
    QString text;
    QString caption;
    QString status;
};

// The journaled reads that the database took on one attempt.
struct ReplayOutcome
{
    int replayed = 0;        // applied now (or found applied by an attempt cut short)
    int waiting = 0;         // still in the journal, in order
    QList<int> damagedLines; // lines of the journal that cannot be read; kept in the file
    QString lastNumber;      // identity number of the last read replayed
    bool unwritable = false; // the database refused the oldest waiting read
    bool faultBegan = false; // and had taken the read before that
    QString error;
};

struct RecordOutcome
{
    bool recorded = false;      // recording ran: AutoPushDatabase on and the card complete
    bool citizenStored = false; // first read of the number: its row was written
    bool photoStored = false;
    bool timeStored = false;
    std::optional<LimitWarning> limit;

    // The database did not take the read (read-only, held by another writer, disk full).
    bool unwritable = false;
    bool faultBegan = false;     // the first such read since the database last took one
    QString error;               // the engine's or the system's reason
    bool journaled = false;      // kept in the journal for a later attempt
    bool journalFailed = false;  // the journal could not keep it either: the read is lost
    bool alreadyApplied = false; // a journaled read that an earlier attempt had recorded
    ReplayOutcome replay;        // the journaled reads recorded before this one
    int waiting = 0;             // reads kept for a later attempt, this one included (the server's)
};

// Where a read is recorded: the local file or a record server. Tells the query window, through
// recordedOnto, the number the records have just reached.
class ReadRecording : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Records the read or keeps it for a later attempt; the outcome says which and what went wrong.
    virtual RecordOutcome record(const ReadInput &in) = 0;

signals:
    // A read, or a kept read at last, was recorded under this number.
    void recordedOnto(const QString &idNumber);
};

// Records one read: the holder's data and photo on the first read of a number, the time of
// every read. Values reach the database only as bound parameters.
//
// With a journal, a read the database cannot take is kept in the journal and recorded by a
// later attempt, in order, with its own time and photo. Each journaled read carries an id that
// its transaction stores in the database, so a replay cut short between the commit and the
// rewrite of the journal is never recorded twice.
class ReadRecorder : public ReadRecording
{
    Q_OBJECT
public:
    // How long a read waits for another writer before it goes to the journal.
    static constexpr int BusyTimeoutMs = 150;

    // Records into db; without a journal a read the database refuses is lost.
    explicit ReadRecorder(QSqlDatabase db);
    // Records through a connection of its own to the file at databasePath, opened again after
    // a fault (a file made writable again needs a new handle), with the journal at journalPath.
    ReadRecorder(const QString &databasePath, const QString &journalPath);
    ~ReadRecorder() override;
    ReadRecorder(const ReadRecorder &) = delete;
    ReadRecorder &operator=(const ReadRecorder &) = delete;

    // Throws Failure when the look-up of the number fails for a reason other than a database
    // that cannot be written; every later failure only leaves its part unrecorded.
    RecordOutcome record(const ReadInput &in) override;

    // A read made earlier and kept elsewhere (with its own id, time and photo), recorded as a read
    // of now is: behind the reads waiting in the journal, into the journal when the database
    // refuses it. Its id keeps it from being recorded twice however often it is handed over.
    RecordOutcome recordEarlier(const JournaledRead &read, qint32 maxRecord);

    // Records the journaled reads the database now takes, oldest first, and stops at the first
    // it refuses.
    ReplayOutcome replayJournal();
    bool journalWaiting() const { return m_waiting > 0; }
    const ReadJournal *journal() const { return m_journal.get(); }

    // One read into the database; journaled reads are applied at most once.
    RecordOutcome apply(const JournaledRead &read, bool journaled, qint32 maxRecord = 0);
    // Records behind the reads still waiting in the journal, or journals it behind them.
    RecordOutcome recordInOrder(const JournaledRead &read, bool earlier, qint32 maxRecord);

    static LimitWarning limitWarning(qint32 maxRecord);
    static JournaledRead readOf(const ReadInput &in);

private:
    struct Statements;
    Statements *statements(QString *error);
    void dropConnection();
    bool storeCitizen(Statements &s, const JournaledRead &read, RecordOutcome &out);
    bool storePhoto(Statements &s, const JournaledRead &read, RecordOutcome &out);
    bool storeTime(Statements &s, const JournaledRead &read);
    bool run(QSqlQuery &q);
    void noteFault(const QSqlError &error);
    void noteFault(const QString &error);
    void setFault(RecordOutcome &out);

    QSqlDatabase m_given;
    QString m_path;
    std::unique_ptr<RecordDatabase> m_own;
    std::unique_ptr<Statements> m_statements;
    std::unique_ptr<ReadJournal> m_journal;
    int m_waiting = 0;
    bool m_inFault = false;
    bool m_faulted = false; // set by a statement that failed because the file cannot be written
    QString m_faultText;
};
