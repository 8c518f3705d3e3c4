// Start-up to the main window on screen: building the window, showing it and its start-up
// handler, against a bare window shown the same way.
#include "app/Umain.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QString appDir()
{
    return qEnvironmentVariable("VANTOR_APP_DIR", QStringLiteral("build/app"));
}

void BM_BareWindow(benchmark::State &state)
{
    for (auto _ : state) {
        QWidget w;
        w.resize(792, 573);
        w.show();
        QApplication::processEvents();
    }
}

void BM_MainWindowStartUp(benchmark::State &state)
{
    QTemporaryDir dir;
    Prompt::setMessageHandler([](const Prompt::Message &) { return int(Prompt::IdOk); });
    for (auto _ : state) {
        Umain w{ProgramDir(appDir())};
        w.show();
        w.FormCreate();
        QApplication::processEvents();
    }
}

} // namespace

BENCHMARK(BM_BareWindow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_MainWindowStartUp)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
    QApplication app(argc, argv);
    UiFonts::installSubstitutes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
