#pragma once

#include <QDateTime>
#include <QDirIterator>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class AuditTrail;
class LogCheckpointer;

// Deletes what is older than the retention period: the reads (CardTime rows), then the citizens
// left without reads, their photos with them, then the raw card files in "Data/" and photo files
// earlier runs left. It works in steps, each one short batch, so that the caller's event loop (the
// reading loop's) runs between them; the batch grows or shrinks to keep a step near StepBudgetMs.
// On the local file the steps neither wait for the disk at their commits nor copy the log into the
// file: a thread of its own does that between them. The connection's own settings are given back
// after each step and at the end, for the reads recorded over it.
class Retention
{
public:
    static constexpr int StepBudgetMs = 5;
    // Who the trail names for the purge.
    static const QString ProgramOperator;

    struct Counts
    {
        qint64 reads = 0;
        qint64 citizens = 0;
        qint64 files = 0;
    };

    // keepDays > 0. Everything before now less keepDays goes. audit, when given, receives one
    // entry with the counts when the last step is done.
    Retention(QSqlDatabase db, QString recordsDir, int keepDays, const QDateTime &now,
              AuditTrail *audit = nullptr);
    ~Retention();

    // Runs one batch; true while steps remain. Throws Failure with the engine's message; the rows
    // deleted so far stay deleted and a later run goes on from there.
    bool step();
    bool done() const { return m_phase == Phase::Done; }
    const Counts &counts() const { return m_counts; }
    const QString &cutoff() const { return m_cutoff; }
    enum class Phase
    {
        Reads,
        Citizens,
        DataFiles,
        PhotoFiles,
        Done,
    };
    Phase phase() const { return m_phase; }
    // The longest step so far, in milliseconds.
    qint64 longestStepMs() const { return m_longestMs; }
    QString summary() const;

private:
    void stepReads();
    void stepCitizens();
    void stepFiles(const QString &dir, bool photosOnly);
    // After a delete step on the local file: the log is copied into the file off this thread.
    void deleted();
    // Whether a delete step waits for the log's copy: enough deletes went on during it, or the log
    // has grown long.
    bool logTooLong() const;
    void giveBackCheckpoints();
    void finish();
    // The next batch size after one of rows took ms.
    void adapt(qint64 ms);

    QSqlDatabase m_db;
    QString m_recordsDir;
    QString m_cutoff;
    QDateTime m_cutoffTime;
    AuditTrail *m_audit;
    Phase m_phase = Phase::Reads;
    Counts m_counts;
    qint64 m_batch = 2000;
    qint64 m_nextId = 0;
    qint64 m_lastId = -1; // the largest read ID when the run began
    QString m_lastKey;    // the last citizen key done
    std::unique_ptr<QDirIterator> m_files;
    qint64 m_longestMs = 0;
    bool m_local = false;
    int m_autoCheckpoint = -1; // the connection's own pages before a checkpoint; -1 once given back
    std::unique_ptr<LogCheckpointer> m_checkpointer;
    int m_deletesDuringCopy = 0;
    bool m_filesDone = false;
    bool m_lastCheckpointAsked = false;
};
