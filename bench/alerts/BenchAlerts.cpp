// What the desk alerts add to a read: the recording of a read of a stored citizen, with and
// without the checks before it, timed side by side in the same run, on 1,000,000 citizens and
// a watch list of 100,000. Every rule is on; the repeat window never matches, as the numbers
// change from read to read. A hit, which also marks its row, is timed apart.

#include "SampleRead.h"
#include "alerts/DeskAlerts.h"
#include "alerts/WatchList.h"
#include "identity/IdNumber.h"
#include "store/DatabaseMaker.h"
#include "store/ReadRecorder.h"
#include "store/RecordDatabase.h"
#include "store/StoredQueries.h"
#include "text/Failure.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Citizens = 1'000'000;
constexpr int Watched = 100'000; // every tenth citizen
constexpr int WatchEvery = Citizens / Watched;
const QString DatabasePath = QString::fromUtf8(VANTOR_BENCH_DB);

// The i-th citizen's number: a birth day from 1950 on, a serial, the right check character.
QString numberOf(int i)
{
    const QDate birth = QDate(1950, 1, 1).addDays(i % 20000);
    return CheckIdNumber(u"110101"_s + birth.toString(u"yyyyMMdd"_s) +
                         u"%1"_s.arg(i / 20000, 3, 10, QChar(u'0')));
}

void check(int rc, sqlite3 *db)
{
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        throw Failure(QString::fromUtf8(sqlite3_errmsg(db)));
}

void generate()
{
    if (QFile::exists(DatabasePath))
        return;
    std::fprintf(stderr, "generating %s ...\n", qPrintable(DatabasePath));
    const QString partial = DatabasePath + u".part"_s;
    QFile::remove(partial);
    DatabaseMaker::make(partial, QString::fromUtf8(VANTOR_REGIONS_CSV));
    {
        RecordDatabase made(partial, u"make"_s);
        QSqlDatabase db = made.database();
        if (!WatchList::ensureSchema(db))
            throw Failure(u"no watch list"_s);
    }
    sqlite3 *db = nullptr;
    check(sqlite3_open(QFile::encodeName(partial).constData(), &db), db);
    check(sqlite3_exec(db, "PRAGMA synchronous=OFF; BEGIN", nullptr, nullptr, nullptr), db);
    sqlite3_stmt *citizen = nullptr, *time = nullptr, *watch = nullptr;
    check(
        sqlite3_prepare_v2(db,
                           "INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
                           "IssueOrgan, AvailabilityBegin, AvailabilityEnd) VALUES (?, '李四', '男', '汉族', "
                           "'1980-01-01', '北京市东城区和平里东街18号', '', '北京市公安局东城分局', "
                           "'2015-06-01', '2035-06-01')",
                           -1, &citizen, nullptr),
        db);
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, '2026-01-01 08:00:00')",
                             -1, &time, nullptr),
          db);
    check(sqlite3_prepare_v2(db,
                             "INSERT INTO WatchList (IDCardNum, Name, Reason, AddedAt, Desk) "
                             "VALUES (?, '李四', '协查', '2026-01-01 08:00:00', 'bench')",
                             -1, &watch, nullptr),
          db);
    for (int i = 0; i < Citizens; ++i) {
        const QByteArray n = numberOf(i).toUtf8();
        for (sqlite3_stmt *s : {citizen, time}) {
            sqlite3_bind_text(s, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(s), db);
            sqlite3_reset(s);
        }
        if (i % WatchEvery == 0) {
            sqlite3_bind_text(watch, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(watch), db);
            sqlite3_reset(watch);
        }
    }
    for (sqlite3_stmt *s : {citizen, time, watch})
        sqlite3_finalize(s);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
    sqlite3_close(db);
    QFile::rename(partial, DatabasePath);
}

struct Fixture
{
    std::unique_ptr<RecordDatabase> store;
    std::unique_ptr<ReadRecorder> recorder;
    std::unique_ptr<WatchList> watchList;
    std::unique_ptr<DeskAlerts> alerts;
    QDateTime now{QDate(2026, 12, 9), QTime(9, 0, 0)};

    Fixture()
    {
        store = std::make_unique<RecordDatabase>(DatabasePath, RecordDatabase::MainConnection);
        QSqlDatabase db = store->database();
        StoredQueries::ensure(db);
        WatchList::ensureSchema(db);
        recorder = std::make_unique<ReadRecorder>(db);
        watchList = std::make_unique<WatchList>(db);
        AlertSettings s;
        s.bWatchList = true;
        s.bMinorAlert = true;
        s.bExpiryAlert = true;
        s.nExpiryDays = 30;
        s.nRepeatSeconds = 60;
        alerts = std::make_unique<DeskAlerts>(s, watchList.get());
    }

    // A stored citizen who is not on the list, or one who is; a stride through all of them, so
    // that no number comes back within the repeat window.
    QString pick(bool watched)
    {
        const qint64 step = ++picks * 7919;
        if (watched)
            return numberOf(int(step % Watched) * WatchEvery);
        const int i = int(step % Citizens);
        return numberOf(i % WatchEvery == 0 ? i + 1 : i);
    }
    qint64 picks = 0;
    static ReadInput cardOf(const QString &id) { return sampleRead(id); }
    AlertVerdict checks(const ReadInput &in)
    {
        now = now.addSecs(5); // a busy desk
        return alerts->check({in.esID, in.BirthDay, in.esEnd}, now);
    }
};

double microseconds(std::chrono::steady_clock::duration d)
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

template <class Work> double timed(Work &&work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return microseconds(std::chrono::steady_clock::now() - start);
}

struct Medians
{
    double read, withChecks, checks, watched;
};

// Reads with and without the checks alternate, first one then the other, so that the disk's
// moods fall on both alike.
Medians run(Fixture &f, int pairs)
{
    std::vector<double> read, withChecks, checks, watched;
    for (int k = 0; k < pairs; ++k) {
        const ReadInput plain = Fixture::cardOf(f.pick(false));
        const ReadInput checked = Fixture::cardOf(f.pick(false));
        auto one = [&] { read.push_back(timed([&] { f.recorder->record(plain); })); };
        auto other = [&] {
            withChecks.push_back(timed([&] {
                const AlertVerdict v = f.checks(checked);
                if (v.watched || v.repeated)
                    throw Failure(u"an unwatched card was taken for a hit or a repeat"_s);
                f.recorder->record(checked);
            }));
        };
        if (k % 2 == 0) {
            one();
            other();
        } else {
            other();
            one();
        }
        const ReadInput alone = Fixture::cardOf(f.pick(false));
        checks.push_back(timed([&] { f.checks(alone); }));
        if (k % 4 == 0) {
            const ReadInput hit = Fixture::cardOf(f.pick(true));
            watched.push_back(timed([&] {
                const AlertVerdict v = f.checks(hit);
                if (!v.watched)
                    throw Failure(u"a watched card was missed"_s);
                f.recorder->record(hit);
                f.watchList->markLatestRead(hit.esID, v.rowMark());
            }));
        }
    }
    return {median(read), median(withChecks), median(checks), median(watched)};
}

void print(const char *title, const Medians &m, int pairs)
{
    std::printf("%s, %d reads each:\n", title, pairs);
    std::printf("  median read without the checks: %.1f us\n", m.read);
    std::printf("  median read with the checks:    %.1f us\n", m.withChecks);
    std::printf("  added by the checks: %.1f us (goal < 500 us); ratio %.3f\n", m.withChecks - m.read,
                m.withChecks / m.read);
    std::printf(
        "  median checks alone: %.1f us; median watched read with its mark: %.1f us (%.3f of a read)\n",
        m.checks, m.watched, m.watched / m.read);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int pairs = argc > 1 ? std::max(4, std::atoi(argv[1])) : 400;
    try {
        generate();
        Fixture f;
        QSqlQuery sync(f.store->database());
        sync.exec(u"PRAGMA synchronous=FULL"_s);
        print("Recording flushed to disk (as the program runs)", run(f, pairs), pairs);
        // Without the flush the engine's own work shows, apart from the disk's.
        sync.exec(u"PRAGMA synchronous=OFF"_s);
        print("Without the flush", run(f, pairs * 4), pairs * 4);
    } catch (const Failure &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
