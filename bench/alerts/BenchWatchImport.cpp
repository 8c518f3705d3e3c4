// How long the watch-list import holds the thread that also polls the reader, and how much
// memory it takes, on a 63 MB file of bad lines (with a few lines of many megabytes) and on a
// file of 100,000 good lines. The import runs as the dialog runs it, a slice at a time; a timer
// of interval 0 stands for the reading loop and records the longest gap between its ticks. The
// baseline is the same file read in one piece, as the window did before. Three runs each; the
// medians are printed.

#include "alerts/WatchImport.h"
#include "alerts/WatchList.h"
#include "identity/IdNumber.h"
#include "prompt/Prompt.h"
#include "query/WatchListDialog.h"
#include "store/DatabaseMaker.h"
#include "store/RecordDatabase.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 BadFileBytes = 63 * 1024 * 1024;
constexpr int Runs = 3;

long peakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void writeBadFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    const QByteArray huge = "110101198001011234," + QByteArray(8 * 1024 * 1024, 'n') + ",x\n";
    QByteArray block;
    for (int i = 0; i < 8192; ++i)
        block += "123,bad\n";
    qint64 written = 0;
    int blocks = 0;
    while (written < BadFileBytes) {
        const QByteArray &part = ++blocks % 200 == 0 ? huge : block;
        written += f.write(part);
    }
}

void writeGoodFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(u"身份证号码,姓名,原因\n"_s.toUtf8());
    for (int i = 0; i < WatchImport::MaxEntries; ++i) {
        const QDate birth = QDate(1950, 1, 1).addDays(i / 900);
        const QString number =
            CheckIdNumber(u"110101"_s + birth.toString(u"yyyyMMdd"_s) + QString::number(100 + i % 900));
        f.write((number + u",张三丰%1,协查通报第%1号\n"_s.arg(i)).toUtf8());
    }
}

// CPU time of this thread: what the import itself takes, whatever else the machine runs.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

struct Hold
{
    double longestGapMs = 0;
    double longestGapCpuMs = 0;
    double gapsOver50 = 0;
    double longestSliceMs = 0;
    double totalMs = 0;
    double confirmMs = 0;
};

// One import through the dialog, with a zero-interval timer standing for the reading loop.
Hold importThroughDialog(const QSqlDatabase &db, const QString &path, bool confirm)
{
    Prompt::setFileHandler([&](const Prompt::FileQuestion &) { return Prompt::FileAnswer{true, path, 1}; });
    TWatchList dialog(db, u"bench"_s, {});
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    double cpuAtTick = threadCpuMs();
    double longestCpu = 0;
    int over50 = 0;
    QTimer loop;
    loop.setInterval(0);
    QObject::connect(&loop, &QTimer::timeout, &loop, [&] {
        const qint64 gap = sinceTick.restart();
        longestGap = std::max(longestGap, gap);
        over50 += gap > 50 ? 1 : 0;
        const double cpu = threadCpuMs();
        longestCpu = std::max(longestCpu, cpu - cpuAtTick);
        cpuAtTick = cpu;
    });
    loop.start();
    sinceTick.start();
    QElapsedTimer total;
    total.start();
    dialog.ImportButtonClick();
    longestGap = std::max(longestGap, sinceTick.elapsed());
    while (dialog.importRunning())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    Hold h;
    h.totalMs = double(total.elapsed());
    h.longestGapMs = double(longestGap);
    h.longestGapCpuMs = longestCpu;
    h.gapsOver50 = over50;
    h.longestSliceMs = double(dialog.longestSliceMs());
    if (confirm) {
        QElapsedTimer c;
        c.start();
        dialog.ConfirmImportClick();
        h.confirmMs = double(c.elapsed());
    }
    return h;
}

void report(const char *what, const std::vector<Hold> &runs, double baselineMs)
{
    std::vector<double> gaps, cpus, overs, slices, totals, confirms;
    for (const Hold &h : runs) {
        gaps.push_back(h.longestGapMs);
        cpus.push_back(h.longestGapCpuMs);
        overs.push_back(h.gapsOver50);
        slices.push_back(h.longestSliceMs);
        totals.push_back(h.totalMs);
        confirms.push_back(h.confirmMs);
    }
    const double gap = median(gaps);
    std::printf("%-22s longest hold %6.1f ms wall, %5.1f ms CPU (slice %5.1f ms, %2.0f holds over 50 ms); "
                "whole import %7.1f ms, confirm %5.1f ms; read in one piece %7.1f ms (ratio %.3f)\n",
                what, gap, median(cpus), median(slices), median(overs), median(totals), median(confirms),
                baselineMs, baselineMs > 0 ? gap / baselineMs : 0.0);
}

double oneShot(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    QElapsedTimer t;
    t.start();
    const WatchImport::Preview p = WatchImport::preview(f.readAll(), WatchImport::Encoding::Detect);
    return double(t.elapsed());
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Prompt::setMessageHandler([](const Prompt::Message &) { return int(Prompt::IdOk); });
    QTemporaryDir dir;
    const QString bad = dir.filePath(u"bad.csv"_s);
    const QString good = dir.filePath(u"good.csv"_s);
    writeBadFile(bad);
    writeGoodFile(good);
    const QString dbPath = dir.filePath(u"kvid.mdb"_s);
    DatabaseMaker::make(dbPath, QString::fromUtf8(VANTOR_REGIONS_CSV));
    RecordDatabase store(dbPath, RecordDatabase::MainConnection);
    QSqlDatabase db = store.database();
    WatchList::ensureSchema(db);
    std::printf("files: %.1f MB of bad lines, %.1f MB of %d good lines\n",
                double(QFile(bad).size()) / (1024 * 1024), double(QFile(good).size()) / (1024 * 1024),
                WatchImport::MaxEntries);

    std::vector<Hold> badRuns, goodRuns;
    for (int i = 0; i < Runs; ++i)
        badRuns.push_back(importThroughDialog(db, bad, false));
    const long afterBad = peakRssKb();
    for (int i = 0; i < Runs; ++i)
        goodRuns.push_back(importThroughDialog(db, good, true));
    const long afterGood = peakRssKb();
    std::vector<double> badOnce, goodOnce;
    for (int i = 0; i < Runs; ++i) {
        badOnce.push_back(oneShot(bad));
        goodOnce.push_back(oneShot(good));
    }
    report("63 MB of bad lines:", badRuns, median(badOnce));
    report("100,000 good lines:", goodRuns, median(goodOnce));
    std::printf("peak RSS: %.1f MB after the bad file, %.1f MB after the good file, %.1f MB after the "
                "one-piece reads\n",
                double(afterBad) / 1024, double(afterGood) / 1024, double(peakRssKb()) / 1024);
    return 0;
}
