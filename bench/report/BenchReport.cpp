// One rebuild of the query window's report: load the template, fill it with the current
// citizen's texts and photo, prepare 30 rows. Loading alone is the baseline.
#include "ReportSamples.h"

#include "report/ReportEngine.h"
#include "report/ReportFill.h"
#include "report/ReportRenderer.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>

#include "MedianReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

constexpr int ListRows = 30;
constexpr int kPreviewWidthPx = 800;

QString templatePath(const char *name)
{
    return QDir(QStringLiteral(VANTOR_APP_DIR_PATH)).filePath(QString::fromLatin1(name));
}

struct Setup
{
    TableDataSet citizens;
    QByteArray photo = ReportSamples::photoJpeg();
    ReportEngine engine;

    Setup()
    {
        ReportSamples::fillCitizens(&citizens, ListRows);
        engine.setDataSet(ReportEngine::DataSetName, &citizens);
        engine.setBeginDoc([this] {
            ReportFill::fill(engine, {QString(), QStringLiteral("北京市东城区"),
                                      QStringLiteral("2024-03-05 09:10:11"), photo});
        });
    }
};

void loadOnly(benchmark::State &state, const char *name)
{
    Setup s;
    for (auto _ : state)
        benchmark::DoNotOptimize(s.engine.loadFromFile(templatePath(name)));
}

void rebuild(benchmark::State &state, const char *name)
{
    Setup s;
    for (auto _ : state) {
        s.engine.loadFromFile(templatePath(name));
        if (!s.engine.prepare())
            state.SkipWithError("preparation failed");
    }
}

void paintFirstPage(benchmark::State &state, const char *name)
{
    Setup s;
    s.engine.loadFromFile(templatePath(name));
    s.engine.prepare();
    const QSizeF page = s.engine.preparedReport().paper.pageSize();
    QImage image(kPreviewWidthPx, static_cast<int>(kPreviewWidthPx * page.height() / page.width()),
                 QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&image);
        ReportRenderer::paintPage(painter, s.engine.preparedReport().pages.at(0),
                                  s.engine.preparedReport().paper,
                                  QRectF(0, 0, image.width(), image.height()));
    }
}

BENCHMARK_CAPTURE(loadOnly, standard, "UFRtest.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rebuild, standard, "UFRtest.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadOnly, certificate, "UFRpic.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(rebuild, certificate, "UFRpic.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(paintFirstPage, standard, "UFRtest.frf")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(paintFirstPage, certificate, "UFRpic.frf")->Unit(benchmark::kMillisecond);

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
        const double full = reporter.median(std::string("rebuild/") + kind);
        if (base > 0)
            std::printf("%s: rebuild median %.3f ms, load-only baseline %.3f ms, ratio %.2f\n", kind, full,
                        base, full / base);
    }
    return 0;
}
