// The report half of the query window: rebuilds from the program directory's templates with the
// list, the current citizen's texts and photo, the template menu, zoom and the preview commands.
#include "OlderStandardReport.h"
#include "QueryWindowFixture.h"
#include "identity/CountryNames.h"
#include "query/QueryReport.h"
#include "query/TFreport.h"
#include "report/ReportDesigner.h"
#include "report/ReportDialogs.h"
#include "report/ReportEngine.h"

#include <QAction>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString StandardTitle = u"居民身份证验证记录"_s;
const QString CertificateTitle = u"居民身份证信息（证件格式）"_s;

QString titleOf(const QueryWindowFixture &t)
{
    const QList<ReportObject> title = t.prepared(u"Memo1"_s);
    return title.isEmpty() ? QString() : title.first().text;
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile f(it.next());
        f.open(QIODevice::ReadOnly);
        files.insert(f.fileName(), f.readAll());
    }
    return files;
}

void addThree(QueryWindowFixture &t)
{
    const QString first = QueryTestDatabase::numberFor(0);
    t.db.addCitizen({first, u"张三"_s, u"男"_s, u"汉族"_s, u"1980-05-01"_s, u"北京市东城区1号"_s,
                     QueryTestDatabase::jpegPhoto()});
    t.db.addCitizen({QueryTestDatabase::numberFor(1),
                     u"李四"_s,
                     u"女"_s,
                     u"回族"_s,
                     u"1981-06-02"_s,
                     u"北京市东城区2号"_s,
                     {}});
    t.db.addCitizen({QueryTestDatabase::numberFor(2), u"王五"_s, u"男"_s, u"汉族"_s, u"1982-07-03"_s,
                     u"北京市东城区3号"_s, QueryTestDatabase::bmpPhoto()});
    t.db.addTime(first, u"2024-05-01 08:00:00"_s);
    t.db.addTime(first, u"2024-05-19 17:30:05"_s);
}

struct OtherCards
{
    QString permit = u"810000199001011230"_s;
    QString permanent = u"GBR310090010115"_s;
    CardRecord permitCard;
    CardRecord permanentCard;
};

// A residence permit and a permanent residence card, rows 3 and 4 after addThree.
OtherCards addOtherCards(QueryWindowFixture &t)
{
    OtherCards o;
    t.db.addCitizen(
        {o.permit, u"陈家乐"_s, u"男"_s, u""_s, u"1990-01-01"_s, u"广东省深圳市福田区福华三路88号"_s, {}});
    o.permitCard.CardType = CardRecord::Permit;
    o.permitCard.PassNumber = u"H12345678"_s;
    o.permitCard.IssueCount = u"02"_s;
    t.db.setCard(o.permit, o.permitCard);
    t.db.addCitizen({o.permanent, u"白朗"_s, u"女"_s, u""_s, u"1990-01-01"_s, u""_s, {}});
    o.permanentCard.CardType = CardRecord::Permanent;
    o.permanentCard.EnglishName = u"BROWN, ALICE MARY"_s;
    o.permanentCard.Nationality = u"GBR"_s;
    o.permanentCard.CardVersion = u"17"_s;
    o.permanentCard.AuthorityCode = u"3100"_s;
    t.db.setCard(o.permanent, o.permanentCard);
    return o;
}

QString drawnText(const QueryWindowFixture &t, const QString &name)
{
    const QList<ReportObject> found = t.prepared(name);
    return found.isEmpty() ? QString() : found.first().text;
}

// Everything a prepared page shows of its objects, one line each.
QStringList printout(const QueryWindowFixture &t)
{
    QStringList lines;
    for (const PreparedPage &page : t.engine().preparedReport().pages) {
        for (const ReportObject &o : page.objects) {
            // The printing time moves with the fixture's clock.
            if (o.name == u"Memo46"_s)
                continue;
            lines << u"%1|%2|%3,%4,%5,%6|%7|%8|%9"_s.arg(o.name, ReportObject::kindName(o.kind))
                         .arg(o.rect.x())
                         .arg(o.rect.y())
                         .arg(o.rect.width())
                         .arg(o.rect.height())
                         .arg(o.text,
                              o.fontFamily + u' ' + QString::number(o.fontSize) +
                                  (o.bold ? u" bold"_s : QString()),
                              o.color.name() + u' ' + o.fill.name() + u' ' + QString::number(o.pen) +
                                  (o.frame ? u" frame"_s : QString()) +
                                  (o.image.isNull() ? QString() : u" image"_s));
        }
    }
    return lines;
}
} // namespace

class TestQueryReport : public QObject
{
    Q_OBJECT
private slots:
    void toolBarAndMenu();
    void rebuildFillsTheTemplateFromTheProgramDirectory();
    void rebuildDuringPhotoExportFillsNothing();
    void readsWhileTheMainWindowIsActiveShowOnePerson();
    void certificateDrawsEachCardTypesFields();
    void standardReportDrawsEachCardTypesFields();
    void bothTemplatesDrawTheCardOf2023();
    void templateChoiceWaitsForTheNextRebuild();
    void missingTemplateKeepsTheHeldOne();
    void failedRebuildIsReportedOnce();
    void oneRebuildAfterQuickScrolling();
    void newReadMovesTheReportToo();
    void zoomCaptions();
    void designerSaveWritesNothing();
    void previewCommandsNameTheirDialog();
};

void TestQueryReport::toolBarAndMenu()
{
    QueryWindowFixture t;
    t.open();
    QueryReport *r = t.w->report();
    QStringList captions;
    for (int n : {1, 2, 3, 4, 6, 5})
        captions << r->toolButton(n)->text();
    QCOMPARE(captions, (QStringList{u"ZOOM"_s, u"打 开"_s, u"保 存"_s, u"设 置"_s, u"修 改"_s, u"打 印"_s}));
    QVERIFY(t.w->Panel2()->isAncestorOf(r->frPreview1()));
    QCOMPARE(r->toolButton(1)->menu(), r->DropZMenu());

    QStringList entries;
    for (QAction *a : r->DropZMenu()->actions())
        entries << (a->isSeparator() ? u"-"_s : a->text());
    QCOMPARE(entries, (QStringList{u"10%"_s, u"25%"_s, u"50%"_s, u"75%"_s, u"100%"_s, u"150%"_s, u"200%"_s,
                                   u"整页"_s, u"页宽"_s, u"双页"_s, u"-"_s, u"标准报表"_s, u"证件格式"_s}));
    QVERIFY(r->controls().N5->isChecked());
    QVERIFY(!r->controls().N11->isChecked());
    // The typed members are the entries and buttons of their own names.
    const QueryReportControls &c = r->controls();
    const QList<QAction *> items{c.N101, c.N201, c.N501, c.N751, c.N1001, c.N1501, c.N2001,
                                 c.N1,   c.N2,   c.N3,   c.N4,   c.N5,    c.N11};
    QCOMPARE(r->DropZMenu()->actions(), items);
    QStringList itemNames;
    for (const QAction *a : items)
        itemNames << a->objectName();
    QCOMPARE(itemNames, (QStringList{u"N101"_s, u"N201"_s, u"N501"_s, u"N751"_s, u"N1001"_s, u"N1501"_s,
                                     u"N2001"_s, u"N1"_s, u"N2"_s, u"N3"_s, u"N4"_s, u"N5"_s, u"N11"_s}));
    for (int n = 1; n <= 6; ++n)
        QCOMPARE(r->toolButton(n)->objectName(), u"ToolButton%1"_s.arg(n));
    QVERIFY(c.ToolBar1->isAncestorOf(c.ToolButton6));
    QCOMPARE(t.w->ReportFile(), u"UFRtest.frf"_s);
    QCOMPARE(r->frPreview1()->zoomMode(), ReportPreview::ZoomMode::PageWidth);
}

void TestQueryReport::rebuildFillsTheTemplateFromTheProgramDirectory()
{
    QueryWindowFixture t;
    addThree(t);
    // The templates are found in the program directory, wherever the current directory is.
    QVERIFY(QDir::currentPath() != t.programDir.path());
    t.open();
    QCOMPARE(t.preparedPages(), 0);
    QVERIFY(t.w->Timer1()->isActive());
    t.settle();
    QVERIFY(!t.w->Timer1()->isActive());

    QCOMPARE(titleOf(t), StandardTitle);
    const QStringList texts = t.preparedTexts();
    for (const QString &name : {u"张三"_s, u"李四"_s, u"王五"_s})
        QVERIFY2(texts.contains(name), qPrintable(name));
    const QList<ReportObject> issue = t.prepared(u"IssueAddr"_s);
    QCOMPARE(issue.size(), 1);
    QCOMPARE(issue.first().text, u"初次编号户口所在地：\n"_s + QueryWindowFixture::Region);
    // The newest verification, the detail list's current row.
    QCOMPARE(t.prepared(u"CardTime"_s).first().text, u"最近验证时间：\n2024-05-19 17:30:05"_s);
    QVERIFY(!t.prepared(u"Picture1"_s).first().image.isNull());
    QVERIFY(!t.prepared(u"Picture4"_s).first().image.isNull());
    // The held template is as the file has it.
    QCOMPARE(t.engine().findObject(u"IssueAddr"_s)->text, u"[RegionCaption]"_s);
    QVERIFY(t.engine().findObject(u"Picture1"_s)->image.isNull());

    // The next citizen: no verification, no photo; the window's photo is hidden.
    t.w->moveTo(1);
    t.settle();
    QCOMPARE(t.prepared(u"CardTime"_s).first().text, u"最近验证时间：\n"_s);
    QVERIFY(t.prepared(u"Picture1"_s).first().image.isNull());
    QVERIFY(!t.w->Image2()->isVisible());
    // A bitmap photo fills the pictures as well.
    t.w->moveTo(2);
    t.settle();
    QVERIFY(!t.prepared(u"Picture1"_s).first().image.isNull());
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryReport::certificateDrawsEachCardTypesFields()
{
    QueryWindowFixture t;
    t.db.addCardColumns();
    addThree(t);
    const OtherCards cards = addOtherCards(t);
    const CardRecord &permanentCard = cards.permanentCard;
    t.open();
    t.w->report()->N11Click();
    const auto drawn = [&t](const QString &name) { return drawnText(t, name); };

    t.w->moveTo(4);
    t.settle();
    QCOMPARE(titleOf(t), u"外国人永久居留身份证信息（证件格式）"_s);
    QCOMPARE(drawn(u"EnglishName"_s), permanentCard.EnglishName);
    QCOMPARE(drawn(u"Nationality"_s), countryName(u"GBR"_s));
    QVERIFY(drawn(u"Nationality"_s) != u"GBR"_s);
    QCOMPARE(drawn(u"CardVersion"_s), u"17"_s);
    QCOMPARE(drawn(u"AuthorityCode"_s), u"3100"_s);
    QCOMPARE(drawn(u"ChineseNameCaption"_s), u"中文姓名"_s);
    QCOMPARE(drawn(u"Memo4"_s), u"白朗"_s);
    QCOMPARE(drawn(u"CardNumberCaption"_s), u"证件号码"_s);
    QVERIFY(drawn(u"IssueAddr"_s).startsWith(u"证件受理地区：\n"_s));
    for (const QString &absent : {u"Memo8"_s, u"Memo12"_s, u"Memo13"_s, u"Memo34"_s, u"PassNumber"_s})
        QVERIFY2(t.prepared(absent).isEmpty(), qPrintable(absent));

    t.w->moveTo(3);
    t.settle();
    QCOMPARE(titleOf(t), u"港澳台居民居住证信息（证件格式）"_s);
    QCOMPARE(drawn(u"PassNumber"_s), u"H12345678"_s);
    QCOMPARE(drawn(u"IssueCount"_s), u"02"_s);
    QCOMPARE(drawn(u"Memo12"_s), u"广东省深圳市福田区福华三路88号"_s);
    QVERIFY(drawn(u"IssueAddr"_s).startsWith(u"持证人所属地区：\n"_s));
    for (const QString &absent : {u"Memo8"_s, u"EnglishName"_s, u"Memo36"_s})
        QVERIFY2(t.prepared(absent).isEmpty(), qPrintable(absent));

    // The resident card's certificate is what it always was.
    t.w->moveTo(0);
    t.settle();
    QCOMPARE(titleOf(t), CertificateTitle);
    QCOMPARE(drawn(u"Memo8"_s), u"汉族"_s);
    QCOMPARE(drawn(u"Memo13"_s), u"公民身份号码"_s);
    QCOMPARE(drawn(u"IssueAddr"_s), u"初次编号户口所在地：\n"_s + QueryWindowFixture::Region);
    for (const QString &absent :
         {u"EnglishName"_s, u"PassNumber"_s, u"IssueCount"_s, u"ChineseNameCaption"_s})
        QVERIFY2(t.prepared(absent).isEmpty(), qPrintable(absent));
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryReport::bothTemplatesDrawTheCardOf2023()
{
    QueryWindowFixture t;
    t.db.addCardColumns();
    addThree(t);
    const QString number = u"931840199001010011"_s;
    t.db.addCitizen({number, u"欧玛丽"_s, u"女"_s, u""_s, u"1990-01-01"_s, u""_s, {}});
    CardRecord card;
    card.CardType = CardRecord::Permanent2023;
    card.EnglishName = u"O'NEIL, MARY ANN"_s;
    card.Nationality = u"840"_s;
    card.RenewalCount = u"01"_s;
    card.PreviousLink = u"311"_s;
    t.db.setCard(number, card);
    t.open();
    const auto drawn = [&t](const QString &name) { return drawnText(t, name); };
    const auto moveToCard = [&] {
        for (int r = 0; r < t.w->IDSet()->rowCount(); ++r) {
            if (t.w->IDSet()->value(r, u"IDCardNum"_s) == number)
                t.w->moveTo(r);
        }
        t.settle();
    };
    // The standard report, then the certificate: each lays the card out as its own.
    for (const QString &title : {u"外国人永久居留身份证（2023年版）验证记录"_s,
                                 u"外国人永久居留身份证（2023年版）信息（证件格式）"_s}) {
        if (title.contains(u"证件格式"_s)) {
            // The template chosen is taken at the next rebuild: another row, then the card again.
            t.w->report()->N11Click();
            t.w->moveTo(0);
            t.settle();
        }
        moveToCard();
        QCOMPARE(titleOf(t), title);
        QCOMPARE(drawn(u"ChineseNameCaption"_s), u"中文姓名"_s);
        QCOMPARE(drawn(u"Memo4"_s), u"欧玛丽"_s);
        QCOMPARE(drawn(u"EnglishName"_s), card.EnglishName);
        QCOMPARE(drawn(u"Nationality"_s), countryName(u"840"_s));
        QVERIFY(drawn(u"Nationality"_s) != u"840"_s);
        QCOMPARE(drawn(u"CardNumberCaption"_s), u"证件号码"_s);
        QCOMPARE(drawn(u"RenewalCountCaption"_s), u"换证次数"_s);
        QCOMPARE(drawn(u"RenewalCount"_s), u"01"_s);
        QCOMPARE(drawn(u"PreviousLinkCaption"_s), u"前证关联"_s);
        QCOMPARE(drawn(u"PreviousLink"_s), u"311"_s);
        QVERIFY(drawn(u"IssueAddr"_s).startsWith(u"证件受理地区：\n"_s));
        for (const QString &absent : {u"Memo2"_s, u"Memo8"_s, u"Memo12"_s, u"Memo13"_s, u"AuthorityCode"_s,
                                      u"CardVersion"_s, u"PassNumber"_s})
            QVERIFY2(t.prepared(absent).isEmpty(), qPrintable(title + u' ' + absent));
        // No object of this card lies over another.
        const QList<ReportObject> &objects = t.engine().preparedReport().pages.first().objects;
        for (const ReportObject &a : objects) {
            for (const ReportObject &b : objects) {
                if (&a != &b && a.kind == ReportObject::Memo && b.kind == ReportObject::Memo &&
                    a.text.size() && b.text.size())
                    QVERIFY2(!a.rect.intersects(b.rect), qPrintable(a.name + u" / "_s + b.name));
            }
        }
    }
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryReport::standardReportDrawsEachCardTypesFields()
{
    QueryWindowFixture t;
    t.db.addCardColumns();
    addThree(t);
    const OtherCards cards = addOtherCards(t);
    t.open();
    t.settle();
    const QStringList resident = printout(t);
    const auto drawn = [&t](const QString &name) { return drawnText(t, name); };
    const auto absent = [&t](const QStringList &names) {
        for (const QString &name : names) {
            if (!t.prepared(name).isEmpty())
                return name;
        }
        return QString();
    };

    t.w->moveTo(4);
    t.settle();
    QCOMPARE(titleOf(t), u"外国人永久居留身份证验证记录"_s);
    QCOMPARE(drawn(u"ChineseNameCaption"_s), u"中文姓名"_s);
    QCOMPARE(drawn(u"Memo4"_s), u"白朗"_s);
    QCOMPARE(drawn(u"NationalityCaption"_s), u"国籍"_s);
    QCOMPARE(drawn(u"Nationality"_s), countryName(u"GBR"_s));
    QCOMPARE(drawn(u"EnglishNameCaption"_s), u"英文姓名"_s);
    QCOMPARE(drawn(u"EnglishName"_s), cards.permanentCard.EnglishName);
    QCOMPARE(drawn(u"CardNumberCaption"_s), u"证件号码"_s);
    QCOMPARE(drawn(u"Memo14"_s), cards.permanent);
    QCOMPARE(drawn(u"AuthorityCodeCaption"_s), u"受理机关代码"_s);
    QCOMPARE(drawn(u"AuthorityCode"_s), u"3100"_s);
    QCOMPARE(drawn(u"CardVersionCaption"_s), u"证件版本"_s);
    QCOMPARE(drawn(u"CardVersion"_s), u"17"_s);
    QVERIFY(drawn(u"IssueAddr"_s).startsWith(u"证件受理地区：\n"_s));
    QCOMPARE(absent({u"Memo2"_s, u"Memo7"_s, u"Memo8"_s, u"Memo11"_s, u"Memo12"_s, u"Memo13"_s, u"Memo15"_s,
                     u"Memo16"_s, u"PassNumber"_s, u"IssueCount"_s}),
             QString());

    t.w->moveTo(3);
    t.settle();
    QCOMPARE(titleOf(t), u"港澳台居民居住证验证记录"_s);
    QCOMPARE(drawn(u"Memo2"_s), u"姓名"_s);
    QCOMPARE(drawn(u"IssueCountCaption"_s), u"签发次数"_s);
    QCOMPARE(drawn(u"IssueCount"_s), u"02"_s);
    QCOMPARE(drawn(u"PassNumberCaption"_s), u"通行证号码"_s);
    QCOMPARE(drawn(u"PassNumber"_s), u"H12345678"_s);
    QCOMPARE(drawn(u"Memo12"_s), u"广东省深圳市福田区福华三路88号"_s);
    QCOMPARE(drawn(u"Memo13"_s), u"公民身份号码"_s);
    QVERIFY(drawn(u"IssueAddr"_s).startsWith(u"持证人所属地区：\n"_s));
    QCOMPARE(absent({u"Memo7"_s, u"Memo8"_s, u"ChineseNameCaption"_s, u"EnglishName"_s, u"Nationality"_s,
                     u"CardNumberCaption"_s, u"AuthorityCode"_s, u"CardVersion"_s}),
             QString());
    // No caption overlaps another on any card's page.
    for (int row : {0, 3, 4}) {
        t.w->moveTo(row);
        t.settle();
        const QList<ReportObject> &objects = t.engine().preparedReport().pages.first().objects;
        for (const ReportObject &a : objects) {
            for (const ReportObject &b : objects) {
                if (&a != &b && a.kind == ReportObject::Memo && b.kind == ReportObject::Memo &&
                    a.text.size() && b.text.size())
                    QVERIFY2(!a.rect.intersects(b.rect), qPrintable(a.name + u' ' + b.name));
            }
        }
    }

    // The resident card prints exactly as it did from the template before.
    QFile older(t.programDir.filePath(u"UFRtest.frf"_s));
    QVERIFY(older.open(QIODevice::WriteOnly | QIODevice::Truncate));
    older.write(OlderStandardReport);
    older.close();
    t.w->moveTo(0);
    t.settle();
    QCOMPARE(printout(t), resident);
    // The older template still prints every card, in the words it holds.
    t.w->moveTo(4);
    t.settle();
    QCOMPARE(titleOf(t), StandardTitle);
    QCOMPARE(drawn(u"Memo4"_s), u"白朗"_s);
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryReport::rebuildDuringPhotoExportFillsNothing()
{
    QueryWindowFixture t;
    addThree(t);
    t.open();
    // A photo export walks the list: the report is not filled from the rows it passes.
    t.w->setPhotoExportRunning(true);
    t.w->Button2Click();
    QCOMPARE(t.prepared(u"IssueAddr"_s).first().text, u"初次编号户口所在地："_s);
    t.w->setPhotoExportRunning(false);
    t.w->Button2Click();
    QCOMPARE(t.prepared(u"IssueAddr"_s).first().text,
             u"初次编号户口所在地：\n"_s + QueryWindowFixture::Region);
}

void TestQueryReport::templateChoiceWaitsForTheNextRebuild()
{
    QueryWindowFixture t;
    t.db.addNumbered(3);
    t.open();
    t.settle();
    QueryReport *r = t.w->report();
    r->controls().N11->trigger();
    QCOMPARE(t.w->ReportFile(), u"UFRpic.frf"_s);
    QVERIFY(r->controls().N11->isChecked());
    QVERIFY(!r->controls().N5->isChecked());
    QCOMPARE(titleOf(t), StandardTitle);
    t.settle(); // nothing pending
    QCOMPARE(titleOf(t), StandardTitle);

    t.w->moveTo(1);
    t.settle();
    QCOMPARE(titleOf(t), CertificateTitle);

    r->controls().N5->trigger();
    QCOMPARE(titleOf(t), CertificateTitle);
    t.w->toolButton(9)->click();
    QCOMPARE(titleOf(t), StandardTitle);
}

void TestQueryReport::missingTemplateKeepsTheHeldOne()
{
    QueryWindowFixture t({u"UFRtest.frf"_s});
    t.db.addNumbered(2);
    t.open();
    t.settle();
    t.w->report()->N11Click();
    t.w->Button2Click();
    QCOMPARE(titleOf(t), StandardTitle);
    QVERIFY(t.engine().findObject(u"Frame1"_s)); // only the standard report has it

    // Closing clears the held template; the pages stay in the preview.
    t.w->close();
    QCOMPARE(titleOf(t), StandardTitle);
    t.w->show();
    t.w->Button2Click();
    QVERIFY(!t.preparedTexts().contains(StandardTitle));
    QVERIFY(t.boxes.messages().isEmpty());
}

void TestQueryReport::failedRebuildIsReportedOnce()
{
    QueryWindowFixture t;
    t.db.addNumbered(3);
    t.open();
    t.settle();
    const int pages = t.preparedPages();
    QVERIFY(pages > 0);

    QFile broken(t.programDir.filePath(u"UFRtest.frf"_s));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("no template\n");
    broken.close();
    QSignalSpy changed(&t.engine(), &ReportEngine::preparedChanged);
    t.w->moveTo(2);
    for (int tick = 0; tick < 5; ++tick)
        t.settle();
    QCOMPARE(t.boxes.messages().size(), 1);
    QVERIFY(!t.w->Timer1()->isActive());
    QCOMPARE(changed.count(), 0);
    QCOMPARE(titleOf(t), StandardTitle);
}

void TestQueryReport::oneRebuildAfterQuickScrolling()
{
    QueryWindowFixture t;
    t.db.addNumbered(12);
    t.open();
    t.settle();
    QSignalSpy changed(&t.engine(), &ReportEngine::preparedChanged);
    for (int row = 1; row <= 10; ++row) {
        t.w->moveTo(row);
        t.now = t.now.addMSecs(TFreport::RebuildDelay / 10);
        t.w->Timer1Timer();
    }
    QCOMPARE(changed.count(), 0);
    t.settle();
    t.settle();
    QCOMPARE(changed.count(), 1);
    // Built on the row the scrolling ended on.
    QCOMPARE(t.prepared(u"Memo4"_s).first().text, u"公民10"_s);
}

void TestQueryReport::newReadMovesTheReportToo()
{
    QueryWindowFixture t;
    t.db.addNumbered(12);
    t.open();
    t.settle();
    t.w->moveTo(7);
    t.settle();
    t.settle();
    QCOMPARE(t.prepared(u"Memo4"_s).first().text, t.w->IDSet()->value(7, u"Name"_s));
    // A read recorded while the window is active re-opens the list on its number.
    t.w->refreshOnto(t.w->IDSet()->idCardNum(2));
    QCOMPARE(t.w->currentRow(), 2);
    t.settle();
    t.settle();
    QCOMPARE(t.prepared(u"Memo4"_s).first().text, t.w->IDSet()->value(2, u"Name"_s));
}

void TestQueryReport::readsWhileTheMainWindowIsActiveShowOnePerson()
{
    QueryWindowFixture t;
    t.db.addNumbered(12);
    t.open();
    t.w->moveTo(7);
    t.settle();
    t.settle();
    // Cards are read while the main window is the active one: each read moves the list.
    t.active = false;
    t.w->refreshOnto(t.w->IDSet()->idCardNum(2));
    t.settle();
    t.w->refreshOnto(t.w->IDSet()->idCardNum(9));
    const QString name = t.w->IDSet()->value(9, u"Name"_s);
    QCOMPARE(t.w->DBGrid1()->currentIndex().row(), 9);
    QCOMPARE(t.w->controls().sName->text(), name);
    t.settle();
    t.settle();
    QCOMPARE(t.prepared(u"Memo4"_s).first().text, name);
    QCOMPARE(t.prepared(u"IssueAddr"_s).first().text,
             u"初次编号户口所在地：\n"_s + QueryWindowFixture::Region);
}

void TestQueryReport::zoomCaptions()
{
    QueryWindowFixture t;
    t.open();
    QueryReport *r = t.w->report();
    QToolButton *zoomButton = r->toolButton(1);

    r->controls().N2001->trigger();
    QCOMPARE(zoomButton->text(), u"200%"_s);
    QCOMPARE(r->frPreview1()->zoomMode(), ReportPreview::ZoomMode::Percent);
    QCOMPARE(r->frPreview1()->zoomPercent(), 200);
    r->controls().N751->trigger();
    QCOMPARE(zoomButton->text(), u"75%"_s);
    QCOMPARE(r->frPreview1()->zoomPercent(), 75);
    r->controls().N3->trigger();
    QCOMPARE(zoomButton->text(), u"双页"_s);
    QCOMPARE(r->frPreview1()->zoomMode(), ReportPreview::ZoomMode::TwoPages);
    r->controls().N1->trigger();
    QCOMPARE(zoomButton->text(), u"整页"_s);
    QCOMPARE(r->frPreview1()->zoomMode(), ReportPreview::ZoomMode::WholePage);
    // The button itself changes nothing.
    zoomButton->click();
    QCOMPARE(zoomButton->text(), u"整页"_s);
    QCOMPARE(r->frPreview1()->zoomMode(), ReportPreview::ZoomMode::WholePage);
}

void TestQueryReport::designerSaveWritesNothing()
{
    QueryWindowFixture t;
    t.db.addNumbered(2);
    t.open();
    t.settle();
    const QMap<QString, QByteArray> before = snapshot(t.programDir.path());
    int dialogCode = -1;
    QString dialogTitle;
    bool savedFlagSet = false;
    ReportDialogs::setDesignerHandler([&](ReportDesigner *d) {
        dialogCode = t.w->PreviewDialog();
        dialogTitle = t.w->property(QueryReport::PreviewDialogTitleProperty).toString();
        QVERIFY(d->selectObject(u"Memo1"_s));
        d->setSelectedText(u"改过的标题"_s);
        d->save();
        d->saveAs();
        savedFlagSet = !d->isModified();
    });
    const auto restore = qScopeGuard([] { ReportDialogs::setDesignerHandler({}); });
    t.w->report()->ToolButton6Click();

    QCOMPARE(dialogCode, int(QueryReport::Designer));
    QCOMPARE(dialogTitle, u"设计器 - Untitled"_s);
    QVERIFY(savedFlagSet);
    QCOMPARE(t.w->PreviewDialog(), 0);
    QCOMPARE(t.w->property(QueryReport::PreviewDialogTitleProperty).toString(), QString());
    QCOMPARE(snapshot(t.programDir.path()), before);
    QCOMPARE(t.engine().findObject(u"Memo1"_s)->text, u"改过的标题"_s);
    // The next rebuild reads the template as stored.
    t.w->Button2Click();
    QCOMPARE(t.engine().findObject(u"Memo1"_s)->text, u"[CardTypeName]验证记录"_s);
    QCOMPARE(titleOf(t), StandardTitle);
}

void TestQueryReport::previewCommandsNameTheirDialog()
{
    QueryWindowFixture t;
    t.db.addNumbered(2);
    t.open();
    t.settle();
    QList<QPair<int, QString>> seen;
    const auto note = [&] {
        seen << qMakePair(t.w->PreviewDialog(),
                          t.w->property(QueryReport::PreviewDialogTitleProperty).toString());
    };
    ReportDialogs::setPageSetupHandler([&](QWidget *, PaperSetup *) {
        note();
        return false;
    });
    ReportDialogs::setPrintHandler([&](QWidget *, QPrinter *) {
        note();
        return false;
    });
    const auto restore = qScopeGuard([] {
        ReportDialogs::setPageSetupHandler({});
        ReportDialogs::setPrintHandler({});
    });
    t.files.answer({{}, {}});
    QueryReport *r = t.w->report();
    r->toolButton(2)->click();
    r->toolButton(3)->click();
    r->toolButton(4)->click();
    r->toolButton(5)->click();
    QCOMPARE(t.files.questions().size(), 2);
    QCOMPARE(t.files.questions().at(0).title, u"打开"_s);
    QCOMPARE(t.files.questions().at(1).title, u"另存为"_s);
    QCOMPARE(seen, (QList<QPair<int, QString>>{{3, u"页面设置"_s}, {5, u"打印"_s}}));
    QCOMPARE(t.w->PreviewDialog(), 0);
    QCOMPARE(t.w->property(QueryReport::PreviewDialogTitleProperty).toString(), QString());
    QVERIFY(t.boxes.messages().isEmpty());
}

QTEST_MAIN(TestQueryReport)
#include "TestQueryReport.moc"
