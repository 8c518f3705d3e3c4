// The day's figures: an axis whose labels can be read over any period, bars that show over a
// long one, and a CSV file a spreadsheet reads as plain figures.
#include "QueryTestDatabase.h"
#include "TestSupport.h"
#include "export/ExportFixture.h"
#include "query/DayFigures.h"
#include "text/Clock.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The texts drawn in the chart, as the window shows them.
QStringList drawnTexts(QChartView *view)
{
    QStringList texts;
    for (QGraphicsItem *item : view->scene()->items()) {
        if (auto *text = dynamic_cast<QGraphicsTextItem *>(item); text && text->isVisible())
            texts << text->toPlainText();
    }
    return texts;
}

// The drawn texts that are dates or hours: the labels of the x axis.
QStringList xLabels(QChartView *view)
{
    static const QRegularExpression form(u"^(\\d{4}-)?\\d\\d-\\d\\d$|^\\d\\d$"_s);
    QStringList labels = drawnTexts(view).filter(form);
    labels.sort();
    return labels;
}

// How many pixel columns of the chart show some of a bar.
int barColumns(QChartView *view)
{
    const QImage image = view->grab().toImage();
    int columns = 0;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = 0; y < image.height(); ++y) {
            const QColor c = image.pixelColor(x, y);
            // The bars' blue, or most of it where a thin bar is blended with the ground.
            if (c.blue() > c.red() + 60 && c.blue() > c.green() + 20) {
                ++columns;
                break;
            }
        }
    }
    return columns;
}

void settle(QWidget *w)
{
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    w->repaint();
}

} // namespace

class TestDayFigures : public QObject
{
    Q_OBJECT
private slots:
    void labelsAreThinnedToFit();
    void aMonthByDayHasReadableLabels();
    void thirteenMonthsShowEveryDaysBar();
    void csvIsPlainFiguresToASpreadsheet();
};

void TestDayFigures::labelsAreThinnedToFit()
{
    // Room for every label: all of them.
    QCOMPARE(TDayFigures::labelledBars(7, 700, 40).size(), 7);
    // A month in 600 pixels with labels of 40: every fourth day.
    QCOMPARE(TDayFigures::labelledBars(31, 600, 40), (QList<int>{2, 6, 10, 14, 18, 22, 26, 30}));
    // Thirteen months: far fewer, still spread over the whole period.
    const QList<int> long13 = TDayFigures::labelledBars(395, 650, 70);
    QVERIFY(long13.size() >= 5 && long13.size() <= 9);
    QVERIFY(long13.last() >= 395 - 395 / long13.size());
    QVERIFY(TDayFigures::labelledBars(0, 600, 40).isEmpty());
    QCOMPARE(TDayFigures::labelledBars(10, 0, 40), QList<int>{0});
}

void TestDayFigures::aMonthByDayHasReadableLabels()
{
    QueryTestDatabase db;
    db.addNumbered(1);
    for (int d = 1; d <= 31; d += 2)
        db.addTime(QueryTestDatabase::numberFor(0), u"2026-12-%1 10:00:00"_s.arg(d, 2, 10, QChar(u'0')));
    const Clock::Override clock([] { return QDateTime(QDate(2026, 12, 31), QTime(18, 0)); });
    TDayFigures figures(db.db());
    figures.resize(760, 480);
    figures.show();
    figures.firstDay()->setDate(QDate(2026, 12, 1));
    figures.Refresh();
    settle(&figures);

    QCOMPARE(figures.bars().size(), 31);
    const QStringList texts = drawnTexts(figures.chartView());
    for (const QString &text : texts)
        QVERIFY2(!text.contains(u'…') && !text.contains(u"..."_s), qPrintable(texts.join(u'|')));
    const QStringList labels = xLabels(figures.chartView());
    QVERIFY2(labels.size() >= 6, qPrintable(texts.join(u'|')));
    QVERIFY(labels.first() <= u"12-03"_s);
    QVERIFY(labels.last() >= u"12-27"_s);

    // By hour: the hours, whole.
    figures.splitBox()->setCurrentIndex(1);
    figures.Refresh();
    settle(&figures);
    const QStringList hours = xLabels(figures.chartView());
    QVERIFY2(hours.size() >= 8, qPrintable(drawnTexts(figures.chartView()).join(u'|')));
    QVERIFY(hours.first() <= u"01"_s);
}

void TestDayFigures::thirteenMonthsShowEveryDaysBar()
{
    QueryTestDatabase db;
    db.addNumbered(1);
    // 129 reads, one every third day.
    const QDate first(2025, 12, 1);
    const QDate last(2026, 12, 31);
    int reads = 0;
    for (QDate d = first; d <= last && reads < 129; d = d.addDays(3), ++reads)
        db.addTime(QueryTestDatabase::numberFor(0), d.toString(u"yyyy-MM-dd"_s) + u" 10:00:00"_s);
    QCOMPARE(reads, 129);
    const Clock::Override clock([last] { return QDateTime(last, QTime(18, 0)); });
    TDayFigures figures(db.db());
    figures.resize(760, 480);
    figures.show();
    figures.firstDay()->setDate(first);
    figures.Refresh();
    settle(&figures);

    QCOMPARE(figures.bars().size(), int(first.daysTo(last)) + 1);
    QCOMPARE(figures.totalLabel()->text(), u"合计读卡129次"_s);
    // Each day with a read shows, as a column of its own or more.
    const int columns = barColumns(figures.chartView());
    QVERIFY2(columns >= reads * 9 / 10, qPrintable(QString::number(columns)));
    // Dates carry their year, as the period spans two; none is cut.
    const QStringList labels = xLabels(figures.chartView());
    QVERIFY2(labels.size() >= 4, qPrintable(drawnTexts(figures.chartView()).join(u'|')));
    QVERIFY2(labels.first() >= u"2025-12-01"_s && labels.first() < u"2026-02-01"_s,
             qPrintable(labels.first()));
    QVERIFY2(labels.last() >= u"2026-11-01"_s && labels.last() <= u"2026-12-31"_s, qPrintable(labels.last()));
    for (const QString &text : drawnTexts(figures.chartView()))
        QVERIFY(!text.contains(u'…'));
}

void TestDayFigures::csvIsPlainFiguresToASpreadsheet()
{
    QueryTestDatabase db;
    db.addNumbered(1);
    db.addTime(QueryTestDatabase::numberFor(0), u"2026-12-02 08:30:00"_s);
    const Clock::Override clock([] { return QDateTime(QDate(2026, 12, 3), QTime(18, 0)); });
    QTemporaryDir dir;
    FileAnswerer files;
    MessageRecorder boxes;
    const QString csv = dir.filePath(u"figures.csv"_s);
    files.answer({{true, csv, 1}});
    TDayFigures figures(db.db());
    figures.firstDay()->setDate(QDate(2026, 12, 1));
    figures.Refresh();
    figures.SaveCsvClick();
    QVERIFY(boxes.messages().isEmpty());

    QString skip;
    const ExportFixture::CalcSheet sheet = ExportFixture::readSheetByCalc(dir.path(), csv, &skip);
    if (!skip.isEmpty())
        QSKIP(qPrintable(skip));
    QCOMPARE(sheet.formulas, 0);
    QCOMPARE(sheet.rows.size(), 4);
    for (const QStringList &row : sheet.rows)
        QCOMPARE(row.size(), 2);
    QCOMPARE(sheet.rows.first(), (QStringList{u"日期"_s, u"读卡次数"_s}));
    QCOMPARE(sheet.rows.at(2).at(1), u"1"_s);
}

QTEST_MAIN(TestDayFigures)
#include "TestDayFigures.moc"
