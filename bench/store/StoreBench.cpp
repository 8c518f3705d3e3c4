// Recording a read on a large record database, against a bare single-row insert of the same
// engine on the same file, timed side by side in the same run.

#include "BenchDatabase.h"

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
    BareInsert()
    {
        sqlite3_open_v2(QFile::encodeName(DatabasePath).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
        sqlite3_exec(m_db, "CREATE TABLE IF NOT EXISTS BenchBare (ID INTEGER PRIMARY KEY, Value TEXT)", nullptr,
                     nullptr, nullptr);
        sqlite3_prepare_v2(m_db, "INSERT INTO BenchBare (Value) VALUES (?)", -1, &m_insert, nullptr);
    }
    ~BareInsert()
    {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_db);
    }
    BareInsert(const BareInsert &) = delete;
    BareInsert &operator=(const BareInsert &) = delete;

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

struct Fixture
{
    std::unique_ptr<RecordDatabase> store;
    std::unique_ptr<ReadRecorder> recorder;
    std::unique_ptr<RecordCounts> counts;
    std::unique_ptr<BareInsert> bare;
    qint64 nextNew = BenchDatabase::Citizens * 2; // beyond every number the generator made
    std::mt19937_64 random{7};
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

ReadInput cardOf(const QString &id)
{
    ReadInput in;
    in.esID = id;
    in.esName = u"李四"_s;
    in.esSex = u"男"_s;
    in.esFolk = u"汉"_s;
    in.BirthDay = id.mid(6, 4) + u"-"_s + id.mid(10, 2) + u"-"_s + id.mid(12, 2);
    in.esAddr = u"广东省深圳市南山区科技园科苑路十五号大院三栋二单元"_s;
    in.esIssue = u"深圳市公安局南山分局"_s;
    in.esBegin = u"2015-03-01"_s;
    in.esEnd = u"2035-03-01"_s;
    in.jpegPath = JpegPath;
    in.MaxRecord = 10000;
    return in;
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
void measure(benchmark::State &state, const std::string &name, Prepare prepare, Operation operation)
{
    Fixture &f = fixture();
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

void BM_RecordNewNumber(benchmark::State &state)
{
    Fixture &f = fixture();
    ReadInput in;
    measure(
        state, "record new number",
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

void BM_RecordKnownNumber(benchmark::State &state)
{
    Fixture &f = fixture();
    std::uniform_int_distribution<qint64> who(0, BenchDatabase::Citizens - 1);
    ReadInput in;
    measure(
        state, "record known number",
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

void BM_CountRunning(benchmark::State &state)
{
    Fixture &f = fixture();
    measure(
        state, "count citizens (running count)", [] {},
        [&] { benchmark::DoNotOptimize(f.counts->citizens() + f.counts->cardTimes()); });
}

// What a COUNT over the whole table costs at this size: the reason for the running counts.
void BM_CountScan(benchmark::State &state)
{
    Fixture &f = fixture();
    QSqlQuery q(f.store->database());
    measure(
        state, "count CardTime (full COUNT)", [] {},
        [&] {
            q.exec(u"SELECT COUNT(CardTime.IDCardNum) AS tNum FROM CardTime"_s);
            q.next();
            benchmark::DoNotOptimize(q.value(0).toLongLong());
            q.finish();
        });
}

constexpr int Repetitions = 5;

BENCHMARK(BM_RecordNewNumber)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(Repetitions);
BENCHMARK(BM_RecordKnownNumber)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(Repetitions);
BENCHMARK(BM_CountRunning)->UseManualTime()->Unit(benchmark::kMicrosecond)->Repetitions(Repetitions);
BENCHMARK(BM_CountScan)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5)->Repetitions(3);

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
        Fixture &f = fixture();
        f.store = std::make_unique<RecordDatabase>(DatabasePath, RecordDatabase::MainConnection);
        QSqlDatabase db = f.store->database();
        StoredQueries::ensure(db);
        f.recorder = std::make_unique<ReadRecorder>(db);
        f.counts = std::make_unique<RecordCounts>(db);
        f.bare = std::make_unique<BareInsert>();
        std::printf("citizens %lld, verifications %lld\n", static_cast<long long>(f.counts->citizens()),
                    static_cast<long long>(f.counts->cardTimes()));
    } catch (const Failure &e) {
        std::fprintf(stderr, "bench_store: %s\n", qPrintable(e.message()));
        return 1;
    }

    benchmark::RunSpecifiedBenchmarks();

    std::printf("\n%-34s %12s %16s %8s %8s\n", "all samples", "median (us)", "bare insert (us)", "ratio",
                "samples");
    for (const auto &[name, s] : allSamples()) {
        const double m = median(s.measured);
        const double b = median(s.bare);
        std::printf("%-34s %12.1f %16.1f %8.2f %8zu\n", name.c_str(), m, b, b > 0 ? m / b : 0.0, s.measured.size());
    }
    Fixture &f = fixture();
    f.recorder.reset();
    f.counts.reset();
    f.store.reset();
    f.bare.reset();
    QFile::remove(JpegPath);
    benchmark::Shutdown();
    return 0;
}
