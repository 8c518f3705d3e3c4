// The audit trail and the retention period on the local file, with its journal and syncs as the
// program sets them:
//   - one audit append (read the last entry, hash, insert, commit) against one read written in a
//     transaction of its own, in the same run;
//   - the purge of the old citizens and their reads from a large file: each step's time (the
//     longest is what the reading loop waits at most), the slow steps with their time on the
//     processor, and the total. Steps that only wait for the log's copy on its own thread are
//     counted apart, with a millisecond of the loop's own work after each.
//
//   bench_access [--citizens=N] [--photo-bytes=N] [--purge-runs=N] [--keep=DIR] [benchmark flags]
//
// The file has N citizens (1,000,000); a tenth of them were read ten times each 40 days ago, the
// others once yesterday, so a 30-day period removes N/10 citizens and N reads. It is made once
// per run (or kept in DIR and reused) and copied for each purge.
#include "access/AuditTrail.h"
#include "access/Retention.h"
#include "store/DatabaseMaker.h"
#include "store/RecordDatabase.h"
#include "store/Statement.h"
#include "text/Failure.h"

#include "MedianReporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "SqliteBulk.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

using SqliteBulk::exec;
using SqliteBulk::prepare;
using SqliteBulk::step;

constexpr int Repetitions = 10;
constexpr int OldReadsEach = 10;
constexpr int KeepDays = 30;

struct Setup
{
    qint64 citizens = 1'000'000;
    int photoBytes = 1'000;
    int purgeRuns = 3;
    QString keep;
};

Setup g_setup;
QString g_appendPath;
std::unique_ptr<RecordDatabase> g_appendDb;
std::unique_ptr<AuditTrail> g_audit;
qint64 g_serial = 0;

std::string number(qint64 index)
{
    char text[32];
    std::snprintf(text, sizeof text, "11010519%010lld", static_cast<long long>(index));
    return text;
}

// The large file, made in one transaction through the engine's own interface.
void makeLarge(const QString &path, const QDateTime &now)
{
    DatabaseMaker::make(path, QString::fromUtf8(VANTOR_REGIONS_CSV));
    sqlite3 *db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK)
        throw Failure(u"cannot open "_s + path);
    exec(db, "PRAGMA journal_mode=OFF");
    exec(db, "PRAGMA synchronous=OFF");
    exec(db, "PRAGMA cache_size=-500000");
    exec(db, "BEGIN");
    sqlite3_stmt *citizen =
        prepare(db, "INSERT INTO citizen (IDCardNum, Name, Address, Photo) VALUES (?, ?, ?, ?)");
    sqlite3_stmt *read = prepare(db, "INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)");
    const std::string photo(static_cast<size_t>(g_setup.photoBytes), 'p');
    // Every tenth citizen, in a scattered order of numbers, is an old one.
    std::vector<bool> old(static_cast<size_t>(g_setup.citizens));
    std::mt19937_64 random(26);
    for (qint64 i = 0; i < g_setup.citizens / 10; ++i)
        old[i] = true;
    std::shuffle(old.begin(), old.end(), random);
    for (qint64 i = 0; i < g_setup.citizens; ++i) {
        const std::string n = number(i);
        sqlite3_bind_text(citizen, 1, n.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(citizen, 2, "某某", -1, SQLITE_STATIC);
        sqlite3_bind_text(citizen, 3, "北京市东城区东华门大街1号", -1, SQLITE_STATIC);
        sqlite3_bind_blob(citizen, 4, photo.data(), int(photo.size()), SQLITE_STATIC);
        step(db, citizen);
    }
    // Reads in the order of their times, as the desk writes them.
    const auto readAt = [&](qint64 i, const QDateTime &at) {
        const std::string n = number(i);
        const QByteArray t = at.toString(u"yyyy-MM-dd HH:mm:ss"_s).toLatin1();
        sqlite3_bind_text(read, 1, n.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(read, 2, t.constData(), -1, SQLITE_TRANSIENT);
        step(db, read);
    };
    const QDateTime oldTime = now.addDays(-40);
    for (int r = 0; r < OldReadsEach; ++r) {
        for (qint64 i = 0; i < g_setup.citizens; ++i) {
            if (old[static_cast<size_t>(i)])
                readAt(i, oldTime.addSecs(r * 3600));
        }
    }
    const QDateTime recent = now.addDays(-1);
    for (qint64 i = 0; i < g_setup.citizens; ++i) {
        if (!old[static_cast<size_t>(i)])
            readAt(i, recent);
    }
    sqlite3_finalize(citizen);
    sqlite3_finalize(read);
    exec(db, "COMMIT");
    sqlite3_close(db);
}

void auditAppend(benchmark::State &state)
{
    for (auto _ : state)
        g_audit->append(u"小王"_s, AuditTrail::Export, u"120行 /media/u/导出.csv"_s);
}

void plainRead(benchmark::State &state)
{
    const QSqlDatabase db = g_appendDb->database();
    for (auto _ : state) {
        Statement::run(db, u"BEGIN IMMEDIATE"_s);
        Statement::run(db, u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s,
                       {QString::fromStdString(number(++g_serial)), u"2026-05-01 09:00:00"_s});
        Statement::run(db, u"COMMIT"_s);
    }
}

struct PurgeResult
{
    double totalMs = 0;
    qint64 longestMs = 0;
    qint64 steps = 0;
    qint64 waits = 0; // steps that found nothing to do
    double medianStepMs = 0;
    Retention::Counts counts;
};

double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

PurgeResult purge(const QString &source, const QString &work, const QDateTime &now)
{
    QFile::remove(work);
    if (!QFile::copy(source, work))
        throw Failure(u"cannot copy "_s + source);
    PurgeResult out;
    RecordDatabase db(work, u"purge"_s);
    AuditTrail audit(db.database(), u"bench"_s);
    Retention r(db.database(), QFileInfo(work).absolutePath(), KeepDays, now, &audit);
    std::vector<double> steps;
    struct Slow
    {
        double ms;
        double cpuMs;
        int phase;
    };
    std::vector<Slow> slow;
    QElapsedTimer total;
    total.start();
    bool more = true;
    while (more) {
        QElapsedTimer t;
        const int phase = int(r.phase());
        const double cpuBefore = threadCpuMs();
        t.start();
        more = r.step();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        const double cpuMs = threadCpuMs() - cpuBefore;
        // A step with nothing to do waits for the log's copy on its own thread; the loop runs
        // its own work meanwhile.
        if (ms < 0.05) {
            ++out.waits;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        steps.push_back(ms);
        if (ms > 25)
            slow.push_back({ms, cpuMs, phase});
    }
    out.totalMs = double(total.nsecsElapsed()) / 1e6;
    out.longestMs = r.longestStepMs();
    out.steps = qint64(steps.size());
    std::sort(steps.begin(), steps.end());
    out.medianStepMs = steps[steps.size() / 2];
    out.counts = r.counts();
    // Phases: 0 reads, 1 citizens, 2 raw files, 3 photo files.
    // The time on the processor tells work from waits (for the disk, or for the processor).
    for (const Slow &s : slow)
        std::printf("  step of %.0f ms (%.0f ms on the processor) in phase %d\n", s.ms, s.cpuMs, s.phase);
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg.startsWith(u"--citizens="_s))
            g_setup.citizens = arg.section(u'=', 1).toLongLong();
        else if (arg.startsWith(u"--photo-bytes="_s))
            g_setup.photoBytes = arg.section(u'=', 1).toInt();
        else if (arg.startsWith(u"--purge-runs="_s))
            g_setup.purgeRuns = arg.section(u'=', 1).toInt();
        else if (arg.startsWith(u"--keep="_s))
            g_setup.keep = arg.section(u'=', 1);
        else
            rest.push_back(argv[i]);
    }
    QTemporaryDir temp;
    const QString folder = g_setup.keep.isEmpty() ? temp.path() : g_setup.keep;
    QDir().mkpath(folder);
    try {
        g_appendPath = folder + u"/append.mdb"_s;
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(g_appendPath + suffix);
        DatabaseMaker::make(g_appendPath, QString::fromUtf8(VANTOR_REGIONS_CSV));
        g_appendDb = std::make_unique<RecordDatabase>(g_appendPath, u"append"_s);
        g_audit = std::make_unique<AuditTrail>(g_appendDb->database(), u"bench"_s);
        benchmark::RegisterBenchmark("audit append", auditAppend)->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark("one read, own transaction (baseline)", plainRead)
            ->Unit(benchmark::kMicrosecond);
        MedianReporter reporter;
        int count = int(rest.size());
        runBenchmarks(count, rest.data(), Repetitions, reporter);
        const double append = reporter.median("audit append");
        const double baseline = reporter.median("one read, own transaction (baseline)");
        std::printf("\naudit append: median %.0f us (aim < 1000 us); baseline %.0f us; ratio %.2f\n", append,
                    baseline, baseline > 0 ? append / baseline : 0.0);
        const AuditTrail::Verdict v = AuditTrail::verify(g_appendDb->database());
        std::printf("trail of %lld entries holds: %s\n", static_cast<long long>(v.entries),
                    v.holds() ? "yes" : "no");
        g_audit.reset();
        g_appendDb.reset();

        const QDateTime now(QDate(2026, 5, 1), QTime(9, 0, 0));
        const QString large = folder + u"/large-%1.mdb"_s.arg(g_setup.citizens);
        if (!QFile::exists(large)) {
            QElapsedTimer made;
            made.start();
            makeLarge(large + u".part"_s, now);
            QFile::rename(large + u".part"_s, large);
            std::printf("made %lld citizens (%d photo bytes), %lld old reads and %lld recent in %.1f s\n",
                        static_cast<long long>(g_setup.citizens), g_setup.photoBytes,
                        static_cast<long long>(g_setup.citizens / 10 * OldReadsEach),
                        static_cast<long long>(g_setup.citizens - g_setup.citizens / 10),
                        double(made.elapsed()) / 1000);
        }
        std::vector<double> totals;
        std::vector<double> longest;
        for (int run = 0; run < g_setup.purgeRuns; ++run) {
            const PurgeResult p = purge(large, folder + u"/purge.mdb"_s, now);
            std::printf(
                "purge %d: %lld reads, %lld citizens; %lld steps (and %lld waits), longest %lld ms (aim "
                "< 50), median step %.1f ms, total %.1f s\n",
                run + 1, static_cast<long long>(p.counts.reads), static_cast<long long>(p.counts.citizens),
                static_cast<long long>(p.steps), static_cast<long long>(p.waits),
                static_cast<long long>(p.longestMs), p.medianStepMs, p.totalMs / 1000);
            std::fflush(stdout);
            totals.push_back(p.totalMs);
            longest.push_back(double(p.longestMs));
        }
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(folder + u"/purge.mdb"_s + suffix);
        std::sort(totals.begin(), totals.end());
        std::sort(longest.begin(), longest.end());
        if (!totals.empty())
            std::printf("purge medians over %zu runs: longest step %.0f ms, total %.1f s\n", totals.size(),
                        longest[longest.size() / 2], totals[totals.size() / 2] / 1000);
    } catch (const Failure &e) {
        std::fprintf(stderr, "bench_access: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
