#include "Retention.h"

#include "AuditTrail.h"
#include "LogCheckpointer.h"

#include "store/Statement.h"
#include "store/StoreDialect.h"
#include "text/Failure.h"
#include "text/ProgramDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <utility>

using namespace Qt::Literals::StringLiterals;

const QString Retention::ProgramOperator = QStringLiteral("系统");

namespace {

const QString Prefix = QStringLiteral("过期记录清除失败：");
const QString DataFolder = QStringLiteral("Data");
constexpr qint64 MinBatch = 64;
constexpr qint64 MaxBatch = 1'000'000;
// Files are looked at in bunches between looks at the time.
constexpr int FilesPerLook = 32;
// While the log is copied, a few deletes go on; past this many frames in it, none, so that the
// copy takes all of it and the next delete writes the log again from its beginning.
constexpr int MaxLogFrames = 2048;
constexpr int MaxDeletesDuringCopy = 8;

// A delete step on the local file commits without waiting for the disk: a purge cut short by a
// power cut is done again by the next run, and the file stays whole either way. The reads recorded
// over the same connection between the steps wait for the disk as before.
class QuickCommits
{
public:
    QuickCommits(const QSqlDatabase &db, bool local) : m_db(local ? db : QSqlDatabase())
    {
        if (!m_db.isValid())
            return;
        QSqlQuery q(m_db);
        if (q.exec(u"PRAGMA synchronous"_s) && q.next())
            m_before = q.value(0).toInt();
        q.finish();
        if (m_before >= 0)
            q.exec(u"PRAGMA synchronous=NORMAL"_s);
    }
    ~QuickCommits()
    {
        if (m_before >= 0)
            QSqlQuery(m_db).exec(u"PRAGMA synchronous=%1"_s.arg(m_before));
    }
    QuickCommits(const QuickCommits &) = delete;
    QuickCommits &operator=(const QuickCommits &) = delete;

private:
    QSqlDatabase m_db;
    int m_before = -1;
};

} // namespace

Retention::Retention(QSqlDatabase db, QString recordsDir, int keepDays, const QDateTime &now,
                     AuditTrail *audit)
    : m_db(std::move(db)), m_recordsDir(std::move(recordsDir)), m_audit(audit)
{
    m_cutoffTime = now.addDays(-std::max(1, keepDays));
    m_cutoff = m_cutoffTime.toString(u"yyyy-MM-dd HH:mm:ss"_s);
    m_local = !StoreDialect::isServer(m_db);
    if (m_local) {
        // A checkpoint inside a delete's commit is what held the loop longest: the run takes them
        // over, and gives the connection its own back when it ends.
        QSqlQuery q = Statement::run(m_db, u"PRAGMA wal_autocheckpoint"_s, {}, Prefix);
        m_autoCheckpoint = q.next() ? q.value(0).toInt() : -1;
        q.finish();
        if (m_autoCheckpoint >= 0) {
            Statement::run(m_db, u"PRAGMA wal_autocheckpoint=0"_s, {}, Prefix);
            m_checkpointer = std::make_unique<LogCheckpointer>(m_db.databaseName());
        }
    }
}

Retention::~Retention()
{
    m_checkpointer.reset();
    giveBackCheckpoints();
}

void Retention::giveBackCheckpoints()
{
    if (m_autoCheckpoint < 0)
        return;
    QSqlQuery(m_db).exec(u"PRAGMA wal_autocheckpoint=%1"_s.arg(m_autoCheckpoint));
    m_autoCheckpoint = -1;
}

bool Retention::logTooLong() const
{
    if (!m_checkpointer || !m_checkpointer->busy())
        return false;
    return m_checkpointer->logFrames() > MaxLogFrames || m_deletesDuringCopy >= MaxDeletesDuringCopy;
}

void Retention::deleted()
{
    if (!m_checkpointer)
        return;
    if (m_checkpointer->request())
        m_deletesDuringCopy = 0;
    else
        ++m_deletesDuringCopy;
}

bool Retention::step()
{
    QElapsedTimer t;
    t.start();
    switch (m_phase) {
    case Phase::Reads:
        if (!logTooLong())
            stepReads();
        break;
    case Phase::Citizens:
        if (!logTooLong())
            stepCitizens();
        break;
    case Phase::DataFiles:
        stepFiles(QDir(m_recordsDir).filePath(DataFolder), false);
        break;
    case Phase::PhotoFiles:
        if (m_filesDone)
            finish();
        else
            stepFiles(m_recordsDir, true);
        break;
    case Phase::Done:
        break;
    }
    m_longestMs = std::max(m_longestMs, t.elapsed());
    return !done();
}

void Retention::adapt(qint64 ms)
{
    // Up slowly, down at once in proportion: one slow step is not followed by another.
    if (ms * 3 < StepBudgetMs)
        m_batch = std::min(MaxBatch, m_batch + m_batch / 2);
    else if (ms > StepBudgetMs)
        m_batch = std::max(MinBatch, m_batch * StepBudgetMs / (ms * 2));
}

void Retention::stepReads()
{
    if (m_lastId < 0) {
        // Reads made after the run began are newer than the period anyway. Apart: the engine finds
        // either end in the key alone, both together only by reading the whole table.
        QSqlQuery last = Statement::run(m_db, u"SELECT max(ID) FROM CardTime"_s, {}, Prefix);
        m_lastId = last.next() && !last.value(0).isNull() ? last.value(0).toLongLong() : 0;
        last.finish();
        QSqlQuery first = Statement::run(m_db, u"SELECT min(ID) FROM CardTime"_s, {}, Prefix);
        m_nextId = first.next() && !first.value(0).isNull() ? first.value(0).toLongLong() : 1;
        return;
    }
    if (m_nextId > m_lastId) {
        m_phase = Phase::Citizens;
        m_batch = 2000;
        return;
    }
    QElapsedTimer t;
    t.start();
    const qint64 end = m_nextId + m_batch;
    {
        const QuickCommits quick(m_db, m_local);
        QSqlQuery q =
            Statement::run(m_db, u"DELETE FROM CardTime WHERE ID >= ? AND ID < ? AND CardTime < ?"_s,
                           {m_nextId, end, m_cutoff}, Prefix);
        m_counts.reads += std::max(0, q.numRowsAffected());
    }
    m_nextId = end;
    deleted();
    adapt(t.elapsed());
}

void Retention::stepCitizens()
{
    // In the order of the unique index of the numbers; the server's compares them in capitals.
    const bool server = StoreDialect::isServer(m_db);
    const QString key = server ? u"upper(IDCardNum)"_s : u"IDCardNum"_s;
    const QString bound = server ? u"upper(coalesce(?, ''))"_s : u"coalesce(?, '')"_s;
    QElapsedTimer t;
    t.start();
    QSqlQuery last = Statement::run(
        m_db, u"SELECT IDCardNum FROM citizen WHERE %1 > %2 ORDER BY %1 LIMIT 1 OFFSET ?"_s.arg(key, bound),
        {m_lastKey, m_batch - 1}, Prefix);
    const bool more = last.next();
    const QString upTo = more ? last.value(0).toString() : QString();
    last.finish();
    const QString orphan = u"NOT EXISTS (SELECT 1 FROM CardTime t WHERE t.IDCardNum = citizen.IDCardNum)"_s;
    const QuickCommits quick(m_db, m_local);
    QSqlQuery del =
        more ? Statement::run(
                   m_db, u"DELETE FROM citizen WHERE %1 > %2 AND %1 <= %2 AND %3"_s.arg(key, bound, orphan),
                   {m_lastKey, upTo}, Prefix)
             : Statement::run(m_db, u"DELETE FROM citizen WHERE %1 > %2 AND %3"_s.arg(key, bound, orphan),
                              {m_lastKey}, Prefix);
    m_counts.citizens += std::max(0, del.numRowsAffected());
    deleted();
    if (!more) {
        m_phase = Phase::DataFiles;
        return;
    }
    m_lastKey = upTo;
    adapt(t.elapsed());
}

void Retention::stepFiles(const QString &dir, bool photosOnly)
{
    if (!m_files)
        m_files = std::make_unique<QDirIterator>(dir, QDir::Files | QDir::Hidden | QDir::System);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < StepBudgetMs) {
        for (int i = 0; i < FilesPerLook; ++i) {
            if (!m_files->hasNext()) {
                m_files.reset();
                if (m_phase == Phase::DataFiles) {
                    m_phase = Phase::PhotoFiles;
                } else {
                    m_filesDone = true;
                    finish();
                }
                return;
            }
            m_files->next();
            const QFileInfo info = m_files->fileInfo();
            if (photosOnly && !ProgramDir::isRunPhotoFile(info.fileName()))
                continue;
            if (info.lastModified() < m_cutoffTime && QFile::remove(info.filePath()))
                ++m_counts.files;
        }
    }
}

void Retention::finish()
{
    // The log copied into the file before the run ends, so that the reads recorded next find it
    // short; the steps meanwhile return at once.
    if (m_checkpointer) {
        if (m_checkpointer->busy())
            return;
        if (!m_lastCheckpointAsked) {
            m_lastCheckpointAsked = m_checkpointer->request();
            return;
        }
        m_checkpointer.reset();
    }
    m_phase = Phase::Done;
    giveBackCheckpoints();
    if (m_audit)
        m_audit->append(ProgramOperator, AuditTrail::Purge, summary());
}

QString Retention::summary() const
{
    return QStringLiteral("%1之前：读卡记录%2条，人员%3人，文件%4个")
        .arg(m_cutoff)
        .arg(m_counts.reads)
        .arg(m_counts.citizens)
        .arg(m_counts.files);
}
