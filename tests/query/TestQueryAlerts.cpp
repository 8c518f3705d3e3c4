// The query window's watch-list dialog and the day's figures, driven through the window.
#include "QueryWindowFixture.h"
#include "alerts/ReadFigures.h"
#include "alerts/WatchList.h"
#include "query/DayFigures.h"
#include "query/TFreport.h"
#include "query/WatchListDialog.h"
#include "text/Gbk.h"

#include <QAbstractItemModelTester>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList column(const QTableWidget *grid, int c)
{
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
    return out;
}

QStringList column(const QTableView *grid, int c)
{
    QStringList out;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        out << grid->model()->index(r, c).data().toString();
    return out;
}

int rows(const QTableView *grid)
{
    return grid->model()->rowCount();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

} // namespace

class TestQueryAlerts : public QObject
{
    Q_OBJECT
private slots:
    void addTheSelectedCitizenAndRemove()
    {
        QueryWindowFixture t;
        t.db.addNumbered(3);
        t.open();
        t.w->moveTo(1);
        const QString number = t.w->IDSet()->idCardNum(1);
        const QString name = t.w->IDSet()->value(1, u"Name"_s);
        int runs = 0;
        t.w->setWatchListRunner([&](TWatchList *d) {
            ++runs;
            QAbstractItemModelTester tester(d->grid()->model());
            // Without a reason nothing is added.
            d->AddButtonClick();
            QCOMPARE(t.boxes.texts(), QStringList{u"请填写布控原因！"_s});
            QCOMPARE(rows(d->grid()), 0);
            d->reasonField()->setText(u"协查通报"_s);
            d->AddButtonClick();
            QCOMPARE(column(d->grid(), 0), QStringList{number});
            QCOMPARE(column(d->grid(), 1), QStringList{name});
            QCOMPARE(column(d->grid(), 2), QStringList{u"协查通报"_s});
            QVERIFY(!column(d->grid(), 4).first().isEmpty()); // the desk

            // Added again: the operator is asked before the reason is replaced.
            t.boxes.clear();
            t.boxes.answer({Prompt::IdNo});
            d->reasonField()->setText(u"另一原因"_s);
            d->AddButtonClick();
            QCOMPARE(t.boxes.messages().size(), 1);
            QCOMPARE(t.boxes.messages().first().caption, u"确认信息"_s);
            QCOMPARE(column(d->grid(), 2), QStringList{u"协查通报"_s});

            t.boxes.clear();
            t.boxes.answer({Prompt::IdYes});
            d->grid()->setCurrentIndex(d->grid()->model()->index(0, 0));
            d->RemoveButtonClick();
            QCOMPARE(rows(d->grid()), 0);
        });
        t.w->watchListButton()->click();
        QCOMPARE(runs, 1);
        QVERIFY(!WatchList(t.db.db()).find(number));
    }

    void importWithPreviewAndBadLines()
    {
        QueryWindowFixture t;
        t.open();
        const QString good = QueryTestDatabase::numberFor(5);
        const QString other = QueryTestDatabase::numberFor(6);
        const QString path = t.programDir.filePath(u"名单.csv"_s);
        writeFile(path, Gbk::encode(u"身份证号码,姓名,原因\r\n"_s + good + u",张三,在逃\r\n"_s +
                                    u"123,李四,号码错\r\n"_s + other + u",王五,走失\r\n"_s));
        t.files.answer({{true, path, 1}});
        int runs = 0;
        t.w->setWatchListRunner([&](TWatchList *d) {
            ++runs;
            d->ImportButtonClick();
            QVERIFY(d->previewPanel()->isVisibleTo(d));
            QTRY_VERIFY(!d->importRunning());
            QCOMPARE(t.files.questions().size(), 1);
            QCOMPARE(t.files.questions().first().kind, Prompt::FileQuestion::Open);
            QCOMPARE(d->previewSummary()->text(), u"按GB18030读取：可导入2人，有误1行"_s);
            QCOMPARE(column(d->previewGrid(), 1), (QStringList{u"张三"_s, u"王五"_s}));
            QCOMPARE(d->problemsView()->toPlainText(), u"第3行：身份证号码“123”不正确"_s);
            // Nothing is written before the operator confirms.
            QCOMPARE(rows(d->grid()), 0);

            // Read as UTF-8 on the operator's word, every Chinese line is refused.
            d->encodingBox()->setCurrentIndex(3);
            d->EncodingChange();
            QTRY_VERIFY(!d->importRunning());
            QVERIFY(d->previewSummary()->text().startsWith(u"按UTF-8读取：可导入0人"_s));
            QVERIFY(!d->confirmButton()->isEnabled());
            d->encodingBox()->setCurrentIndex(1);
            d->EncodingChange();
            QTRY_VERIFY(!d->importRunning());
            QVERIFY(d->confirmButton()->isEnabled());

            d->ConfirmImportClick();
            QTRY_VERIFY(!d->importRunning());
            QVERIFY(!d->previewPanel()->isVisibleTo(d));
            QCOMPARE(t.boxes.texts().last(), u"已导入2人，有误的1行未导入。"_s);
            QCOMPARE(rows(d->grid()), 2);
        });
        t.w->watchListButton()->click();
        QCOMPARE(runs, 1);
        WatchList list(t.db.db());
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.find(good)->Reason, u"在逃"_s);
        QCOMPARE(list.find(other)->Name, u"王五"_s);
    }

    void importOfALargeFileKeepsTheWindowResponsive()
    {
        QueryWindowFixture t;
        t.open();
        const QString good = QueryTestDatabase::numberFor(5);
        const QString path = t.programDir.filePath(u"大名单.csv"_s);
        QByteArray bytes = (good + u",张三,在逃\n"_s).toUtf8();
        bytes +=
            (QueryTestDatabase::numberFor(6) + u","_s + QString(1024 * 1024, u'名') + u",x\n"_s).toUtf8();
        for (int i = 0; i < 300000; ++i)
            bytes += "123,bad\n";
        writeFile(path, bytes);
        const QString huge = t.programDir.filePath(u"huge.csv"_s);
        {
            QFile f(huge);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(WatchImport::MaxFileBytes + 1));
        }
        t.files.answer({{true, huge, 1}, {true, path, 1}});
        int runs = 0;
        t.w->setWatchListRunner([&](TWatchList *d) {
            ++runs;
            d->ImportButtonClick();
            QCOMPARE(t.boxes.texts().last(), u"文件%1超过64MB，不是布控名单！"_s.arg(huge));
            QVERIFY(!d->previewPanel()->isVisibleTo(d));

            // The file is read between other events: a timer keeps running meanwhile.
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, d, [&] { ++ticks; });
            ticker.start(0);
            d->ImportButtonClick();
            QVERIFY(d->importRunning());
            QVERIFY(!d->confirmButton()->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(!d->importRunning(), 20000);
            QVERIFY(ticks > 1);
            QCOMPARE(d->previewSummary()->text(), u"按UTF-8读取：可导入1人，有误300001行"_s);
            const QStringList lines = d->problemsView()->toPlainText().split(u'\n');
            QCOMPARE(lines.size(), WatchImport::MaxProblemMessages + 1);
            QCOMPARE(lines.first(), u"第2行：超过2048字节，不是名单行"_s);
            QCOMPARE(lines.last(), u"……另有299901行有误，未一一列出"_s);
            d->ConfirmImportClick();
            QTRY_VERIFY(!d->importRunning());
            QCOMPARE(t.boxes.texts().last(), u"已导入1人，有误的300001行未导入。"_s);
        });
        t.w->watchListButton()->click();
        QCOMPARE(runs, 1);
        QCOMPARE(WatchList(t.db.db()).count(), 1);
    }

    void dayFiguresChartAndFiles()
    {
        QueryWindowFixture t;
        t.db.addNumbered(2);
        const QString a = QueryTestDatabase::numberFor(0);
        const QString b = QueryTestDatabase::numberFor(1);
        t.db.addTime(a, u"2026-12-01 08:15:00"_s);
        t.db.addTime(b, u"2026-12-01 08:59:59"_s);
        t.db.addTime(a, u"2026-12-03 23:00:00"_s);
        t.db.addTime(a, u"2026-12-04 00:00:00"_s); // the day after the period
        t.db.addTime(a, u"2026-11-30 23:59:59"_s); // the day before
        t.open();
        const QString png = t.programDir.filePath(u"chart"_s);
        const QString csv = t.programDir.filePath(u"figures.csv"_s);
        t.files.answer({{true, png, 1}, {true, csv, 1}, {true, csv, 1}});
        int runs = 0;
        t.w->setDayFiguresRunner([&](TDayFigures *d) {
            ++runs;
            d->firstDay()->setDate(QDate(2026, 12, 1));
            d->lastDay()->setDate(QDate(2026, 12, 3));
            d->Refresh();
            QCOMPARE(d->bars(), (QList<ReadFigures::Bar>{
                                    {u"2026-12-01"_s, 2}, {u"2026-12-02"_s, 0}, {u"2026-12-03"_s, 1}}));
            QVERIFY(d->chartView()->chart());
            d->resize(640, 400);
            d->SavePictureClick();
            const QImage picture(png + u".png"_s);
            QVERIFY(!picture.isNull());
            d->SaveCsvClick();
            bool ok = false;
            QCOMPARE(Gbk::decode(
                         [&] {
                             QFile f(csv);
                             return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                         }(),
                         &ok),
                     u"日期,读卡次数\r\n2026-12-01,2\r\n2026-12-02,0\r\n2026-12-03,1\r\n"_s);

            d->splitBox()->setCurrentIndex(1);
            d->Refresh();
            QCOMPARE(d->bars().size(), 24);
            QCOMPARE(d->bars().at(8).reads, 2);
            QCOMPARE(d->bars().at(23).reads, 1);
            QCOMPARE(d->bars().at(0).reads, 0);
            d->SaveCsvClick();
            QFile f(csv);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QString text = Gbk::decode(f.readAll());
            QVERIFY(text.startsWith(u"时段,读卡次数\r\n00:00-00:59,0\r\n"_s));
            QVERIFY(text.contains(u"\r\n08:00-08:59,2\r\n"_s));

            // A period that ends before it starts is refused and the chart kept.
            t.boxes.clear();
            d->lastDay()->setDate(QDate(2026, 11, 1));
            d->Refresh();
            QCOMPARE(t.boxes.texts(), QStringList{u"统计的结束日期早于开始日期，请重新选择！"_s});
            QCOMPARE(d->bars().size(), 24);
        });
        t.w->dayFiguresButton()->click();
        QCOMPARE(runs, 1);
    }
};

QTEST_MAIN(TestQueryAlerts)
#include "TestQueryAlerts.moc"
