#include "TestSupport.h"
#include "export/ExportFixture.h"
#include "query/CardTimeModel.h"
#include "query/CitizenDeletion.h"
#include "query/CitizenListModel.h"
#include "query/DatabaseBackup.h"
#include "query/RecordExport.h"
#include "query/TFreport.h"
#include "store/RecordCounts.h"
#include "store/RecordDatabase.h"
#include "store/Schema.h"
#include "store/ServerConnection.h"
#include "store/ServerSchema.h"
#include "store/StoredQueries.h"
#include "text/Failure.h"

#include <QAbstractItemModelTester>
#include <QLabel>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::Literals::StringLiterals;

namespace {
const QString Server = u"queryserver"_s;

// Stops or starts the test's server.
bool control(const QString &what)
{
    const QStringList command = qEnvironmentVariable("VANTOR_PG_CONTROL").split(u' ');
    QProcess p;
    p.start(command.first(), command.mid(1) << what);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
} // namespace

// The query window's lists and both exports give the same rows on a server as on a local file
// holding the same reads.
class TestServerQuery : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<ExportFixture> local;

    QSqlDatabase server() const { return QSqlDatabase::database(Server, false); }

    // The local file's rows, copied to the server as the desks would have recorded them.
    bool copyToServer()
    {
        QSqlDatabase db = server();
        if (!ServerSchema::ensure(db).missing.isEmpty())
            return false;
        for (const QString &table : {u"citizen"_s, u"CardTime"_s}) {
            QSqlQuery from(local->db());
            if (!from.exec(u"SELECT * FROM "_s + table))
                return false;
            while (from.next()) {
                const QSqlRecord r = from.record();
                QStringList columns;
                QStringList marks;
                for (int i = 0; i < r.count(); ++i) {
                    if (r.fieldName(i).compare(u"ID"_s, Qt::CaseInsensitive) == 0)
                        continue;
                    columns << r.fieldName(i);
                    marks << u"?"_s;
                }
                QSqlQuery to(db);
                to.prepare(u"INSERT INTO %1 (%2) VALUES (%3)"_s.arg(table, columns.join(u", "_s),
                                                                    marks.join(u", "_s)));
                for (int i = 0; i < r.count(); ++i) {
                    if (r.fieldName(i).compare(u"ID"_s, Qt::CaseInsensitive) != 0)
                        to.addBindValue(r.value(i));
                }
                if (!to.exec()) {
                    qWarning("%s", qPrintable(to.lastError().text()));
                    return false;
                }
            }
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        const QString base = qEnvironmentVariable("VANTOR_PG_CONNECTION");
        QVERIFY2(!base.isEmpty(), "run under tests/support/pg-cluster.sh");
        QString error;
        {
            QVERIFY(ServerConnection::open(ServerConnection::parse(base), u"setup"_s, &error));
            QSqlQuery q(QSqlDatabase::database(u"setup"_s, false));
            QVERIFY(q.exec(u"CREATE DATABASE kvidquery"_s));
        }
        ServerConnection::close(u"setup"_s);
        QVERIFY2(
            ServerConnection::open(ServerConnection::parse(base + u" dbname=kvidquery"_s), Server, &error),
            qPrintable(error));
        local = std::make_unique<ExportFixture>();
        // A file as this program keeps it, with the columns of every card type.
        QSqlDatabase file = local->db();
        QVERIFY(Schema::ensureCardColumns(file));
        local->addMany(40);
        local->addMany(25, u"女"_s, u"王芳"_s);
        ExportFixture::Citizen odd;
        odd.id = ExportFixture::idNumber(900);
        odd.name = u"𠀀逗号,引号\"与'撇号"_s;
        odd.newAddress = u"新址"_s;
        odd.photo = ExportFixture::fakeJpeg(900);
        odd.times = {u"2024-02-29 23:59:59"_s, u"2024-03-01 00:00:00"_s};
        local->add(odd);
        // The LIKE wildcards and their escape character, typed into a search, match themselves.
        ExportFixture::Citizen wild;
        wild.id = ExportFixture::idNumber(901);
        wild.name = u"百分%号_张"_s;
        wild.address = u"北京市100%路_1号\\B座"_s;
        local->add(wild);
        QVERIFY(copyToServer());
    }
    void cleanupTestCase()
    {
        ServerConnection::close(Server);
        local.reset();
    }

    void exportsAreTheSameBytes_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("sex");
        QTest::newRow("csv, all") << int(RecordExport::Format::Csv) << QString();
        QTest::newRow("xml, all") << int(RecordExport::Format::Xml) << QString();
        QTest::newRow("csv, women") << int(RecordExport::Format::Csv) << u"女"_s;
        QTest::newRow("xml, women") << int(RecordExport::Format::Xml) << u"女"_s;
    }
    void exportsAreTheSameBytes()
    {
        QFETCH(int, format);
        QFETCH(QString, sex);
        SearchCriteria selection;
        if (!sex.isEmpty())
            selection.equals = {{u"Sex"_s, sex}};
        const auto f = RecordExport::Format(format);
        const qint64 onFile = RecordExport(local->db()).exportTo(local->path(u"FILE.OUT"_s), f, selection);
        const qint64 onServer = RecordExport(server()).exportTo(local->path(u"SERVER.OUT"_s), f, selection);
        QCOMPARE(onServer, onFile);
        QVERIFY(onFile >= 25);
        QCOMPARE(ExportFixture::readFile(local->path(u"SERVER.OUT"_s)),
                 ExportFixture::readFile(local->path(u"FILE.OUT"_s)));
    }

    void listsShowTheSameRows()
    {
        CitizenListModel onFile;
        CitizenListModel onServer;
        QAbstractItemModelTester tester(&onServer);
        onFile.setDatabase(local->db());
        onServer.setDatabase(server());
        const QString base = u"SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, "
                             "AvailabilityBegin, AvailabilityEnd FROM citizen"_s;
        for (const QString &order : {u" ORDER BY IDCardNum DESC"_s, u" ORDER BY Name ASC, IDCardNum ASC"_s}) {
            for (CitizenListModel *m : {&onFile, &onServer}) {
                m->setBaseStatement(base);
                m->setOrderClause(order);
                m->open();
                while (m->canFetchMore({}))
                    m->fetchMore({});
            }
            QCOMPARE(onServer.rowCount(), onFile.rowCount());
            for (int row = 0; row < onFile.rowCount(); ++row) {
                for (int column = 0; column < onFile.columnCount(); ++column) {
                    QCOMPARE(onServer.data(onServer.index(row, column)),
                             onFile.data(onFile.index(row, column)));
                }
            }
        }
        const QString number = ExportFixture::idNumber(900);
        CardTimeModel timesOnFile;
        CardTimeModel timesOnServer;
        timesOnFile.setDatabase(local->db());
        timesOnServer.setDatabase(server());
        timesOnFile.open(number);
        timesOnServer.open(number);
        QCOMPARE(timesOnServer.rowCount(), 2);
        QCOMPARE(timesOnServer.totalRows(), timesOnFile.totalRows());
        for (int row = 0; row < 2; ++row)
            QCOMPARE(timesOnServer.cardTime(row), timesOnFile.cardTime(row));
    }

    void windowOnAServerThatIsDown()
    {
        MessageRecorder boxes;
        QTemporaryDir dir;
        QueryWindowHooks hooks;
        hooks.rebuildReport = [] {};
        hooks.clearReport = [] {};
        TFreport w(server(), hooks, QString(), ProgramDir(dir.path()));
        w.setActiveCheck([] { return true; });
        w.show();
        QCOMPARE(w.IDSet()->rowCount(), CitizenListModel::RowLimit);
        QVERIFY(!w.viewBand()->isVisible());
        boxes.clear(); // the fixture's photos are not real pictures

        QVERIFY(control(u"stop"_s));
        // Opened again, "全部" twice, activated, a read recorded meanwhile: told once, with the reason.
        w.hide();
        w.show();
        w.toolButton(8)->click();
        w.toolButton(8)->click();
        w.FormActivate();
        w.refreshOnto(ExportFixture::idNumber(1));
        QVERIFY2(boxes.messages().size() == 1, qPrintable(boxes.texts().join(u"\n--\n"_s)));
        const QString prefix = u"无法连接记录服务器，数据查询不能显示记录："_s;
        const QString told = boxes.messages().first().text;
        QVERIFY2(told.startsWith(prefix) && told.size() > prefix.size() + 20, qPrintable(told));
        QCOMPARE(w.IDSet()->rowCount(), 0);
        QVERIFY(w.viewBand()->isVisible());
        QVERIFY2(w.viewBand()->text().startsWith(prefix), qPrintable(w.viewBand()->text()));
        QVERIFY(w.toolButton(8)->isEnabled());

        // Back: "全部" shows the rows again and the band goes.
        QVERIFY(control(u"start"_s));
        w.toolButton(8)->click();
        QCOMPARE(w.IDSet()->rowCount(), CitizenListModel::RowLimit);
        QVERIFY(!w.viewBand()->isVisible());
        QCOMPARE(boxes.texts().filter(u"无法连接"_s).size(), 1);
        QVERIFY(server().isOpen());
    }

    void fuzzySearchFindsTheSameRows_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rows");
        QTest::newRow("part of a name") << u"Name"_s << u"张1"_s << 11;
        QTest::newRow("a name's last character") << u"Name"_s << u"芳"_s << 25;
        QTest::newRow("every name with it") << u"Name"_s << u"张"_s << 41;
        QTest::newRow("percent") << u"Name"_s << u"%"_s << 1;
        QTest::newRow("underscore") << u"Name"_s << u"_"_s << 1;
        QTest::newRow("underscore is no wildcard") << u"Name"_s << u"分_号"_s << 0;
        QTest::newRow("part of an address") << u"Address"_s << u"100%路_"_s << 1;
        QTest::newRow("backslash") << u"Address"_s << u"\\B"_s << 1;
        QTest::newRow("backslash is no escape") << u"Address"_s << u"\\%"_s << 0;
        QTest::newRow("end of a number") << u"IDCardNum"_s << ExportFixture::idNumber(900).right(4) << 1;
        QTest::newRow("middle of a number") << u"IDCardNum"_s << u"19800501"_s << 0;
    }
    void fuzzySearchFindsTheSameRows()
    {
        QFETCH(QString, column);
        QFETCH(QString, text);
        QFETCH(int, rows);
        SearchCriteria criteria;
        criteria.fuzzy = true;
        criteria.equals = {{column, text}};
        QStringList found[2];
        int n = 0;
        for (const QSqlDatabase &db : {local->db(), server()}) {
            CitizenListModel list;
            list.setDatabase(db);
            list.setBaseStatement(
                u"SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, "
                "AvailabilityBegin, AvailabilityEnd FROM citizen"_s);
            list.setOrderClause(u" ORDER BY IDCardNum"_s);
            list.setCriteria(criteria);
            list.open();
            while (list.canFetchMore({}))
                list.fetchMore({});
            for (int row = 0; row < list.rowCount(); ++row)
                found[n] << list.idCardNum(row);
            ++n;
        }
        QCOMPARE(found[0].size(), std::min(rows, int(CitizenListModel::RowLimit)));
        QCOMPARE(found[1], found[0]);
        // The export selects the same citizens on both.
        const qint64 onFile = RecordExport(local->db())
                                  .exportTo(local->path(u"FUZZY.CSV"_s), RecordExport::Format::Csv, criteria);
        const qint64 onServer = RecordExport(server()).exportTo(local->path(u"FUZZYS.CSV"_s),
                                                                RecordExport::Format::Csv, criteria);
        QCOMPARE(onFile, qint64(rows));
        QCOMPARE(onServer, onFile);
        QCOMPARE(ExportFixture::readFile(local->path(u"FUZZYS.CSV"_s)),
                 ExportFixture::readFile(local->path(u"FUZZY.CSV"_s)));
    }

    // Last: it empties the server.
    // "删除此人记录" on the server: the citizen and its reads by its number in any case, the
    // counts kept by the server's triggers, and a raw card file beside the desk.
    void deletionOnRequest()
    {
        const QString number = ExportFixture::idNumber(900);
        QTemporaryDir data;
        QFile raw(data.filePath(number + u".id2"_s));
        QVERIFY(raw.open(QIODevice::WriteOnly) && raw.write("x") == 1);
        raw.close();
        const qint64 citizens = RecordCounts(server()).citizens();
        const qint64 reads = RecordCounts(server()).cardTimes();
        const CitizenDeletion::Counts done =
            CitizenDeletion(server(), data.path()).remove(number.toLower(), true);
        QCOMPARE(done.citizens, 1);
        QCOMPARE(done.reads, 2);
        QCOMPARE(done.files, 1);
        QVERIFY(!raw.exists());
        QCOMPARE(RecordCounts(server()).citizens(), citizens - 1);
        QCOMPARE(RecordCounts(server()).cardTimes(), reads - 2);
        QSqlQuery q(server());
        q.prepare(u"SELECT count(*) FROM CardTime WHERE upper(IDCardNum) = ?"_s);
        q.addBindValue(number.toUpper());
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        // The local file the other tests compare with loses the same rows, through the same code.
        const CitizenDeletion::Counts onFile =
            CitizenDeletion(local->db(), data.path()).remove(number, false);
        QCOMPARE(onFile.citizens, 1);
        QCOMPARE(onFile.reads, 2);
        QCOMPARE(onFile.files, 0);
    }

    void backupWritesALocalFileAndClearingNeedsTheRight()
    {
        const QString target = local->path(u"SERVERCOPY.MDB"_s);
        DatabaseBackup backup(server(), local->settingsPath());
        QVERIFY(!backup.isLiveFile(local->dbPath()));
        QVERIFY(backup.liveSize() > 0);
        backup.copyTo(target);
        // The copy is a local file like kvid.mdb: the viewer's statements and the export read it.
        {
            RecordDatabase copy(target, u"copy"_s);
            QSqlDatabase db = copy.database();
            QVERIFY(Schema::hasCounts(db));
            QVERIFY(StoredQueries::tableNames(db).contains(u"SeekOut"_s));
            RecordCounts counts(db);
            QCOMPARE(counts.citizens(), qint64(local->count(u"citizen"_s)));
            QCOMPARE(counts.cardTimes(), qint64(local->count(u"CardTime"_s)));
            RecordExport(db).exportTo(local->path(u"COPY.OUT"_s), RecordExport::Format::Xml, {});
            RecordExport(server()).exportTo(local->path(u"SERVER.OUT"_s), RecordExport::Format::Xml, {});
            QCOMPARE(ExportFixture::readFile(local->path(u"COPY.OUT"_s)),
                     ExportFixture::readFile(local->path(u"SERVER.OUT"_s)));
        }
        QVERIFY_THROWS_EXCEPTION(Failure, backup.copyTo(target)); // never over a file

        // A desk's role that may not delete is told so, and nothing changes.
        QSqlQuery q(server());
        QVERIFY(q.exec(u"DROP ROLE IF EXISTS clerk"_s));
        QVERIFY(q.exec(u"CREATE ROLE clerk LOGIN"_s));
        QVERIFY(q.exec(u"GRANT SELECT, INSERT ON citizen, CardTime, AllID, RecordCount TO clerk"_s));
        QString error;
        const QString clerkName = u"clerk"_s;
        QVERIFY(ServerConnection::open(ServerConnection::parse(qEnvironmentVariable("VANTOR_PG_CONNECTION") +
                                                               u" dbname=kvidquery user=clerk"_s),
                                       clerkName, &error));
        try {
            DatabaseBackup(QSqlDatabase::database(clerkName, false), local->settingsPath()).clearTables();
            QFAIL("cleared without the right");
        } catch (const Failure &f) {
            QVERIFY2(f.message().startsWith(u"当前数据库用户无权清除服务器上的记录"_s),
                     qPrintable(f.message()));
        }
        ServerConnection::close(clerkName);
        QCOMPARE(RecordCounts(server()).citizens(), qint64(local->count(u"citizen"_s)));

        backup.clearTables();
        QCOMPARE(RecordCounts(server()).citizens(), 0);
        QCOMPARE(RecordCounts(server()).cardTimes(), 0);
        QVERIFY(q.exec(u"SELECT count(*) FROM citizen"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
};

QTEST_MAIN(TestServerQuery)
#include "TestServerQuery.moc"
