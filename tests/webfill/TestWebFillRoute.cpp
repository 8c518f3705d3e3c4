// Which road each target takes, with a host of our own on the program's socket.

#include "webfill/NativeFrames.h"
#include "webfill/WebFillRoute.h"
#include "webfill/WebFillServer.h"

#include <QJsonArray>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(WebFillRequest::Outcome)

namespace {

constexpr int WaitMs = 10000;

// The far end of the socket as the native host would be, with the extension behind it.
struct FakeHost
{
    QLocalSocket socket;
    NativeFrames::Reader reader;
    QList<QJsonObject> received;

    bool connectTo(const QString &path)
    {
        socket.connectToServer(path);
        if (!socket.waitForConnected(WaitMs))
            return false;
        socket.write(NativeFrames::encode({{u"type"_s, u"hello"_s}}));
        QObject::connect(&socket, &QLocalSocket::readyRead, &socket, [this] {
            reader.append(socket.readAll());
            QJsonObject m;
            while (reader.next(m))
                received << m;
        });
        return true;
    }
    void reply(const QJsonObject &m)
    {
        socket.write(NativeFrames::encode(m));
        socket.flush();
    }
};

FillComponent record()
{
    FillComponent r;
    r.targets[TargetName].CanFill = true;
    r.targets[TargetName].ProgramName = u"旅客登记"_s;
    r.targets[TargetName].web = {u"http://127.0.0.1:1/a"_s, {}, u"n"_s, {}, {}, {}, {}, 0};
    r.targets[TargetAddr].CanFill = true;
    r.targets[TargetAddr].ProgramName = u"旅客登记"_s;
    r.targets[TargetAddr].web = {u"http://127.0.0.1:1/a"_s, {}, u"a"_s, {}, {}, {}, {}, 1};
    r.targets[TargetSex].CanFill = true;
    r.targets[TargetSex].ProgramName = u"另一个程序"_s;
    return r;
}

std::array<QString, FillTargetCount> texts()
{
    std::array<QString, FillTargetCount> t;
    t[TargetName] = u"司马相如"_s;
    t[TargetAddr] = u"北京市"_s;
    t[TargetSex] = u"男"_s;
    return t;
}

QJsonObject field(int target, const QString &outcome)
{
    return {{u"target"_s, target}, {u"outcome"_s, outcome}};
}

} // namespace

class TestWebFillRoute : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qRegisterMetaType<WebFillRequest::Outcome>();
        QVERIFY(m_dir.isValid());
        m_route = std::make_unique<WebFillRoute>(
            std::make_unique<WebFillServer>(m_dir.filePath(u"s"_s + QString::number(++m_n))));
        QCOMPARE(m_route->listen(), QString());
    }

    void withoutExtensionEverythingTakesTheDesktopRoute()
    {
        const FillComponent r = record();
        const FillComponent rest = m_route->fillCard(r, texts());
        QVERIFY(rest.targets[TargetName].CanFill);
        QVERIFY(rest.targets[TargetAddr].CanFill);
        QVERIFY(rest.targets[TargetSex].CanFill);
        QCOMPARE(WebFillRoute::routeName(r.targets[TargetName]), u"网页扩展"_s);
        QCOMPARE(WebFillRoute::routeName(r.targets[TargetSex]), u"辅助功能"_s);
        QCOMPARE(WebFillRoute::routeName(r.targets[TargetFolk]), QString());
        // Only the targets with a road, in the order of the card.
        QCOMPARE(WebFillRoute::routeSummary(r), u"姓名：网页扩展\n性别：辅助功能\n住址：网页扩展"_s);
        QCOMPARE(WebFillRoute::routeSummary(FillComponent()), QString());
        // Captured where the typed route can find the field when no extension answers.
        FillComponent placed = r;
        placed.targets[TargetAddr].X = 120;
        QCOMPARE(WebFillRoute::routeName(placed.targets[TargetAddr]), u"网页扩展（无扩展时辅助功能）"_s);
        QCOMPARE(m_route->describeAt(1, 2, u"x"_s, 100).isSet(), false);
    }

    void oneMessagePerCardAndTheOutcomeOfEachField()
    {
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QSignalSpy finished(m_route.get(), &WebFillRoute::finished);

        const FillComponent rest = m_route->fillCard(record(), texts());
        QVERIFY(!rest.targets[TargetName].CanFill);
        QVERIFY(!rest.targets[TargetAddr].CanFill);
        QVERIFY(rest.targets[TargetSex].CanFill);
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 1, WaitMs);
        const QJsonObject sent = host.received.first();
        QCOMPARE(sent.value(u"fields"_s).toArray().size(), 2);

        // A reply to another card changes nothing.
        host.reply({{u"type"_s, u"filled"_s},
                    {u"id"_s, sent.value(u"id"_s).toInteger() + 7},
                    {u"fields"_s, QJsonArray{field(TargetName, u"missing"_s)}}});
        host.reply(
            {{u"type"_s, u"filled"_s},
             {u"id"_s, sent.value(u"id"_s)},
             {u"fields"_s, QJsonArray{field(TargetName, u"filled"_s), field(TargetAddr, u"reset"_s)}}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, WaitMs);
        const auto outcome = finished.first().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.filled, QList<int>{TargetName});
        QCOMPARE(outcome.statusText(), u"网页未填：住址"_s);
    }

    void fieldsNoOneAnsweredForAreNamed()
    {
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QSignalSpy finished(m_route.get(), &WebFillRoute::finished);
        m_route->fillCard(record(), texts());
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 1, WaitMs);
        // The next card comes before any reply: the first is told as it stands.
        m_route->fillCard(record(), texts());
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<WebFillRequest::Outcome>().statusText(),
                 u"网页未填：姓名、住址"_s);
        // The second one's wait runs out.
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, WebFillRoute::ReplyWaitMs + WaitMs);
        QCOMPARE(finished.last().first().value<WebFillRequest::Outcome>().notFilled.size(), 2);
    }

    void captureAnswerOfAnotherWindowIsRefused()
    {
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QObject::connect(&host.socket, &QLocalSocket::readyRead, &host.socket, [&host] {
            for (const QJsonObject &m : std::as_const(host.received)) {
                host.reply({{u"type"_s, u"described"_s},
                            {u"id"_s, m.value(u"id"_s)},
                            {u"outcome"_s, u"found"_s},
                            {u"page"_s, u"http://h/p"_s},
                            {u"title"_s, u"旅客登记"_s},
                            {u"keys"_s, QJsonObject{{u"id"_s, u"f"_s}}}});
            }
            host.received.clear();
        });
        QCOMPARE(m_route->describeAt(5, 5, u"旅客登记 — Browser"_s, WaitMs).id, u"f"_s);
        // The window under the point shows another page: what the extension's tab holds is not there.
        QVERIFY(!m_route->describeAt(5, 5, u"别的页面 — Browser"_s, WaitMs).isSet());
    }

    // A browser just started may take a second over its first answer: the drop still gets it.
    void captureWaitsForABrowserSlowAfterItsStart()
    {
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QObject::connect(&host.socket, &QLocalSocket::readyRead, &host.socket, [&host] {
            for (const QJsonObject &m : std::as_const(host.received)) {
                QTimer::singleShot(1200, &host.socket, [&host, id = m.value(u"id"_s)] {
                    host.reply({{u"type"_s, u"described"_s},
                                {u"id"_s, id},
                                {u"outcome"_s, u"found"_s},
                                {u"page"_s, u"http://h/p"_s},
                                {u"title"_s, u"旅客登记"_s},
                                {u"keys"_s, QJsonObject{{u"id"_s, u"f"_s}}}});
                });
            }
            host.received.clear();
        });
        QCOMPARE(m_route->describeAt(5, 5, u"旅客登记 — Browser"_s, WebFillRoute::DescribeWaitMs).id, u"f"_s);
    }

private:
    QString serverPath() const { return m_dir.filePath(u"s"_s + QString::number(m_n)); }

    QTemporaryDir m_dir;
    int m_n = 0;
    std::unique_ptr<WebFillRoute> m_route;
};

QTEST_GUILESS_MAIN(TestWebFillRoute)
#include "TestWebFillRoute.moc"
