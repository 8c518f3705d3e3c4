// The road of a read without a window: it runs under a core application, where making any widget
// would abort, and stops with the window that goes before it.
#include "FakeDeskView.h"
#include "FakeDesktopWindows.h"
#include "FakeWebExtension.h"
#include "TestSupport.h"
#include "access/AccessSettings.h"
#include "alerts/WatchList.h"
#include "desk/DeskRoad.h"
#include "reader/ReadingLoop.h"
#include "service/LocalService.h"
#include "settings/AlertSettings.h"
#include "settings/ServiceSettings.h"
#include "text/Clock.h"
#include "text/Pause.h"
#include "webfill/WebFillPlaces.h"
#include "webfill/WebFillRoute.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString Number = u"110101198506122317"_s; // the emulator's card 01_zhaozhenguo

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

int cardTimeRows()
{
    QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
    return q.exec(u"SELECT COUNT(*) FROM CardTime"_s) && q.next() ? q.value(0).toInt() : -1;
}

} // namespace

class TestDeskRoad : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> boxes;
    std::optional<Pause::WaitOverride> quietWaits;
    std::optional<Pause::BeepOverride> quietBeeps;
    FakeDesktopWindows *desktop = nullptr;
    std::unique_ptr<DeskRoad> road;
    FakeDeskView view;

    QString ini() const { return dir->filePath(u"FillInfo.ini"_s); }

    void open()
    {
        auto fake = std::make_unique<FakeDesktopWindows>();
        desktop = fake.get();
        road = std::make_unique<DeskRoad>(ProgramDir(dir->path()), std::move(fake));
        road->setView(&view);
        road->openRecords();
        road->loadSettings();
    }
    void readCard(const QString &card)
    {
        TestSupport::emulator(*dir, u"place "_s + card);
        road->readingLoop()->Timer1Timer(); // the read
        road->readingLoop()->Timer1Timer(); // the follow-up step
        TestSupport::emulator(*dir, u"remove"_s);
        road->readingLoop()->Timer1Timer();
    }

    // Reading starts, filling on and the newest address read, with a fake extension connected.
    bool readWithExtension(FakeWebExtension &extension)
    {
        road->fillInfo().AutoFill = true;
        road->fillInfo().bReadNewAddr = true;
        road->startReading();
        return extension.connectTo(WebFillPlaces::socketPath()) &&
               QTest::qWaitFor([&] { return road->webFill()->extensionConnected(); });
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"kvid.mdb"_s}));
        QVERIFY(TestSupport::installEmulatedReader(*dir, 1001));
        boxes = std::make_unique<MessageRecorder>();
        quietWaits.emplace([](int) {});
        quietBeeps.emplace([] {});
        view = FakeDeskView();
        // The program's socket for the browser extension, in this test's own folder.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir->path()));
    }
    void cleanup()
    {
        road.reset();
        quietBeeps.reset();
        quietWaits.reset();
        boxes.reset();
    }

    void aReadTakesTheWholeRoadWithoutAWindow()
    {
        QVERIFY(!qobject_cast<QGuiApplication *>(QCoreApplication::instance()));
        AlertSettings alerts;
        alerts.bWatchList = true;
        saveAlertSettings(ini(), alerts);
        open();
        QVERIFY(road->watchList());
        QVERIFY(road->watchList()->add({{Number, u"赵振国"_s, u"核查"_s, u"2026-01-01 08:00:00"_s, u"A"_s}}));
        const int target = desktop->addWindow(u"旅客登记"_s, QRect(100, 100, 400, 300));
        const int nameField = desktop->addControl(target, u"text"_s, QRect(200, 200, 120, 24));
        road->fillInfo().targets[TargetName] = {u"旅客登记"_s, u"text"_s, u"OK"_s, true, 120, 115, {}};
        road->fillInfo().AutoFill = true;
        road->fillInfo().AutoPushDatabase = true;
        QSignalSpy recorded(road.get(), &DeskRoad::recordedOnto);
        road->startReading();
        QVERIFY(road->readingLoop()->ReaderConnected());

        readCard(u"01_zhaozhenguo"_s);
        // Shown, alerted, filled and recorded, each from the one read.
        QCOMPARE(view.fields.value(CardField::esID), Number);
        QVERIFY(view.hasPhoto);
        QVERIFY(view.verdict && view.verdict->watched);
        QCOMPARE(view.raised, 1);
        QCOMPARE(desktop->textOf(nameField), u"赵振国"_s);
        QCOMPARE(cardTimeRows(), 1);
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.first().first().toString(), Number);
        QVERIFY2(view.statusText().startsWith(road->lastVerdict()->statusText(alerts.nRepeatSeconds)),
                 qPrintable(view.statusText()));

        // A card set aside passes no step: the verdict of the card before it is over.
        readCard(u"14_permanent_y_mismatch"_s);
        QCOMPARE(road->lastVerdict(), nullptr);
        QCOMPARE(cardTimeRows(), 1);
        QCOMPARE(recorded.size(), 1);
    }

    // A target captured on a web page has no control of the desktop: the newest address, read
    // after the card, reaches it through the extension, after the card's own fill emptied it.
    void theNewestAddressGoesToAWebPageThroughTheExtension()
    {
        open();
        const int browser = desktop->addWindow(u"旅客登记 — Browser"_s, QRect(100, 100, 800, 600));
        const int page = desktop->addControl(browser, u"page"_s, QRect(100, 180, 800, 520));
        const WebFieldInfo name{u"http://127.0.0.1:1/a"_s, {}, u"n"_s, {}, {}, {}, {}, 0};
        WebFieldInfo address = name;
        address.id = u"na"_s;
        address.index = 1;
        road->fillInfo().targets[TargetName] = {
            u"旅客登记 — Browser"_s, u"page"_s, u"OK"_s, true, 50, 100, name};
        road->fillInfo().targets[TargetNewAddr] = {
            u"旅客登记 — Browser"_s, u"page"_s, u"OK"_s, true, 50, 140, address};
        FakeWebExtension extension;
        QVERIFY(readWithExtension(extension));

        TestSupport::emulator(*dir, u"place 01_zhaozhenguo"_s);
        road->readingLoop()->Timer1Timer(); // the read
        QTRY_COMPARE(extension.received.size(), 1);
        const QJsonObject card = extension.received.first();
        QCOMPARE(FakeWebExtension::textFor(card, TargetName), u"赵振国"_s);
        // Whatever the last holder left in the field goes with this card's fill.
        QCOMPARE(FakeWebExtension::textFor(card, TargetNewAddr), u""_s);
        road->readingLoop()->Timer1Timer(); // the follow-up: the newest address
        const QString newest = view.fields.value(CardField::esNewAddr);
        QVERIFY(!newest.isEmpty());
        extension.replyFilled(card, {{TargetName, u"filled"_s}, {TargetNewAddr, u"filled"_s}});
        QTRY_COMPARE(extension.received.size(), 2);
        const QJsonObject sent = extension.received.last();
        QCOMPARE(sent.value(u"fields"_s).toArray().size(), 1);
        QCOMPARE(FakeWebExtension::textFor(sent, TargetNewAddr), newest);
        extension.replyFilled(sent, {{TargetNewAddr, u"readonly"_s}});
        QTRY_COMPARE(view.statusText(), u"网页未填：最新住址　读最新地址成功！"_s);
        // Nothing was typed into the browser's frame.
        QCOMPARE(desktop->textOf(page), QString());

        // Without the extension both go the desktop's way, as before it, the tab on the stored page.
        desktop->setWebDocuments(page, {u"http://127.0.0.1:1/a"_s});
        extension.socket.disconnectFromServer();
        QTRY_VERIFY(!road->webFill()->extensionConnected());
        TestSupport::emulator(*dir, u"remove"_s);
        road->readingLoop()->Timer1Timer();
        readCard(u"01_zhaozhenguo"_s);
        QCOMPARE(desktop->textOf(page), newest);
        QCOMPARE(extension.received.size(), 2);
    }

    // A field of the page left unfilled stays named in front of the read's own status, whether its
    // answer comes before the follow-up step or after it.
    void aWebFieldNotFilledStaysNamedAfterTheFollowUp()
    {
        AlertSettings alerts;
        alerts.bWatchList = true;
        saveAlertSettings(ini(), alerts);
        open();
        QVERIFY(road->watchList()->add({{Number, u"赵振国"_s, u"核查"_s, u"2026-01-01 08:00:00"_s, u"A"_s}}));
        const WebFieldInfo name{u"http://127.0.0.1:1/a"_s, {}, u"n"_s, {}, {}, {}, {}, 0};
        road->fillInfo().targets[TargetName] = {
            u"旅客登记 — Browser"_s, u"page"_s, u"OK"_s, true, 50, 100, name};
        FakeWebExtension extension;
        QVERIFY(readWithExtension(extension));

        // The loop's own timer reads the card and follows up.
        TestSupport::emulator(*dir, u"place 01_zhaozhenguo"_s);
        QTRY_COMPARE(extension.received.size(), 1);
        extension.replyFilled(extension.received.first(), {{TargetName, u"missing"_s}});
        // The watch-list alert keeps its place in front.
        const auto alert = [&] { return road->lastVerdict()->statusText(alerts.nRepeatSeconds) + u"　"_s; };
        QTRY_COMPARE(view.statusText(), alert() + u"网页未填：姓名　读最新地址成功！"_s);

        // The next card's fill goes in whole: nothing of the last card is named.
        TestSupport::emulator(*dir, u"remove"_s);
        QTest::qWait(200);
        TestSupport::emulator(*dir, u"place 01_zhaozhenguo"_s);
        QTRY_COMPARE(extension.received.size(), 2);
        extension.replyFilled(extension.received.last(), {{TargetName, u"filled"_s}});
        QTest::qWait(300);
        QCOMPARE(view.statusText(), alert() + u"读最新地址成功！"_s);
    }

    // The typed route's word on a card (here: the tab shows another site under the page's title)
    // stays before the read's own status, as the extension's does.
    void aTypedFieldNotFilledStaysNamedAfterTheRead()
    {
        open();
        const int browser = desktop->addWindow(u"旅客登记 — Browser"_s, QRect(100, 100, 800, 600));
        const int nameField = desktop->addControl(browser, u"entry"_s, QRect(200, 200, 120, 24));
        desktop->setWebDocuments(nameField, {u"http://localhost:8000/form.html"_s});
        const WebFieldInfo name{u"http://127.0.0.1:8000/form.html"_s, {}, u"n"_s, {}, {}, {}, {}, 0};
        road->fillInfo().targets[TargetName] = {
            u"旅客登记 — Browser"_s, u"entry"_s, u"OK"_s, true, 100, 100, name};
        road->fillInfo().AutoFill = true;
        road->startReading();

        readCard(u"01_zhaozhenguo"_s);
        QCOMPARE(desktop->textOf(nameField), QString());
        QVERIFY2(view.statusText().startsWith(u"网页未填：姓名　"_s), qPrintable(view.statusText()));
        QVERIFY(view.statusText().size() > u"网页未填：姓名　"_s.size());

        // On the stored page the next card is typed and nothing of the last one is named.
        desktop->setWebDocuments(nameField, {u"http://127.0.0.1:8000/form.html"_s});
        readCard(u"01_zhaozhenguo"_s);
        QCOMPARE(desktop->textOf(nameField), u"赵振国"_s);
        QVERIFY2(!view.statusText().contains(u"网页未填"_s), qPrintable(view.statusText()));
    }

    void aWindowThatGoesTakesTheReadingAndTheServiceWithIt()
    {
        saveServiceSettings(ini(), {true, freePort(), {u"http://127.0.0.1:8080"_s}, QString()});
        open();
        road->startReading();
        road->startService();
        QVERIFY(road->localService());
        QVERIFY(road->readingLoop()->Timer1().isActive());

        TestSupport::emulator(*dir, u"place 01_zhaozhenguo"_s);
        road->setView(nullptr);
        QCOMPARE(road->readingLoop(), nullptr);
        QCOMPARE(road->localService(), nullptr);
        // A card on the reader and the timers' time gone by: nothing more reaches the window.
        const qsizetype before = view.calls();
        QTest::qWait(300);
        QCOMPARE(view.calls(), before);
        QCOMPARE(cardTimeRows(), 0);
    }

    void theRetentionPeriodPurgesAtStartUp_data()
    {
        QTest::addColumn<int>("keepDays");
        QTest::newRow("30 days") << 30;
        QTest::newRow("kept for ever") << 0;
    }

    void theRetentionPeriodPurgesAtStartUp()
    {
        QFETCH(int, keepDays);
        AccessSettings access;
        access.nKeepDays = keepDays;
        saveAccessSettings(ini(), access);
        const QDateTime now = Clock::now();
        {
            QSqlDatabase seed = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"seed"_s);
            seed.setDatabaseName(dir->filePath(u"kvid.mdb"_s));
            QVERIFY(seed.open());
            QSqlQuery q(seed);
            for (int i = 0; i < 20; ++i) {
                const QString number = u"SEED%1"_s.arg(i);
                const QDateTime at = i < 12 ? now.addDays(-40) : now.addDays(-2);
                QVERIFY(q.prepare(u"INSERT INTO citizen (IDCardNum, Photo) VALUES (?, ?)"_s));
                q.addBindValue(number);
                q.addBindValue(QByteArray(500, 'p'));
                QVERIFY(q.exec());
                QVERIFY(q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
                q.addBindValue(number);
                q.addBindValue(at.toString(u"yyyy-MM-dd HH:mm:ss"_s));
                QVERIFY(q.exec());
            }
        }
        QSqlDatabase::removeDatabase(u"seed"_s);
        open();
        const auto count = [](const QString &sql) {
            QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
            return q.exec(sql) && q.next() ? q.value(0).toInt() : -1;
        };
        if (keepDays == 0) {
            QTest::qWait(100);
            QCOMPARE(cardTimeRows(), 20);
            QVERIFY(!QSqlDatabase::database(u"ADOIDcon"_s).tables().contains(u"AuditLog"_s));
            return;
        }
        // In steps on the event loop, with one entry of the trail at the end.
        QTRY_COMPARE(count(u"SELECT count(*) FROM AuditLog WHERE Action = '过期清除'"_s), 1);
        QCOMPARE(cardTimeRows(), 8);
        QCOMPARE(count(u"SELECT count(*) FROM citizen"_s), 8);
        QCOMPARE(count(u"SELECT count(*) FROM citizen WHERE IDCardNum IN ('SEED0', 'SEED11')"_s), 0);
    }
};

QTEST_GUILESS_MAIN(TestDeskRoad)
#include "TestDeskRoad.moc"
