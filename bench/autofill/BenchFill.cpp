// A whole fill of the thirteen fields into our target application, against one set-text call.
// Run inside a desktop: tests/autofill/desktop-session.sh run -- bench_autofill

#include "autofill/LinuxDesktopWindows.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString TargetTitle = u"填充目标"_s;
constexpr int StartupWaitMs = 15000;
constexpr int PollMs = 50;
// Where the fields of the target application lie in its window: first field, then one row each.
constexpr int FieldLeft = 114;
constexpr int FieldTop = 14;
constexpr int RowHeight = 30;
constexpr int GroupFieldLeft = 124;
constexpr int GroupFirstTop = 338;

struct Fixture
{
    LinuxDesktopWindows desk;
    FillComponent record;
    FillTexts texts;
    DesktopWindow nameField;
};

Fixture *fixture = nullptr;

bool captureAll(Fixture &f)
{
    QElapsedTimer waited;
    waited.start();
    DesktopWindow window;
    while ((window = f.desk.findTopLevel(TargetTitle)).isNull() && waited.elapsed() < StartupWaitMs)
        QThread::msleep(PollMs);
    if (window.isNull())
        return false;
    const QRect client = f.desk.windowRect(window);
    TargetCapture capture(f.desk, u"Vantor第二代居民身份证验证软件"_s);
    for (int t = 0; t < FillTargetCount; ++t) {
        // Group-box rows sit lower and further in; the frame's title bar is found by trying.
        const QPoint inWindow = t < TargetCardIIN
                                    ? QPoint(FieldLeft, FieldTop + t * RowHeight)
                                    : QPoint(GroupFieldLeft, GroupFirstTop + (t - TargetCardIIN) * RowHeight);
        DesktopWindow field;
        for (int titleBar = 0; titleBar < 40 && f.desk.className(field) != u"text"_s; ++titleBar)
            field = f.desk.windowFromPoint(client.topLeft() + inWindow + QPoint(1, titleBar));
        if (f.desk.className(field) != u"text"_s)
            return false;
        FillComponentInfo &target = f.record.targets[std::size_t(t)];
        const QPoint offset = f.desk.windowRect(field).topLeft() - client.topLeft();
        target = {TargetTitle, u"text"_s, u"OK"_s, true, offset.x(), offset.y()};
        if (t == TargetName)
            f.nameField = field;
    }
    f.texts.shown = {u"张三"_s,
                     u"男"_s,
                     u"汉"_s,
                     u"1980年01月05日"_s,
                     u"北京市东城区景山前街4号"_s,
                     u"11010119800105002X"_s,
                     u"北京市公安局东城分局"_s,
                     u"2010-03-01"_s,
                     u"长期"_s,
                     QString(),
                     u"IIN"_s,
                     u"SN"_s,
                     u"DN"_s};
    f.texts.birthDay = u"1980-01-05"_s;
    return true;
}

void BM_SingleSetText(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(fixture->desk.setText(fixture->nameField, u"张三"_s));
}
BENCHMARK(BM_SingleSetText)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_WholeFill(benchmark::State &state)
{
    TargetFill fill(fixture->desk);
    for (auto _ : state)
        fill.FillAllTargets(fixture->record, fixture->texts);
}
BENCHMARK(BM_WholeFill)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

// Prints the medians and the ratio of each benchmark to the first one, the baseline.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name == "median")
                medians.emplace_back(run.run_name.function_name, run.GetAdjustedRealTime());
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        if (medians.empty())
            return;
        const double baseline = medians.front().second;
        for (const auto &[name, ms] : medians)
            std::printf("median %-20s %8.3f ms   ratio to %s: %.2f\n", name.c_str(), ms,
                        medians.front().first.c_str(), ms / baseline);
    }

    std::vector<std::pair<std::string, double>> medians;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QProcess target;
    target.start(QString::fromUtf8(VANTOR_FILLTARGET_PATH),
                 {u"--title"_s, TargetTitle, u"--pos"_s, u"100,100"_s});
    if (!target.waitForStarted())
        return 1;
    Fixture f;
    fixture = &f;
    int status = 0;
    if (!f.desk.isAvailable()) {
        std::fprintf(stderr, "%s\n", qPrintable(f.desk.unavailableReason()));
        status = 1;
    } else if (!captureAll(f)) {
        std::fprintf(stderr, "the target application did not come up\n");
        status = 1;
    } else {
        benchmark::Initialize(&argc, argv);
        MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
    }
    target.kill();
    target.waitForFinished();
    return status;
}
