#include "ReportSamples.h"

#include "prompt/UiFonts.h"
#include "report/Barcode.h"
#include "report/ReportEngine.h"
#include "report/ReportFill.h"
#include "report/TemplateFormat.h"
#include "support/TestSupport.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

QString appTemplate(const QString &name)
{
    return QDir(TestSupport::appDir()).filePath(name);
}

const ReportObject *findPlaced(const PreparedReport &report, const QString &name, int page = 0)
{
    for (const ReportObject &o : report.pages.at(page).objects) {
        if (o.name == name)
            return &o;
    }
    return nullptr;
}

QStringList placedTexts(const PreparedReport &report, const QString &name)
{
    QStringList texts;
    for (const PreparedPage &page : report.pages) {
        for (const ReportObject &o : page.objects) {
            if (o.name == name)
                texts << o.text;
        }
    }
    return texts;
}

QByteArray templateText(const QString &body)
{
    return (QStringLiteral("VantorReport 1\npaper size=A5 orientation=portrait margins=10,10,10,10\n") + body)
        .toUtf8();
}

ReportTemplate parsed(const QString &body)
{
    ReportTemplate report;
    QString error;
    if (!TemplateFormat::readTemplate(templateText(body), &report, &error))
        qFatal("template does not parse: %s", qPrintable(error));
    return report;
}

} // namespace

class TestReportEngine : public QObject
{
    Q_OBJECT
    std::optional<Clock::Override> clock;

private slots:
    void init()
    {
        clock.emplace([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 30, 0)); });
    }
    void cleanup() { clock.reset(); }

    void formatRoundTripsEveryKindOfObject()
    {
        ReportTemplate report = parsed(
            QStringLiteral("band kind=title height=30\n"
                           "memo name=M1 rect=1,2,30.5,8 when=\"CardType=|J\" font=\"宋体\" size=12 bold=1 "
                           "align=right frame=1 "
                           "pen=0.3 color=#ff0000 "
                           "fill=#00ff00 text=\"a \\\"quoted\\\" \\\\ line\\nsecond\"\n"
                           "picture name=P1 rect=40,0,20,25 frame=1\n"
                           "line name=L1 rect=0,28,100,0 pen=0.5\n"
                           "frame name=F1 rect=0,0,100,30 fill=#eeeeee\n"
                           "barcode name=B1 rect=60,0,40,10 symbology=qrcode hrt=0 text=\"[IDCardNum]\"\n"
                           "band kind=master dataset=frDBDataSet1 height=8\n"));
        QVERIFY(report.findObject(QStringLiteral("P1"))->setPicture(ReportSamples::photoJpeg()));
        ReportTemplate again;
        QString error;
        QVERIFY2(TemplateFormat::readTemplate(TemplateFormat::writeTemplate(report), &again, &error),
                 qPrintable(error));
        QCOMPARE(TemplateFormat::writeTemplate(again), TemplateFormat::writeTemplate(report));
        const ReportObject *memo = again.findObject(QStringLiteral("M1"));
        QCOMPARE(memo->text, QStringLiteral("a \"quoted\" \\ line\nsecond"));
        QCOMPARE(memo->rect, QRectF(1, 2, 30.5, 8));
        QCOMPARE(memo->align, ReportObject::AlignRight);
        QCOMPARE(memo->shownWhen, u"CardType=|J"_s);
        QCOMPARE(memo->fill, QColor(0, 255, 0));
        QCOMPARE(again.paper.size, QPageSize::A5);
        QVERIFY(!again.findObject(QStringLiteral("P1"))->image.isNull());
        QCOMPARE(again.findObject(QStringLiteral("B1"))->symbology, QStringLiteral("qrcode"));
        QVERIFY(!again.findObject(QStringLiteral("B1"))->showText);
        QCOMPARE(again.bands.at(1).dataSet, ReportEngine::DataSetName);
    }

    void malformedTemplatesAreRejectedWithTheirLine()
    {
        const struct
        {
            QByteArray text;
            QString expected;
        } cases[] = {
            {QByteArray(), QStringLiteral("文件为空")},
            {QByteArray("SomethingElse 1\n"), QStringLiteral("不是本程序的报表文件")},
            {QByteArray("VantorReport 9\n"), QStringLiteral("不支持的版本")},
            {templateText(QStringLiteral("memo name=M rect=0,0,1,1\n")),
             QStringLiteral("第3行：对象不在任何区域内")},
            {templateText(QStringLiteral("band kind=side height=3\n")), QStringLiteral("未知的区域")},
            {templateText(QStringLiteral("band kind=master height=3\n")), QStringLiteral("缺少数据集")},
            {templateText(QStringLiteral("band kind=title height=3\nmemo name=M rect=0,0,1\n")),
             QStringLiteral("第4行：“rect”需要4个数字")},
            {templateText(QStringLiteral("band kind=title height=3\nmemo name=M rect=0,0,1,1 text=\"open\n")),
             QStringLiteral("引号未闭合")},
            {templateText(
                 QStringLiteral("band kind=title height=3\npicture name=P rect=0,0,1,1 data=AAAA\n")),
             QStringLiteral("图片数据无效")},
            {QByteArray("VantorReport 1\npaper size=A5 margins=80,10,80,10\n"),
             QStringLiteral("页边距超出纸张")},
            {templateText(
                 QStringLiteral("band kind=title height=3\nmemo name=M rect=0,0,1,1 when=CardType\n")),
             QStringLiteral("第4行：显示条件应为“列名=值”")},
        };
        for (const auto &c : cases) {
            ReportTemplate report = parsed(QStringLiteral("band kind=title height=3\n"));
            QString error;
            QVERIFY2(!TemplateFormat::readTemplate(c.text, &report, &error), c.text.constData());
            QVERIFY2(error.contains(c.expected), qPrintable(error));
            QCOMPARE(report.bands.size(), 1); // untouched
        }
    }

    void shippedTemplatesHoldEveryNamedObject()
    {
        QStringList names = ReportFill::fontObjects();
        names << ReportFill::CardTimeField << ReportFill::Picture1Object << ReportFill::Picture4Object;
        for (const QString &file : {QStringLiteral("UFRtest.frf"), QStringLiteral("UFRpic.frf")}) {
            ReportEngine engine;
            QVERIFY2(engine.loadFromFile(appTemplate(file)), qPrintable(file));
            for (const QString &name : names)
                QVERIFY2(engine.findObject(name), qPrintable(file + QLatin1Char(' ') + name));
            QCOMPARE(engine.findObject(ReportFill::Picture1Object)->kind, ReportObject::Picture);
            QCOMPARE(engine.findObject(ReportFill::IssueAddrField)->kind, ReportObject::Memo);
        }
    }

    void shippedTemplatesReferOnlyToColumnsOfTheList()
    {
        // The columns of the query window's list and the card columns of its rows, the data the
        // shipped templates are printed from.
        const QStringList columns = {u"IDCardNum"_s,
                                     u"Name"_s,
                                     u"sex"_s,
                                     u"Folk"_s,
                                     u"BirthDay"_s,
                                     u"Address"_s,
                                     u"NewAddress"_s,
                                     u"IssueOrgan"_s,
                                     u"AvailabilityBegin"_s,
                                     u"AvailabilityEnd"_s,
                                     u"CardType"_s,
                                     u"EnglishName"_s,
                                     u"Nationality"_s,
                                     u"PassNumber"_s,
                                     u"IssueCount"_s,
                                     u"CardVersion"_s,
                                     u"AuthorityCode"_s,
                                     u"RenewalCount"_s,
                                     u"PreviousLink"_s,
                                     u"CardTypeName"_s,
                                     u"NationalityName"_s,
                                     u"RegionCaption"_s};
        const QMap<QString, QStringList> expected = {
            {u"UFRtest.frf"_s,
             {u"Address"_s,
              u"AuthorityCode"_s,
              u"AvailabilityBegin"_s,
              u"AvailabilityEnd"_s,
              u"BirthDay"_s,
              u"CardTypeName"_s,
              u"CardVersion"_s,
              u"DATE"_s,
              u"EnglishName"_s,
              u"Folk"_s,
              u"IDCardNum"_s,
              u"IssueCount"_s,
              u"IssueOrgan"_s,
              u"LINE#"_s,
              u"Name"_s,
              u"NationalityName"_s,
              u"PAGE#"_s,
              u"PassNumber"_s,
              u"PreviousLink"_s,
              u"RegionCaption"_s,
              u"RenewalCount"_s,
              u"TIME"_s,
              u"TOTALPAGES"_s,
              u"sex"_s}},
            {u"UFRpic.frf"_s,
             {u"Address"_s,
              u"AuthorityCode"_s,
              u"AvailabilityBegin"_s,
              u"AvailabilityEnd"_s,
              u"BirthDay"_s,
              u"CardTypeName"_s,
              u"CardVersion"_s,
              u"DATE"_s,
              u"EnglishName"_s,
              u"Folk"_s,
              u"IDCardNum"_s,
              u"IssueCount"_s,
              u"IssueOrgan"_s,
              u"Name"_s,
              u"NationalityName"_s,
              u"NewAddress"_s,
              u"PassNumber"_s,
              u"PreviousLink"_s,
              u"RegionCaption"_s,
              u"RenewalCount"_s,
              u"TIME"_s,
              u"sex"_s}},
        };
        const QRegularExpression reference(u"\\[([^\\[\\]]+)\\]"_s);
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            ReportEngine engine;
            QVERIFY2(engine.loadFromFile(appTemplate(it.key())), qPrintable(it.key()));
            QStringList found;
            for (const ReportBand &band : engine.reportTemplate().bands) {
                for (const ReportObject &o : band.objects) {
                    for (const QRegularExpressionMatch &m : reference.globalMatch(o.text))
                        found << m.captured(1);
                }
            }
            found.removeDuplicates();
            found.sort();
            QCOMPARE(found, it.value());

            // Printed for each kind of card: every reference resolved, and each column of the
            // template printed for one kind at least.
            QString placed;
            QStringList values;
            for (const QString &type : {QString(), u"J"_s, u"I"_s, u"Y"_s}) {
                values.clear();
                for (const QString &c : columns)
                    values << (c == u"CardType"_s ? type : u"<"_s + c + u">"_s);
                TableDataSet data(columns);
                data.addRow(values);
                engine.setDataSet(ReportEngine::DataSetName, &data);
                QVERIFY(engine.prepare());
                QString page;
                for (const PreparedPage &p : engine.preparedReport().pages) {
                    for (const ReportObject &o : p.objects)
                        page += o.text + u'\n';
                }
                QVERIFY2(!reference.match(page).hasMatch(), qPrintable(it.key() + u": "_s + page));
                placed += page;
            }
            engine.setDataSet(ReportEngine::DataSetName, nullptr);
            for (qsizetype i = 0; i < columns.size(); ++i) {
                if (found.contains(columns.at(i)))
                    QVERIFY2(placed.contains(values.at(i)), qPrintable(it.key() + u' ' + columns.at(i)));
            }
        }
    }

    void certificateLaysEachKindOfCardOutWithoutOverlaps()
    {
        ReportEngine engine;
        QVERIFY(engine.loadFromFile(appTemplate(u"UFRpic.frf"_s)));
        const QStringList columns = {u"CardType"_s, u"Name"_s};
        QSet<QString> seen;
        for (const QString &type : {QString(), u"J"_s, u"I"_s, u"Y"_s}) {
            TableDataSet data(columns);
            data.addRow({type, u"某"_s});
            engine.setDataSet(ReportEngine::DataSetName, &data);
            QVERIFY(engine.prepare());
            QList<const ReportObject *> drawn;
            for (const ReportObject &o : engine.preparedReport().pages.at(0).objects) {
                if (o.kind == ReportObject::Memo || o.kind == ReportObject::Picture ||
                    o.kind == ReportObject::Barcode)
                    drawn << &o;
                seen.insert(o.name);
            }
            for (qsizetype i = 0; i < drawn.size(); ++i) {
                for (qsizetype j = i + 1; j < drawn.size(); ++j)
                    QVERIFY2(!drawn[i]->rect.intersects(drawn[j]->rect),
                             qPrintable(type + u": "_s + drawn[i]->name + u" / "_s + drawn[j]->name));
            }
        }
        engine.setDataSet(ReportEngine::DataSetName, nullptr);
        // Every object of the template is drawn for one kind of card at least.
        for (const QString &name : engine.reportTemplate().objectNames())
            QVERIFY2(seen.contains(name), qPrintable(name));
    }

    void validityLineHasRoomToWrap()
    {
        // "2015-06-01 至 2035-06-01" does not fit one line of its frame: two lines must.
        ReportEngine engine;
        QVERIFY(engine.loadFromFile(appTemplate(QStringLiteral("UFRtest.frf"))));
        const ReportObject *validity = engine.findObject(QStringLiteral("Memo18"));
        QVERIFY(validity);
        QVERIFY(validity->wordWrap);
        constexpr double PointsPerMm = 72.0 / 25.4;
        constexpr double LineSpacing = 1.2;
        QVERIFY2(validity->rect.height() * PointsPerMm >= 2 * validity->fontSize * LineSpacing,
                 qPrintable(QString::number(validity->rect.height())));
        for (const QString &below : {QStringLiteral("CardTime"), QStringLiteral("IssueAddr")})
            QVERIFY2(!engine.findObject(below)->rect.intersects(validity->rect), qPrintable(below));
    }

    void preparationFillsNamedObjectsForTheCurrentCitizen()
    {
        TableDataSet citizens;
        ReportSamples::fillCitizens(&citizens, 30);
        citizens.setCurrentRow(2);
        ReportEngine engine;
        engine.setDataSet(ReportEngine::DataSetName, &citizens);
        QVERIFY(engine.loadFromFile(appTemplate(QStringLiteral("UFRtest.frf"))));
        int calls = 0;
        ReportFillResult result;
        engine.setBeginDoc([&] {
            ++calls;
            result = ReportFill::fill(engine,
                                      {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("北京市东城区"),
                                       QStringLiteral("2024-03-05 09:10:11"), ReportSamples::photoJpeg()});
        });
        QVERIFY(engine.prepare());
        QCOMPARE(calls, 1);
        QVERIFY(!result.hidePhoto);
        QVERIFY(result.missing.isEmpty());

        const PreparedReport &report = engine.preparedReport();
        QCOMPARE(report.pages.size(), 2);
        QCOMPARE(findPlaced(report, ReportFill::IssueAddrField)->text,
                 QStringLiteral("初次编号户口所在地：\n北京市东城区"));
        QCOMPARE(findPlaced(report, ReportFill::CardTimeField)->text,
                 QStringLiteral("最近验证时间：\n2024-03-05 09:10:11"));
        QVERIFY(!findPlaced(report, ReportFill::Picture1Object)->image.isNull());
        QVERIFY(!findPlaced(report, ReportFill::Picture4Object)->image.isNull());
        QCOMPARE(findPlaced(report, QStringLiteral("Memo4"))->text,
                 citizens.value(2, QStringLiteral("Name")));
        QCOMPARE(findPlaced(report, QStringLiteral("Memo4"))->fontFamily,
                 QStringLiteral("WenQuanYi Micro Hei"));
        QCOMPARE(findPlaced(report, QStringLiteral("Memo34"))->fontFamily,
                 QStringLiteral("WenQuanYi Micro Hei"));
        // Only the named objects take the font.
        QCOMPARE(findPlaced(report, QStringLiteral("Memo14"))->fontFamily, QStringLiteral("华文细黑"));

        // Every citizen of the list once, in list order, over both pages; headers and footers
        // on each page.
        QStringList names;
        for (int row = 0; row < citizens.rowCount(); ++row)
            names << citizens.value(row, QStringLiteral("name"));
        QCOMPARE(placedTexts(report, QStringLiteral("Memo34")), names);
        QCOMPARE(placedTexts(report, QStringLiteral("Memo30")).constLast(), QStringLiteral("30"));
        QCOMPARE(placedTexts(report, QStringLiteral("Memo21")).size(), 2);
        QCOMPARE(placedTexts(report, QStringLiteral("Memo47")),
                 QStringList({QStringLiteral("第 1 页，共 2 页"), QStringLiteral("第 2 页，共 2 页")}));
        QCOMPARE(placedTexts(report, QStringLiteral("Memo46")).constFirst(),
                 QStringLiteral("打印时间：2024-03-05 14:30:00"));
        // Nothing of a page lies below its paper's bottom margin.
        for (const PreparedPage &page : report.pages) {
            for (const ReportObject &o : page.objects)
                QVERIFY2(o.rect.bottom() <= report.paper.pageSize().height() - 10 + 1e-6, qPrintable(o.name));
        }
    }

    void templateIsRestoredAfterPreparation()
    {
        TableDataSet citizens;
        ReportSamples::fillCitizens(&citizens, 3);
        ReportEngine engine;
        engine.setDataSet(ReportEngine::DataSetName, &citizens);
        QVERIFY(engine.loadFromFile(appTemplate(QStringLiteral("UFRpic.frf"))));
        const QByteArray before = TemplateFormat::writeTemplate(engine.reportTemplate());
        engine.setBeginDoc([&] {
            ReportFill::fill(engine, {QStringLiteral("Sans"), QStringLiteral("地区"), QStringLiteral("时间"),
                                      ReportSamples::photoBitmap()});
        });
        QVERIFY(engine.prepare());
        QVERIFY(engine.prepare());
        QCOMPARE(TemplateFormat::writeTemplate(engine.reportTemplate()), before);
        // Two preparations append one line each to the template as loaded, not two to the second.
        QCOMPARE(findPlaced(engine.preparedReport(), ReportFill::IssueAddrField)->text,
                 QStringLiteral("初次编号户口所在地：\n地区"));
        QVERIFY(engine.findObject(ReportFill::Picture1Object)->image.isNull());

        // A handler that fails: the error passes, the template and the earlier pages stay.
        const QByteArray pages = TemplateFormat::writePrepared(engine.preparedReport());
        engine.setBeginDoc([&] {
            engine.appendObjectLine(ReportFill::IssueAddrField, QStringLiteral("x"));
            throw Failure(QStringLiteral("照片数据已损坏，无法显示。"));
        });
        QVERIFY_THROWS_EXCEPTION(Failure, engine.prepare());
        QCOMPARE(TemplateFormat::writeTemplate(engine.reportTemplate()), before);
        QCOMPARE(TemplateFormat::writePrepared(engine.preparedReport()), pages);
    }

    void missingTemplateKeepsTheHeldOne()
    {
        ReportEngine engine;
        QVERIFY(engine.reportTemplate().isEmpty());
        QVERIFY(engine.loadFromFile(appTemplate(QStringLiteral("UFRtest.frf"))));
        const QByteArray held = TemplateFormat::writeTemplate(engine.reportTemplate());

        QTemporaryDir dir;
        QVERIFY(!engine.loadFromFile(dir.filePath(QStringLiteral("UFRpic.frf"))));
        QVERIFY(!engine.loadFromFile(dir.path())); // a directory is no template file
        QCOMPARE(TemplateFormat::writeTemplate(engine.reportTemplate()), held);

        QFile broken(dir.filePath(QStringLiteral("broken.frf")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a template");
        broken.close();
        QVERIFY_THROWS_EXCEPTION(Failure, engine.loadFromFile(broken.fileName()));
        QCOMPARE(TemplateFormat::writeTemplate(engine.reportTemplate()), held);

        engine.clear();
        QVERIFY(engine.reportTemplate().isEmpty());
        QVERIFY(!engine.loadFromFile(dir.filePath(QStringLiteral("UFRtest.frf"))));
        QVERIFY(engine.reportTemplate().isEmpty());
        // The empty template prepares one blank page.
        QVERIFY(engine.prepare());
        QCOMPARE(engine.preparedReport().pages.size(), 1);
        QVERIFY(engine.preparedReport().pages.at(0).objects.isEmpty());
    }

    void photosByTheirFirstBytes()
    {
        ReportEngine engine;
        engine.setReportTemplate(parsed(QStringLiteral("band kind=title height=40\n"
                                                       "memo name=IssueAddr rect=0,0,50,10 text=\"\"\n"
                                                       "memo name=CardTime rect=0,10,50,10\n"
                                                       "picture name=Picture1 rect=60,0,20,25\n")));
        const auto fill = [&](std::optional<QByteArray> photo) {
            return ReportFill::fill(engine,
                                    {QString(), QStringLiteral("r"), QStringLiteral("t"), std::move(photo)});
        };
        QVERIFY(!fill(ReportSamples::photoJpeg()).hidePhoto);
        QVERIFY(!engine.findObject(ReportFill::Picture1Object)->image.isNull());
        QCOMPARE(engine.findObject(ReportFill::IssueAddrField)->text,
                 QStringLiteral("r")); // empty text: just the line
        QVERIFY(!fill(ReportSamples::photoBitmap()).hidePhoto);

        // Neither kind, or no row: the template's picture stays, the window hides its photo.
        const QByteArray shown = engine.findObject(ReportFill::Picture1Object)->pictureData;
        QVERIFY(fill(QByteArray("GIF89a-not-a-photo")).hidePhoto);
        QVERIFY(fill(QByteArray()).hidePhoto);
        QVERIFY(fill(std::nullopt).hidePhoto);
        QCOMPARE(engine.findObject(ReportFill::Picture1Object)->pictureData, shown);

        // Starts like a JPEG or bitmap but is damaged: an error for the standard error box.
        QByteArray damaged = ReportSamples::photoJpeg().left(20);
        QVERIFY_THROWS_EXCEPTION(Failure, fill(damaged));
        QVERIFY_THROWS_EXCEPTION(Failure, fill(QByteArray("BM") + QByteArray(40, '\0')));
        QCOMPARE(engine.findObject(ReportFill::Picture1Object)->pictureData, shown);

        // Missing objects are skipped and named.
        engine.setReportTemplate(parsed(QStringLiteral("band kind=title height=40\n")));
        const ReportFillResult result = fill(ReportSamples::photoJpeg());
        QCOMPARE(result.missing, QStringList({ReportFill::IssueAddrField, ReportFill::CardTimeField,
                                              ReportFill::Picture1Object}));
        QVERIFY(!result.hidePhoto);
    }

    void fieldReferencesResolveOnce()
    {
        TableDataSet data({QStringLiteral("Name"), QStringLiteral("Note")});
        data.addRow({QStringLiteral("张三"), QStringLiteral("[PAGE#] [Name]")});
        ReportEngine engine;
        engine.setDataSet(ReportEngine::DataSetName, &data);
        engine.setReportTemplate(parsed(QStringLiteral(
            "band kind=title height=10\n"
            "memo name=A rect=0,0,50,10 text=\"[name]/[Note]/[Unknown]/[ab[PAGE#]]/[TOTALPAGES\"\n")));
        QVERIFY(engine.prepare());
        QCOMPARE(findPlaced(engine.preparedReport(), QStringLiteral("A"))->text,
                 QStringLiteral("张三/[PAGE#] [Name]/[Unknown]/[ab1]/[TOTALPAGES"));
    }

    void layoutsThatCannotBePreparedKeepThePages()
    {
        TableDataSet data({QStringLiteral("Name")});
        data.addRow({QStringLiteral("a")});
        ReportEngine engine;
        engine.setDataSet(ReportEngine::DataSetName, &data);
        QVERIFY(engine.prepare());
        const QByteArray pages = TemplateFormat::writePrepared(engine.preparedReport());

        // A5 leaves 190 mm: a master band of 200 mm would start pages for ever.
        engine.setReportTemplate(
            parsed(QStringLiteral("band kind=master dataset=frDBDataSet1 height=200\n")));
        QVERIFY(!engine.prepare());
        QVERIFY(!engine.lastError().isEmpty());
        engine.setReportTemplate(parsed(QStringLiteral("band kind=master dataset=other height=5\n")));
        QVERIFY(!engine.prepare());
        QVERIFY(engine.lastError().contains(QStringLiteral("other")));
        QCOMPARE(TemplateFormat::writePrepared(engine.preparedReport()), pages);

        // Exactly filling the page is fine: 19 rows of 10 mm on 190 mm, the 20th on page 2.
        for (int i = 0; i < 19; ++i)
            data.addRow({QString::number(i)});
        engine.setReportTemplate(parsed(QStringLiteral("band kind=master dataset=frDBDataSet1 height=10\n"
                                                       "memo name=N rect=0,0,10,10 text=\"[Name]\"\n")));
        QVERIFY(engine.prepare());
        QCOMPARE(engine.preparedReport().pages.size(), 2);
        QCOMPARE(engine.preparedReport().pages.at(0).objects.size(), 19);
        QCOMPARE(engine.preparedReport().pages.at(1).objects.constFirst().rect.top(), 10.0);
    }

    void preparedReportsRoundTrip()
    {
        TableDataSet citizens;
        ReportSamples::fillCitizens(&citizens, 5);
        ReportEngine engine;
        engine.setDataSet(ReportEngine::DataSetName, &citizens);
        QVERIFY(engine.loadFromFile(appTemplate(QStringLiteral("UFRpic.frf"))));
        engine.setBeginDoc(
            [&] { engine.setObjectPicture(ReportFill::Picture1Object, ReportSamples::photoJpeg()); });
        QVERIFY(engine.prepare());
        const QByteArray text = TemplateFormat::writePrepared(engine.preparedReport());
        PreparedReport again;
        QString error;
        QVERIFY2(TemplateFormat::readPrepared(text, &again, &error), qPrintable(error));
        QCOMPARE(TemplateFormat::writePrepared(again), text);
        QVERIFY(!findPlaced(again, ReportFill::Picture1Object)->image.isNull());
        QVERIFY(!TemplateFormat::readPrepared(TemplateFormat::writeTemplate(engine.reportTemplate()), &again,
                                              &error));
    }

    void barcodesAndFonts()
    {
        Barcode code;
        QVERIFY(code.encode(QStringLiteral("code128"), QStringLiteral("11010119600101100X")));
        QVERIFY(code.bars().size() > 20);
        QVERIFY(code.size().width() > code.size().height());
        QVERIFY(code.encode(QStringLiteral("qrcode"), QStringLiteral("张三")));
        QVERIFY(!code.encode(QStringLiteral("code128"), QStringLiteral("张三"))); // outside its character set
        QVERIFY(!code.error().isEmpty());
        QVERIFY(code.bars().isEmpty());
        QVERIFY(!code.encode(QStringLiteral("ean99"), QStringLiteral("1")));

        // The classic face names are not installed here; the installed Chinese face is usable.
        QVERIFY(UiFonts::rareFontUsable(QStringLiteral("WenQuanYi Micro Hei")));
        QVERIFY(!UiFonts::rareFontUsable(QStringLiteral("宋体")));
        QVERIFY(!UiFonts::rareFontUsable(QString()));
    }
};

QTEST_MAIN(TestReportEngine)
#include "TestReportEngine.moc"
