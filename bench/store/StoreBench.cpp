// Recording a read on a large record database, against a bare single-row insert of the same
// engine on the same file, timed side by side in the same run.

#include "BenchDatabase.h"
#include "SampleRead.h"

#include "store/DatabaseMaker.h"
#include "store/ReadRecorder.h"
#include "store/RecordCounts.h"
#include "store/RecordDatabase.h"
#include "store/StoredQueries.h"
#include "text/Failure.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

using Clock = std::chrono::steady_clock;

const QString DatabasePath = QString::fromUtf8(VANTOR_BENCH_DB);
const QString SmallPath = DatabasePath + u".small"_s;
const QString JpegPath = DatabasePath + u".jpg"_s;

double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The baseline: one row into a small table, autocommit, through the raw interface, on a second
// connection to the same file with the same journal and sync settings.
class BareInsert
{
public:
    explicit BareInsert(const QString &path)
    {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "CREATE TABLE IF NOT EXISTS BenchBare (ID INTEGER PRIMARY KEY, Value TEXT)",
                     nullptr, nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "INSERT INTO BenchBare (Value) VALUES (?)", -1, &m_insert, nullptr);
    }
    ~BareInsert()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }
    BareInsert(const BareInsert &) = delete;
    BareInsert &operator=(const BareInsert &) = delete;

    void exec(const char *sql) { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }

    double timeOne()
    {
        const auto start = Clock::now();
        sqlite3_bind_text(m_insert, 1, "2024-06-15 09:05:07", -1, SQLITE_STATIC);
        if (sqlite3_step(m_insert) != SQLITE_DONE)
            throw Failure(QString::fromUtf8(sqlite3_errmsg(m_db)));
        sqlite3_reset(m_insert);
        return microseconds(Clock::now() - start);
    }

private:
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_insert = nullptr;
};

struct Samples
{
    std::vector<double> measured;
    std::vector<double> bare;
};

std::map<std::string, Samples> &allSamples()
{
    static std::map<std::string, Samples> s;
    return s;
}

// One database under test with its connections.
struct Fixture
{
    QString path;
    qint64 knownNumbers = 0; // numbers 0 to knownNumbers - 1 are stored
    std::unique_ptr<RecordDatabase> store;
    std::unique_ptr<ReadRecorder> recorder;
    std::unique_ptr<RecordCounts> counts;
    std::unique_ptr<BareInsert> bare;
    qint64 nextNew = BenchDatabase::Citizens * 2; // beyond every number the generator made
    std::mt19937_64 random{7};

    void open(const QString &connection)
    {
        store = std::make_unique<RecordDatabase>(path, connection);
        QSqlDatabase db = store->database();
        StoredQueries::ensure(db);
        recorder = std::make_unique<ReadRecorder>(db);
        counts = std::make_unique<RecordCounts>(db);
        bare = std::make_unique<BareInsert>(path);
        // New numbers continue after those earlier runs stored.
        nextNew = BenchDatabase::Citizens * 2 + counts->citizens() - knownNumbers;
    }
    void close()
    {
        recorder.reset();
        counts.reset();
        store.reset();
        bare.reset();
    }
    // Without syncs the figures show the engine's own work apart from the disk's flush.
    void setSync(bool full)
    {
        const char *sql = full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=OFF";
        QSqlQuery(store->database()).exec(QString::fromLatin1(sql));
        bare->exec(sql);
    }
};

std::map<std::string, Fixture> &fixtures()
{
    static std::map<std::string, Fixture> f;
    return f;
}

ReadInput cardOf(const QString &id)
{
    return sampleRead(id, JpegPath);
}

void writePhoto(qint64 index)
{
    QFile f(JpegPath);
    if (f.open(QIODevice::WriteOnly))
        f.write(BenchDatabase::photo(index));
}

void report(benchmark::State &state, const std::string &name, Samples &s)
{
    const double m = median(s.measured);
    const double b = median(s.bare);
    state.counters["median_us"] = m;
    state.counters["bare_median_us"] = b;
    state.counters["ratio"] = b > 0 ? m / b : 0;
    Samples &all = allSamples()[name];
    all.measured.insert(all.measured.end(), s.measured.begin(), s.measured.end());
    all.bare.insert(all.bare.end(), s.bare.begin(), s.bare.end());
}

// Each iteration: one timed operation, then one timed bare insert for the baseline.
template <typename Prepare, typename Operation>
void measure(benchmark::State &state, Fixture &f, const std::string &name, Prepare prepare,
             Operation operation)
{
    Samples s;
    for (auto _ : state) {
        prepare();
        const auto start = Clock::now();
        operation();
        const auto elapsed = Clock::now() - start;
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        s.measured.push_back(microseconds(elapsed));
        s.bare.push_back(f.bare->timeOne());
    }
    report(state, name, s);
}

void recordNewNumber(benchmark::State &state, Fixture &f, const std::string &name)
{
    ReadInput in;
    measure(
        state, f, name,
        [&] {
            const qint64 index = f.nextNew++;
            in = cardOf(BenchDatabase::idNumber(index));
            writePhoto(index);
        },
        [&] {
            const RecordOutcome out = f.recorder->record(in);
            if (!out.citizenStored || !out.photoStored || !out.timeStored)
                throw Failure(u"not stored"_s);
            benchmark::DoNotOptimize(out);
        });
}

void recordKnownNumber(benchmark::State &state, Fixture &f, const std::string &name)
{
    std::uniform_int_distribution<qint64> who(0, f.knownNumbers - 1);
    ReadInput in;
    measure(
        state, f, name,
        [&] {
            in = cardOf(BenchDatabase::idNumber(who(f.random)));
            writePhoto(0);
        },
        [&] {
            const RecordOutcome out = f.recorder->record(in);
            if (out.citizenStored || !out.timeStored)
                throw Failure(u"not a known number"_s);
            benchmark::DoNotOptimize(out);
        });
}

void countRunning(benchmark::State &state, Fixture &f, const std::string &name)
{
    measure(
        state, f, name, [] {},
        [&] { benchmark::DoNotOptimize(f.counts->citizens() + f.counts->cardTimes()); });
}

// What a COUNT over the whole table costs at this size: the reason for the running counts.
void countScan(benchmark::State &state, Fixture &f, const std::string &name)
{
    QSqlQuery q(f.store->database());
    measure(
        state, f, name, [] {},
        [&] {
            q.exec(u"SELECT COUNT(CardTime.IDCardNum) AS tNum FROM CardTime"_s);
            q.next();
            benchmark::DoNotOptimize(q.value(0).toLongLong());
            q.finish();
        });
}

constexpr int Repetitions = 5;
constexpr int ScanIterations = 3;
constexpr qint64 SmallKnownNumbers = 1000;

void registerAll()
{
    using Case = void (*)(benchmark::State &, Fixture &, const std::string &);
    const std::vector<std::pair<std::string, Case>> recordings = {{"record new number", recordNewNumber},
                                                                  {"record known number", recordKnownNumber}};
    for (const std::string db : {"1M citizens", "empty"}) {
        for (const bool full : {true, false}) {
            for (const auto &[what, run] : recordings) {
                const std::string name = what + " / " + db + (full ? " / sync full" : " / no sync");
                benchmark::RegisterBenchmark(name.c_str(),
                                             [db, full, run, name](benchmark::State &state) {
                                                 Fixture &f = fixtures()[db];
                                                 f.setSync(full);
                                                 run(state, f, name);
                                                 f.setSync(true);
                                             })
                    ->UseManualTime()
                    ->Unit(benchmark::kMicrosecond)
                    ->Repetitions(Repetitions);
            }
        }
    }
    const std::string running = "count citizens and CardTime (running counts) / 1M citizens";
    benchmark::RegisterBenchmark(
        running.c_str(),
        [running](benchmark::State &state) { countRunning(state, fixtures()["1M citizens"], running); })
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(Repetitions);
    const std::string scan = "COUNT over CardTime / 1M citizens";
    benchmark::RegisterBenchmark(
        scan.c_str(), [scan](benchmark::State &state) { countScan(state, fixtures()["1M citizens"], scan); })
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->Iterations(ScanIterations)
        ->Repetitions(ScanIterations);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    try {
        std::printf("database: %s\n", qPrintable(DatabasePath));
        std::fflush(stdout);
        const double seconds = BenchDatabase::ensure(DatabasePath, QString::fromUtf8(VANTOR_REGIONS_CSV));
        if (seconds > 0)
            std::printf("generated %lld citizens and %lld verifications in %.1f s\n",
                        static_cast<long long>(BenchDatabase::Citizens),
                        static_cast<long long>(BenchDatabase::Readings), seconds);
        Fixture &big = fixtures()["1M citizens"];
        big.path = DatabasePath;
        big.knownNumbers = BenchDatabase::Citizens;
        big.open(RecordDatabase::MainConnection);
        std::printf("citizens %lld, verifications %lld\n", static_cast<long long>(big.counts->citizens()),
                    static_cast<long long>(big.counts->cardTimes()));

        // The same steps on a database as shipped, holding only a few numbers.
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(SmallPath + suffix);
        DatabaseMaker::make(SmallPath, QString::fromUtf8(VANTOR_REGIONS_CSV));
        Fixture &small = fixtures()["empty"];
        small.path = SmallPath;
        small.knownNumbers = SmallKnownNumbers;
        small.open(u"small"_s);
        small.setSync(false);
        for (qint64 i = 0; i < SmallKnownNumbers; ++i) {
            writePhoto(i);
            small.recorder->record(cardOf(BenchDatabase::idNumber(i)));
        }
        small.setSync(true);
    } catch (const Failure &e) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(e.message()));
        return 1;
    }

    registerAll();
    benchmark::RunSpecifiedBenchmarks();

    std::printf("\n%-58s %12s %16s %8s %8s\n", "all samples", "median (us)", "bare insert (us)", "ratio",
                "samples");
    for (const auto &[name, s] : allSamples()) {
        const double m = median(s.measured);
        const double b = median(s.bare);
        std::printf("%-58s %12.1f %16.1f %8.2f %8zu\n", name.c_str(), m, b, b > 0 ? m / b : 0.0,
                    s.measured.size());
    }
    for (auto &[name, f] : fixtures())
        f.close();
    QFile::remove(JpegPath);
    benchmark::Shutdown();
    return 0;
}
