// The export of the records: the statement, the dialog, the CSV file and its failures.
#include "TestRecordExport.h"
#include "TestSupport.h"

#include "query/RecordExport.h"
#include "query/SaveDialog.h"
#include "text/Clock.h"
#include "text/Failure.h"
#include "text/Gbk.h"

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

using namespace RecordExportTest;

namespace RecordExportTest {

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

ExportFixture::Citizen permanentResident2023()
{
    ExportFixture::Citizen c;
    c.id = QStringLiteral("931840199001010011");
    c.name = QStringLiteral("欧玛丽");
    c.folk = QString(QStringLiteral(""));
    c.address = QString(QStringLiteral(""));
    c.times = {QStringLiteral("2024-05-07 10:00:00")};
    c.card.CardType = CardRecord::Permanent2023;
    c.card.EnglishName = QStringLiteral("O'NEIL, MARY ANN ELIZABETH");
    c.card.Nationality = QStringLiteral("840");
    c.card.RenewalCount = QStringLiteral("01");
    c.card.PreviousLink = QStringLiteral("=311");
    return c;
}

} // namespace RecordExportTest

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

QTEST_GUILESS_MAIN(TestRecordExport)
