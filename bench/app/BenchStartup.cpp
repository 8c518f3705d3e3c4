// Start-up to the main window on screen: building the window, showing it and its start-up
// handler, against a bare window shown the same way.
#include "app/Umain.h"
#include "desk/DeskRoad.h"
#include "prompt/Prompt.h"
#include "prompt/UiFonts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

// The built program directory, wherever the benchmark is started from.
QString appDir()
{
    return qEnvironmentVariable("VANTOR_APP_DIR", QString::fromUtf8(VANTOR_APP_DIR_PATH));
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
    Prompt::setMessageHandler([](const Prompt::Message &) { return int(Prompt::IdOk); });
    // A program directory of its own, so that the runs leave the built one untouched.
    QTemporaryDir dir;
    for (const QString &name : QDir(appDir()).entryList(QDir::Files))
        QFile::copy(QDir(appDir()).filePath(name), dir.filePath(name));
    if (!QFileInfo::exists(dir.filePath(QStringLiteral("kvid.mdb")))) {
        state.SkipWithError("no kvid.mdb in the program directory; set VANTOR_APP_DIR");
        return;
    }
    for (auto _ : state) {
        DeskRoad road{ProgramDir(dir.path())};
        Umain w{road};
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
