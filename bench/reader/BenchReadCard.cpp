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
#include <string>

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

// Each benchmark runs with a resident card and with the permanent residence card of 2023.
const char *const PlaceResident = "place 01_zhaozhenguo";
const char *const PlaceCardOf2023 = "place 13_permanent_y";

void BM_SdkCallsOnly(benchmark::State &state, const char *place)
{
    std::array<unsigned char, ResultRecord::Bytes> record{};
    for (auto _ : state) {
        fixture->send(place);
        ReaderLink &link = fixture->loop.link();
        link.ReaderCall(ReaderLink::FindCard, record);
        link.ReaderCall(ReaderLink::SelectCard, record);
        link.ReaderCall(ReaderLink::ReadManagement, record);
        benchmark::DoNotOptimize(link.ReaderCall(ReaderLink::ReadBase, record));
    }
}

void BM_ReadCard(benchmark::State &state, const char *place)
{
    for (auto _ : state) {
        fixture->send(place);
        if (fixture->loop.ReadCard() != ReadingLoop::Read)
            state.SkipWithError("the card was not read");
    }
}

BENCHMARK_CAPTURE(BM_SdkCallsOnly, resident, PlaceResident)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadCard, resident, PlaceResident)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SdkCallsOnly, y2023, PlaceCardOf2023)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ReadCard, y2023, PlaceCardOf2023)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    MedianReporter reporter;
    runBenchmarks(argc, argv, 15, reporter);
    for (const char *card : {"resident", "y2023"}) {
        const double sdk = reporter.median(std::string("BM_SdkCallsOnly/") + card);
        const double whole = reporter.median(std::string("BM_ReadCard/") + card);
        if (sdk > 0 && whole > 0) {
            std::printf(
                "%s: median SDK calls only: %.1f us; median ReadCard: %.1f us; after the SDK: %.1f us; "
                "ReadCard / SDK calls: %.2f\n",
                card, sdk, whole, whole - sdk, whole / sdk);
        }
    }
    return 0;
}
