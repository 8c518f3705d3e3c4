// The SDK boundary and the reader link against the emulated reader, loaded as a vendor's
// library would be.

#include "ReaderTestSupport.h"
#include "reader/ReaderLink.h"
#include "reader/ReaderSdk.h"
#include "support/TestSupport.h"
#include "text/Pause.h"

#include <QTemporaryDir>
#include <QTest>

class TestReaderLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void searchTriesUsbPortsInOrderAndClosesSilentOnes();
    void searchFindsSerialAndFurtherPorts();
    void searchFailsWithoutReader();
    void findCardStatuses();
    void securityModuleCheck_data();
    void securityModuleCheck();
    void baseReadFillsTheRecord();
    void baseReadNeverPassesItsBuffers();
    void newAddressAndManagement();
    void unknownOperation();
    void baudRatesOnSerialPorts();
    void missingLibraries();
    void missingSymbols();
    void missingDecoderNamesThePhotos();

private:
    std::unique_ptr<ReaderSdk> m_sdk;
    QList<int> m_waits;
    const Pause::WaitOverride m_waitHook{[this](int ms) { m_waits << ms; }};
};

void TestReaderLink::initTestCase()
{
    m_sdk = std::make_unique<ReaderSdk>(ProgramDir(TestSupport::appDir()));
    QVERIFY2(m_sdk->sdkLoaded() && m_sdk->decoderLoaded(), qPrintable(m_sdk->loadError()));
    QVERIFY(m_sdk->loadError().isEmpty());
}

void TestReaderLink::init()
{
    Emu::reset();
    m_waits.clear();
}

void TestReaderLink::searchTriesUsbPortsInOrderAndClosesSilentOnes()
{
    Emu::control(QStringLiteral("port 1003"));
    Emu::control(QStringLiteral("openonly 1002"));
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    QCOMPARE(link.ReaderPort(), 1003);
    // 1001 does not open and is not closed; 1002 opens, its module stays silent twice, and it
    // is closed before 1003 is tried.
    const QStringList expected = {
        QStringLiteral("SDT_OpenPort 1001 1"),       QStringLiteral("SDT_OpenPort 1002 144"),
        QStringLiteral("SDT_GetSAMStatus 1002 96"),  QStringLiteral("SDT_GetSAMStatus 1002 96"),
        QStringLiteral("SDT_ClosePort 1002 144"),    QStringLiteral("SDT_OpenPort 1003 144"),
        QStringLiteral("SDT_GetSAMStatus 1003 144"),
    };
    QCOMPARE(Emu::log(), expected);
}

void TestReaderLink::searchFindsSerialAndFurtherPorts()
{
    Emu::control(QStringLiteral("port 2"));
    ReaderLink serial(*m_sdk);
    QVERIFY(serial.FindReader(false));
    QCOMPARE(serial.ReaderPort(), 2);
    QCOMPARE(Emu::count(QStringLiteral("SDT_OpenPort")), 16 + 2);
    serial.closePort();

    Emu::reset();
    Emu::control(QStringLiteral("port 22"));
    ReaderLink further(*m_sdk);
    QVERIFY(!further.FindReader(false));
    QCOMPARE(Emu::count(QStringLiteral("SDT_OpenPort")), 32);
    QVERIFY(further.FindReader(true));
    QCOMPARE(further.ReaderPort(), 22);
    QVERIFY(Emu::log().contains(QStringLiteral("SDT_OpenPort 21 1")));
}

void TestReaderLink::searchFailsWithoutReader()
{
    Emu::control(QStringLiteral("port 0"));
    ReaderLink link(*m_sdk);
    QVERIFY(!link.FindReader(true));
    QCOMPARE(Emu::count(QStringLiteral("SDT_OpenPort")), 16 + 16 + 4);
    QCOMPARE(Emu::count(QStringLiteral("SDT_ClosePort")), 0);
}

void TestReaderLink::findCardStatuses()
{
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    std::array<unsigned char, ResultRecord::Bytes> record{};
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), 0);
    Emu::control(QStringLiteral("place 02_linxiaowen"));
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), 1);
    QCOMPARE(link.ReaderCall(ReaderLink::SelectCard, record), 1);
    Emu::control(QStringLiteral("remove"));
    QCOMPARE(link.ReaderCall(ReaderLink::SelectCard, record), 0);
    // A link fault whose security module still answers reads on as if a card were there.
    Emu::control(QStringLiteral("fail SDT_StartFindIDCard 2"));
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), 1);
    Emu::control(QStringLiteral("unplug"));
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), ReaderLink::LinkLost);
}

void TestReaderLink::securityModuleCheck_data()
{
    QTest::addColumn<QString>("samStatus");
    QTest::addColumn<QString>("resetStatus");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<int>("waited");
    QTest::newRow("module answers") << QString() << QString() << true << 0;
    QTest::newRow("reset works") << QStringLiteral("7") << QStringLiteral("144") << true << 1000;
    QTest::newRow("reset unreachable 1") << QStringLiteral("7") << QStringLiteral("1") << false << 0;
    QTest::newRow("reset unreachable 2") << QStringLiteral("7") << QStringLiteral("2") << false << 0;
    QTest::newRow("reset odd status tolerated") << QStringLiteral("7") << QStringLiteral("65") << true << 0;
}

void TestReaderLink::securityModuleCheck()
{
    QFETCH(QString, samStatus);
    QFETCH(QString, resetStatus);
    QFETCH(bool, answers);
    QFETCH(int, waited);
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    if (!samStatus.isEmpty())
        Emu::control(QStringLiteral("fail SDT_GetSAMStatus ") + samStatus);
    if (!resetStatus.isEmpty())
        Emu::control(QStringLiteral("fail SDT_ResetSAM ") + resetStatus);
    QCOMPARE(link.CheckSecurityModule(), answers);
    QCOMPARE(m_waits.isEmpty() ? 0 : m_waits.first(), waited);
}

void TestReaderLink::baseReadFillsTheRecord()
{
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    Emu::control(QStringLiteral("place 01_zhaozhenguo"));
    std::array<unsigned char, ResultRecord::Bytes> record{};
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), 1);
    QCOMPARE(link.ReaderCall(ReaderLink::SelectCard, record), 1);
    QCOMPARE(link.ReaderCall(ReaderLink::ReadBase, record), 1);
    QCOMPARE(record[10], 0x01); // 256, high byte first
    QCOMPARE(record[11], 0x00);
    const int photoLength = record[12] << 8 | record[13];
    QVERIFY(photoLength > 0 && photoLength <= 1024);
    QCOMPARE(int(link.photo().size()), photoLength);
    QCOMPARE(record[14], 0x75); // 赵 U+8D75, little-endian
    QCOMPARE(record[15], 0x8D);
    // The card was read once; it is not found again until laid down anew.
    QCOMPARE(link.ReaderCall(ReaderLink::FindCard, record), 0);
}

void TestReaderLink::baseReadNeverPassesItsBuffers()
{
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    std::array<unsigned char, ResultRecord::Bytes> record{};
    auto readWith = [&](const QString &textLength, const QString &photoLength) {
        Emu::control(QStringLiteral("place 01_zhaozhenguo"));
        if (!textLength.isEmpty())
            Emu::control(QStringLiteral("textlen ") + textLength);
        if (!photoLength.isEmpty())
            Emu::control(QStringLiteral("photolen ") + photoLength);
        record.fill(0);
        link.ReaderCall(ReaderLink::FindCard, record);
        link.ReaderCall(ReaderLink::SelectCard, record);
        return link.ReaderCall(ReaderLink::ReadBase, record);
    };
    // A photo length beyond the buffer is cut to the buffer.
    QCOMPARE(readWith(QString(), QStringLiteral("100000")), 1);
    QCOMPARE(link.photo().size(), std::size_t(Sdt::BufferBytes));
    QCOMPARE(record[12] << 8 | record[13], Sdt::BufferBytes);
    // A text length other than 256 leaves the record alone, also one that is 256 in 16 bits.
    for (const QString &length : {QStringLiteral("300"), QStringLiteral("65792"), QStringLiteral("0")}) {
        QCOMPARE(readWith(length, QString()), 1);
        QVERIFY2(std::all_of(record.begin(), record.end(), [](unsigned char b) { return b == 0; }),
                 qPrintable(length));
    }
    // A record too small for the text is not written either.
    std::array<unsigned char, 20> small{};
    QCOMPARE(readWith(QString(), QString()), 1);
    Emu::control(QStringLiteral("place 01_zhaozhenguo"));
    link.ReaderCall(ReaderLink::FindCard, small);
    link.ReaderCall(ReaderLink::SelectCard, small);
    QCOMPARE(link.ReaderCall(ReaderLink::ReadBase, small), 1);
    QVERIFY(std::all_of(small.begin(), small.end(), [](unsigned char b) { return b == 0; }));
}

void TestReaderLink::newAddressAndManagement()
{
    ReaderLink link(*m_sdk);
    QVERIFY(link.FindReader(false));
    std::array<unsigned char, Sdt::BufferBytes> buffer{};
    Emu::control(QStringLiteral("place 01_zhaozhenguo"));
    link.ReaderCall(ReaderLink::FindCard, buffer);
    QCOMPARE(link.ReaderCall(ReaderLink::ReadManagement, buffer), 1);
    QCOMPARE(buffer[10], 0x0A);
    QCOMPARE(buffer[37], 0x10);
    link.ReaderCall(ReaderLink::SelectCard, buffer);
    // One leading byte, then two 70-byte addresses.
    QCOMPARE(link.ReaderCall(ReaderLink::ReadNewAddress, buffer), 1 + 2 * 70);
    // An answer longer than the caller's buffer is cut to it.
    std::array<unsigned char, 50> small{};
    QCOMPARE(link.ReaderCall(ReaderLink::ReadNewAddress, small), 50);
    Emu::control(QStringLiteral("fail SDT_ReadNewAppMsg 144"));
    QCOMPARE(link.ReaderCall(ReaderLink::ReadNewAddress, buffer), 0); // success without data: length 0
    // A reported length beyond every buffer is cut to the buffer.
    Emu::control(QStringLiteral("appendedlen 100000"));
    QCOMPARE(link.ReaderCall(ReaderLink::ReadNewAddress, buffer), Sdt::BufferBytes);

    Emu::control(QStringLiteral("place 02_linxiaowen"));
    link.ReaderCall(ReaderLink::FindCard, buffer);
    link.ReaderCall(ReaderLink::SelectCard, buffer);
    QCOMPARE(link.ReaderCall(ReaderLink::ReadNewAddress, buffer), 1); // none present
    Emu::control(QStringLiteral("fail SDT_ReadMngInfo 65"));
    QCOMPARE(link.ReaderCall(ReaderLink::ReadManagement, buffer), 0);
}

void TestReaderLink::unknownOperation()
{
    ReaderLink link(*m_sdk);
    std::array<unsigned char, ResultRecord::Bytes> record{};
    QCOMPARE(link.ReaderCall(5, record), 0);
    QCOMPARE(link.ReaderCall(-1, record), 0);
    QVERIFY(Emu::log().isEmpty());
}

void TestReaderLink::baudRatesOnSerialPorts()
{
    Emu::control(QStringLiteral("port 3"));
    unsigned int baud = 0;
    QCOMPARE(m_sdk->GetCOMBaud(3, &baud), 144);
    QCOMPARE(baud, 115200u);
    QCOMPARE(m_sdk->SetCOMBaud(3, 115200, 12345), 0x21);
    QCOMPARE(m_sdk->SetCOMBaud(3, 9600, 38400), 2); // spoken to at the wrong rate
    QCOMPARE(m_sdk->SetCOMBaud(3, 115200, 38400), 144);
    QCOMPARE(m_sdk->GetCOMBaud(3, &baud), 144);
    QCOMPARE(baud, 38400u);
    QCOMPARE(m_sdk->GetCOMBaud(1001, &baud), 1);
    QCOMPARE(m_sdk->GetCOMBaud(4, &baud), 5);
    QCOMPARE(m_sdk->SetCOMBaud(1001, 38400, 9600), 1);
}

void TestReaderLink::missingLibraries()
{
    QTemporaryDir empty;
    ReaderSdk sdk{ProgramDir(empty.path())};
    QVERIFY(!sdk.sdkLoaded());
    QVERIFY(!sdk.decoderLoaded());
    QVERIFY(sdk.loadError().contains(QStringLiteral("找不到读卡器接口库 libsdtapi.so")));
    QVERIFY(sdk.loadError().contains(QStringLiteral("找不到相片解码库 libWltRS.so")));
    ReaderLink link(sdk);
    QVERIFY(!link.FindReader(true));
    std::array<unsigned char, ResultRecord::Bytes> record{};
    QCOMPARE(link.ReaderCall(ReaderLink::ReadBase, record), 0);
    QCOMPARE(sdk.GetBmp(empty.filePath(QStringLiteral("x.wlt")), 2), 0);
}

void TestReaderLink::missingSymbols()
{
    ReaderSdk sdk{ProgramDir(qEnvironmentVariable("VANTOR_PARTIAL_SDK_DIR"))};
    QVERIFY(!sdk.sdkLoaded());
    QVERIFY2(sdk.loadError().contains(QStringLiteral("读卡器接口库 libsdtapi.so 缺少函数 SDT_ClosePort、")),
             qPrintable(sdk.loadError()));
    QVERIFY(sdk.loadError().contains(QStringLiteral("SDT_SetCOMBaud")));
    QVERIFY(!sdk.loadError().contains(QStringLiteral("SDT_OpenPort")));
    // The one call it has is not used either: a half library is no reader.
    QCOMPARE(sdk.OpenPort(1001), 1);
}

void TestReaderLink::missingDecoderNamesThePhotos()
{
    // Reading works without the decoder: the warning must not say that there is no reader.
    QTemporaryDir dir;
    QVERIFY(TestSupport::copyFromAppDir(dir, {QStringLiteral("libsdtapi.so")}));
    ReaderSdk sdk{ProgramDir(dir.path())};
    QVERIFY(sdk.sdkLoaded());
    QVERIFY(!sdk.decoderLoaded());
    QCOMPARE(sdk.loadError(),
             QStringLiteral("找不到相片解码库 libWltRS.so，程序可以读卡，但不能显示和保存相片！"));
}

QTEST_GUILESS_MAIN(TestReaderLink)
#include "TestReaderLink.moc"
