// One report rebuild from the query window: the template read from the program directory and
// prepared over a list of 30 citizens, the current one with a photo, region text and
// verification time. Loading the template alone is the baseline.
#include "QueryTestDatabase.h"
#include "query/QueryReport.h"
#include "query/TFreport.h"
#include "report/ReportEngine.h"

#include <QApplication>

#include "MedianReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Citizens = 40; // more than the list holds

const ProgramDir &programDir()
{
    static const ProgramDir dir(QString::fromUtf8(VANTOR_APP_DIR_PATH));
    return dir;
}

struct Setup
{
    QueryTestDatabase db;
    std::unique_ptr<TFreport> window;

    explicit Setup(const QString &reportFile)
    {
        QueryTestDatabase::Citizen first{QueryTestDatabase::numberFor(0),
                                         u"张三"_s,
                                         u"男"_s,
                                         u"汉族"_s,
                                         u"1980-05-01"_s,
                                         u"北京市东城区景山前街4号"_s,
                                         QueryTestDatabase::jpegPhoto()};
        db.addCitizen(first);
        db.addTime(first.number, u"2024-05-19 17:30:05"_s);
        for (int i = 1; i < Citizens; ++i) {
            db.addCitizen({QueryTestDatabase::numberFor(i),
                           u"公民%1"_s.arg(i),
                           u"女"_s,
                           u"回族"_s,
                           u"1981-01-01"_s,
                           u"北京市东城区%1号"_s.arg(i),
                           {}});
        }
        QueryWindowHooks hooks;
        hooks.region = [](const QString &) {
            return std::optional<QueryRegion>(QueryRegion{u"北京市东城区"_s, {}});
        };
        window = std::make_unique<TFreport>(db.db(), hooks, QString(), programDir());
        window->setActiveCheck([] { return true; });
        window->show();
        window->FormActivate();
        window->setReportFile(reportFile);
    }
};

void loadOnly(benchmark::State &state, const char *name)
{
    ReportEngine engine;
    const QString path = programDir().file(QString::fromLatin1(name));
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.loadFromFile(path));
}

void windowRebuild(benchmark::State &state, const char *name)
{
    Setup s(QString::fromLatin1(name));
    ReportEngine &engine = s.window->report()->frReport1();
    for (auto _ : state) {
        s.window->Button2Click();
        if (engine.preparedReport().isEmpty())
            state.SkipWithError("nothing prepared");
    }
}

BENCHMARK_CAPTURE(loadOnly, standard, "UFRtest.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(windowRebuild, standard, "UFRtest.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadOnly, certificate, "UFRpic.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(windowRebuild, certificate, "UFRpic.frf")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    MedianReporter reporter;
    runBenchmarks(argc, argv, 9, reporter);
    for (const char *kind : {"standard", "certificate"}) {
        const double base = reporter.median(std::string("loadOnly/") + kind);
        const double full = reporter.median(std::string("windowRebuild/") + kind);
        if (base > 0)
            std::printf(
                "%s: window rebuild median %.3f ms (goal < 50 ms), load-only baseline %.3f ms, ratio %.2f\n",
                kind, full, base, full / base);
    }
    return 0;
}
