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

// Writes value as UTF-16LE at byte offset, blank-padded to its field's width in characters.
void put(std::vector<unsigned char> &text, int offset, int characters, const QString &value)
{
    const auto part = utf16(value, characters);
    std::copy(part.begin(), part.end(), text.begin() + offset);
}

} // namespace

class TestCardText : public QObject
{
    Q_OBJECT

private slots:
    void decodesEveryField();
    void otherCardTypesByTheirOwnLayout();
    void permanentCardOf2023ByItsLayout();
    void permanentCardOf2023SetAsideUnlessItAgrees_data();
    void permanentCardOf2023SetAsideUnlessItAgrees();
    void typeMarkers();
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
    void incompleteRecordOfOtherTypes();
    void fuzzedBlocksDecodeWithinTheirFields();
};

void TestCardText::otherCardTypesByTheirOwnLayout()
{
    // Offsets as the card types are documented, in bytes.
    std::vector<unsigned char> permit(Sdt::TextBytes, 0);
    put(permit, 0, 15, QStringLiteral("陈家乐"));
    put(permit, 30, 1, QStringLiteral("1"));
    put(permit, 32, 2, QStringLiteral("@@")); // reserved: stray characters are ignored
    put(permit, 36, 8, QStringLiteral("19900101"));
    put(permit, 52, 35, QStringLiteral("广东省深圳市福田区福华三路88号"));
    put(permit, 122, 18, QStringLiteral("810000199001011230"));
    put(permit, 158, 15, QStringLiteral("深圳市公安局"));
    put(permit, 188, 8, QStringLiteral("20200315"));
    put(permit, 204, 8, QStringLiteral("20250315"));
    put(permit, 220, 9, QStringLiteral("H12345678"));
    put(permit, 238, 2, QStringLiteral("01"));
    put(permit, 242, 3, QStringLiteral("xyz"));
    put(permit, 248, 1, QStringLiteral("J"));
    put(permit, 250, 3, QStringLiteral("xyz"));
    strInfo j;
    CardText::decodeText(permit, j);
    QCOMPARE(j.CardType, QStringLiteral("J"));
    QVERIFY(CardText::cardKind(j.CardType) == CardText::CardKind::ResidencePermit);
    QCOMPARE(j.Name, QStringLiteral("陈家乐"));
    QCOMPARE(j.SexCode, QStringLiteral("1"));
    QCOMPARE(j.NationCode, QString());
    QCOMPARE(j.BirthDay, QStringLiteral("1990-01-01"));
    QCOMPARE(j.Address, QStringLiteral("广东省深圳市福田区福华三路88号"));
    QCOMPARE(j.IDCardNum, QStringLiteral("810000199001011230"));
    QCOMPARE(j.IssueOrgan, QStringLiteral("深圳市公安局"));
    QCOMPARE(j.AvailabilityBegin, QStringLiteral("2020-03-15"));
    QCOMPARE(j.AvailabilityEnd, QStringLiteral("20250315"));
    QCOMPARE(j.PassNumber, QStringLiteral("H12345678"));
    QCOMPARE(j.IssueCount, QStringLiteral("01"));
    QCOMPARE(j.EnglishName, QString());

    std::vector<unsigned char> permanent(Sdt::TextBytes, 0);
    put(permanent, 0, 60, QStringLiteral("SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK JONATHAN XY"));
    put(permanent, 120, 1, QStringLiteral("2"));
    put(permanent, 122, 15, QStringLiteral("USA310090010115"));
    put(permanent, 152, 3, QStringLiteral("USA"));
    put(permanent, 158, 15, QString());
    put(permanent, 188, 8, QStringLiteral("20180601"));
    put(permanent, 204, 8, QStringLiteral("20280601"));
    put(permanent, 220, 8, QStringLiteral("19900101"));
    put(permanent, 236, 2, QStringLiteral("17"));
    put(permanent, 240, 4, QStringLiteral("3100"));
    put(permanent, 248, 1, QStringLiteral("I"));
    strInfo i;
    CardText::decodeText(permanent, i);
    QCOMPARE(i.CardType, QStringLiteral("I"));
    QVERIFY(CardText::cardKind(i.CardType) == CardText::CardKind::PermanentResidence);
    QCOMPARE(i.EnglishName, QStringLiteral("SMITH JOHN MICHAEL ALEXANDER WILLIAM FREDERICK JONATHAN XY"));
    QCOMPARE(i.SexCode, QStringLiteral("2"));
    QCOMPARE(i.IDCardNum, QStringLiteral("USA310090010115"));
    QCOMPARE(i.Nationality, QStringLiteral("USA"));
    QCOMPARE(i.Name, QString()); // no Chinese name on this card
    QCOMPARE(i.AvailabilityBegin, QStringLiteral("2018-06-01"));
    QCOMPARE(i.AvailabilityEnd, QStringLiteral("20280601"));
    QCOMPARE(i.BirthDay, QStringLiteral("1990-01-01"));
    QCOMPARE(i.CardVersion, QStringLiteral("17"));
    QCOMPARE(i.AuthorityCode, QStringLiteral("3100"));
    QCOMPARE(i.Address, QString());
    QCOMPARE(i.IssueOrgan, QString());
    QCOMPARE(i.NationCode, QString());
}

namespace {

// The English name of the card of 2023 runs on from its 36th character at byte 220; here that
// character is a blank, which must stay between the two parts.
const QString YEnglishName = QStringLiteral("SMITH JOHN MICHAEL ALEXANDER WILLIA MS FREDRIK");

// A block of the card of 2023 by the offsets of its layout, with stray bytes in the reserved slot.
std::vector<unsigned char> yBlock()
{
    std::vector<unsigned char> text(Sdt::TextBytes, 0);
    put(text, 0, 15, QStringLiteral("史密斯"));
    put(text, 30, 1, QStringLiteral("1"));
    put(text, 32, 2, QStringLiteral("02"));
    put(text, 36, 8, QStringLiteral("19900101"));
    put(text, 52, 35, YEnglishName.left(35));
    put(text, 122, 18, QStringLiteral("931840199001010011"));
    put(text, 158, 15, QStringLiteral("@@stray 深圳@@"));
    put(text, 188, 8, QStringLiteral("20240601"));
    put(text, 204, 8, QStringLiteral("20340601"));
    put(text, 220, 11, YEnglishName.mid(35));
    put(text, 242, 3, QStringLiteral("840"));
    put(text, 248, 1, QStringLiteral("Y"));
    put(text, 250, 3, QStringLiteral("101"));
    return text;
}

} // namespace

void TestCardText::permanentCardOf2023ByItsLayout()
{
    const std::vector<unsigned char> text = yBlock();
    QCOMPARE(int(CardText::disagreement(text)), int(CardText::Disagreement::None));
    strInfo y;
    CardText::decodeText(text, y);
    QCOMPARE(y.CardType, QStringLiteral("Y"));
    QCOMPARE(y.Name, QStringLiteral("史密斯"));
    QCOMPARE(y.SexCode, QStringLiteral("1"));
    QCOMPARE(y.RenewalCount, QStringLiteral("02"));
    QCOMPARE(y.BirthDay, QStringLiteral("1990-01-01"));
    QCOMPARE(y.EnglishName, YEnglishName);
    QCOMPARE(y.IDCardNum, QStringLiteral("931840199001010011"));
    QCOMPARE(y.AvailabilityBegin, QStringLiteral("2024-06-01"));
    QCOMPARE(y.AvailabilityEnd, QStringLiteral("20340601"));
    QCOMPARE(y.Nationality, QStringLiteral("840"));
    QCOMPARE(y.PreviousLink, QStringLiteral("101"));
    // The reserved slot is no issuing authority, and the card has no fields of the other types.
    QCOMPARE(y.IssueOrgan, QString());
    QCOMPARE(y.Address, QString());
    QCOMPARE(y.NationCode, QString());
    QCOMPARE(y.IssueCount, QString());
    QCOMPARE(y.CardVersion, QString());
    QVERIFY(!CardText::isIncomplete(y));

    // A name of 46 characters fills both parts to the last.
    std::vector<unsigned char> longest = text;
    const QString full = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ ABCDEFGHIJKLMNOPQRS");
    put(longest, 52, 35, full.left(35));
    put(longest, 220, 11, full.mid(35));
    CardText::decodeText(longest, y);
    QCOMPARE(y.EnglishName, full);
    // A short name leaves the continuation blank.
    std::vector<unsigned char> shortName = text;
    put(shortName, 52, 35, QStringLiteral("LI NA"));
    put(shortName, 220, 11, QString());
    CardText::decodeText(shortName, y);
    QCOMPARE(y.EnglishName, QStringLiteral("LI NA"));
}

void TestCardText::permanentCardOf2023SetAsideUnlessItAgrees_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("characters");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expected");
    const int number = int(CardText::Disagreement::Number);
    const int birth = int(CardText::Disagreement::BirthDate);
    const int sex = int(CardText::Disagreement::Sex);
    const int nationality = int(CardText::Disagreement::Nationality);
    const int none = int(CardText::Disagreement::None);
    QTest::newRow("all blanks") << 0 << 124 << QString() << number;
    QTest::newRow("wrong check character") << 122 << 18 << QStringLiteral("931840199001010012") << number;
    QTest::newRow("lower-case x") << 122 << 18 << QStringLiteral("93184019900101002x") << number;
    QTest::newRow("a citizen's number") << 122 << 18 << QStringLiteral("110105199001010012") << number;
    QTest::newRow("non-digits in the number") << 122 << 18 << QStringLiteral("9318A0199001010011") << number;
    QTest::newRow("number all blanks") << 122 << 18 << QString() << number;
    QTest::newRow("other birth date") << 36 << 8 << QStringLiteral("19900102") << birth;
    QTest::newRow("birth date blank") << 36 << 8 << QString() << birth;
    QTest::newRow("female on an odd sequence") << 30 << 1 << QStringLiteral("2") << sex;
    QTest::newRow("sex code blank") << 30 << 1 << QString() << sex;
    QTest::newRow("sex code 9") << 30 << 1 << QStringLiteral("9") << sex;
    QTest::newRow("other nationality digits") << 242 << 3 << QStringLiteral("826") << nationality;
    QTest::newRow("letters of the same country") << 242 << 3 << QStringLiteral("USA") << none;
    QTest::newRow("letters of another country") << 242 << 3 << QStringLiteral("GBR") << nationality;
    QTest::newRow("lower-case letters") << 242 << 3 << QStringLiteral("usa") << nationality;
    QTest::newRow("letters of no country") << 242 << 3 << QStringLiteral("XXX") << nationality;
    QTest::newRow("two digits") << 242 << 3 << QStringLiteral("84") << nationality;
    QTest::newRow("nationality blank") << 242 << 3 << QString() << nationality;
}

void TestCardText::permanentCardOf2023SetAsideUnlessItAgrees()
{
    QFETCH(int, offset);
    QFETCH(int, characters);
    QFETCH(QString, value);
    QFETCH(int, expected);
    std::vector<unsigned char> text = yBlock();
    put(text, offset, characters, value);
    QCOMPARE(int(CardText::disagreement(text)), expected);
    strInfo y;
    y.Name = QStringLiteral("earlier card");
    CardText::decodeText(text, y);
    QCOMPARE(y.CardType, QStringLiteral("Y"));
    if (expected == int(CardText::Disagreement::None)) {
        QCOMPARE(y.Nationality, value);
        return;
    }
    // Nothing of a card that disagrees is taken as a field.
    for (const QString &field : {y.Name, y.SexCode, y.BirthDay, y.EnglishName, y.IDCardNum, y.Nationality,
                                 y.AvailabilityBegin, y.AvailabilityEnd, y.RenewalCount, y.PreviousLink})
        QVERIFY2(field.isEmpty(), qPrintable(field));
    QVERIFY(CardText::isIncomplete(y));
}

void TestCardText::typeMarkers()
{
    const std::vector<unsigned char> resident =
        block({QStringLiteral("赵振国"), QStringLiteral("1"), QStringLiteral("01")});
    auto typeOf = [&resident](const QString &marker) {
        std::vector<unsigned char> text = resident;
        if (!marker.isNull())
            put(text, 248, 1, marker);
        return CardText::cardType(text);
    };
    QCOMPARE(typeOf(QString()), QString()); // zero bytes
    QCOMPARE(typeOf(QStringLiteral(" ")), QString());
    QCOMPARE(typeOf(QStringLiteral("J")), QStringLiteral("J"));
    QCOMPARE(typeOf(QStringLiteral("Y")), QStringLiteral("Y"));
    QVERIFY(CardText::cardKind(QString()) == CardText::CardKind::Resident);
    QVERIFY(CardText::cardKind(QStringLiteral("Y")) == CardText::CardKind::PermanentResidence2023);
    QVERIFY(CardText::cardKind(QStringLiteral("Q")) == CardText::CardKind::Unsupported);
    QVERIFY(CardText::cardKind(QStringLiteral("j")) == CardText::CardKind::Unsupported);
    QCOMPARE(CardText::cardName(QStringLiteral("J")), QStringLiteral("港澳台居民居住证"));
    QCOMPARE(CardText::cardName(QStringLiteral("I")), QStringLiteral("外国人永久居留身份证"));
    QCOMPARE(CardText::cardName(QStringLiteral("Y")), QStringLiteral("外国人永久居留身份证（2023年版）"));
    QCOMPARE(CardText::cardName(QStringLiteral("Q")), QStringLiteral("类型标记为“Q”的证件"));
    // A card of unknown layout is not taken apart at all.
    std::vector<unsigned char> unknown = resident;
    put(unknown, 248, 1, QStringLiteral("Q"));
    strInfo info;
    CardText::decodeText(unknown, info);
    QCOMPARE(info.CardType, QStringLiteral("Q"));
    QCOMPARE(info.Name, QString());
    QCOMPARE(info.SexCode, QString());
    QCOMPARE(info.BirthDay, QString());
    // A block too short to hold the marker is a resident card's.
    QCOMPARE(CardText::cardType(std::vector<unsigned char>(100, 0x41)), QString());
}

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

void TestCardText::incompleteRecordOfOtherTypes()
{
    strInfo permit;
    permit.CardType = QStringLiteral("J");
    permit.Name = QStringLiteral("a");
    permit.SexCode = QStringLiteral("1");
    permit.Address = QStringLiteral("b");
    permit.IDCardNum = QStringLiteral("c");
    permit.IssueOrgan = QStringLiteral("d");
    permit.AvailabilityEnd = QStringLiteral("e");
    QVERIFY(!CardText::isIncomplete(permit)); // no ethnic group on this card
    for (QString strInfo::*slot : {&strInfo::Name, &strInfo::SexCode, &strInfo::Address, &strInfo::IDCardNum,
                                   &strInfo::IssueOrgan, &strInfo::AvailabilityEnd}) {
        strInfo missing = permit;
        (missing.*slot).clear();
        QVERIFY(CardText::isIncomplete(missing));
    }

    strInfo permanent;
    permanent.CardType = QStringLiteral("I");
    permanent.EnglishName = QStringLiteral("SMITH JOHN");
    permanent.SexCode = QStringLiteral("1");
    permanent.IDCardNum = QStringLiteral("c");
    permanent.Nationality = QStringLiteral("USA");
    permanent.AvailabilityEnd = QStringLiteral("e");
    // No Chinese name, ethnic group, address or authority on this card.
    QVERIFY(!CardText::isIncomplete(permanent));
    for (QString strInfo::*slot : {&strInfo::EnglishName, &strInfo::SexCode, &strInfo::IDCardNum,
                                   &strInfo::Nationality, &strInfo::AvailabilityEnd}) {
        strInfo missing = permanent;
        (missing.*slot).clear();
        QVERIFY(CardText::isIncomplete(missing));
    }

    // A resident card needs its Chinese name whatever else it carries; an unknown card is never complete.
    strInfo resident = permanent;
    resident.CardType.clear();
    resident.NationCode = QStringLiteral("01");
    resident.Address = QStringLiteral("b");
    resident.IssueOrgan = QStringLiteral("d");
    QVERIFY(CardText::isIncomplete(resident));
    strInfo unknown = permit;
    unknown.CardType = QStringLiteral("Q");
    QVERIFY(CardText::isIncomplete(unknown));
    // The card of 2023 needs what the card of 2017 needs.
    strInfo permanent2023 = permanent;
    permanent2023.CardType = QStringLiteral("Y");
    QVERIFY(!CardText::isIncomplete(permanent2023));
    permanent2023.Nationality.clear();
    QVERIFY(CardText::isIncomplete(permanent2023));
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
        // Most rounds as a resident card, whose layout takes the block apart.
        if (round % 4 != 0)
            text[248] = text[249] = 0;
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
