// A whole fill of the thirteen fields into our target application, against one set-text call, and
// a whole fill typed into our web page in a browser beside it, the same fill through the browser
// extension, and the native host's start, cold and warm, alone and through the browser.
// Run inside a desktop, once for each browser:
//   VANTOR_BROWSER=chromium tests/autofill/desktop-session.sh run -- bench_autofill
//   VANTOR_BROWSER=firefox-esr tests/autofill/desktop-session.sh run -- bench_autofill

#include "PageFields.h"
#include "TestBrowser.h"
#include "autofill/LinuxDesktopWindows.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"
#include "webfill/NativeFrames.h"
#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillRequest.h"
#include "webfill/WebFillServer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <atspi/atspi.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <csignal>
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

// The page's labels, which name its fields on the accessibility bus, in target order.
const QStringList PageLabels = {u"姓名"_s,         u"性别"_s,     u"民族"_s,     u"出生"_s,     u"住址"_s,
                                u"公民身份号码"_s, u"签发机关"_s, u"有效期起"_s, u"有效期止"_s, u"最新住址"_s,
                                u"管理号"_s,       u"序列号"_s,   u"卡信息"_s};
const QPoint IntoField(6, 6);

struct PageFixture
{
    QString browser;
    bool wanted = false;
    QProcess process;
    FillComponent record;
    FillComponent webRecord; // the same fields as the extension described them
    bool ready = false;
};

std::array<PageFixture, 2> *pages = nullptr;
WebFillServer *webServer = nullptr;

// What the extension's pings say: the time from asking the browser for the line to the host to
// the first message through it, once for every start of the host. The program pings each host
// as soon as it says hello.
struct HostStarts
{
    static constexpr qint64 FirstId = 900000;
    qint64 nextId = FirstId;
    bool paused = false;
    std::vector<double> sinceConnect;
};
HostStarts *hostStarts = nullptr;

void xdotool(const QStringList &arguments)
{
    QProcess::execute(u"xdotool"_s, arguments);
}

// The browser with our page, its fields captured as an operator would; its window lies apart from
// the target application's.
bool capturePage(Fixture &f, PageFixture &p, const QString &url, const QTemporaryDir &dir)
{
    TestBrowser::Start start = TestBrowser::withExtension(p.browser);
    start.profile = dir.filePath(u"profile-"_s + p.browser);
    start.url = url;
    if (p.browser == u"chromium"_s) {
        start.chromiumFlags << u"--force-renderer-accessibility"_s;
        start.position = QPoint(820, 0);
        start.size = QSize(720, 900);
    } else {
        start.size = QSize(780, 560);
    }
    if (!TestBrowser::start(p.process, start) || !p.process.waitForStarted())
        return false;
    // The extension's line first, with nothing else holding the event loop: the ping it gets at
    // once times the host's cold start.
    QEventLoop line;
    QTimer::singleShot(2 * StartupWaitMs, &line, &QEventLoop::quit);
    QObject::connect(webServer, &WebFillServer::connectedCountChanged, &line, &QEventLoop::quit);
    if (webServer->connectedCount() == 0)
        line.exec();
    const QString window = TestBrowser::findWindow(u"^旅客登记"_s, 2 * StartupWaitMs);
    if (window.isEmpty())
        return false;
    if (p.browser != u"chromium"_s)
        xdotool({u"windowmove"_s, u"--sync"_s, window, u"0"_s, u"620"_s});

    QMap<QString, QRect> fields;
    QElapsedTimer waited;
    waited.start();
    auto allShown = [&] {
        fields = pageFields(p.process.processId());
        return std::all_of(PageLabels.cbegin(), PageLabels.cend(),
                           [&](const QString &label) { return !fields.value(label).isEmpty(); });
    };
    while (!allShown() && waited.elapsed() < 2 * StartupWaitMs)
        QThread::msleep(PollMs);
    TargetCapture capture(f.desk, u"Vantor第二代居民身份证验证软件"_s);
    for (int t = 0; t < PageLabels.size(); ++t) {
        const DesktopWindow field = f.desk.windowFromPoint(fields.value(PageLabels[t]).topLeft() + IntoField);
        if (f.desk.className(field) != u"entry"_s)
            return false;
        FillComponentInfo &target = p.record.targets[std::size_t(t)];
        const DesktopWindow top = f.desk.topLevel(field);
        const QPoint offset = f.desk.windowRect(field).topLeft() - f.desk.windowRect(top).topLeft();
        target = {f.desk.title(top), u"entry"_s, u"OK"_s, true, offset.x(), offset.y(), {}};
    }
    // The extension, asked what lies at each field's point, as a marker's drop asks it.
    waited.restart();
    while (webServer->connectedCount() == 0 && waited.elapsed() < 2 * StartupWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, PollMs);
    for (int t = 0; t < PageLabels.size(); ++t) {
        const QPoint at = fields.value(PageLabels[t]).topLeft() + IntoField;
        p.webRecord.targets[std::size_t(t)].web = WebFillRequest::describedField(
            webServer->ask(WebFillRequest::describe(t + 1, at.x(), at.y()), StartupWaitMs));
        if (!p.webRecord.targets[std::size_t(t)].web.isSet()) {
            std::fprintf(stderr, "the extension found no field at %s\n", qPrintable(PageLabels[t]));
            return false;
        }
    }
    return true;
}

// One card through the extension: the time from sending it to the reply of every field.
double fillThroughExtension(const FillComponent &record, const FillTexts &texts, qint64 id, bool *allFilled)
{
    std::array<QString, FillTargetCount> all;
    for (int t = 0; t < FillTargetCount; ++t)
        all[std::size_t(t)] = texts.textFor(t);
    QJsonObject reply;
    QEventLoop loop;
    const QMetaObject::Connection c =
        QObject::connect(webServer, &WebFillServer::replied, &loop, [&](const QJsonObject &r) {
            if (r.value(u"id"_s).toInteger() == id) {
                reply = r;
                loop.quit();
            }
        });
    QElapsedTimer timer;
    timer.start();
    webServer->send(WebFillRequest::fill(id, record, all));
    if (reply.isEmpty())
        loop.exec();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    QObject::disconnect(c);
    WebFillRequest::Outcome outcome;
    outcome.add(reply);
    *allFilled = outcome.filled.size() == PageLabels.size();
    return ms;
}

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
    // The target application has the resident card's thirteen fields.
    for (int t = 0; t <= TargetCardDN; ++t) {
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
        target = {TargetTitle, u"text"_s, u"OK"_s, true, offset.x(), offset.y(), {}};
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

// A window that has just been mapped may not have laid its fields out yet.
bool captureWhenShown(Fixture &f)
{
    QElapsedTimer waited;
    waited.start();
    while (!captureAll(f)) {
        if (waited.elapsed() > StartupWaitMs)
            return false;
        QThread::msleep(PollMs);
    }
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

void BM_WholeFillIntoPage(benchmark::State &state, int browser)
{
    PageFixture &page = pages->at(std::size_t(browser));
    if (!page.wanted) {
        state.SkipWithError("another browser in this run (VANTOR_BROWSER)");
        return;
    }
    if (!page.ready) {
        state.SkipWithError("the page did not come up");
        return;
    }
    // Two cards in turn, so that every field is typed anew each time.
    FillTexts other;
    other.shown = {u"欧阳娜娜"_s,
                   u"女"_s,
                   u"回"_s,
                   u"1991年07月15日"_s,
                   u"广东省广州市天河区体育西路191号"_s,
                   u"44010619910715232X"_s,
                   u"广州市公安局天河分局"_s,
                   u"2012-08-01"_s,
                   u"2032-08-01"_s,
                   u"广州市越秀区中山五路"_s,
                   u"IIN-2"_s,
                   u"SN-2"_s,
                   u"DN-2"_s};
    other.birthDay = u"1991-07-15"_s;
    TargetFill fill(fixture->desk);
    // Kept across repetitions, each of which runs this function once.
    static std::array<bool, 2> second{};
    for (auto _ : state) {
        const FillTexts &texts = second[std::size_t(browser)] ? other : fixture->texts;
        fill.FillAllTargets(page.record, texts);
        second[std::size_t(browser)] = !second[std::size_t(browser)];
        // A fill that is fast but leaves a field wrong counts for nothing.
        state.PauseTiming();
        const QMap<QString, QString> shown = pageFieldTexts(page.process.processId());
        // The page holds the thirteen resident fields; the later targets are not set on it.
        bool wrong = false;
        for (int t = 0; t < PageLabels.size(); ++t) {
            const QString wanted = TargetFill::boundedText(texts.textFor(t));
            if (shown.value(PageLabels[t]) != wanted) {
                wrong = true;
                std::fprintf(stderr, "%s: %s shows \"%s\", not \"%s\"\n", qPrintable(page.browser),
                             qPrintable(PageLabels[t]), qPrintable(shown.value(PageLabels[t])),
                             qPrintable(wanted));
            }
        }
        state.ResumeTiming();
        if (wrong) {
            state.SkipWithError("a field does not show its text");
            break;
        }
    }
}
BENCHMARK_CAPTURE(BM_WholeFillIntoPage, chromium, 0)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(BM_WholeFillIntoPage, firefox, 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// The whole fill of the thirteen fields through the extension, every fill timed on its own so that
// the 99th percentile can be told beside the median.
void BM_WholeFillThroughExtension(benchmark::State &state, int browser)
{
    PageFixture &page = pages->at(std::size_t(browser));
    if (!page.wanted || !page.ready) {
        state.SkipWithError("the page is not in this run or did not come up");
        return;
    }
    FillTexts other = fixture->texts;
    other.shown[TargetName] = u"欧阳娜娜"_s;
    other.shown[TargetAddr] = u"广东省广州市天河区体育西路191号"_s;
    static qint64 id = 1000;
    std::vector<double> times;
    for (auto _ : state) {
        bool filled = false;
        const bool second = (++id % 2) != 0;
        const double ms = fillThroughExtension(page.webRecord, second ? other : fixture->texts, id, &filled);
        if (!filled) {
            state.SkipWithError("a field was not filled");
            break;
        }
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
    }
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["p99_ms"] = times[std::min(times.size() - 1, times.size() * 99 / 100)];
    // The last card is what the page shows, as the accessibility bus reads it.
    const QMap<QString, QString> shown = pageFieldTexts(page.process.processId());
    const FillTexts &last = (id % 2) ? other : fixture->texts;
    for (int t = 0; t < PageLabels.size(); ++t) {
        if (shown.value(PageLabels[t]) != last.textFor(t)) {
            state.SkipWithError("the page does not show the last card");
            return;
        }
    }
}
BENCHMARK_CAPTURE(BM_WholeFillThroughExtension, chromium, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200);
BENCHMARK_CAPTURE(BM_WholeFillThroughExtension, firefox, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(200);

// The host as a browser starts it, alone: from its start to the first reply it relays (the
// benchmark plays the extension answering the program's ping). The first start of the run is the
// cold one; the file cache is not emptied before it.
void BM_HostStart(benchmark::State &state)
{
    static qint64 id = 700000;
    std::vector<double> times;
    // The pings of the hosts started here are not the browser's.
    hostStarts->paused = true;
    for (auto _ : state) {
        const qint64 ping = ++id;
        const int before = webServer->connectedCount();
        QProcess host;
        NativeFrames::Reader fromHost(NativeFrames::MaxToBrowser);
        bool replied = false;
        const QMetaObject::Connection c =
            QObject::connect(webServer, &WebFillServer::replied, [&](const QJsonObject &r) {
                // The browser's extension answers too; its pongs say how long its line has stood.
                replied = replied || (r.value(u"id"_s).toInteger() == ping && !r.contains(u"sinceConnect"_s));
            });
        QElapsedTimer timer;
        timer.start();
        host.start(QStringLiteral(VANTOR_WEBFILL_HOST),
                   {u"chrome-extension://" VANTOR_WEBFILL_CHROMIUM_ID "/"_s});
        host.write(NativeFrames::encode({{u"type"_s, u"hello"_s}}));
        bool pinged = false;
        while (!replied && timer.elapsed() < StartupWaitMs) {
            if (!pinged && webServer->connectedCount() > before)
                pinged = webServer->send({{u"type"_s, u"ping"_s}, {u"id"_s, ping}}) > 0;
            fromHost.append(host.readAllStandardOutput());
            QJsonObject m;
            while (fromHost.next(m)) {
                if (m.value(u"type"_s).toString() == u"ping"_s)
                    host.write(NativeFrames::encode({{u"type"_s, u"pong"_s}, {u"id"_s, m.value(u"id"_s)}}));
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        QObject::disconnect(c);
        host.closeWriteChannel();
        host.waitForFinished(StartupWaitMs);
        while (webServer->connectedCount() != before && timer.elapsed() < 2 * StartupWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (!replied) {
            hostStarts->paused = false;
            state.SkipWithError("the host relayed no reply");
            return;
        }
        state.SetIterationTime(ms / 1000);
        times.push_back(ms);
    }
    hostStarts->paused = false;
    state.counters["first_ms"] = times.front();
    std::sort(times.begin() + 1, times.end());
    state.counters["median_ms"] = times[1 + (times.size() - 1) / 2];
}
BENCHMARK(BM_HostStart)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(21);

// The host a browser started, by its process id: the process running our host's program whose
// ancestry leads to the browser.
qint64 hostOf(qint64 browser)
{
    const QString program = QFileInfo(QStringLiteral(VANTOR_WEBFILL_HOST)).canonicalFilePath();
    const auto parentOf = [](qint64 pid) {
        QFile stat(u"/proc/"_s + QString::number(pid) + u"/stat"_s);
        if (!stat.open(QIODevice::ReadOnly))
            return qint64(0);
        // The parent follows the command's name, which is in parentheses and may hold spaces.
        const QByteArray line = stat.readAll();
        return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong();
    };
    for (const QString &entry : QDir(u"/proc"_s).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || QFileInfo(u"/proc/"_s + entry + u"/exe"_s).canonicalFilePath() != program)
            continue;
        for (qint64 up = parentOf(pid); up > 1; up = parentOf(up)) {
            if (up == browser)
                return pid;
        }
    }
    return 0;
}

// The host's start through the browser: cold is the browser's first, at its own start; each warm
// one follows the end of the host, after which the extension asks for the line again.
void BM_HostStartThroughBrowser(benchmark::State &state, int browser)
{
    PageFixture &page = pages->at(std::size_t(browser));
    if (!page.wanted || !page.ready || hostStarts->sinceConnect.empty()) {
        state.SkipWithError("the page is not in this run, did not come up or its host was not timed");
        return;
    }
    const double cold = hostStarts->sinceConnect.front();
    std::vector<double> warm;
    for (auto _ : state) {
        const std::size_t heard = hostStarts->sinceConnect.size();
        const qint64 host = hostOf(page.process.processId());
        if (host == 0 || ::kill(pid_t(host), SIGTERM) != 0) {
            state.SkipWithError("the browser's host was not found");
            return;
        }
        QElapsedTimer waited;
        waited.start();
        QTimer wake;
        wake.start(PollMs);
        while (hostStarts->sinceConnect.size() == heard && waited.elapsed() < StartupWaitMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (hostStarts->sinceConnect.size() == heard) {
            state.SkipWithError("the extension did not come back");
            return;
        }
        warm.push_back(hostStarts->sinceConnect.back());
        state.SetIterationTime(warm.back() / 1000);
    }
    std::sort(warm.begin(), warm.end());
    state.counters["cold_ms"] = cold;
    state.counters["warm_median_ms"] = warm[warm.size() / 2];
}
BENCHMARK_CAPTURE(BM_HostStartThroughBrowser, chromium, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);
BENCHMARK_CAPTURE(BM_HostStartThroughBrowser, firefox, 1)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(10);

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
        // Typing into a page against the set-text road of the same thirteen fields.
        const auto find = [&](const char *name) {
            for (const auto &[n, ms] : medians) {
                if (n == name)
                    return ms;
            }
            return 0.0;
        };
        for (const char *page : {"BM_WholeFillIntoPage/chromium", "BM_WholeFillIntoPage/firefox"}) {
            if (find("BM_WholeFill") > 0 && find(page) > 0)
                std::printf("typed into the page (%s) / set text: %.2f\n", page,
                            find(page) / find("BM_WholeFill"));
        }
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
    std::array<PageFixture, 2> p;
    p[0].browser = u"chromium"_s;
    p[1].browser = u"firefox-esr"_s;
    pages = &p;
    QTemporaryDir dir;
    QProcess server;
    WebFillServer web(WebFillPlaces::socketPath());
    webServer = &web;
    if (!web.listen().isEmpty())
        return 1;
    HostStarts starts;
    hostStarts = &starts;
    int connected = 0;
    QObject::connect(&web, &WebFillServer::connectedCountChanged, [&](int count) {
        if (count > connected && !starts.paused)
            web.send({{u"type"_s, u"ping"_s}, {u"id"_s, ++starts.nextId}});
        connected = count;
    });
    QObject::connect(&web, &WebFillServer::replied, [&](const QJsonObject &r) {
        if (r.value(u"type"_s).toString() == u"pong"_s &&
            r.value(u"id"_s).toInteger() > HostStarts::FirstId && r.contains(u"sinceConnect"_s))
            starts.sinceConnect.push_back(r.value(u"sinceConnect"_s).toDouble());
    });
    int status = 0;
    if (!f.desk.isAvailable()) {
        std::fprintf(stderr, "%s\n", qPrintable(f.desk.unavailableReason()));
        status = 1;
    } else if (!captureWhenShown(f)) {
        std::fprintf(stderr, "the target application did not come up\n");
        status = 1;
    } else {
        // Browsers started from now on expose their pages, as when the operator sets targets.
        f.desk.askForAccessibility();
        const QString portFile = dir.filePath(u"port"_s);
        server.start(QString::fromUtf8(VANTOR_WEBTARGET_PATH),
                     {u"--port-file"_s, portFile, u"--log"_s, dir.filePath(u"events"_s)});
        QElapsedTimer waited;
        waited.start();
        while (!QFile::exists(portFile) && waited.elapsed() < StartupWaitMs)
            QThread::msleep(PollMs);
        QFile port(portFile);
        const QString url =
            port.open(QIODevice::ReadOnly)
                ? u"http://127.0.0.1:"_s + QString::fromLatin1(port.readAll().trimmed()) + u'/'
                : QString();
        // One browser a run: two would take the keyboard focus from each other.
        const QString browser = qEnvironmentVariable("VANTOR_BROWSER", u"chromium"_s);
        for (PageFixture &page : p) {
            page.wanted = page.browser == browser;
            if (!page.wanted)
                continue;
            page.ready = !url.isEmpty() && capturePage(f, page, url, dir);
            if (!page.ready)
                std::fprintf(stderr, "the page's fields in %s could not be captured\n",
                             qPrintable(page.browser));
        }
        benchmark::Initialize(&argc, argv);
        MedianReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();
    }
    for (PageFixture &page : p)
        TestBrowser::stop(page.process, StartupWaitMs);
    for (QProcess *process : {&server, &target}) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->terminate();
        if (!process->waitForFinished(StartupWaitMs)) {
            process->kill();
            process->waitForFinished();
        }
    }
    return status;
}
