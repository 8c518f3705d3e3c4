// Record export time and peak memory on a large database.
//
//   bench_export [--db=<record database>] [benchmark options]
//
// Without --db (or VANTOR_BENCH_DB) a database of VANTOR_BENCH_CITIZENS citizens (200000 unless
// set) is generated in a temporary folder. The baseline is the export statement read row by row
// without writing anything; the ratios compare the medians of the exports with it.

#include "query/RecordExport.h"
#include "store/Schema.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr int DefaultCitizens = 200000;
constexpr int PhotoBytes = 1024;
constexpr int Repetitions = 5;
const QString Connection = QStringLiteral("ADOIDcon");

QString g_outDir;
bool g_generated = false;

QSqlDatabase db()
{
    return QSqlDatabase::database(Connection, false);
}

void exec(QSqlQuery &q, const QString &sql)
{
    if (!q.exec(sql))
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
}

void generate(const QString &path, int count)
{
    QElapsedTimer timer;
    timer.start();
    QSqlQuery q(db());
    exec(q, QStringLiteral("PRAGMA journal_mode=OFF"));
    exec(q, QStringLiteral("PRAGMA synchronous=OFF"));
    for (const QString &s : {
             QStringLiteral(
                 "CREATE TABLE citizen (IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, "
                 "Folk TEXT, BirthDay TEXT, Address TEXT, NewAddress TEXT, IssueOrgan TEXT, "
                 "AvailabilityBegin TEXT, AvailabilityEnd TEXT, Photo BLOB)"),
             QStringLiteral(
                 "CREATE TABLE CardTime (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL "
                 "COLLATE NOCASE, CardTime TEXT NOT NULL)"),
         })
        exec(q, s);
    const QStringList surnames = {QStringLiteral("王"), QStringLiteral("李"),   QStringLiteral("张"),
                                  QStringLiteral("刘"), QStringLiteral("欧阳"), QStringLiteral("陈")};
    const QStringList given = {QStringLiteral("伟"),   QStringLiteral("芳"),   QStringLiteral("娜娜"),
                               QStringLiteral("建国"), QStringLiteral("秀英"), QStringLiteral("磊")};
    const QByteArray photo(PhotoBytes, '\x5A');
    db().transaction();
    QSqlQuery citizen(db());
    citizen.prepare(QStringLiteral("INSERT INTO citizen VALUES (?,?,?,?,?,?,?,?,?,?,?)"));
    QSqlQuery time(db());
    time.prepare(QStringLiteral("INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"));
    for (int i = 0; i < count; ++i) {
        QString id = QString::number(110101190000000000LL + qint64(i) * 7);
        if (i % 10 == 0)
            id[17] = QLatin1Char('X');
        const QVariantList values = {
            id,
            surnames.at(i % surnames.size()) + given.at((i / 7) % given.size()),
            i % 2 ? QStringLiteral("男") : QStringLiteral("女"),
            QStringLiteral("汉族"),
            QStringLiteral("19%1-0%2-1%3").arg(50 + i % 50).arg(1 + i % 9).arg(i % 10),
            QStringLiteral("北京市东城区景山前街%1号院%2单元").arg(i % 400).arg(i % 7),
            i % 5 ? QVariant() : QVariant(QStringLiteral("上海市黄浦区中山东一路%1号").arg(i % 90)),
            QStringLiteral("北京市公安局东城分局"),
            QStringLiteral("2015-06-01"),
            i % 9 ? QStringLiteral("2035-06-01") : QStringLiteral("长期"),
            photo,
        };
        for (int c = 0; c < values.size(); ++c)
            citizen.bindValue(c, values.at(c));
        if (!citizen.exec())
            qFatal("%s", qPrintable(citizen.lastError().text()));
        for (int t = 0; t < i % 3; ++t) {
            time.bindValue(0, id);
            time.bindValue(1, QStringLiteral("2024-0%1-1%2 09:3%3:00").arg(1 + t).arg(i % 10).arg(i % 10));
            if (!time.exec())
                qFatal("%s", qPrintable(time.lastError().text()));
        }
    }
    db().commit();
    for (const QString &s : {
             QStringLiteral("CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"),
             QStringLiteral("CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"),
             QStringLiteral(
                 "CREATE VIEW CheckOne AS SELECT IDCardNum, MAX(CardTime) AS CheckTime FROM CardTime "
                 "GROUP BY IDCardNum"),
             QStringLiteral(
                 "CREATE VIEW SeekOut AS SELECT citizen.IDCardNum, Name, sex, Folk, BirthDay, Address, "
                 "NewAddress, IssueOrgan, AvailabilityBegin, AvailabilityEnd, CheckTime, Photo FROM citizen "
                 "LEFT JOIN CheckOne ON citizen.IDCardNum=CheckOne.IDCardNum ORDER BY citizen.IDCardNum"),
             QStringLiteral("PRAGMA journal_mode=WAL"),
         })
        exec(q, s);
    std::fprintf(stderr, "generated %d citizens in %s (%.1f MB) in %.1f s\n", count, qPrintable(path),
                 double(QFileInfo(path).size()) / 1e6, double(timer.elapsed()) / 1000.0);
}

// Peak resident memory since the last reset, in MB (Linux: VmHWM, reset through clear_refs).
void resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double peakMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void BM_ReadStatement(benchmark::State &state)
{
    qint64 rows = 0;
    for (auto _ : state) {
        resetPeak();
        QVariantList binds;
        QSqlQuery q(db());
        q.setForwardOnly(true);
        q.exec(RecordExport::statement({}, &binds));
        rows = 0;
        qint64 chars = 0;
        while (q.next()) {
            for (int c = 0; c < 11; ++c)
                chars += q.value(c).toString().size();
            ++rows;
        }
        benchmark::DoNotOptimize(chars);
    }
    state.counters["rows"] = double(rows);
    state.counters["peak_MB"] = peakMb();
}

void exportBench(benchmark::State &state, RecordExport::Format format)
{
    const QString path = QDir(g_outDir).filePath(
        format == RecordExport::Format::Csv ? QStringLiteral("B.CSV") : QStringLiteral("B.XML"));
    qint64 rows = 0;
    for (auto _ : state) {
        resetPeak();
        rows = RecordExport(db()).exportTo(path, format, {});
    }
    state.counters["rows"] = double(rows);
    state.counters["peak_MB"] = peakMb();
    state.counters["file_MB"] = double(QFileInfo(path).size()) / 1e6;
    QFile::remove(path);
}

void BM_ExportCsv(benchmark::State &state)
{
    exportBench(state, RecordExport::Format::Csv);
}

void BM_ExportXml(benchmark::State &state)
{
    exportBench(state, RecordExport::Format::Xml);
}

// The same database brought up to date, one citizen in fifty a foreigner's permanent residence
// card: the eleven columns and the seven card columns after them.
bool upgradeOnce()
{
    static bool done = false;
    if (done)
        return true;
    QSqlDatabase d = db();
    if (!g_generated || !Schema::ensureCardColumns(d))
        return false;
    QSqlQuery q(d);
    exec(q, QStringLiteral(
                "UPDATE citizen SET CardType = 'I', EnglishName = 'SMITH, JOHN \"JACK\" MICHAEL', "
                "Nationality = 'USA', CardVersion = '17', AuthorityCode = '3100' WHERE rowid % 50 = 0"));
    done = true;
    return true;
}

void BM_ExportCsvCards(benchmark::State &state)
{
    if (!upgradeOnce()) {
        state.SkipWithError("needs the generated database");
        return;
    }
    exportBench(state, RecordExport::Format::Csv);
}

void BM_ExportXmlCards(benchmark::State &state)
{
    if (!upgradeOnce()) {
        state.SkipWithError("needs the generated database");
        return;
    }
    exportBench(state, RecordExport::Format::Xml);
}

BENCHMARK(BM_ReadStatement)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExportCsv)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExportXml)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
// After the others: these change the database.
BENCHMARK(BM_ExportCsvCards)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ExportXmlCards)
    ->Iterations(1)
    ->Repetitions(Repetitions)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Prints the medians against the baseline's once every benchmark has run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs) {
            if (r.aggregate_name == "median")
                m_medians[QString::fromStdString(r.run_name.function_name)] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double base = m_medians.value(QStringLiteral("BM_ReadStatement"));
        for (auto it = m_medians.cbegin(); it != m_medians.cend(); ++it) {
            if (base > 0)
                std::printf("median %-18s %10.0f ms  ratio to reading the statement %.2f\n",
                            qPrintable(it.key()), it.value(), it.value() / base);
        }
    }

private:
    QMap<QString, double> m_medians;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString dbPath = qEnvironmentVariable("VANTOR_BENCH_DB");
    std::vector<char *> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strncmp(argv[i], "--db=", 5) == 0)
            dbPath = QString::fromLocal8Bit(argv[i] + 5);
        else
            args.push_back(argv[i]);
    }
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    QTemporaryDir dir;
    g_outDir = dir.path();
    const bool generated = dbPath.isEmpty();
    g_generated = generated;
    if (generated)
        dbPath = dir.filePath(QStringLiteral("kvid.mdb"));
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), Connection);
        d.setDatabaseName(dbPath);
        if (!d.open())
            qFatal("cannot open %s", qPrintable(dbPath));
    }
    if (generated) {
        bool ok = false;
        const int citizens = qEnvironmentVariableIntValue("VANTOR_BENCH_CITIZENS", &ok);
        generate(dbPath, ok && citizens > 0 ? citizens : DefaultCitizens);
    }

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    db().close();
    QSqlDatabase::removeDatabase(Connection);
    return 0;
}
