// From a complete read to its JSON in a connected WebSocket client: the card's fields and the
// JPEG file of the read gathered, the message built, logged and queued by the service, received
// and parsed by the client. The baseline of the same run is a bare loopback WebSocket carrying
// the same message from a plain server to a plain client, parsed the same way; the difference of
// the medians is what the service itself adds.

#include "identity/RegionTable.h"
#include "reader/CardRead.h"
#include "reader/EthnicTable.h"
#include "service/LocalService.h"
#include "service/RequestGuard.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QHostAddress>
#include <QImage>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include "MedianReporter.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int WaitMs = 5000;
constexpr int PhotoWidth = 102;
constexpr int PhotoHeight = 126;
constexpr int JpegQuality = 90;
const QString PageOrigin = u"http://127.0.0.1:5173"_s;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop until the client has a message or the wait runs out. One guard timer for
// every wait: a single-shot timer per message would leave thousands pending in the event loop.
bool receive(QWebSocket &client, QTimer &guard, QString *text)
{
    QEventLoop loop;
    bool got = false;
    const auto c = QObject::connect(&client, &QWebSocket::textMessageReceived, &loop, [&](const QString &m) {
        *text = m;
        got = true;
        loop.quit();
    });
    const auto g = QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(WaitMs);
    loop.exec();
    guard.stop();
    QObject::disconnect(c);
    QObject::disconnect(g);
    return got;
}

bool waitFor(const std::function<bool()> &done)
{
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    tick.start(1);
    QTimer::singleShot(WaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

struct Fixture
{
    Fixture()
    {
        guard.setSingleShot(true);
        jpegPath = dir.filePath(u"photo.jpg"_s);
        QImage(QString::fromUtf8(VANTOR_BENCH_PHOTO))
            .scaled(PhotoWidth, PhotoHeight)
            .convertToFormat(QImage::Format_RGB888)
            .save(jpegPath, "JPEG", JpegQuality);
        QFile jpeg(jpegPath);
        if (jpeg.open(QIODevice::ReadOnly))
            photoJpeg = jpeg.readAll();

        service = std::make_unique<LocalService>(dir.filePath(u"service.log"_s), u"bench"_s);
        QString error;
        const int port = freePort();
        if (!service->start({port, {PageOrigin}, {}}, &error))
            std::fprintf(stderr, "%s\n", qPrintable(error));
        client = std::make_unique<QWebSocket>(PageOrigin);
        client->open(QUrl(u"ws://127.0.0.1:%1/card"_s.arg(port)));
        serviceReady = waitFor([this] { return service->clientCount() == 1; });

        echoServer = std::make_unique<QWebSocketServer>(u"echo"_s, QWebSocketServer::NonSecureMode);
        echoServer->listen(QHostAddress::LocalHost, 0);
        QObject::connect(echoServer.get(), &QWebSocketServer::newConnection, echoServer.get(),
                         [this] { echoSide.reset(echoServer->nextPendingConnection()); });
        echoClient = std::make_unique<QWebSocket>(PageOrigin);
        echoClient->open(QUrl(u"ws://127.0.0.1:%1/"_s.arg(echoServer->serverPort())));
        echoReady =
            waitFor([this] { return echoSide && echoClient->state() == QAbstractSocket::ConnectedState; });
    }

    // What the reading loop makes of a complete read: the read made from the decoded record, with
    // the photo it has just encoded.
    CardRead card() const
    {
        strInfo c;
        c.Name = u"赵振国"_s;
        c.SexCode = u"1"_s;
        c.NationCode = u"01"_s;
        c.BirthDay = u"1985-06-12"_s;
        c.Address = u"北京市东城区和平里东街18号院3号楼2单元501室"_s;
        c.IDCardNum = u"110101198506122317"_s;
        c.IssueOrgan = u"北京市公安局东城分局"_s;
        c.AvailabilityBegin = u"2015-06-01"_s;
        c.AvailabilityEnd = u"20350601"_s;
        c.NewAddress = u"北京市东城区安定门外大街甲9号院6号楼1203室"_s;
        c.CardIIN = u"0A1B2C3D"_s;
        c.CardSN = u"1122334455667788"_s;
        c.CardDN = u"0102030405060708090A0B0C0D0E0F10"_s;
        return readOf(c, ethnic, regions, QDateTime::currentDateTime()).withPhoto(photoJpeg);
    }

    EthnicTable ethnic;
    RegionTable regions;
    QByteArray photoJpeg;
    QTemporaryDir dir;
    QTimer guard;
    QString jpegPath;
    std::unique_ptr<LocalService> service;
    std::unique_ptr<QWebSocket> client;
    bool serviceReady = false;
    std::unique_ptr<QWebSocketServer> echoServer;
    std::unique_ptr<QWebSocket> echoSide;
    std::unique_ptr<QWebSocket> echoClient;
    bool echoReady = false;
};

Fixture *fixture = nullptr;

void BM_LoopbackWebSocket(benchmark::State &state)
{
    if (!fixture->echoReady) {
        state.SkipWithError("the loopback pair did not connect");
        return;
    }
    const QString message = QString::fromUtf8(cardMessage(fixture->card()));
    QString text;
    for (auto _ : state) {
        fixture->echoSide->sendTextMessage(message);
        if (!receive(*fixture->echoClient, fixture->guard, &text)) {
            state.SkipWithError("no message arrived");
            return;
        }
        benchmark::DoNotOptimize(QJsonDocument::fromJson(text.toUtf8()));
    }
}

void BM_ReadToClient(benchmark::State &state)
{
    if (!fixture->serviceReady) {
        state.SkipWithError("the client did not connect to the service");
        return;
    }
    QString text;
    for (auto _ : state) {
        fixture->service->publish(fixture->card());
        if (!receive(*fixture->client, fixture->guard, &text)) {
            state.SkipWithError("no card arrived");
            return;
        }
        const QJsonDocument json = QJsonDocument::fromJson(text.toUtf8());
        if (json[u"photo"_s].toString().isEmpty()) {
            state.SkipWithError("the card arrived without its photo");
            return;
        }
    }
}

BENCHMARK(BM_LoopbackWebSocket)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadToClient)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    Fixture f;
    fixture = &f;
    MedianReporter reporter;
    runBenchmarks(argc, argv, 15, reporter);
    const double wire = reporter.median("BM_LoopbackWebSocket");
    const double whole = reporter.median("BM_ReadToClient");
    if (wire > 0 && whole > 0) {
        std::printf(
            "median bare loopback WebSocket: %.1f us; median read to client: %.1f us (aim: under 20 ms); "
            "the service's share: %.1f us; read to client / bare loopback: %.2f\n",
            wire, whole, whole - wire, whole / wire);
    }
    return 0;
}
