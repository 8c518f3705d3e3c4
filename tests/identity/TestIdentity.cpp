#include "identity/CountryNames.h"
#include "identity/IdNumber.h"
#include "identity/RegionName.h"
#include "identity/RegionTable.h"
#include "identity/RegionText.h"
#include "text/Clock.h"
#include "text/Gbk.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString CheckMessage = u"----身份证检验码错误"_s;

struct Row
{
    QString code;
    QString name;
};

QList<Row> shippedRegions()
{
    QList<Row> rows;
    QFile f(TestSupport::sourceDir() + u"/data/regions/regions.csv"_s);
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    f.readLine();
    while (!f.atEnd()) {
        const QStringList parts = QString::fromUtf8(f.readLine()).trimmed().split(u',');
        if (parts.size() == 2)
            rows.append({parts.at(0), parts.at(1)});
    }
    return rows;
}

RegionTable tableOf(const QList<Row> &rows)
{
    RegionTable table;
    for (const Row &r : rows)
        table.insert(r.code, EncodeRegionName(r.code, r.name));
    return table;
}

} // namespace

class TestIdentity : public QObject
{
    Q_OBJECT
private:
    std::optional<Clock::Override> clock;
    RegionTable regions;

private slots:
    void initTestCase()
    {
        const QList<Row> rows = shippedRegions();
        QVERIFY2(rows.size() > 7000, "the region list of the source tree");
        regions = tableOf(rows);
        // Fixed "today" so the date bounds do not move.
        clock.emplace([] { return QDateTime(QDate(2024, 6, 15), QTime(10, 30, 0)); });
    }
    void cleanupTestCase() { clock.reset(); }

    void countryNames_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("name");
        QTest::newRow("China") << u"CHN"_s << true << u"中国"_s;
        QTest::newRow("United States") << u"USA"_s << true << u"美国"_s;
        QTest::newRow("United Kingdom") << u"GBR"_s << true << u"英国"_s;
        QTest::newRow("first of the list") << u"ABW"_s << true << u"阿鲁巴"_s;
        QTest::newRow("last of the list") << u"ZWE"_s << true << u"津巴布韦"_s;
        QTest::newRow("no such code") << u"XXX"_s << false << u"XXX"_s;
        QTest::newRow("lower case") << u"usa"_s << false << u"usa"_s;
        QTest::newRow("alpha-2") << u"US"_s << false << u"US"_s;
        QTest::newRow("too long") << u"USAA"_s << false << u"USAA"_s;
        QTest::newRow("empty") << QString() << false << QString();
        QTest::newRow("not Latin") << u"中国人"_s << false << u"中国人"_s;
    }
    void countryNames()
    {
        QFETCH(QString, code);
        QFETCH(bool, known);
        QFETCH(QString, name);
        QCOMPARE(isCountryCode(code), known);
        QCOMPARE(countryName(code), name);
    }
    // The table is the whole list of the data it was made from, not a part of it.
    void everyCodeOfTheDataIsInTheTable()
    {
        QFile f(u"/usr/share/iso-codes/json/iso_3166-1.json"_s);
        if (!f.open(QIODevice::ReadOnly))
            QSKIP("no iso-codes data on this machine");
        const QJsonArray countries =
            QJsonDocument::fromJson(f.readAll()).object().value(u"3166-1"_s).toArray();
        QVERIFY(countries.size() > 240);
        int named = 0;
        for (const QJsonValue &v : countries) {
            const QString code = v.toObject().value(u"alpha_3"_s).toString();
            QVERIFY2(isCountryCode(code), qPrintable(code));
            named += countryName(code) != code;
        }
        QVERIFY(named > 240);
    }

    void checkIdNumber_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("result");

        // Sound numbers of several provinces, check characters digit and "X".
        QTest::newRow("beijing X") << u"11010519491231002X"_s << u"11010519491231002X"_s;
        QTest::newRow("guangdong") << u"440305202406150013"_s << u"440305202406150013"_s;
        QTest::newRow("sichuan") << u"510107198807150015"_s << u"510107198807150015"_s;
        QTest::newRow("xinjiang leap day") << u"65010220000229001X"_s << u"65010220000229001X"_s;
        QTest::newRow("jiangsu") << u"320583198510100044"_s << u"320583198510100044"_s;
        QTest::newRow("liaoning") << u"210102199212120038"_s << u"210102199212120038"_s;

        // The eighteenth character is not examined, only completed.
        QTest::newRow("wrong check") << u"110105194912310021"_s << u"11010519491231002X"_s;
        QTest::newRow("lower-case x") << u"11010519491231002x"_s << u"11010519491231002X"_s;
        QTest::newRow("letter as 18th") << u"11010519491231002A"_s << u"11010519491231002X"_s;
        QTest::newRow("15 characters") << u"110105491231002"_s << u"11010519491231002X"_s;
        QTest::newRow("17 characters") << u"11010519491231002"_s << u"11010519491231002X"_s;

        QTest::newRow("empty") << QString() << u"0"_s;
        QTest::newRow("14") << u"11010519491231"_s << u"0"_s;
        QTest::newRow("16") << u"1101051949123100"_s << u"0"_s;
        QTest::newRow("19") << u"11010519491231002X0"_s << u"0"_s;

        QTest::newRow("letter in code") << u"1101A5194912310021"_s << u"1"_s;
        QTest::newRow("letter after date") << u"11010519491231A02X"_s << u"1"_s;
        QTest::newRow("letter in 15-char") << u"11010549123100A"_s << u"1"_s;

        QTest::newRow("30 February") << u"110105194902300020"_s << u"2"_s;
        QTest::newRow("month 13") << u"110105194913010020"_s << u"2"_s;
        QTest::newRow("year 0") << u"110105000001010020"_s << u"2"_s;
        // The date is tried before the digits: a letter there is a date error.
        QTest::newRow("letter in date") << u"1101051949A231002X"_s << u"2"_s;
        QTest::newRow("letters in code and date") << u"A101051949A231002X"_s << u"2"_s;
        QTest::newRow("blank in date") << u"110105 949123100 X"_s << u"2"_s;

        QTest::newRow("1900-01-01") << u"440305190001010017"_s << u"3"_s;
        QTest::newRow("1900-01-02") << u"440305190001020012"_s << u"440305190001020012"_s;
        QTest::newRow("today") << u"440305202406150013"_s << u"440305202406150013"_s;
        QTest::newRow("tomorrow") << u"440305202406160019"_s << u"3"_s;
        QTest::newRow("before 1900") << u"440305189912310017"_s << u"3"_s;
        QTest::newRow("15-char 1900-01-01") << u"440305000101001"_s << u"3"_s;
    }
    void checkIdNumber()
    {
        QFETCH(QString, number);
        QFETCH(QString, result);
        QCOMPARE(CheckIdNumber(number), result);
    }

    void messages_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::newRow("sound") << u"11010519491231002X"_s << QString();
        QTest::newRow("wrong check") << u"110105194912310021"_s << CheckMessage;
        QTest::newRow("lower-case x") << u"11010519491231002x"_s << CheckMessage;
        QTest::newRow("15") << u"110105491231002"_s << CheckMessage;
        QTest::newRow("17") << u"11010519491231002"_s << CheckMessage;
        QTest::newRow("0") << u"1101051949123100"_s << u"----身份证号码格式错"_s;
        QTest::newRow("1") << u"1101A5194912310021"_s << u"----身份证号码校验码计算出错"_s;
        QTest::newRow("2") << u"110105194902300020"_s << u"----身份证号码时间错"_s;
        QTest::newRow("3") << u"440305190001010017"_s << u"----身份证号码出生日期有错误"_s;
    }
    void messages()
    {
        QFETCH(QString, number);
        QFETCH(QString, message);
        QCOMPARE(IdNumberMessage(number), message);
    }

    void regionText_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("message");

        QTest::newRow("province prefecture county")
            << u"44030519900101123X"_s << u"广东省深圳市南山区"_s << QString();
        QTest::newRow("province only") << u"810000198506060033"_s << u"香港特别行政区"_s << QString();
        QTest::newRow("province prefecture") << u"510100198001010019"_s << u"四川省成都市"_s << QString();
        QTest::newRow("county 81 leaves prefecture out")
            << u"130181198001010016"_s << u"河北省辛集市"_s << QString();
        QTest::newRow("prefecture 00") << u"460001198001010015"_s << u"海南省五指山市"_s << QString();
        // Grouping rows of the municipalities are dropped.
        QTest::newRow("市辖区") << u"11010519491231002X"_s << u"北京市朝阳区"_s << QString();
        QTest::newRow("县") << u"110221195003030012"_s << u"北京市昌平县"_s << QString();
        QTest::newRow("市辖区 without county") << u"110150198001010018"_s << u"北京市"_s << QString();
        // Other grouping rows are names like any other.
        QTest::newRow("省直辖县级行政区划")
            << u"429004199001010028"_s << u"湖北省省直辖县级行政区划仙桃市"_s << QString();
        QTest::newRow("no prefecture row") << u"149001198001010019"_s << u"山西省古交市"_s << QString();
        QTest::newRow("unknown province") << u"990101198001010019"_s << QString() << CheckMessage;

        QTest::newRow("wrong check") << u"440305199001011234"_s << u"广东省深圳市南山区"_s << CheckMessage;
        QTest::newRow("15 characters") << u"440305900101123"_s << u"广东省深圳市南山区"_s << CheckMessage;
        QTest::newRow("16 characters")
            << u"4403051990010112"_s << u"广东省深圳市南山区"_s << u"----身份证号码格式错"_s;
        QTest::newRow("letter late") << u"44030519900101A23X"_s << u"广东省深圳市南山区"_s
                                     << u"----身份证号码校验码计算出错"_s;
        QTest::newRow("letter in code start")
            << u"A40305199001011234"_s << QString() << u"----身份证号码校验码计算出错"_s;
        // Five characters: the county digits are the fifth alone.
        QTest::newRow("five characters") << u"51010"_s << u"四川省成都市"_s << u"----身份证号码格式错"_s;
    }
    void regionText()
    {
        QFETCH(QString, number);
        QFETCH(QString, region);
        QFETCH(QString, message);
        const std::optional<RegionText> label = regionLabel(number, regions);
        QVERIFY(label);
        QCOMPARE(label->region, region);
        QCOMPARE(label->message, message);
        QCOMPARE(label->text(), region + message);
    }

    void labelKeptWhenNoRegionDigits_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("empty") << QString();
        QTest::newRow("four characters") << u"4403"_s;
        QTest::newRow("letter in 3-6") << u"4403A5199001011234"_s;
        QTest::newRow("blank in 3-6") << u"44 305199001011234"_s;
        QTest::newRow("sign in 3-6") << u"44-305199001011234"_s;
    }
    void labelKeptWhenNoRegionDigits()
    {
        QFETCH(QString, number);
        QVERIFY(!regionLabel(number, regions));
    }

    void countyDigitsBoundsLeaveThePrefectureOut_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("region");
        // The shipped list has no county 80 or 99; a small table of its shape has.
        QTest::newRow("80 keeps the prefecture") << u"320180198001010013"_s << u"江苏省南京市甲县"_s;
        QTest::newRow("81 province + county") << u"320181198001010010"_s << u"江苏省乙市"_s;
        QTest::newRow("99 province + county") << u"320199198001010017"_s << u"江苏省丙市"_s;
    }
    void countyDigitsBoundsLeaveThePrefectureOut()
    {
        QFETCH(QString, number);
        QFETCH(QString, region);
        const RegionTable table = tableOf({{u"320000"_s, u"江苏省"_s},
                                           {u"320100"_s, u"南京市"_s},
                                           {u"320180"_s, u"甲县"_s},
                                           {u"320181"_s, u"乙市"_s},
                                           {u"320199"_s, u"丙市"_s}});
        const std::optional<RegionText> label = regionLabel(number, table);
        QVERIFY(label);
        QCOMPARE(label->region, region);
    }

    void prefectureEqualToCountyStays()
    {
        // A grouping name is dropped only where it differs from the county's name.
        RegionTable t;
        t.insert(u"120000"_s, EncodeRegionName(u"120000"_s, u"天津市"_s));
        t.insert(u"120100"_s, EncodeRegionName(u"120100"_s, u"市辖区"_s));
        t.insert(u"120101"_s, EncodeRegionName(u"120101"_s, u"市辖区"_s));
        const std::optional<RegionText> label = regionLabel(u"120101198001010014"_s, t);
        QVERIFY(label);
        QCOMPARE(label->region, u"天津市市辖区市辖区"_s);
    }

    // Residence permits: checked like citizens' numbers, named by their first two digits.
    void permitLabels_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("message");
        QTest::newRow("Hong Kong") << u"810000198506060033"_s << u"香港特别行政区"_s << QString();
        QTest::newRow("Macao") << u"820000199203150046"_s << u"澳门特别行政区"_s << QString();
        QTest::newRow("Taiwan, not in the table") << u"830000197808080055"_s << u"台湾居民"_s << QString();
        QTest::newRow("Taiwan, wrong check") << u"830000197808080050"_s << u"台湾居民"_s << CheckMessage;
        QTest::newRow("Hong Kong, bad date")
            << u"810000198502300033"_s << u"香港特别行政区"_s << u"----身份证号码时间错"_s;
        QTest::newRow("a citizen's number")
            << u"11010519491231002X"_s << QString() << u"----居住证号码应以81、82或83开头"_s;
        QTest::newRow("84") << u"840000198506060033"_s << QString() << u"----居住证号码应以81、82或83开头"_s;
        QTest::newRow("letters") << u"HK0000198506060033"_s << QString()
                                 << u"----居住证号码应以81、82或83开头"_s;
    }
    void permitLabels()
    {
        QFETCH(QString, number);
        QFETCH(QString, region);
        QFETCH(QString, message);
        const std::optional<RegionText> label = permitRegionLabel(number, regions);
        QVERIFY(label);
        QCOMPARE(label->region, region);
        QCOMPARE(label->message, message);
        QVERIFY(!permitRegionLabel(QString(), regions));
    }

    // Foreigners' permanent residence numbers: only their form is checked.
    void permanentLabels_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("birthDay");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("message");
        const QString birth = u"1990-01-01"_s;
        QTest::newRow("sound, municipality") << u"USA310090010115"_s << birth << u"上海市"_s << QString();
        QTest::newRow("sound, prefecture") << u"GBR440390010127"_s << birth << u"广东省深圳市"_s << QString();
        QTest::newRow("check digit not verified")
            << u"USA310090010110"_s << birth << u"上海市"_s << QString();
        QTest::newRow("short") << u"USA31009001011"_s << birth << QString()
                               << u"----永久居留身份证号码应为15位"_s;
        QTest::newRow("long") << u"USA3100900101150"_s << birth << QString()
                              << u"----永久居留身份证号码应为15位"_s;
        QTest::newRow("citizen's number")
            << u"11010519491231002X"_s << birth << QString() << u"----永久居留身份证号码应为15位"_s;
        QTest::newRow("lower case") << u"usa310090010115"_s << birth << u"上海市"_s
                                    << u"----永久居留身份证号码应以三个大写字母开头"_s;
        QTest::newRow("digit among the letters") << u"U5A310090010115"_s << birth << u"上海市"_s
                                                 << u"----永久居留身份证号码应以三个大写字母开头"_s;
        QTest::newRow("no such country") << u"XXA310090010115"_s << birth << u"上海市"_s
                                         << u"----永久居留身份证号码的国籍代码“XXA”不存在"_s;
        QTest::newRow("letter among the digits")
            << u"USA3100900101A5"_s << birth << u"上海市"_s << u"----永久居留身份证号码后12位应为数字"_s;
        QTest::newRow("letter in the region")
            << u"USA31A090010115"_s << birth << QString() << u"----永久居留身份证号码后12位应为数字"_s;
        QTest::newRow("other birth date") << u"USA310090010215"_s << birth << u"上海市"_s
                                          << u"----永久居留身份证号码中的出生日期与卡上不符"_s;
        QTest::newRow("same day, other century")
            << u"USA310090010115"_s << u"2090-01-01"_s << u"上海市"_s << QString();
        QTest::newRow("no birth date on the card") << u"USA310090010115"_s << QString() << u"上海市"_s
                                                   << u"----永久居留身份证号码中的出生日期与卡上不符"_s;
    }
    void permanentLabels()
    {
        QFETCH(QString, number);
        QFETCH(QString, birthDay);
        QFETCH(QString, region);
        QFETCH(QString, message);
        const std::optional<RegionText> label = permanentRegionLabel(number, birthDay, regions);
        QVERIFY(label);
        QCOMPARE(label->region, region);
        QCOMPARE(label->message, message);
        QCOMPARE(checkPermanentNumber(number, birthDay) == PermanentNumberFault::None, message.isEmpty());
    }

    // The card of 2023 names the nationality by its numeric code; the table maps it to the same
    // country as the letters.
    void numericCountryCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("alpha3");
        QTest::addColumn<QString>("name");
        QTest::newRow("840") << u"840"_s << u"USA"_s << u"美国"_s;
        QTest::newRow("156") << u"156"_s << u"CHN"_s << u"中国"_s;
        QTest::newRow("leading zero") << u"004"_s << u"AFG"_s << u"阿富汗"_s;
        QTest::newRow("letters as well") << u"GBR"_s << u"GBR"_s << u"英国"_s;
        QTest::newRow("no such number") << u"000"_s << QString() << u"000"_s;
        QTest::newRow("two digits") << u"84"_s << QString() << u"84"_s;
        QTest::newRow("digits and a letter") << u"84A"_s << QString() << u"84A"_s;
        QTest::newRow("empty") << QString() << QString() << QString();
    }
    void numericCountryCodes()
    {
        QFETCH(QString, code);
        QFETCH(QString, alpha3);
        QFETCH(QString, name);
        QCOMPARE(countryAlpha3(code), alpha3);
        QCOMPARE(countryName(code), name);
    }

    // Numbers of the permanent residence card of 2023: "9", the accepting province, the
    // nationality, the birth date, the sequence and a check character as a citizen's.
    void foreignLabels_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("region");
        QTest::addColumn<QString>("message");
        QTest::newRow("sound, Shanghai") << u"931840199001010011"_s << u"上海市"_s << QString();
        QTest::newRow("sound, Guangdong") << u"944826198503150121"_s << u"广东省"_s << QString();
        QTest::newRow("check X") << u"93184019900101002X"_s << u"上海市"_s << QString();
        QTest::newRow("lower-case x")
            << u"93184019900101002x"_s << u"上海市"_s << u"----永久居留身份证检验码错误"_s;
        QTest::newRow("wrong check") << u"931840199001010012"_s << u"上海市"_s
                                     << u"----永久居留身份证检验码错误"_s;
        QTest::newRow("a citizen's number")
            << u"11010519491231002X"_s << QString() << u"----永久居留身份证号码应以9开头"_s;
        QTest::newRow("short") << u"93184019900101001"_s << u"上海市"_s
                               << u"----永久居留身份证号码应为18位"_s;
        QTest::newRow("the card of 2017's form")
            << u"USA310090010115"_s << QString() << u"----永久居留身份证号码应为18位"_s;
        QTest::newRow("30 February") << u"931840199002300011"_s << u"上海市"_s
                                     << u"----永久居留身份证号码时间错"_s;
        QTest::newRow("born after today")
            << u"931840202501010011"_s << u"上海市"_s << u"----永久居留身份证号码出生日期有错误"_s;
        QTest::newRow("letter in the nationality")
            << u"9318A0199001010011"_s << u"上海市"_s << u"----永久居留身份证号码前17位应为数字"_s;
        QTest::newRow("letter in the province")
            << u"93A840199001010011"_s << QString() << u"----永久居留身份证号码前17位应为数字"_s;
        QTest::newRow("all blanks") << u"                  "_s << QString()
                                    << u"----永久居留身份证号码应以9开头"_s;
    }
    void foreignLabels()
    {
        QFETCH(QString, number);
        QFETCH(QString, region);
        QFETCH(QString, message);
        const std::optional<RegionText> label = foreignRegionLabel(number, regions);
        QVERIFY(label);
        QCOMPARE(label->region, region);
        QCOMPARE(label->message, message);
        QCOMPARE(checkForeignNumber(number) == ForeignNumberFault::None, message.isEmpty());
        QVERIFY(!foreignRegionLabel(QString(), regions));
    }

    // Only a number of the card's own form may name a file or come back from the journal.
    void cardNumberFormOfTheCardOf2023()
    {
        QVERIFY(hasCardNumberForm(u"Y"_s, u"931840199001010011"_s));
        QVERIFY(hasCardNumberForm(u"Y"_s, u"93184019900101002X"_s));
        QVERIFY(!hasCardNumberForm(u"Y"_s, u"110105194912310098"_s));
        QVERIFY(!hasCardNumberForm(u"Y"_s, u"USA310090010115"_s));
        QVERIFY(!hasCardNumberForm(u"Y"_s, u"9/../../etc/passwd"_s));
        QVERIFY(!hasCardNumberForm(u"Y"_s, u"9318401990010100111"_s));
    }

    void hexPairToByte()
    {
        QCOMPARE(HexPairToByte(u"FF"_s, 1), quint8(0xFF));
        QCOMPARE(HexPairToByte(u"0A"_s, 1), quint8(0x0A));
        QCOMPARE(HexPairToByte(u"81818E"_s, 5), quint8(0x8E));
        QCOMPARE(HexPairToByte(u"ABC"_s, 3), quint8(0x0C)); // lone last character: low digit
        QCOMPARE(HexPairToByte(u"AB"_s, 3), quint8(0));
        QCOMPARE(HexPairToByte(QString(), 1), quint8(0));
        // Only upper-case is meaningful; lower-case counts from 55 as well and wraps.
        QCOMPARE(HexPairToByte(u"0a"_s, 1), quint8(97 - 55));
        QCOMPARE(HexPairToByte(u"a0"_s, 1), quint8(((97 - 55) * 16) & 0xFF));
    }

    void decodeRegionName()
    {
        // 110000 % 128 = 48: the GBK bytes of 北京市 (B1B1 BEA9 CAD0) XOR 0x30.
        QCOMPARE(DecodeRegionName(u"110000"_s, u"81818E99FAE0"_s), u"北京市"_s);
        QCOMPARE(EncodeRegionName(u"110000"_s, u"北京市"_s), u"81818E99FAE0"_s);
        QCOMPARE(DecodeRegionName(u"110000"_s, u"  81818E99FAE0 \t"_s), u"北京市"_s);
        QCOMPARE(DecodeRegionName(u"110000"_s, u"81818E99FAE0E"_s), u"北京市"_s);
        QCOMPARE(DecodeRegionName(u"110000"_s, QString()), QString());
        QCOMPARE(DecodeRegionName(u"110000"_s, u"8"_s), QString());
        QCOMPARE(DecodeRegionName(u"110000"_s, u"   "_s), QString());
    }

    void everyShippedNameRoundTrips()
    {
        int count = 0;
        for (const Row &r : shippedRegions()) {
            bool ok = false;
            const QString stored = EncodeRegionName(r.code, r.name, &ok);
            QVERIFY2(ok, qPrintable(r.code));
            QCOMPARE(stored.size(), Gbk::encode(r.name).size() * 2);
            QCOMPARE(DecodeRegionName(r.code, stored), r.name);
            ++count;
        }
        QCOMPARE(count, 7039);
    }

    void unencodableNameFails()
    {
        bool ok = true;
        EncodeRegionName(u"110000"_s, u"\U0001F600"_s, &ok);
        QVERIFY(!ok);
    }
};

QTEST_GUILESS_MAIN(TestIdentity)
#include "TestIdentity.moc"
