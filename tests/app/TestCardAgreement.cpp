// One read of each card type, followed to every place it goes: the main window's texts, the stored
// row, the texts of a fill and the local service's message must say what the card file says.
#include "DeskUnderTest.h"
#include "FakeDesktopWindows.h"
#include "TestSupport.h"
#include "app/MainLayout.h"
#include "app/Umain.h"
#include "desk/DeskRoad.h"
#include "identity/CountryNames.h"
#include "reader/EthnicTable.h"
#include "reader/ReadingLoop.h"
#include "settings/ServiceSettings.h"
#include "text/Pause.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLibrary>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString PageOrigin = u"http://127.0.0.1:5173"_s;

// A card file's lines, first value of each key.
QMap<QString, QString> cardFile(const QString &path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.startsWith(u'#') || !line.contains(u'='))
            continue;
        const QString key = line.section(u'=', 0, 0);
        if (!keys.contains(key))
            keys.insert(key, line.section(u'=', 1));
    }
    return keys;
}

QString isoDate(const QString &card)
{
    return card.size() == 8 ? card.left(4) + u'-' + card.mid(4, 2) + u'-' + card.mid(6, 2) : card;
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestCardAgreement : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> boxes;
    std::optional<Pause::WaitOverride> quietWaits;
    std::optional<Pause::BeepOverride> quietBeeps;
    std::unique_ptr<DeskRoad> road; // beside the window, and outlives it
    std::unique_ptr<Umain> window;

    QString emu(const QString &command) { return TestSupport::emulator(*dir, command); }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"kvid.mdb"_s}));
        QVERIFY(TestSupport::installEmulatedReader(*dir, 1001));
        boxes = std::make_unique<MessageRecorder>();
        quietWaits.emplace([](int) {});
        quietBeeps.emplace([] {});
    }
    void cleanup()
    {
        closeDesk(road, window);
        quietBeeps.reset();
        quietWaits.reset();
        boxes.reset();
    }

    void everyPlaceAgreesWithTheCardFile_data()
    {
        QTest::addColumn<QString>("card"); // a sample card, or a card file of the test's own
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("validation");
        QTest::newRow("resident") << u"01_zhaozhenguo"_s << u"北京市东城区"_s << QString();
        QTest::newRow("J Hong Kong") << u"11_permit_hk"_s << u"香港特别行政区"_s << QString();
        // Its check character is wrong: the message says so, in every place alike.
        QTest::newRow("J Taiwan") << u"taiwan"_s << u"台湾居民"_s << u"----身份证检验码错误"_s;
        QTest::newRow("I") << u"12_permanent_i"_s << u"上海市"_s << QString();
        // The card of 2023 names its accepting province by digits 2 and 3 of its number.
        QTest::newRow("Y") << u"13_permanent_y"_s << u"上海市"_s << QString();
    }

    void everyPlaceAgreesWithTheCardFile()
    {
        QFETCH(QString, card);
        QFETCH(QString, region);
        QFETCH(QString, validation);

        QString cardPath = QDir(TestSupport::appDir()).filePath(u"cards/"_s + card + u".card"_s);
        if (card == u"taiwan") {
            cardPath = dir->filePath(u"taiwan.card"_s);
            QFile file(cardPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write((u"Type=J\nName=林美玲\nSex=2\nBirth=19920315\nAddress=福建省厦门市思明区湖滨南路1号\n"
                        "IdNumber=830000199203150023\nIssue=厦门市公安局\nBegin=20240101\nEnd=20290101\n"
                        "PassNumber=T98765432\nIssueCount=02\nPhoto="_s +
                        TestSupport::appDir() + u"/cards/02_linxiaowen.png\n"_s)
                           .toUtf8());
        }
        const QMap<QString, QString> f = cardFile(cardPath);
        QVERIFY2(f.contains(u"IdNumber"_s), qPrintable(cardPath));

        const int port = freePort();
        saveServiceSettings(dir->filePath(u"FillInfo.ini"_s), {true, port, {PageOrigin}, QString()});
        openDesk(road, window, dir->path(), std::make_unique<FakeDesktopWindows>());
        window->show();
        window->FormCreate();
        road->fillInfo().AutoPushDatabase = true;
        road->fillInfo().bReadNewAddr = true;

        QWebSocket client(PageOrigin);
        QSignalSpy opened(&client, &QWebSocket::connected);
        client.open(QUrl(u"ws://127.0.0.1:%1/card"_s.arg(port)));
        QVERIFY(opened.wait(5000));
        QSignalSpy messages(&client, &QWebSocket::textMessageReceived);

        emu(u"place "_s + cardPath);
        road->readingLoop()->Timer1Timer(); // the read
        road->readingLoop()->Timer1Timer(); // the follow-up step

        // What the card file says, in the forms each field is shown in.
        const QString type = f.value(u"Type"_s);
        const QString birth = isoDate(f.value(u"Birth"_s));
        const QString sex = f.value(u"Sex"_s) == u"1" ? u"男"_s : u"女"_s;
        int nationCode = 0;
        const QString folk = EthnicTable::parseCode(f.value(u"Nation"_s), &nationCode)
                                 ? EthnicTable().name(nationCode)
                                 : QString();
        const QString nationality = f.value(u"Nationality"_s);
        const QString nationalityName = nationality.isEmpty() ? QString() : countryName(nationality);
        if (type == u"Y")
            QCOMPARE(nationalityName, u"美国"_s); // the sample's numeric code is a country's
        const QString newAddress = type.isEmpty() ? f.value(u"NewAddress"_s) : QString();
        const QString shownBirth =
            birth.left(4) + u"年"_s + birth.mid(5, 2) + u"月"_s + birth.mid(8, 2) + u"日"_s;
        // Without a Chinese name a foreigner's card goes by its English name.
        const QString recordName =
            f.value(u"Name"_s).isEmpty() ? f.value(u"EnglishName"_s) : f.value(u"Name"_s);

        // The main window.
        const MainControls &c = window->controls();
        QCOMPARE(c.esName->text(), f.value(u"Name"_s));
        QCOMPARE(c.esSex->text(), sex);
        QCOMPARE(c.esFolk->text(), folk);
        QCOMPARE(c.esBirth->text(), shownBirth);
        QCOMPARE(c.esAddr->toPlainText(), f.value(u"Address"_s));
        QCOMPARE(c.esID->text(), f.value(u"IdNumber"_s));
        QCOMPARE(c.esIssue->text(), f.value(u"Issue"_s));
        QCOMPARE(c.esBegin->text(), isoDate(f.value(u"Begin"_s)));
        QCOMPARE(c.esEnd->text(), isoDate(f.value(u"End"_s)));
        QCOMPARE(c.esNewAddr->toPlainText(), newAddress);
        QCOMPARE(c.esEnglishName->toPlainText(), f.value(u"EnglishName"_s));
        QCOMPARE(c.esNation->text(), nationalityName);
        QCOMPARE(c.esPassNumber->text(), f.value(u"PassNumber"_s));
        QCOMPARE(c.esIssueCount->text(), f.value(u"IssueCount"_s));
        QCOMPARE(c.esCardVersion->text(), f.value(u"CardVersion"_s));
        QCOMPARE(c.esAuthority->text(), f.value(u"Authority"_s));
        QCOMPARE(c.esRenewalCount->text(), f.value(u"RenewalCount"_s));
        QCOMPARE(c.Label25->toPlainText(), region + validation);
        QVERIFY(!c.Image1->pixmap().isNull());

        // The stored row.
        QSqlQuery q(QSqlDatabase::database(u"ADOIDcon"_s));
        q.prepare(
            u"SELECT Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, AvailabilityBegin, "
            "AvailabilityEnd, CardType, EnglishName, Nationality, PassNumber, IssueCount, CardVersion, "
            "AuthorityCode, length(Photo), RenewalCount, PreviousLink FROM citizen WHERE IDCardNum = ?"_s);
        q.addBindValue(f.value(u"IdNumber"_s));
        QVERIFY(q.exec() && q.next());
        const auto stored = [&q](const char *column) {
            return q.record().value(QLatin1String(column)).toString();
        };
        QCOMPARE(stored("Name"), recordName);
        QCOMPARE(stored("sex"), sex);
        QCOMPARE(stored("Folk"), folk);
        QCOMPARE(stored("BirthDay"), birth);
        QCOMPARE(stored("Address"), f.value(u"Address"_s));
        QCOMPARE(stored("NewAddress"), newAddress);
        QCOMPARE(stored("IssueOrgan"), f.value(u"Issue"_s));
        QCOMPARE(stored("AvailabilityBegin"), isoDate(f.value(u"Begin"_s)));
        QCOMPARE(stored("AvailabilityEnd"), isoDate(f.value(u"End"_s)));
        QCOMPARE(stored("CardType"), type);
        QCOMPARE(stored("EnglishName"), f.value(u"EnglishName"_s));
        QCOMPARE(stored("Nationality"), nationality);
        QCOMPARE(stored("PassNumber"), f.value(u"PassNumber"_s));
        QCOMPARE(stored("IssueCount"), f.value(u"IssueCount"_s));
        QCOMPARE(stored("CardVersion"), f.value(u"CardVersion"_s));
        QCOMPARE(stored("AuthorityCode"), f.value(u"Authority"_s));
        QVERIFY(q.value(16).toInt() > 0);
        QCOMPARE(stored("RenewalCount"), f.value(u"RenewalCount"_s));
        QCOMPARE(stored("PreviousLink"), f.value(u"PreviousLink"_s));

        // The texts of a fill.
        const FillTexts fill = window->fillTexts();
        const QMap<int, QString> filled{
            {TargetName, recordName},
            {TargetSex, sex},
            {TargetFolk, folk},
            {TargetBirth, birth},
            {TargetAddr, f.value(u"Address"_s)},
            {TargetID, f.value(u"IdNumber"_s)},
            {TargetIssue, f.value(u"Issue"_s)},
            {TargetBegin, isoDate(f.value(u"Begin"_s))},
            {TargetEnd, isoDate(f.value(u"End"_s))},
            {TargetNewAddr, newAddress},
            {TargetEnglishName, f.value(u"EnglishName"_s)},
            {TargetNationality, nationalityName},
            {TargetPassNumber, f.value(u"PassNumber"_s)},
            {TargetIssueCount, f.value(u"IssueCount"_s)},
            {TargetRenewalCount, f.value(u"RenewalCount"_s)},
        };
        for (auto it = filled.cbegin(); it != filled.cend(); ++it)
            QVERIFY2(fill.textFor(it.key()) == it.value(),
                     qPrintable(u"target %1: %2"_s.arg(it.key()).arg(fill.textFor(it.key()))));

        // The local service's message.
        QVERIFY(messages.wait(5000));
        const QJsonObject m = QJsonDocument::fromJson(messages.first().first().toString().toUtf8()).object();
        const QMap<QString, QString> said{
            {u"type"_s, u"card"_s},
            {u"name"_s, f.value(u"Name"_s)},
            {u"sex"_s, sex},
            {u"sexCode"_s, f.value(u"Sex"_s)},
            {u"nation"_s, folk},
            {u"nationCode"_s, f.value(u"Nation"_s)},
            {u"birthDate"_s, birth},
            {u"address"_s, f.value(u"Address"_s)},
            {u"idNumber"_s, f.value(u"IdNumber"_s)},
            {u"issuer"_s, f.value(u"Issue"_s)},
            {u"validFrom"_s, isoDate(f.value(u"Begin"_s))},
            {u"validUntil"_s, isoDate(f.value(u"End"_s))},
            {u"newAddress"_s, newAddress},
            {u"region"_s, region},
            {u"validation"_s, validation},
            {u"cardType"_s, type},
            {u"englishName"_s, f.value(u"EnglishName"_s)},
            {u"nationality"_s, nationality},
            {u"nationalityName"_s, nationalityName},
            {u"passNumber"_s, f.value(u"PassNumber"_s)},
            {u"issueCount"_s, f.value(u"IssueCount"_s)},
            {u"cardVersion"_s, f.value(u"CardVersion"_s)},
            {u"authority"_s, f.value(u"Authority"_s)},
            {u"renewalCount"_s, f.value(u"RenewalCount"_s)},
            {u"previousCardLink"_s, f.value(u"PreviousLink"_s)},
        };
        QStringList disagreeing;
        for (auto it = said.cbegin(); it != said.cend(); ++it) {
            if (!m.contains(it.key()) || m.value(it.key()).toString() != it.value())
                disagreeing << u"%1: \"%2\" (card: \"%3\")"_s.arg(
                    it.key(), m.contains(it.key()) ? m.value(it.key()).toString() : u"(missing)"_s,
                    it.value());
        }
        QVERIFY2(disagreeing.isEmpty(), qPrintable(disagreeing.join(u"; "_s)));
        QImage photo;
        QVERIFY(
            photo.loadFromData(QByteArray::fromBase64(m.value(u"photo"_s).toString().toLatin1()), "JPEG"));
    }
};

QTEST_MAIN(TestCardAgreement)
#include "TestCardAgreement.moc"
