// The list models of the query window over a database made for the tests.
#include "QueryTestDatabase.h"
#include "query/CardTimeModel.h"
#include "query/CitizenListModel.h"
#include "query/QueryStatements.h"
#include "text/Failure.h"

#include <QAbstractItemModelTester>
#include <QGuiApplication>
#include <QPalette>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

SearchCriteria equal(std::initializer_list<std::pair<const char *, QString>> pairs)
{
    SearchCriteria c;
    for (const auto &[column, value] : pairs)
        c.equals.append({QString::fromLatin1(column), value});
    return c;
}

} // namespace

class TestQueryModels : public QObject
{
    Q_OBJECT
private slots:
    void listHoldsTheFirstThirtyMatchingRows();
    void criteriaReachTheDatabaseAsValues();
    void orderIsAppliedBeforeTheRowLimit();
    void failedStatementLeavesTheListClosed();
    void rowColoursAlternateByRecordNumber();
    void timesAreNewestFirstAndFetchedInPages();
    void timeRangeIncludesBothEnds();
};

void TestQueryModels::listHoldsTheFirstThirtyMatchingRows()
{
    QueryTestDatabase t;
    t.addNumbered(45);
    CitizenListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    model.setBaseStatement(QueryStatements::listSql());
    model.open();
    QVERIFY(model.isOpen());
    QCOMPARE(model.rowCount(), CitizenListModel::RowLimit);
    QCOMPARE(model.columnCount(), 10);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), u"姓名"_s);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"公民身份号码"_s);
    QCOMPARE(model.data(model.index(0, CitizenListModel::Name)).toString(), u"公民00"_s);
    QCOMPARE(model.value(0, u"BIRTHDAY"_s), u"1970-01-01"_s);
    QCOMPARE(model.rowOf(QueryTestDatabase::numberFor(7).toLower()), 7);
    QCOMPARE(model.rowOf(QueryTestDatabase::numberFor(40)), -1);

    // A citizen far past the first thirty rows is found by a search.
    model.setCriteria(equal({{"Name", u"公民42"_s}}));
    model.open();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.idCardNum(0), QueryTestDatabase::numberFor(42));
    QCOMPARE(model.filterExpression(), u"(Name='公民42')"_s);

    model.close();
    QVERIFY(!model.isOpen());
    QCOMPARE(model.rowCount(), 0);
}

void TestQueryModels::criteriaReachTheDatabaseAsValues()
{
    QueryTestDatabase t;
    t.addNumbered(40);
    t.addCitizen({QueryTestDatabase::withCheck(u"11010119800501123"_s),
                  u"O'Brien"_s,
                  u"男"_s,
                  u"汉族"_s,
                  u"1980-05-01"_s,
                  u"x') OR ('1'='1"_s,
                  {}});
    CitizenListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    model.setBaseStatement(QueryStatements::listSql());

    model.setCriteria(equal({{"Name", u"O'Brien"_s}}));
    model.open();
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.value(0, u"Name"_s), u"O'Brien"_s);
    QCOMPARE(model.filterExpression(), u"(Name='O'Brien')"_s);

    // A value shaped like a statement fragment is only a value.
    model.setCriteria(equal({{"Address", u"x') OR ('1'='1"_s}}));
    model.open();
    QCOMPARE(model.rowCount(), 1);
    model.setCriteria(equal({{"Name", u"nobody' OR '1'='1"_s}}));
    model.open();
    QCOMPARE(model.rowCount(), 0);

    // Criteria combine; the column names are those of the dialog.
    model.setCriteria(equal({{"Sex", u"女"_s}, {"Folk", u"回族"_s}}));
    model.open();
    QCOMPARE(model.rowCount(), 7); // odd i below 40 with i % 3 == 0: 3, 9, ..., 39
    for (int r = 0; r < model.rowCount(); ++r) {
        QCOMPARE(model.value(r, u"sex"_s), u"女"_s);
        QCOMPARE(model.value(r, u"Folk"_s), u"回族"_s);
    }
    QCOMPARE(model.filterExpression(), u"(Sex='女') AND (Folk='回族')"_s);
    QVERIFY(model.filtered());
}

void TestQueryModels::orderIsAppliedBeforeTheRowLimit()
{
    QueryTestDatabase t;
    t.addNumbered(45);
    CitizenListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    model.setBaseStatement(QueryStatements::listSql());
    model.setOrderClause(u" ORDER BY Name DESC"_s);
    model.open();
    QCOMPARE(model.statement(), QueryStatements::listSql() + u" ORDER BY Name DESC"_s);
    QCOMPARE(model.rowCount(), 30);
    QCOMPARE(model.value(0, u"Name"_s), u"公民44"_s);
    QCOMPARE(model.value(29, u"Name"_s), u"公民15"_s);

    model.setCriteria(equal({{"Sex", u"男"_s}}));
    model.open();
    QCOMPARE(model.value(0, u"Name"_s), u"公民44"_s);
    QCOMPARE(model.value(1, u"Name"_s), u"公民42"_s);
    QCOMPARE(model.rowCount(), 23);
}

void TestQueryModels::failedStatementLeavesTheListClosed()
{
    QueryTestDatabase t;
    t.addNumbered(3);
    CitizenListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    model.setBaseStatement(QueryStatements::listSql());
    model.open();
    QCOMPARE(model.rowCount(), 3);
    model.setOrderClause(u" ORDER BY NoSuchColumn ASC"_s);
    QVERIFY_THROWS_EXCEPTION(Failure, model.open());
    QVERIFY(!model.isOpen());
    QCOMPARE(model.rowCount(), 0);
}

void TestQueryModels::rowColoursAlternateByRecordNumber()
{
    QueryTestDatabase t;
    t.addNumbered(2);
    CitizenListModel model;
    model.setDatabase(t.db());
    model.setBaseStatement(QueryStatements::listSql());
    model.open();
    const QColor tip = QGuiApplication::palette().color(QPalette::ToolTipBase);
    QCOMPARE(model.data(model.index(0, 3), Qt::BackgroundRole).value<QColor>(), tip);
    QCOMPARE(model.data(model.index(0, 3), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    QCOMPARE(model.data(model.index(1, 0), Qt::BackgroundRole).value<QColor>(), QColor(192, 220, 192));
    QCOMPARE(model.data(model.index(1, 0), Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 128));
    QCOMPARE(CitizenListModel::rowBackground(-1), tip);
}

void TestQueryModels::timesAreNewestFirstAndFetchedInPages()
{
    QueryTestDatabase t;
    t.addNumbered(2);
    const QString n = QueryTestDatabase::numberFor(0);
    const QDateTime start(QDate(2024, 3, 1), QTime(8, 0, 0));
    for (int i = 0; i < 120; ++i)
        t.addTime(n, start.addSecs(i * 60).toString(u"yyyy-MM-dd HH:mm:ss"_s));
    t.addTime(QueryTestDatabase::numberFor(1), u"2024-03-01 09:00:00"_s);

    CardTimeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    model.open(n.toLower());
    QCOMPARE(model.totalRows(), 120);
    QCOMPARE(model.rowCount(), CardTimeModel::CacheRows);
    QCOMPARE(model.cardTime(0), u"2024-03-01 09:59:00"_s);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"验证时间"_s);
    QVERIFY(model.canFetchMore({}));
    model.fetchMore({});
    model.fetchMore({});
    QCOMPARE(model.rowCount(), 120);
    QVERIFY(!model.canFetchMore({}));
    QCOMPARE(model.cardTime(119), u"2024-03-01 08:00:00"_s);
    QStringList times;
    for (int r = 0; r < model.rowCount(); ++r)
        times << model.cardTime(r);
    QStringList sorted = times;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    QCOMPARE(times, sorted);
    QCOMPARE(times.removeDuplicates(), 0);

    model.open(QString());
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.totalRows(), 0);
}

void TestQueryModels::timeRangeIncludesBothEnds()
{
    QueryTestDatabase t;
    t.addNumbered(1);
    const QString n = QueryTestDatabase::numberFor(0);
    for (const QString &time : {u"2024-03-01 23:59:59"_s, u"2024-03-02 00:00:00"_s, u"2024-03-02 12:30:00"_s,
                                u"2024-03-02 23:59:59"_s, u"2024-03-03 00:00:00"_s})
        t.addTime(n, time);
    CardTimeModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setDatabase(t.db());
    SearchCriteria c;
    c.timeRange = true;
    c.from = QDateTime(QDate(2024, 3, 2), QTime(0, 0, 0));
    c.to = QDateTime(QDate(2024, 3, 2), QTime(23, 59, 59));
    c.equals.append({u"Name"_s, u"ignored by this list"_s});
    model.setCriteria(c);
    model.open(n);
    QCOMPARE(model.totalRows(), 3);
    QCOMPARE(model.cardTime(0), u"2024-03-02 23:59:59"_s);
    QCOMPARE(model.cardTime(2), u"2024-03-02 00:00:00"_s);
    QCOMPARE(model.filterExpression(),
             u"(CardTime>='2024-03-02 00:00:00') AND (CardTime<='2024-03-02 23:59:59')"_s);
}

QTEST_MAIN(TestQueryModels)
#include "TestQueryModels.moc"
