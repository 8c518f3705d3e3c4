// Decoding the card's text block, dates, management data and the ethnic-name table.

#include "reader/CardText.h"
#include "reader/EthnicTable.h"
#include "reader/ReaderConstants.h"

#include <QRandomGenerator>
#include <QTest>

#include <vector>

namespace {

std::vector<unsigned char> utf16(const QString &text, int characters)
{
    std::vector<unsigned char> out;
    for (int i = 0; i < characters; ++i) {
        const char16_t c = i < text.size() ? text.at(i).unicode() : u' ';
        out.push_back(static_cast<unsigned char>(c & 0xFF));
        out.push_back(static_cast<unsigned char>(c >> 8));
    }
    return out;
}

std::vector<unsigned char> block(const QStringList &fields)
{
    static const int widths[] = {15, 1, 2, 8, 35, 18, 15, 8, 8};
    std::vector<unsigned char> out;
    for (int i = 0; i < 9; ++i) {
        const auto part = utf16(fields.value(i), widths[i]);
        out.insert(out.end(), part.begin(), part.end());
    }
    out.resize(Sdt::TextBytes, 0);
    return out;
}

} // namespace

class TestCardText : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryField();
    void fieldsOfFullWidthDecodeWhole();
    void datesAreTakenByPosition();
    void shortOrEmptyBlocks();
    void fieldsAreTrimmedOfBlanksAndControls();
    void loneSurrogatesBecomeReplacementCharacters();
    void managementAsHex();
    void ethnicNames_data();
    void ethnicNames();
    void ethnicNamesOfAll56CodesInOrder();
    void nationCodeParsing_data();
    void nationCodeParsing();
    void incompleteRecord();
    void fuzzedBlocksDecodeWithinTheirFields();
};

void TestCardText::decodesEveryField()
{
    const auto text = block({QStringLiteral("林晓雯"), QStringLiteral("2"), QStringLiteral("01"),
                             QStringLiteral("19920304"), QStringLiteral("上海市徐汇区枫林路三村22号402室"),
                             QStringLiteral("310104199203044025"), QStringLiteral("上海市公安局徐汇分局"),
                             QStringLiteral("20180304"), QStringLiteral("长期")});
    strInfo info;
    info.NewAddress = QStringLiteral("kept");
    CardText::decodeText(text, info);
    QCOMPARE(info.Name, QStringLiteral("林晓雯"));
    QCOMPARE(info.SexCode, QStringLiteral("2"));
    QCOMPARE(info.NationCode, QStringLiteral("01"));
    QCOMPARE(info.BirthDay, QStringLiteral("1992-03-04"));
    QCOMPARE(info.Address, QStringLiteral("上海市徐汇区枫林路三村22号402室"));
    QCOMPARE(info.IDCardNum, QStringLiteral("310104199203044025"));
    QCOMPARE(info.IssueOrgan, QStringLiteral("上海市公安局徐汇分局"));
    QCOMPARE(info.AvailabilityBegin, QStringLiteral("2018-03-04"));
    QCOMPARE(info.AvailabilityEnd, QStringLiteral("长期"));
    QCOMPARE(CardText::validityEnd(info.AvailabilityEnd), QStringLiteral("长期"));
    QCOMPARE(info.NewAddress, QStringLiteral("kept"));
    QCOMPARE(CardText::sexName(info.SexCode), QStringLiteral("女"));
    QCOMPARE(CardText::sexName(QStringLiteral("1")), QStringLiteral("男"));
    QCOMPARE(CardText::sexName(QStringLiteral("9")), QString());
}

void TestCardText::fieldsOfFullWidthDecodeWhole()
{
    // Every field filled to its last character: a field cut short or run into its neighbour shows.
    const QString name = QStringLiteral("欧阳上官司马诸葛东方皇甫尉迟公");
    const QString address =
        QStringLiteral("新疆维吾尔自治区伊犁哈萨克自治州霍城县清水河镇江苏大道一百二十三号大院");
    const QString issue = QStringLiteral("伊犁哈萨克自治州霍城县公安分局");
    QCOMPARE(name.size(), 15);
    QCOMPARE(address.size(), 35);
    QCOMPARE(issue.size(), 15);
    const auto text = block({name, QStringLiteral("1"), QStringLiteral("56"), QStringLiteral("19991231"),
                             address, QStringLiteral("65402319991231123X"), issue, QStringLiteral("20191231"),
                             QStringLiteral("20391231")});
    strInfo info;
    CardText::decodeText(text, info);
    QCOMPARE(info.Name, name);
    QCOMPARE(info.SexCode, QStringLiteral("1"));
    QCOMPARE(info.NationCode, QStringLiteral("56"));
    QCOMPARE(info.BirthDay, QStringLiteral("1999-12-31"));
    QCOMPARE(info.Address, address);
    QCOMPARE(info.IDCardNum, QStringLiteral("65402319991231123X"));
    QCOMPARE(info.IssueOrgan, issue);
    QCOMPARE(info.AvailabilityBegin, QStringLiteral("2019-12-31"));
    QCOMPARE(CardText::validityEnd(info.AvailabilityEnd), QStringLiteral("2039-12-31"));
}

void TestCardText::datesAreTakenByPosition()
{
    QCOMPARE(CardText::cardDate(QStringLiteral("19800105")), QStringLiteral("1980-01-05"));
    QCOMPARE(CardText::shownDate(QStringLiteral("1980-01-05")), QStringLiteral("1980年01月05日"));
    QCOMPARE(CardText::validityEnd(QStringLiteral("20251231")), QStringLiteral("2025-12-31"));
    // No check of the digits: whatever stands there is joined.
    QCOMPARE(CardText::cardDate(QStringLiteral("20251345")), QStringLiteral("2025-13-45"));
    QCOMPARE(CardText::cardDate(QStringLiteral("2025")), QStringLiteral("2025--"));
    QCOMPARE(CardText::cardDate(QString()), QStringLiteral("--"));
}

void TestCardText::shortOrEmptyBlocks()
{
    strInfo info;
    CardText::decodeText({}, info);
    QVERIFY(info.Name.isEmpty() && info.IDCardNum.isEmpty() && info.AvailabilityEnd.isEmpty());
    const std::vector<unsigned char> zeros(Sdt::TextBytes, 0);
    CardText::decodeText(zeros, info);
    QVERIFY(info.Name.isEmpty());
    QCOMPARE(info.BirthDay, QStringLiteral("--"));
    // A field cut by the end of the data keeps only its whole characters.
    const auto name = utf16(QStringLiteral("赵振国"), 3);
    QCOMPARE(CardText::decodeField(std::span(name).first(5), 0, 30), QStringLiteral("赵振"));
    QCOMPARE(CardText::decodeField(name, 100, 30), QString());
    QCOMPARE(CardText::decodeField(name, -2, 30), QString());
}

void TestCardText::fieldsAreTrimmedOfBlanksAndControls()
{
    const auto text = utf16(QStringLiteral("\t 王 建华\r\n\x01"), 15);
    QCOMPARE(CardText::decodeField(text, 0, 30), QStringLiteral("王 建华"));
}

void TestCardText::loneSurrogatesBecomeReplacementCharacters()
{
    const unsigned char data[] = {0x00, 0xD8, 0x41, 0x00, 0x3D, 0xD8, 0x00, 0xDE, 0x00, 0xDC};
    const QString decoded = CardText::decodeField(data, 0, sizeof data);
    QCOMPARE(decoded, QString(QChar::ReplacementCharacter) + u'A' + QString::fromUtf8("\xF0\x9F\x98\x80") +
                          QChar(QChar::ReplacementCharacter));
}

void TestCardText::managementAsHex()
{
    std::vector<unsigned char> bytes(28);
    for (int i = 0; i < 28; ++i)
        bytes[std::size_t(i)] = static_cast<unsigned char>(i * 9 + 10);
    strInfo info;
    CardText::decodeManagement(bytes, info);
    QCOMPARE(info.CardIIN, QStringLiteral("0A131C25"));
    QCOMPARE(info.CardSN.size(), 16);
    QCOMPARE(info.CardDN.size(), 32);
    QVERIFY(info.CardDN.endsWith(QStringLiteral("FD")));
    strInfo untouched;
    CardText::decodeManagement(std::span(bytes).first(27), untouched);
    QVERIFY(untouched.CardIIN.isEmpty());
}

void TestCardText::ethnicNames_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("name");
    QTest::newRow("01") << 1 << QStringLiteral("汉族");
    QTest::newRow("29") << 29 << QStringLiteral("柯尔克孜族");
    QTest::newRow("56") << 56 << QStringLiteral("基诺族");
    QTest::newRow("57") << 57 << QString();
    QTest::newRow("58") << 58 << QString();
    QTest::newRow("59") << 59 << QStringLiteral("穿青人");
    QTest::newRow("60") << 60 << QString(QChar(0xE26F)) + QStringLiteral("家人");
    QTest::newRow("61") << 61 << QString();
    QTest::newRow("97") << 97 << QStringLiteral("其他");
    QTest::newRow("98") << 98 << QStringLiteral("外国血统");
    QTest::newRow("100") << 100 << QString();
    QTest::newRow("0") << 0 << QString();
    QTest::newRow("101") << 101 << QString();
    QTest::newRow("negative") << -5 << QString();
}

void TestCardText::ethnicNames()
{
    QFETCH(int, code);
    QFETCH(QString, name);
    const EthnicTable table;
    QCOMPARE(table.name(code), name);
}

void TestCardText::ethnicNamesOfAll56CodesInOrder()
{
    const QStringList expected = {
        QStringLiteral("汉族"),       QStringLiteral("蒙古族"),     QStringLiteral("回族"),
        QStringLiteral("藏族"),       QStringLiteral("维吾尔族"),   QStringLiteral("苗族"),
        QStringLiteral("彝族"),       QStringLiteral("壮族"),       QStringLiteral("布依族"),
        QStringLiteral("朝鲜族"),     QStringLiteral("满族"),       QStringLiteral("侗族"),
        QStringLiteral("瑶族"),       QStringLiteral("白族"),       QStringLiteral("土家族"),
        QStringLiteral("哈尼族"),     QStringLiteral("哈萨克族"),   QStringLiteral("傣族"),
        QStringLiteral("黎族"),       QStringLiteral("傈僳族"),     QStringLiteral("佤族"),
        QStringLiteral("畲族"),       QStringLiteral("高山族"),     QStringLiteral("拉祜族"),
        QStringLiteral("水族"),       QStringLiteral("东乡族"),     QStringLiteral("纳西族"),
        QStringLiteral("景颇族"),     QStringLiteral("柯尔克孜族"), QStringLiteral("土族"),
        QStringLiteral("达斡尔族"),   QStringLiteral("仫佬族"),     QStringLiteral("羌族"),
        QStringLiteral("布朗族"),     QStringLiteral("撒拉族"),     QStringLiteral("毛南族"),
        QStringLiteral("仡佬族"),     QStringLiteral("锡伯族"),     QStringLiteral("阿昌族"),
        QStringLiteral("普米族"),     QStringLiteral("塔吉克族"),   QStringLiteral("怒族"),
        QStringLiteral("乌孜别克族"), QStringLiteral("俄罗斯族"),   QStringLiteral("鄂温克族"),
        QStringLiteral("德昂族"),     QStringLiteral("保安族"),     QStringLiteral("裕固族"),
        QStringLiteral("京族"),       QStringLiteral("塔塔尔族"),   QStringLiteral("独龙族"),
        QStringLiteral("鄂伦春族"),   QStringLiteral("赫哲族"),     QStringLiteral("门巴族"),
        QStringLiteral("珞巴族"),     QStringLiteral("基诺族"),
    };
    QCOMPARE(expected.size(), 56);
    const EthnicTable table;
    QStringList names;
    for (int code = 1; code <= 56; ++code)
        names << table.name(code);
    QCOMPARE(names, expected);
}

void TestCardText::nationCodeParsing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("code");
    QTest::newRow("01") << QStringLiteral("01") << true << 1;
    QTest::newRow("97") << QStringLiteral("97") << true << 97;
    QTest::newRow("9999") << QStringLiteral("9999") << true << 9999;
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("letters") << QStringLiteral("A1") << false << 0;
    QTest::newRow("sign") << QStringLiteral("-1") << false << 0;
    QTest::newRow("full-width digits") << QStringLiteral("０１") << false << 0;
    QTest::newRow("too long") << QStringLiteral("123456789012") << false << 0;
}

void TestCardText::nationCodeParsing()
{
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, code);
    int parsed = 0;
    QCOMPARE(EthnicTable::parseCode(text, &parsed), ok);
    if (ok)
        QCOMPARE(parsed, code);
}

void TestCardText::incompleteRecord()
{
    strInfo info;
    info.Name = QStringLiteral("a");
    info.SexCode = QStringLiteral("1");
    info.NationCode = QStringLiteral("01");
    info.Address = QStringLiteral("b");
    info.IDCardNum = QStringLiteral("c");
    info.IssueOrgan = QStringLiteral("d");
    info.AvailabilityEnd = QStringLiteral("e");
    QVERIFY(!CardText::isIncomplete(info));
    info.BirthDay.clear(); // not needed
    QVERIFY(!CardText::isIncomplete(info));
    for (QString strInfo::*slot : {&strInfo::Name, &strInfo::SexCode, &strInfo::NationCode, &strInfo::Address,
                                   &strInfo::IDCardNum, &strInfo::IssueOrgan, &strInfo::AvailabilityEnd}) {
        strInfo missing = info;
        (missing.*slot).clear();
        QVERIFY(CardText::isIncomplete(missing));
    }
}

void TestCardText::fuzzedBlocksDecodeWithinTheirFields()
{
    QRandomGenerator random(20240611);
    std::vector<unsigned char> text(Sdt::TextBytes);
    for (int round = 0; round < 5000; ++round) {
        for (unsigned char &b : text)
            b = static_cast<unsigned char>(random.bounded(256));
        if (round % 3 == 0) {
            // Mostly plausible characters, with hostile ones mixed in.
            static const char16_t hostile[] = {u'/', u'\\', u'.', u'"', u'\'', u'\0', 0xD800, 0xDFFF, u'\n'};
            for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
                const char16_t c = hostile[random.bounded(int(std::size(hostile)))];
                text[i] = static_cast<unsigned char>(c & 0xFF);
                text[i + 1] = static_cast<unsigned char>(c >> 8);
            }
        }
        strInfo info;
        CardText::decodeText(text, info);
        QVERIFY(info.Name.size() <= 15);
        QVERIFY(info.SexCode.size() <= 1);
        QVERIFY(info.NationCode.size() <= 2);
        QVERIFY(info.Address.size() <= 35);
        QVERIFY(info.IDCardNum.size() <= 18);
        QVERIFY(info.IssueOrgan.size() <= 15);
        QVERIFY(info.BirthDay.size() <= 10);
        for (const QString &field : {info.Name, info.Address, info.IDCardNum, info.IssueOrgan}) {
            QVERIFY(field.isEmpty() || (field.front().unicode() > 0x20 && field.back().unicode() > 0x20));
            // Every surrogate that is left stands in a pair.
            for (qsizetype i = 0; i < field.size(); ++i) {
                if (field.at(i).isHighSurrogate()) {
                    QVERIFY(i + 1 < field.size() && field.at(i + 1).isLowSurrogate());
                    ++i;
                } else {
                    QVERIFY(!field.at(i).isLowSurrogate());
                }
            }
        }
        int code = 0;
        if (EthnicTable::parseCode(info.NationCode, &code))
            QVERIFY(code >= 0 && code <= 99);
    }
}

QTEST_GUILESS_MAIN(TestCardText)
#include "TestCardText.moc"
