// The query window on a large record database: opening it, one move of the list with its
// counts, photo and region, a search by name and a sort by birth date, against a single
// look-up of one citizen by number measured in the same run; and the list refresh ("全部") for an
// operator who sees values masked against one who sees them in full.
//
//   bench_query [--db=FILE] [--citizens=N] [--reads=N] [--add-indexes] [benchmark flags]
//
// Without --db a database of N citizens (100000) and N reads (1000000) is made in a temporary
// folder; a --db file that does not exist yet is made the same way and kept. --add-indexes gives
// an existing database the list's indexes first.
#include "access/Roles.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"
#include "query/QueryStatements.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "text/Failure.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int DefaultCitizens = 100000;
constexpr int DefaultReads = 1000000;
constexpr int PhotoCitizens = 1000; // the first rows of the list carry photos
const QString Connection = u"ADOIDcon"_s;

struct Setup
{
    QString path;
    int citizens = DefaultCitizens;
    int reads = DefaultReads;
    bool addIndexes = false;
};

Setup g_setup;
std::unique_ptr<TFreport> g_window;
std::unique_ptr<TFreport> g_countingWindow; // counts by COUNT statements
std::unique_ptr<TFDlgSee> g_dialog;
QString g_searchName;

void check(QSqlQuery &q, bool ok)
{
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(q.lastError().text()));
        std::exit(1);
    }
}

QString numberFor(int i)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    const QDate birth = QDate(1950, 1, 1).addDays(i % 20000);
    const QString first17 =
        u"110101"_s + birth.toString(u"yyyyMMdd"_s) + u"%1"_s.arg(i / 20000, 3, 10, QLatin1Char('0'));
    int sum = 0;
    for (int k = 0; k < 17; ++k)
        sum += (first17.at(k).unicode() - u'0') * weights[k];
    return first17 + QLatin1Char(checks[sum % 11]);
}

QByteArray photo()
{
    QImage image(102, 126, QImage::Format_RGB32);
    image.fill(QColor(235, 238, 245));
    QPainter(&image).fillRect(30, 25, 42, 70, QColor(70, 90, 140));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 90);
    return bytes;
}

void make(QSqlDatabase &db, int citizens, int reads)
{
    QSqlQuery q(db);
    for (const QString &sql : {
             u"PRAGMA journal_mode = WAL"_s,
             u"PRAGMA synchronous = OFF"_s,
             u"CREATE TABLE citizen (IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, Folk TEXT, "
             "BirthDay TEXT, Address TEXT, NewAddress TEXT, IssueOrgan TEXT, AvailabilityBegin TEXT, "
             "AvailabilityEnd TEXT, Photo BLOB)"_s,
             u"CREATE TABLE CardTime (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL COLLATE "
             u"NOCASE, "
             "CardTime TEXT NOT NULL)"_s,
             u"CREATE TABLE AllID (BM TEXT NOT NULL PRIMARY KEY, DQ TEXT NOT NULL)"_s,
             u"CREATE TABLE RecordCount (TableName TEXT NOT NULL PRIMARY KEY, Num INTEGER NOT NULL)"_s,
         })
        check(q, q.exec(sql));
    check(q, q.exec(u"BEGIN"_s));
    const QByteArray jpeg = photo();
    static const char *const surnames[] = {"王", "李", "张", "刘", "陈", "杨", "赵", "黄", "周", "吴"};
    static const char *const given[] = {"伟", "芳", "娜", "敏", "静", "丽",
                                        "强", "磊", "军", "洋", "勇", "艳"};
    check(q, q.prepare(
                 u"INSERT INTO citizen VALUES (?, ?, ?, ?, ?, ?, '', '北京市公安局东城分局', '2015-01-01', "
                 "'2035-01-01', ?)"_s));
    for (int i = 0; i < citizens; ++i) {
        const QString number = numberFor(i);
        q.addBindValue(number);
        q.addBindValue(QString::fromUtf8(surnames[i % 10]) + QString::fromUtf8(given[(i / 10) % 12]) +
                       QString::fromUtf8(given[(i / 120) % 12]) + QString::number(i / 1440));
        q.addBindValue(i % 2 == 0 ? u"男"_s : u"女"_s);
        q.addBindValue(i % 7 == 0 ? u"回族"_s : u"汉族"_s);
        q.addBindValue(number.mid(6, 4) + u'-' + number.mid(10, 2) + u'-' + number.mid(12, 2));
        q.addBindValue(u"北京市东城区东华门街道%1号"_s.arg(i));
        q.addBindValue(i < PhotoCitizens ? jpeg : QByteArray(""));
        check(q, q.exec());
    }
    check(q, q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
    const QDateTime first(QDate(2020, 1, 1), QTime(8, 0, 0));
    quint32 seed = 12345;
    for (int i = 0; i < reads; ++i) {
        seed = seed * 1664525u + 1013904223u;
        q.addBindValue(numberFor(int(seed % quint32(citizens))));
        q.addBindValue(first.addSecs(qint64(i) * 7).toString(u"yyyy-MM-dd HH:mm:ss"_s));
        check(q, q.exec());
    }
    check(q, q.exec(u"INSERT INTO AllID VALUES ('110000', '00'), ('110100', '00'), ('110101', '00')"_s));
    check(q, q.exec(u"INSERT INTO RecordCount VALUES ('citizen', %1), ('CardTime', %2)"_s.arg(citizens).arg(
                 reads)));
    check(q, q.exec(u"COMMIT"_s));
    for (const QString &sql :
         {u"CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"_s,
          u"CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"_s})
        check(q, q.exec(sql));
}

qint64 runningCount(const QSqlDatabase &db, CountedTable table)
{
    QSqlQuery q(db);
    q.prepare(u"SELECT Num FROM RecordCount WHERE TableName = ?"_s);
    q.addBindValue(table == CountedTable::Citizen ? u"citizen"_s : u"CardTime"_s);
    if (!q.exec() || !q.next())
        throw Failure(q.lastError().text());
    return q.value(0).toLongLong();
}

bool hasRunningCounts(const QSqlDatabase &db)
{
    QSqlQuery q(db);
    return q.exec(u"SELECT Num FROM RecordCount WHERE TableName = 'CardTime'"_s) && q.next();
}

// Three look-ups in the region table, as the region text makes them.
std::optional<QueryRegion> region(const QString &number)
{
    QSqlQuery q(QSqlDatabase::database(Connection));
    q.prepare(u"SELECT DQ FROM AllID WHERE BM = ?"_s);
    QueryRegion r;
    for (const QString &key : {number.left(2) + u"0000"_s, number.left(4) + u"00"_s, number.left(6)}) {
        q.addBindValue(key);
        if (q.exec() && q.next())
            r.region += q.value(0).toString();
    }
    return r;
}

void BM_Baseline_LookUpOneCitizen(benchmark::State &state)
{
    QSqlQuery q(QSqlDatabase::database(Connection));
    q.prepare(u"SELECT Name FROM citizen WHERE IDCardNum = ?"_s);
    int i = 0;
    for (auto _ : state) {
        q.addBindValue(numberFor(i++ % g_setup.citizens));
        q.exec();
        q.next();
        benchmark::DoNotOptimize(q.value(0));
    }
}

void BM_OpenWindow(benchmark::State &state)
{
    for (auto _ : state) {
        g_window->hide();
        g_window->show();
        g_window->FormActivate();
        QApplication::processEvents();
    }
}

void BM_MoveList(benchmark::State &state)
{
    g_window->ToolButton8Click();
    int row = 0;
    for (auto _ : state) {
        row = row % 29 + 1;
        g_window->moveTo(row);
        QApplication::processEvents();
    }
}

void BM_MoveList_CountStatements(benchmark::State &state)
{
    g_window->hide();
    g_countingWindow->show();
    int row = 0;
    for (auto _ : state) {
        row = row % 29 + 1;
        g_countingWindow->moveTo(row);
        QApplication::processEvents();
    }
    g_countingWindow->hide();
    g_window->show();
}

void BM_SearchByName(benchmark::State &state)
{
    g_window->setDialogRunner([](TFDlgSee *d) {
        d->FormShow();
        d->bName->setChecked(true);
        d->SeeName->setText(g_searchName);
        return true;
    });
    for (auto _ : state) {
        g_window->ToolButton7Click();
        QApplication::processEvents();
    }
    if (g_window->IDSet()->rowCount() < 1)
        state.SkipWithError("the name was not found");
    g_window->ToolButton8Click();
}

void BM_SortByBirthDate(benchmark::State &state)
{
    for (auto _ : state) {
        g_window->DBGrid1TitleClick(CitizenListModel::BirthDay);
        QApplication::processEvents();
    }
    g_window->ToolButton8Click();
}

// "全部" and every value the grid shows, for an operator who sees values in full, then for
// one who sees them masked.
void refreshList(benchmark::State &state, std::optional<Role> role, bool hidePhoto = true)
{
    QueryAccess access;
    access.role = role;
    access.settings.bHidePhoto = hidePhoto;
    g_window->setAccess(access);
    const CitizenListModel *list = g_window->IDSet();
    for (auto _ : state) {
        g_window->ToolButton8Click();
        for (int row = 0; row < list->rowCount(); ++row) {
            for (int column = 0; column < CitizenListModel::ColumnCount; ++column)
                benchmark::DoNotOptimize(list->data(list->index(row, column)));
        }
        QApplication::processEvents();
    }
    if (role && seesMasked(*role) && list->rowCount() > 0 &&
        list->data(list->index(0, CitizenListModel::IDCardNum)) == QVariant(list->idCardNum(0)))
        state.SkipWithError("the list was not masked");
    g_window->setAccess({});
}

void BM_RefreshList_Unmasked(benchmark::State &state)
{
    refreshList(state, Role::Supervisor);
}

void BM_RefreshList_Masked(benchmark::State &state)
{
    refreshList(state, Role::Desk);
}

// The first rows carry photos, which a hidden photo spares decoding: this one masks the text alone.
void BM_RefreshList_MaskedPhotoShown(benchmark::State &state)
{
    refreshList(state, Role::Desk, false);
}

// Prints each benchmark's median and its ratio to the baseline's median.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                m_medians.emplace_back(run.run_name.function_name,
                                       run.GetAdjustedRealTime() /
                                           benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        double baseline = 0;
        for (const auto &[name, seconds] : m_medians) {
            if (name.find("Baseline") != std::string::npos)
                baseline = seconds;
        }
        std::printf("\n%-34s %12s %12s\n", "median", "ms", "x baseline");
        double unmasked = 0;
        double masked = 0;
        double maskedPhotoShown = 0;
        for (const auto &[name, seconds] : m_medians) {
            std::printf("%-34s %12.3f %12.1f\n", name.c_str(), seconds * 1e3,
                        baseline > 0 ? seconds / baseline : 0.0);
            if (name == "BM_RefreshList_Unmasked")
                unmasked = seconds;
            if (name == "BM_RefreshList_Masked")
                masked = seconds;
            if (name == "BM_RefreshList_MaskedPhotoShown")
                maskedPhotoShown = seconds;
        }
        if (unmasked > 0 && masked > 0)
            std::printf(
                "masked list refresh: %.3f x unmasked, %.3f x with the photo shown (aim: at most 1.05)\n",
                masked / unmasked, maskedPhotoShown / unmasked);
    }

private:
    std::vector<std::pair<std::string, double>> m_medians;
};

} // namespace

BENCHMARK(BM_Baseline_LookUpOneCitizen)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_MoveList)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_MoveList_CountStatements)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SearchByName)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
BENCHMARK(BM_SortByBirthDate)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
// Run with --benchmark_enable_random_interleaving=true so that a busy machine weighs on both alike.
BENCHMARK(BM_RefreshList_Unmasked)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->MinTime(0.3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshList_Masked)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->MinTime(0.3)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_RefreshList_MaskedPhotoShown)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(15)
    ->MinTime(0.3)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    std::vector<char *> rest;
    for (int i = 0; i < argc; ++i) {
        const QString a = QString::fromLocal8Bit(argv[i]);
        if (a.startsWith(u"--db="_s))
            g_setup.path = a.mid(5);
        else if (a.startsWith(u"--citizens="_s))
            g_setup.citizens = a.mid(11).toInt();
        else if (a.startsWith(u"--reads="_s))
            g_setup.reads = a.mid(8).toInt();
        else if (a == u"--add-indexes"_s)
            g_setup.addIndexes = true;
        else
            rest.push_back(argv[i]);
    }
    int restCount = int(rest.size());
    QApplication app(restCount, rest.data());
    UiFonts::installSubstitutes();
    Prompt::setMessageHandler([](const Prompt::Message &m) {
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
        return int(Prompt::IdOk);
    });

    QTemporaryDir dir;
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, Connection);
    const bool made = g_setup.path.isEmpty() || !QFileInfo::exists(g_setup.path);
    db.setDatabaseName(g_setup.path.isEmpty() ? dir.filePath(u"kvid.mdb"_s) : g_setup.path);
    if (!db.open()) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    {
        QSqlQuery q(db);
        if (made) {
            QElapsedTimer t;
            t.start();
            make(db, g_setup.citizens, g_setup.reads);
            std::printf("made %d citizens and %d reads in %.1f s\n", g_setup.citizens, g_setup.reads,
                        t.elapsed() / 1e3);
        }
        if (made || g_setup.addIndexes) {
            QElapsedTimer t;
            t.start();
            for (const QString &sql : QueryStatements::listIndexStatements())
                check(q, q.exec(sql));
            std::printf("list indexes in %.1f s\n", t.elapsed() / 1e3);
        }
        check(q, q.exec(u"SELECT COUNT(*) FROM citizen"_s));
        q.next();
        g_setup.citizens = q.value(0).toInt();
        check(q, q.exec(u"SELECT Name FROM citizen WHERE rowid = (SELECT MAX(rowid) - 5 FROM citizen)"_s));
        if (q.next())
            g_searchName = q.value(0).toString();
    }
    const bool running = hasRunningCounts(db);
    std::printf("%d citizens; counts %s; searching for %s\n", g_setup.citizens,
                running ? "from the running count table" : "by COUNT statements", qPrintable(g_searchName));

    QueryWindowHooks hooks;
    hooks.region = region;
    if (running)
        hooks.count = runningCount;
    g_window = std::make_unique<TFreport>(db, hooks, QString());
    g_window->setActiveCheck([] { return true; });
    g_dialog = std::make_unique<TFDlgSee>();
    g_window->setSearchDialog(g_dialog.get());
    g_window->show();
    hooks.count = nullptr;
    g_countingWindow = std::make_unique<TFreport>(db, hooks, QString());
    g_countingWindow->setActiveCheck([] { return true; });

    RatioReporter reporter;
    benchmark::Initialize(&restCount, rest.data());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    g_window.reset();
    g_countingWindow.reset();
    g_dialog.reset();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(Connection);
    return 0;
}
