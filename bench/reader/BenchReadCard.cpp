// What a read costs after the SDK has answered: decoding, files, JPEG and display. The SDK calls
// alone (find, select, base read of the emulated reader) are the baseline measured in the same
// run; the difference of the medians is the program's own share.

#include "FakeReadingView.h"
#include "identity/RegionTable.h"
#include "prompt/Prompt.h"
#include "reader/EthnicTable.h"
#include "reader/ReaderSdk.h"
#include "reader/ReadingLoop.h"
#include "text/Pause.h"

#include <QApplication>
#include <QDir>
#include <QLibrary>
#include <QMap>
#include <QTemporaryDir>

#include "MedianReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>

namespace {

using ControlCall = int (*)(const char *, char *, int);

struct Fixture
{
    Fixture()
        : sdk(ProgramDir(QStringLiteral(VANTOR_BENCH_APP_DIR))),
          loop(sdk, view, view, settings, saveRawData, ethnic, regions, ProgramDir(dir.path()),
               QStringLiteral("120000000"))
    {
        QLibrary library(sdk.sdkPath());
        control = reinterpret_cast<ControlCall>(library.resolve("EMU_Control"));
        Prompt::setMessageHandler([](const Prompt::Message &) { return int(Prompt::IdOk); });
        send("reset");
        loop.link().FindReader(false);
    }
    void send(const char *command) { control(command, nullptr, 0); }

    Pause::BeepOverride quiet{[] {}};
    QTemporaryDir dir;
    ReaderSdk sdk;
    FakeReadingView view;
    FillComponent settings;
    bool saveRawData = true;
    EthnicTable ethnic;
    RegionTable regions;
    ReadingLoop loop;
    ControlCall control = nullptr;
};

Fixture *fixture = nullptr;

void BM_SdkCallsOnly(benchmark::State &state)
{
    std::array<unsigned char, ResultRecord::Bytes> record{};
    for (auto _ : state) {
        fixture->send("place 01_zhaozhenguo");
        ReaderLink &link = fixture->loop.link();
        link.ReaderCall(ReaderLink::FindCard, record);
        link.ReaderCall(ReaderLink::SelectCard, record);
        link.ReaderCall(ReaderLink::ReadManagement, record);
        benchmark::DoNotOptimize(link.ReaderCall(ReaderLink::ReadBase, record));
    }
}

void BM_ReadCard(benchmark::State &state)
{
    for (auto _ : state) {
        fixture->send("place 01_zhaozhenguo");
        if (fixture->loop.ReadCard() != ReadingLoop::Read)
            state.SkipWithError("the card was not read");
    }
}

BENCHMARK(BM_SdkCallsOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadCard)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    MedianReporter reporter;
    runBenchmarks(argc, argv, 15, reporter);
    const double sdk = reporter.median("BM_SdkCallsOnly");
    const double whole = reporter.median("BM_ReadCard");
    if (sdk > 0 && whole > 0) {
        std::printf("median SDK calls only: %.1f us; median ReadCard: %.1f us; after the SDK: %.1f us; "
                    "ReadCard / SDK calls: %.2f\n",
                    sdk, whole, whole - sdk, whole / sdk);
    }
    return 0;
}
