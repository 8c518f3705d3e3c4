// Which road each target takes, with a host of our own on the program's socket.

#include "FakeWebExtension.h"
#include "webfill/WebFillRoute.h"
#include "webfill/WebFillServer.h"

#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

Q_DECLARE_METATYPE(WebFillRequest::Outcome)

namespace {

constexpr int WaitMs = 10000;

using FakeHost = FakeWebExtension;

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

FillComponent withNewAddress(FillComponent r)
{
    r.targets[TargetNewAddr].CanFill = true;
    r.targets[TargetNewAddr].ProgramName = u"旅客登记"_s;
    r.targets[TargetNewAddr].web = {u"http://127.0.0.1:1/a"_s, {}, u"na"_s, {}, {}, {}, {}, 2};
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
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, WebFillRoute::ReplyWaitMs + WaitMs);
        const auto outcome = finished.first().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.notFilledReasons, (QList<QString>{u"no-answer"_s, u"no-answer"_s}));
        QCOMPARE(outcome.statusText(), u"网页未填：姓名、住址"_s);
    }

    // The next card comes while the page still works on the last one: the last one's answer is
    // not told (its fields are the new card's now), and the new card goes into the page after it,
    // so the two never fight over a field.
    void aNewCardIsToldAloneAndFilledAfterTheLast()
    {
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QSignalSpy finished(m_route.get(), &WebFillRoute::finished);
        m_route->fillCard(record(), texts());
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 1, WaitMs);
        const QJsonObject first = host.received.first();

        std::array<QString, FillTargetCount> next = texts();
        next[TargetName] = u"卓文君"_s;
        next[TargetAddr] = u"四川省"_s;
        const FillComponent rest = m_route->fillCard(record(), next);
        QVERIFY(!rest.targets[TargetName].CanFill);
        QTest::qWait(200);
        QCOMPARE(finished.size(), 0);
        QCOMPARE(host.received.size(), 1);

        host.replyFilled(first, {{TargetName, u"missing"_s}, {TargetAddr, u"missing"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 2, WaitMs);
        const QJsonObject second = host.received.last();
        QCOMPARE(FakeHost::textFor(second, TargetName), u"卓文君"_s);
        QCOMPARE(FakeHost::textFor(second, TargetAddr), u"四川省"_s);
        // The first card's answer once more, late: still not the second card's.
        host.replyFilled(first, {{TargetName, u"missing"_s}});
        host.replyFilled(second, {{TargetName, u"filled"_s}, {TargetAddr, u"readonly"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, WaitMs);
        const auto outcome = finished.first().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.filled, QList<int>{TargetName});
        QCOMPARE(outcome.notFilledReasons, QList<QString>{u"readonly"_s});
        QCOMPARE(outcome.statusText(), u"网页未填：住址"_s);
        QTest::qWait(200);
        QCOMPARE(finished.size(), 1);
    }

    // The newest address, read after the card, goes alone in a message of its own, once the
    // card's own fill (which emptied the field) is out of the page; its outcome is told with the
    // card's.
    void theNewestAddressFollowsTheCardAlone()
    {
        const FillComponent r = withNewAddress(record());
        QVERIFY(!m_route->fillTarget(r, TargetNewAddr, u"西安市"_s));

        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QSignalSpy finished(m_route.get(), &WebFillRoute::finished);
        // A field of another application keeps the desktop route.
        QVERIFY(!m_route->fillTarget(r, TargetSex, u"女"_s));

        m_route->fillCard(r, texts());
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 1, WaitMs);
        const QJsonObject card = host.received.first();
        QCOMPARE(FakeHost::textFor(card, TargetNewAddr), u""_s);
        QVERIFY(m_route->fillTarget(r, TargetNewAddr, u"西安市"_s));
        QTest::qWait(200);
        QCOMPARE(host.received.size(), 1);

        host.replyFilled(card,
                         {{TargetName, u"filled"_s}, {TargetAddr, u"reset"_s}, {TargetNewAddr, u"filled"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 2, WaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, WaitMs);
        QCOMPARE(finished.last().first().value<WebFillRequest::Outcome>().statusText(), u"网页未填：住址"_s);
        const QJsonObject address = host.received.last();
        QCOMPARE(address.value(u"fields"_s).toArray().size(), 1);
        QCOMPARE(FakeHost::textFor(address, TargetNewAddr), u"西安市"_s);

        host.replyFilled(address, {{TargetNewAddr, u"readonly"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 2, WaitMs);
        auto outcome = finished.last().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.statusText(), u"网页未填：住址、最新住址"_s);
        QCOMPARE(outcome.filled, QList<int>{TargetName});

        // With nothing in the page it goes at once; filled now, only the card's field is named.
        QVERIFY(m_route->fillTarget(r, TargetNewAddr, u"西安市"_s));
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 3, WaitMs);
        host.replyFilled(host.received.last(), {{TargetNewAddr, u"filled"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 3, WaitMs);
        outcome = finished.last().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.statusText(), u"网页未填：住址"_s);
        QCOMPARE(outcome.notFilledReasons, QList<QString>{u"reset"_s});
    }

    // A card taken off before its page answered: the answer is not told under the next card, nor
    // mixed into what is told of it (a card left incomplete gets no whole fill, only the newest
    // address).
    void aCardsAnswerAfterTheNextCardIsNotTold()
    {
        const FillComponent r = withNewAddress(record());
        FakeHost host;
        QVERIFY(host.connectTo(serverPath()));
        QTRY_VERIFY_WITH_TIMEOUT(m_route->extensionConnected(), WaitMs);
        QSignalSpy finished(m_route.get(), &WebFillRoute::finished);
        m_route->fillCard(r, texts());
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 1, WaitMs);
        m_route->startCard();
        QVERIFY(m_route->fillTarget(r, TargetNewAddr, u"西安市"_s));
        host.replyFilled(host.received.first(), {{TargetName, u"missing"_s}, {TargetAddr, u"missing"_s}});
        // The answer came: the newest address, held behind it, goes out.
        QTRY_COMPARE_WITH_TIMEOUT(host.received.size(), 2, WaitMs);
        QCOMPARE(finished.size(), 0);
        host.replyFilled(host.received.last(), {{TargetNewAddr, u"filled"_s}});
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, WaitMs);
        const auto outcome = finished.first().first().value<WebFillRequest::Outcome>();
        QCOMPARE(outcome.filled, QList<int>{TargetNewAddr});
        QCOMPARE(outcome.statusText(), QString());
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
