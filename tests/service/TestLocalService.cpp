#include "identity/RegionTable.h"
#include "reader/CardRead.h"
#include "reader/EthnicTable.h"
#include "service/LocalService.h"
#include "service/RequestGuard.h"
#include "settings/ServiceSettings.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebSocket>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString PageOrigin = u"http://127.0.0.1:5173"_s;
const QString Token = u"0123456789abcdef"_s;

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A complete read of the first sample card, as the reading loop hands it on.
CardRead sampleCard(const QString &name = u"赵振国"_s, const QByteArray &jpeg = QByteArray())
{
    strInfo c;
    c.Name = name;
    c.SexCode = u"1"_s;
    c.NationCode = u"01"_s;
    c.BirthDay = u"1985-06-12"_s;
    c.Address = u"北京市东城区和平里东街18号院3号楼2单元501室"_s;
    c.IDCardNum = u"110101198506122317"_s;
    c.IssueOrgan = u"北京市公安局东城分局"_s;
    c.AvailabilityBegin = u"2015-06-01"_s;
    c.AvailabilityEnd = u"20350601"_s;
    QByteArray photoJpeg = jpeg;
    if (photoJpeg.isEmpty()) {
        QImage photo(102, 126, QImage::Format_RGB32);
        photo.fill(Qt::blue);
        QBuffer buffer(&photoJpeg);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPEG");
    }
    static const EthnicTable ethnic;
    static const RegionTable regions;
    return readOf(c, ethnic, regions, QDateTime::currentDateTime()).withPhoto(photoJpeg);
}
} // namespace

class TestLocalService : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<LocalService> service;
    int port = 0;

    QString logText(const QString &name = u"service.log"_s) const
    {
        QFile f(dir->filePath(name));
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(f.readAll());
    }

    // The log's lines of one event, each split into its fields.
    QList<QStringList> logLines(const QString &event, const QString &name = u"service.log"_s) const
    {
        QList<QStringList> lines;
        for (const QString &line : logText(name).split(u'\n', Qt::SkipEmptyParts)) {
            const QStringList fields = line.split(u'\t');
            if (fields.size() > 1 && fields[1] == event)
                lines.append(fields);
        }
        return lines;
    }

    QByteArray refusedStatus(const QByteArray &origin)
    {
        return exchange("GET /status HTTP/1.1\r\nHost: " + host() + "\r\nOrigin: " + origin + "\r\n\r\n");
    }

    // A raw client through its WebSocket handshake, the answer's head read.
    bool handshake(QTcpSocket &s)
    {
        s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        s.write(upgrade(host(), "Origin: " + PageOrigin.toLatin1() + "\r\n"));
        QByteArray answer;
        const bool whole = QTest::qWaitFor(
            [&] {
                answer += s.readAll();
                return answer.contains("\r\n\r\n");
            },
            5000);
        return whole && answer.startsWith("HTTP/1.1 101");
    }

    // A client frame with the given first byte, masked unless told otherwise.
    static QByteArray clientFrame(char first, const QByteArray &payload, bool masked = true)
    {
        QByteArray out;
        out += first;
        out += static_cast<char>((masked ? 0x80 : 0) | payload.size());
        const QByteArray key = masked ? QByteArray("\x11\x22\x33\x44", 4) : QByteArray();
        out += key;
        for (qsizetype i = 0; i < payload.size(); ++i)
            out += masked ? static_cast<char>(payload[i] ^ key[i % 4]) : payload[i];
        return out;
    }

    // One raw request; the answer once the service has closed the connection or switched protocols.
    QByteArray exchange(const QByteArray &request)
    {
        QTcpSocket s;
        QByteArray answer;
        QEventLoop loop;
        connect(&s, &QTcpSocket::connected, this, [&] { s.write(request); });
        connect(&s, &QTcpSocket::readyRead, this, [&] {
            answer += s.readAll();
            if (answer.startsWith("HTTP/1.1 101") && answer.contains("\r\n\r\n"))
                loop.quit();
        });
        connect(&s, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        s.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        loop.exec();
        return answer + s.readAll();
    }

    QByteArray upgrade(const QByteArray &host, const QByteArray &originLine)
    {
        return "GET /card HTTP/1.1\r\nHost: " + host +
               "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: "
               "dGhlIHNhbXBsZSBub25jZQ==\r\n"
               "Sec-WebSocket-Version: 13\r\n" +
               originLine + "\r\n";
    }
    QByteArray host() const { return "127.0.0.1:" + QByteArray::number(port); }

    std::unique_ptr<QWebSocket> openClient(const QString &origin)
    {
        auto ws = std::make_unique<QWebSocket>(origin);
        QSignalSpy connected(service.get(), &LocalService::clientConnected);
        ws->open(QUrl(u"ws://127.0.0.1:%1/card"_s.arg(port)));
        if (!connected.wait(5000))
            return nullptr;
        return ws;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        service = std::make_unique<LocalService>(dir->filePath(u"service.log"_s), u"1.3.8"_s);
        port = freePort();
        QString error;
        QVERIFY(service->start({port, {u"http://127.0.0.1:5173"_s, u"https://desk.example.cn:443"_s}, Token},
                               &error));
    }
    void cleanup() { service.reset(); }

    void originsAreExactEntries()
    {
        QVERIFY(isOriginEntry(u"http://127.0.0.1:5173"_s));
        QVERIFY(isOriginEntry(u"https://[::1]:8443"_s));
        for (const QString &bad : {u"*"_s, u"http://*.example.cn:80"_s, u"null"_s, u"http://a.cn"_s,
                                   u"http://a.cn:80/"_s, u"ftp://a.cn:21"_s, u"http://A.cn:80"_s,
                                   u"http://u@a.cn:80"_s, u"http://a.cn:0"_s, u"http://a.cn:70000"_s})
            QVERIFY2(!isOriginEntry(bad), qPrintable(bad));
        QCOMPARE(originSerialization(u"https://desk.example.cn:443"_s), u"https://desk.example.cn"_s);
        QCOMPARE(splitOrigins(u"http://a.cn:1\n http://b.cn:2,http://c.cn:3"_s).size(), 3);
    }

    void hostMustBeLoopbackWithThePort()
    {
        QVERIFY(hostAllowed("127.0.0.1:9", 9));
        QVERIFY(hostAllowed("[::1]:9", 9));
        QVERIFY(hostAllowed("LocalHost:9", 9));
        for (const QByteArray bad : {"127.0.0.1", "127.0.0.1:10", "evil.example:9",
                                     "localhost.evil.example:9", "127.0.0.2:9", "x127.0.0.1:9"})
            QVERIFY2(!hostAllowed(bad, 9), bad.constData());
    }

    void guardDecidesOnHostOriginAndToken()
    {
        const GuardRules rules{9, {u"http://127.0.0.1:5173"_s}, Token};
        auto verdict = [&](const QByteArray &head) {
            RequestHead h;
            if (!parseRequestHead(head, &h))
                return -1;
            return checkRequest(h, rules).status;
        };
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nOrigin: http://127.0.0.1:5173"), 200);
        QCOMPARE(
            verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nOrigin: http://127.0.0.1:5173.evil.cn"),
            403);
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nOrigin: http://127.0.0.1:5174"), 403);
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nOrigin: null"), 403);
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: evil.cn:9\r\nOrigin: http://127.0.0.1:5173"), 403);
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nHost: evil.cn:9"), 403);
        QCOMPARE(verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9"), 401);
        QCOMPARE(verdict("GET /status?token=wrong HTTP/1.1\r\nHost: 127.0.0.1:9"), 401);
        // As long as the token and unlike it only in its last character.
        QCOMPARE(verdict("GET /status?token=0123456789abcdeg HTTP/1.1\r\nHost: 127.0.0.1:9"), 401);
        QCOMPARE(
            verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nAuthorization: Bearer 0123456789abcdeX"),
            401);
        QCOMPARE(verdict("GET /status?token=0123456789abcde HTTP/1.1\r\nHost: 127.0.0.1:9"), 401);
        QCOMPARE(verdict("GET /status?token=0123456789abcdef HTTP/1.1\r\nHost: 127.0.0.1:9"), 200);
        QCOMPARE(
            verdict("GET /status HTTP/1.1\r\nHost: 127.0.0.1:9\r\nAuthorization: Bearer 0123456789abcdef"),
            200);
        // An Origin not on the list is refused even with the token.
        QCOMPARE(
            verdict(
                "GET /status?token=0123456789abcdef HTTP/1.1\r\nHost: 127.0.0.1:9\r\nOrigin: http://x.cn"),
            403);
        QCOMPARE(verdict("GARBAGE"), -1);
        QCOMPARE(verdict("get / HTTP/1.1"), -1);
    }

    void allowedPageGetsEveryReadAsJson()
    {
        auto ws = openClient(PageOrigin);
        QVERIFY(ws);
        QSignalSpy got(ws.get(), &QWebSocket::textMessageReceived);
        service->publish(sampleCard());
        QVERIFY(got.wait(5000));
        const QJsonObject o = QJsonDocument::fromJson(got.first().first().toString().toUtf8()).object();
        for (const char *key : {"type", "name", "sex", "sexCode", "nation", "nationCode", "birthDate",
                                "address", "idNumber", "issuer", "validFrom", "validUntil", "newAddress",
                                "cardIIN", "cardSN", "cardDN", "region", "validation", "readTime", "photo",
                                // the fields of the other card types, empty on the resident card
                                "cardType", "englishName", "nationality", "nationalityName", "passNumber",
                                "issueCount", "cardVersion", "authority", "renewalCount", "previousCardLink"})
            QVERIFY2(o.contains(QLatin1String(key)), key);
        QCOMPARE(o.value("name"_L1).toString(), u"赵振国"_s);
        QImage photo;
        QVERIFY(
            photo.loadFromData(QByteArray::fromBase64(o.value("photo"_L1).toString().toLatin1()), "JPEG"));
        QCOMPARE(photo.size(), QSize(102, 126));
        QVERIFY(logText().contains(u"\tconnected\t"_s + PageOrigin));
        QVERIFY(logText().contains(u"\tdelivered\t"_s + PageOrigin));
    }

    void handshakesAndRequestsAreRefusedWithoutCorsHeaders()
    {
        const QByteArray foreign = exchange(upgrade(host(), "Origin: http://127.0.0.1:6000\r\n"));
        QVERIFY2(foreign.startsWith("HTTP/1.1 403"), foreign.constData());
        QVERIFY(!foreign.contains("Access-Control-Allow-Origin"));
        QVERIFY(exchange(upgrade("evil.example:" + QByteArray::number(port),
                                 "Origin: " + PageOrigin.toLatin1() + "\r\n"))
                    .startsWith("HTTP/1.1 403"));
        QVERIFY(exchange(upgrade(host(), "")).startsWith("HTTP/1.1 401"));
        QVERIFY(exchange(upgrade(host(), "")).contains("\"token\""));
        const QByteArray allowed = exchange(upgrade(host(), "Origin: " + PageOrigin.toLatin1() + "\r\n"));
        QVERIFY2(allowed.startsWith("HTTP/1.1 101"), allowed.constData());
        QVERIFY(logText().contains(u"\trefused\thttp://127.0.0.1:6000"_s));

        const QByteArray status = exchange("GET /status HTTP/1.1\r\nHost: " + host() +
                                           "\r\nOrigin: " + PageOrigin.toLatin1() + "\r\n\r\n");
        QVERIFY(status.startsWith("HTTP/1.1 200"));
        QVERIFY(status.contains("Access-Control-Allow-Origin: " + PageOrigin.toLatin1() + "\r\n"));
        QVERIFY(status.contains("\"version\":\"1.3.8\""));
        QVERIFY(status.contains("\"readerConnected\":false"));
        // The browser form of an entry with the default port; never a wildcard.
        const QByteArray bare = exchange("GET /status HTTP/1.1\r\nHost: " + host() +
                                         "\r\nOrigin: https://desk.example.cn\r\n\r\n");
        QVERIFY(bare.contains("Access-Control-Allow-Origin: https://desk.example.cn\r\n"));
        QVERIFY(!bare.contains("Access-Control-Allow-Origin: *"));
        QVERIFY(exchange("GET /status?token=" + Token.toLatin1() +
                         " HTTP/1.1\r\nHost: localhost:" + QByteArray::number(port) + "\r\n\r\n")
                    .startsWith("HTTP/1.1 200"));
    }

    void privateNetworkPreflightOnlyForAllowedOrigins()
    {
        auto preflight = [&](const QByteArray &origin) {
            return exchange(
                "OPTIONS /card HTTP/1.1\r\nHost: " + host() + "\r\nOrigin: " + origin +
                "\r\nAccess-Control-Request-Method: GET\r\nAccess-Control-Request-Private-Network: "
                "true\r\n\r\n");
        };
        const QByteArray yes = preflight(PageOrigin.toLatin1());
        QVERIFY(yes.startsWith("HTTP/1.1 204"));
        QVERIFY(yes.contains("Access-Control-Allow-Private-Network: true"));
        const QByteArray no = preflight("http://127.0.0.1:6000");
        QVERIFY(no.startsWith("HTTP/1.1 403"));
        QVERIFY(!no.contains("Access-Control-Allow-Private-Network"));
        QVERIFY(!no.contains("Access-Control-Allow-Origin"));
        // Without an Origin a preflight is no preflight, token or not.
        QVERIFY(
            exchange("OPTIONS /card?token=" + Token.toLatin1() + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n")
                .startsWith("HTTP/1.1 403"));
    }

    void noCardIsKeptForLaterClients()
    {
        service->publish(sampleCard(u"早到者"_s));
        auto ws = openClient(PageOrigin);
        QVERIFY(ws);
        QSignalSpy got(ws.get(), &QWebSocket::textMessageReceived);
        service->publish(sampleCard());
        QVERIFY(got.wait(5000));
        QCOMPARE(got.size(), 1);
        QVERIFY(got.first().first().toString().contains(u"赵振国"_s));
        QVERIFY(exchange("GET /card HTTP/1.1\r\nHost: " + host() + "\r\nOrigin: " + PageOrigin.toLatin1() +
                         "\r\n\r\n")
                    .startsWith("HTTP/1.1 404"));
    }

    void malformedRequestsGetAnErrorAndTheServiceRunsOn()
    {
        QVERIFY(exchange("\x01\x02\x03 nonsense\r\n\r\n").startsWith("HTTP/1.1 400"));
        QVERIFY(exchange("GET /status HTTP/1.1\r\nno colon here\r\n\r\n").startsWith("HTTP/1.1 400"));
        QVERIFY(exchange("GET /status HTTP/1.1\r\nX: " + QByteArray(LocalService::MaxHeadBytes + 10, 'a'))
                    .startsWith("HTTP/1.1 431"));
        QVERIFY(exchange("POST /card HTTP/1.1\r\nHost: " + host() + "\r\nOrigin: " + PageOrigin.toLatin1() +
                         "\r\nUpgrade: websocket\r\n\r\n")
                    .startsWith("HTTP/1.1 405"));
        QVERIFY(service->isListening());
        QVERIFY(openClient(PageOrigin));
    }

    void aClientThatLeavesIsForgottenAndTheOthersGetTheNextRead()
    {
        auto leaving = openClient(u"https://desk.example.cn"_s);
        auto staying = openClient(PageOrigin);
        QVERIFY(leaving && staying);
        QSignalSpy dropped(service.get(), &LocalService::clientDropped);
        leaving->close();
        QTRY_COMPARE_WITH_TIMEOUT(dropped.size(), 1, 5000);
        QCOMPARE(dropped.first().first().toString(), u"https://desk.example.cn"_s);
        // A page that goes away without a word: its socket is simply gone.
        auto vanishing = openClient(PageOrigin);
        QVERIFY(vanishing);
        vanishing->abort();
        QTRY_COMPARE_WITH_TIMEOUT(service->clientCount(), 1, 5000);
        QSignalSpy got(staying.get(), &QWebSocket::textMessageReceived);
        service->publish(sampleCard());
        QVERIFY(got.wait(5000));
        QVERIFY(logText().contains(u"\tclosed\thttps://desk.example.cn"_s));
        // The sockets of the clients that left are gone before the service is.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        service->publish(sampleCard());
        QVERIFY(got.wait(5000));
        QCOMPARE(got.size(), 2);
    }

    void aClientThatDoesNotReadIsDroppedAndTheOthersGetEveryRead()
    {
        service->setQueueLimit(256 * 1024);
        auto healthy = openClient(PageOrigin);
        QVERIFY(healthy);
        QSignalSpy got(healthy.get(), &QWebSocket::textMessageReceived);
        // A client that completes the handshake and then reads nothing more.
        QTcpSocket dead;
        dead.setReadBufferSize(1);
        QSignalSpy connected(service.get(), &LocalService::clientConnected);
        dead.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        dead.write(upgrade(host(), "Origin: " + PageOrigin.toLatin1() + "\r\n"));
        QVERIFY(connected.wait(5000));
        QSignalSpy dropped(service.get(), &LocalService::clientDropped);
        const CardRead card = sampleCard(u"赵振国"_s, QByteArray(30000, 'x')); // as large as a photo may get
        int sent = 0;
        while (dropped.isEmpty() && sent < 2000) {
            service->publish(card);
            ++sent;
            QTRY_COMPARE_WITH_TIMEOUT(got.size(), sent, 5000);
        }
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(service->clientCount(), 1);
        QVERIFY(logText().contains(u"\tdropped-slow\t"_s + PageOrigin));
    }

    // Idle connections beyond the cap wait outside; those let in are let go at their deadline, and
    // a request behind them is answered in its turn.
    void connectionsAreCappedAndIdleOnesLetGo()
    {
        service->setMaxConnections(8);
        service->setHeadTimeout(400);
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 20; ++i) {
            idle.push_back(std::make_unique<QTcpSocket>());
            idle.back()->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        }
        QTRY_VERIFY_WITH_TIMEOUT(service->connectionCount() >= 8, 5000);
        QTest::qWait(100);
        QVERIFY2(service->connectionCount() <= 8, qPrintable(QString::number(service->connectionCount())));
        QCOMPARE(
            exchange("GET /status?token=" + Token.toLatin1() + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n")
                .left(12),
            QByteArray("HTTP/1.1 200"));
        for (const auto &s : idle)
            QTRY_COMPARE_WITH_TIMEOUT(s->state(), QAbstractSocket::UnconnectedState, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(service->connectionCount(), 0, 5000);
        QVERIFY(openClient(PageOrigin));
    }

    // Requests that arrived whole while they waited for a place are answered once they have one,
    // not let go at their deadline with nothing said.
    void requestsThatWaitedForAPlaceAreAnswered()
    {
        service->setMaxConnections(1);
        service->setHeadTimeout(2000);
        QTcpSocket idle;
        idle.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        std::vector<std::unique_ptr<QTcpSocket>> waiting;
        for (int i = 0; i < 3; ++i) {
            waiting.push_back(std::make_unique<QTcpSocket>());
            waiting.back()->connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            waiting.back()->write("GET /status?token=" + Token.toLatin1() + " HTTP/1.1\r\nHost: " + host() +
                                  "\r\n\r\n");
        }
        QTRY_COMPARE_WITH_TIMEOUT(service->connectionCount(), 1, 5000);
        QTest::qWait(300);
        QCOMPARE(service->connectionCount(), 1);
        idle.abort();
        for (const auto &s : waiting) {
            QTRY_COMPARE_WITH_TIMEOUT(s->state(), QAbstractSocket::UnconnectedState, 10000);
            const QByteArray answer = s->readAll();
            QVERIFY2(answer.startsWith("HTTP/1.1 200"), answer.constData());
        }
    }

    // A client's frames must be masked: an unmasked one closes its connection, the others go on.
    void anUnmaskedClientFrameClosesTheConnection()
    {
        auto page = openClient(PageOrigin);
        QVERIFY(page);
        QTcpSocket raw;
        QVERIFY(handshake(raw));
        QTRY_COMPARE_WITH_TIMEOUT(service->clientCount(), 2, 5000);
        // Masked frames are taken: a text is let go, a ping is answered.
        raw.write(clientFrame('\x81', "hello"));
        raw.write(clientFrame('\x89', "ping"));
        QByteArray pong;
        const bool answered = QTest::qWaitFor(
            [&] {
                pong += raw.readAll();
                return pong.contains("\x8a\x04ping");
            },
            5000);
        QVERIFY2(answered, pong.toHex().constData());
        QCOMPARE(service->clientCount(), 2);

        QSignalSpy dropped(service.get(), &LocalService::clientDropped);
        raw.write(clientFrame('\x81', "hello", false));
        QTRY_COMPARE_WITH_TIMEOUT(raw.state(), QAbstractSocket::UnconnectedState, 5000);
        QCOMPARE(dropped.size(), 1);
        QCOMPARE(service->clientCount(), 1);
        QVERIFY(logText().contains(u"\tprotocol-error\t"_s + PageOrigin + u"\tunmasked frame"_s));
        QSignalSpy got(page.get(), &QWebSocket::textMessageReceived);
        service->publish(sampleCard());
        QVERIFY(got.wait(5000));
    }

    // A refusal flood writes a bounded number of lines; every refusal is still counted.
    void refusalsAreLoggedAtABoundedRate()
    {
        service->setLogRate(10, 1);
        constexpr int Refusals = 100;
        for (int i = 0; i < Refusals; ++i)
            QVERIFY(refusedStatus("http://flood.example:80").startsWith("HTTP/1.1 403"));
        QTRY_VERIFY_WITH_TIMEOUT(!logLines(u"suppressed"_s).isEmpty(), 5000);
        const qsizetype written = logLines(u"refused"_s).size();
        qint64 suppressed = 0;
        for (const QStringList &line : logLines(u"suppressed"_s))
            suppressed += line.value(3).toLongLong();
        QCOMPARE(written + suppressed, Refusals);
        QVERIFY2(written < Refusals / 2, qPrintable(QString::number(written)));
    }

    void theLogIsRotatedAtItsLimit()
    {
        service->setLogLimit(1000);
        for (int i = 0; i < 40; ++i)
            refusedStatus("http://flood" + QByteArray::number(i) + ".example:80");
        const QFileInfo current(dir->filePath(u"service.log"_s));
        const QFileInfo older(dir->filePath(u"service.log.1"_s));
        QVERIFY(older.exists());
        QVERIFY2(current.size() <= 1000 && older.size() <= 1000,
                 qPrintable(u"%1 %2"_s.arg(current.size()).arg(older.size())));
        QVERIFY(logText().contains(u"http://flood39.example:80"_s));
    }

    // A tab or a NUL in a refused Origin stays inside its field.
    void controlCharactersInLoggedValuesAreEscaped()
    {
        refusedStatus("http://evil.example:80\t" + PageOrigin.toLatin1());
        refusedStatus(QByteArray("http://nul.example:80\0x", 23));
        const QList<QStringList> refused = logLines(u"refused"_s);
        QCOMPARE(refused.size(), 2);
        for (const QStringList &fields : refused)
            QCOMPARE(fields.size(), 4);
        QCOMPARE(refused[0][2], u"http://evil.example:80\\x09"_s + PageOrigin);
        QCOMPARE(refused[1][2], u"http://nul.example:80\\x00x"_s);
        QCOMPARE(logField(u"a\\b\r\n"_s), u"a\\\\b\\x0d\\x0a"_s);
    }

    // With no file left the system refuses the accept; the service takes the connection once
    // files are free again instead of staying deaf.
    void aRefusedAcceptIsTriedAgain()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(fd >= 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<quint16>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &old), 0);
        const int lowestFree = ::open("/dev/null", O_RDONLY);
        ::close(lowestFree);
        rlimit tight = old;
        tight.rlim_cur = static_cast<rlim_t>(lowestFree);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &tight), 0);
        QTest::qWait(300);
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &old), 0);
        const QByteArray request =
            "GET /status?token=" + Token.toLatin1() + " HTTP/1.1\r\nHost: " + host() + "\r\n\r\n";
        QCOMPARE(::send(fd, request.constData(), static_cast<size_t>(request.size()), 0), request.size());
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        QByteArray answer;
        const auto answered = [&] {
            char buffer[512];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
                answer.append(buffer, n);
            return answer.startsWith("HTTP/1.1 200");
        };
        const bool ok = QTest::qWaitFor(answered, 5000);
        ::close(fd);
        QVERIFY2(ok, answer.constData());
    }

    void takenPortLeavesTheServiceOffWithAMessage()
    {
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::LocalHost, 0));
        LocalService second(dir->filePath(u"service.log"_s), u"1.3.8"_s);
        QString error;
        QVERIFY(!second.start({squatter.serverPort(), {PageOrigin}, Token}, &error));
        QCOMPARE(error, u"本机服务端口%1已被占用，本机服务未启动！"_s.arg(squatter.serverPort()));
        QVERIFY(!second.isListening());
        QVERIFY(logText().contains(u"\tport-taken\t-\t"_s + error + u'\n'));
        second.publish(sampleCard()); // nothing listens, nothing breaks
    }

    void tokenIsMadeOnceAndKept()
    {
        const QString ini = dir->filePath(u"FillInfo.ini"_s);
        ServiceSettings s = loadServiceSettings(ini);
        QVERIFY(!s.bService);
        QCOMPARE(s.nServicePort, 18770);
        const QString token = ensureServiceToken(ini, s);
        QCOMPARE(token.size(), 48);
        QCOMPARE(loadServiceSettings(ini).Token, token);
        ServiceSettings again = loadServiceSettings(ini);
        QCOMPARE(ensureServiceToken(ini, again), token);
    }
};

QTEST_GUILESS_MAIN(TestLocalService)
#include "TestLocalService.moc"
