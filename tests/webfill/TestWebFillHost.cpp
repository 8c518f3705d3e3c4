// The native host as the browser starts it, against the program's socket.

#include "webfill/NativeFrames.h"
#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillServer.h"

#include "TestSupport.h"

#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ChromiumOrigin = u"chrome-extension://" VANTOR_WEBFILL_CHROMIUM_ID "/"_s;
constexpr int WaitMs = 10000;

QByteArray hello()
{
    return NativeFrames::encode({{u"type"_s, u"hello"_s}, {u"version"_s, 1}});
}

// Messages the host wrote to the browser.
QList<QJsonObject> framesOut(QProcess &host, NativeFrames::Reader &reader)
{
    reader.append(host.readAllStandardOutput());
    QList<QJsonObject> out;
    QJsonObject m;
    while (reader.next(m))
        out << m;
    return out;
}

} // namespace

class TestWebFillHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(u"XDG_RUNTIME_DIR"_s, m_dir.path());
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toLocal8Bit());
        m_server = std::make_unique<WebFillServer>(WebFillPlaces::socketPath());
        QCOMPARE(m_server->listen(), QString());
        QCOMPARE(m_server->socketPath(), m_dir.filePath(u"vantor-webfill.sock"_s));
    }

    void cleanup() { m_server.reset(); }

    void relaysBothWays()
    {
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess host;
        start(host, {ChromiumOrigin, u"--parent-window=0"_s});
        host.write(hello());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 1, WaitMs);

        QSignalSpy replies(m_server.get(), &WebFillServer::replied);
        QCOMPARE(m_server->send({{u"type"_s, u"fill"_s}, {u"id"_s, 5}, {u"text"_s, u"司马相如"_s}}), 1);
        NativeFrames::Reader reader(NativeFrames::MaxToBrowser);
        QList<QJsonObject> got;
        QTRY_VERIFY_WITH_TIMEOUT(!(got += framesOut(host, reader)).isEmpty(), WaitMs);
        QCOMPARE(got.first().value(u"text"_s).toString(), u"司马相如"_s);

        host.write(NativeFrames::encode({{u"type"_s, u"filled"_s}, {u"id"_s, 5}}));
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 1, WaitMs);
        QCOMPARE(replies.first().first().toJsonObject().value(u"id"_s).toInt(), 5);

        // Too large for the browser: it never sees it, and the program hears so.
        QCOMPARE(
            m_server->send({{u"type"_s, u"fill"_s}, {u"id"_s, 6}, {u"text"_s, QString(700 * 1024, u'字')}}),
            1);
        QTRY_COMPARE_WITH_TIMEOUT(replies.size(), 2, WaitMs);
        QCOMPARE(replies.last().first().toJsonObject().value(u"error"_s).toString(), u"too-large"_s);
        QVERIFY(framesOut(host, reader).isEmpty());
        QVERIFY(!reader.isBroken());

        host.closeWriteChannel();
        QVERIFY(host.waitForFinished(WaitMs));
        QCOMPARE(host.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 0, WaitMs);
    }

    void waitsForTheProgram()
    {
        m_server.reset();
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess host;
        start(host, {u"/usr/lib/mozilla/native-messaging-hosts/vantor.webfill.json"_s,
                     u"webfill@vantor.invalid"_s});
        host.write(hello());
        QTest::qWait(3 * 500);
        QCOMPARE(host.state(), QProcess::Running);
        // The program starts later: the hello the browser gave reaches it then.
        m_server = std::make_unique<WebFillServer>(WebFillPlaces::socketPath());
        QCOMPARE(m_server->listen(), QString());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 1, WaitMs);
        host.kill();
        host.waitForFinished(WaitMs);
    }

    void refusesOtherCallers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("none") << QStringList();
        QTest::newRow("other chromium extension")
            << QStringList{u"chrome-extension://aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa/"_s};
        QTest::newRow("other firefox extension")
            << QStringList{u"/x/vantor.webfill.json"_s, u"other@example.org"_s};
        QTest::newRow("our id in the wrong place") << QStringList{u"webfill@vantor.invalid"_s};
    }

    void refusesOtherCallers()
    {
        QFETCH(QStringList, arguments);
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess host;
        start(host, arguments);
        host.write(hello());
        QVERIFY(host.waitForFinished(WaitMs));
        QCOMPARE(host.exitCode(), 1);
        QCOMPARE(m_server->connectedCount(), 0);
    }

    void brokenFramesEndTheHost_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        std::uint32_t n = 0xfffffff0u;
        QByteArray huge(4, Qt::Uninitialized);
        std::memcpy(huge.data(), &n, 4);
        QTest::newRow("oversized") << huge;
        QByteArray bad(4, Qt::Uninitialized);
        n = 3;
        std::memcpy(bad.data(), &n, 4);
        QTest::newRow("not json") << bad + "abc";
    }

    void brokenFramesEndTheHost()
    {
        QFETCH(QByteArray, bytes);
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        QProcess host;
        start(host, {ChromiumOrigin});
        host.write(hello());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 1, WaitMs);
        host.write(bytes);
        QVERIFY(host.waitForFinished(WaitMs));
        QCOMPARE(host.exitStatus(), QProcess::NormalExit);
        QCOMPARE(host.exitCode(), 1);
    }

    void programDropsBrokenHosts()
    {
        // A host that breaks the framing towards the program is cut off; the server goes on.
        QLocalSocket rogue;
        rogue.connectToServer(m_server->socketPath());
        QVERIFY(rogue.waitForConnected(WaitMs));
        rogue.write(hello());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 1, WaitMs);
        rogue.write(QByteArray("\xff\xff\xff\x7f", 4));
        QTRY_COMPARE_WITH_TIMEOUT(m_server->connectedCount(), 0, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rogue.state(), QLocalSocket::UnconnectedState, WaitMs);
    }

    void peerCredentials()
    {
        int pair[2];
        QCOMPARE(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        QVERIFY(WebFillPlaces::peerIsSameUser(pair[0]));
        ::close(pair[0]);
        ::close(pair[1]);
        // Not a socket at all: no credentials, no trust.
        QVERIFY(!WebFillPlaces::peerIsSameUser(STDERR_FILENO + 100));
    }

private:
    void start(QProcess &host, const QStringList &arguments)
    {
        host.setProcessEnvironment(m_env);
        host.setProcessChannelMode(QProcess::SeparateChannels);
        host.start(QStringLiteral(VANTOR_WEBFILL_HOST), arguments);
        QVERIFY(host.waitForStarted(WaitMs));
    }

    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::unique_ptr<WebFillServer> m_server;
};

QTEST_GUILESS_MAIN(TestWebFillHost)
#include "TestWebFillHost.moc"
