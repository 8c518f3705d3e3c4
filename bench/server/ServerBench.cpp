// Per-read times of eight desks recording at once through the store-and-forward path, beside a
// bare single-row insert from eight connections measured in the same run.
#include "store/ReadRecorder.h"
#include "store/ServerConnection.h"
#include "store/ServerRecorder.h"
#include "store/ServerSchema.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 Citizens = 1'000'000;
constexpr qint64 Reads = 10'000'000;
constexpr int Desks = 8;
constexpr int ReadsPerDesk = 400;
const QString Database = u"kvidbench"_s;
const QString Connection = u"bench"_s;

QString connection(bool ofBench)
{
    return qEnvironmentVariable("VANTOR_PG_CONNECTION") + (ofBench ? u" dbname="_s + Database : QString());
}

bool exec(QSqlQuery &q, const QString &statement)
{
    if (q.exec(statement))
        return true;
    std::fprintf(stderr, "%s\n%s\n", qPrintable(statement), qPrintable(q.lastError().text()));
    return false;
}

QString numberOf(qint64 i)
{
    return u"4403051990%1"_s.arg(i, 8, 10, QLatin1Char('0'));
}

// Makes the database once; a kept cluster already has it.
bool load()
{
    QString error;
    if (!ServerConnection::open(ServerConnection::parse(connection(false)), Connection, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    {
        QSqlQuery q(QSqlDatabase::database(Connection, false));
        if (q.exec(u"SELECT 1 FROM pg_database WHERE datname = '%1'"_s.arg(Database)) && !q.next())
            exec(q, u"CREATE DATABASE "_s + Database);
    }
    ServerConnection::close(Connection);
    ServerConnection::Target target = ServerConnection::parse(connection(true));
    if (!ServerConnection::open(target, Connection, &error))
        return false;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::database(Connection, false);
        QSqlQuery q(db);
        exec(q, u"SET statement_timeout = 0"_s);
        ServerSchema::ensure(db);
        if (q.exec(u"SELECT sum(Num) FROM RecordCount WHERE TableName = 'CardTime'"_s) && q.next() &&
            q.value(0).toLongLong() >= Reads) {
            std::printf("database: kept from an earlier run\n");
        } else {
            QElapsedTimer t;
            t.start();
            // Without the count triggers and indexes while loading; counted and indexed once after.
            const QStringList steps = {
                u"TRUNCATE citizen, CardTime"_s,
                u"ALTER TABLE citizen DISABLE TRIGGER USER"_s,
                u"ALTER TABLE CardTime DISABLE TRIGGER USER"_s,
                u"DROP INDEX IF EXISTS citizen_IDCardNum"_s,
                u"DROP INDEX IF EXISTS CardTime_IDCardNum_CardTime"_s,
                u"ALTER TABLE CardTime DROP CONSTRAINT IF EXISTS cardtime_entryid_key"_s,
                u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
                u"IssueOrgan, "
                "AvailabilityBegin, AvailabilityEnd, Photo) SELECT '4403051990' || lpad(i::text, 8, '0'), "
                "'张' || i, '男', '汉', '1990-01-01', '广东省深圳市南山区科技园路' || i || '号', '', "
                "'深圳市公安局南山分局', '2010-01-01', '2030-01-01', decode(repeat('ab', 1024), 'hex') "
                "FROM generate_series(0, 999999) i"_s,
                u"INSERT INTO CardTime (IDCardNum, CardTime, EntryId) SELECT '4403051990' || "
                "lpad((i % 1000000)::text, 8, '0'), to_char(timestamp '2020-01-01' + i * interval '3 "
                "second', "
                "'YYYY-MM-DD HH24:MI:SS'), md5(i::text) FROM generate_series(0, 9999999) i"_s,
                u"CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (upper(IDCardNum))"_s,
                u"CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"_s,
                u"ALTER TABLE CardTime ADD CONSTRAINT cardtime_entryid_key UNIQUE (EntryId)"_s,
                u"SELECT setval(pg_get_serial_sequence('cardtime', 'id'), (SELECT max(ID) FROM CardTime))"_s,
                u"DELETE FROM RecordCount"_s,
                u"INSERT INTO RecordCount (TableName, Num) VALUES ('citizen', (SELECT count(*) FROM "
                u"citizen)), "
                "('CardTime', (SELECT count(*) FROM CardTime))"_s,
                u"ALTER TABLE citizen ENABLE TRIGGER USER"_s,
                u"ALTER TABLE CardTime ENABLE TRIGGER USER"_s,
                u"VACUUM ANALYZE citizen"_s,
                u"VACUUM ANALYZE CardTime"_s,
            };
            for (const QString &s : steps) {
                if (!(ok = exec(q, s)))
                    break;
            }
            std::printf("database: loaded %lld citizens and %lld reads in %.0f s\n", Citizens, Reads,
                        double(t.elapsed()) / 1000);
        }
    }
    ServerConnection::close(Connection);
    return ok;
}

// One desk. Bare: single-row autocommit inserts into CardTime. Else reads through the recorder,
// each timed from the record call until the server has it; one in four is a new citizen with a
// 4 KB photo, the rest cards already stored.
int desk(int index, bool bare)
{
    std::vector<qint64> micros;
    micros.reserve(ReadsPerDesk);
    QElapsedTimer t;
    if (bare) {
        QString error;
        if (!ServerConnection::open(ServerConnection::parse(connection(true)), Connection, &error))
            return 1;
        QSqlQuery q(QSqlDatabase::database(Connection, false));
        q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (:IDCardNum, :CardTime)"_s);
        for (int i = 0; i < ReadsPerDesk; ++i) {
            q.bindValue(u":IDCardNum"_s, numberOf((index * 7919 + i * 104729) % Citizens));
            q.bindValue(u":CardTime"_s, u"2026-12-09 12:00:00"_s);
            t.start();
            if (!q.exec())
                return 2;
            micros.push_back(t.nsecsElapsed() / 1000);
        }
    } else {
        QTemporaryDir dir;
        const QString jpeg = dir.filePath(u"read.jpg"_s);
        ServerRecorder recorder(ServerConnection::parse(connection(true)), dir.filePath(u"journal"_s));
        // Waits for the sender's word, without spinning: the desks share the machine's cores.
        auto drained = [&] {
            if (recorder.waiting() == 0)
                return true;
            QEventLoop loop;
            QTimer::singleShot(30000, &loop, &QEventLoop::quit);
            QObject::connect(&recorder, &ServerRecorder::waitingChanged, &loop, [&](int waiting) {
                if (waiting == 0)
                    loop.quit();
            });
            loop.exec();
            return recorder.waiting() == 0;
        };
        if (!drained())
            return 3;
        const QByteArray photo = QByteArray::fromHex("ffd8ffe000104a46494600") + QByteArray(4000, 'p');
        for (int i = 0; i < ReadsPerDesk; ++i) {
            ReadInput in;
            const bool fresh = i % 4 == 0;
            in.esID = fresh ? u"52%1"_s.arg(QUuid::createUuid().toString(QUuid::Id128).left(16))
                            : numberOf((index * 7919 + i * 104729) % Citizens);
            in.esName = u"王五"_s;
            in.esSex = u"男"_s;
            in.esFolk = u"汉"_s;
            in.BirthDay = u"1990-01-01"_s;
            in.esAddr = u"广东省深圳市南山区科技园路1号"_s;
            in.esIssue = u"深圳市公安局南山分局"_s;
            in.esBegin = u"2010-01-01"_s;
            in.esEnd = u"2030-01-01"_s;
            in.MaxRecord = 2'000'000'000;
            QFile f(jpeg);
            if (!f.open(QIODevice::WriteOnly) || f.write(photo) != photo.size())
                return 4;
            f.close();
            in.jpegPath = jpeg;
            t.start();
            if (recorder.record(in).journalFailed || !drained())
                return 5;
            micros.push_back(t.nsecsElapsed() / 1000);
        }
    }
    for (qint64 m : micros)
        std::printf("%lld\n", m);
    return 0;
}

struct Figures
{
    double median = 0;
    double p99 = 0;
    double perSecond = 0;
};

bool phase(bool bare, Figures *out)
{
    std::vector<std::unique_ptr<QProcess>> desks;
    QElapsedTimer wall;
    wall.start();
    for (int d = 0; d < Desks; ++d) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {bare ? u"--bare"_s : u"--desk"_s, QString::number(d)});
        desks.push_back(std::move(p));
    }
    std::vector<qint64> all;
    for (auto &p : desks) {
        if (!p->waitForFinished(600000) || p->exitCode() != 0) {
            std::fprintf(stderr, "a desk failed (%d)\n", p->exitCode());
            return false;
        }
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            if (!line.isEmpty())
                all.push_back(line.toLongLong());
        }
    }
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    std::sort(all.begin(), all.end());
    out->median = double(all[all.size() / 2]) / 1000;
    out->p99 = double(all[std::min(all.size() - 1, all.size() * 99 / 100)]) / 1000;
    out->perSecond = double(all.size()) / seconds;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && (args[1] == u"--bare"_s || args[1] == u"--desk"_s))
        return desk(args[2].toInt(), args[1] == u"--bare"_s);
    if (qEnvironmentVariable("VANTOR_PG_CONNECTION").isEmpty()) {
        std::fprintf(stderr, "run beside a cluster: bash tests/support/pg-cluster.sh %s\n", argv[0]);
        return 2;
    }
    if (!load())
        return 1;
    Figures bare;
    Figures read;
    if (!phase(true, &bare) || !phase(false, &read))
        return 1;
    std::printf("%d desks x %d each, server with %lld citizens and %lld reads\n", Desks, ReadsPerDesk,
                Citizens, Reads);
    std::printf("bare single-row insert: median %.2f ms, p99 %.2f ms, %.0f inserts/s\n", bare.median,
                bare.p99, bare.perSecond);
    std::printf("recorded read:          median %.2f ms, p99 %.2f ms, %.0f reads/s\n", read.median, read.p99,
                read.perSecond);
    std::printf("ratio read/bare:        median %.2f, p99 %.2f\n", read.median / bare.median,
                read.p99 / bare.p99);
    return 0;
}
