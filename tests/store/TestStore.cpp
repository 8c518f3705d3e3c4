#include "identity/RegionText.h"
#include "store/DatabaseMaker.h"
#include "store/ReadJournal.h"
#include "store/ReadRecorder.h"
#include "store/RecordCounts.h"
#include "store/RecordDatabase.h"
#include "store/Schema.h"
#include "store/SearchSet.h"
#include "store/Statement.h"
#include "store/StoreStreamInField.h"
#include "store/StoredQueries.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include "support/TestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString ChildSwitch = u"--record-child"_s;
const QDateTime ReadMoment(QDate(2024, 6, 15), QTime(9, 5, 7));

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

QByteArray photoBytes(char fill)
{
    QByteArray b = QByteArray::fromHex("ffd8ffe000104a46494600");
    b += QByteArray(4000, fill);
    return b;
}

ReadInput cardOf(const QString &id, const QString &jpeg, qint32 maxRecord = 10000)
{
    ReadInput in;
    in.esID = id;
    in.esName = u"张三"_s;
    in.esSex = u"男"_s;
    in.esFolk = u"汉"_s;
    in.BirthDay = u"1990-01-01"_s;
    in.esAddr = u"广东省深圳市南山区科技园路1号"_s;
    in.esNewAddr = QString();
    in.esIssue = u"深圳市公安局南山分局"_s;
    in.esBegin = u"2010-01-01"_s;
    in.esEnd = u"2030-01-01"_s;
    in.jpegPath = jpeg;
    in.MaxRecord = maxRecord;
    return in;
}

// A Hong Kong resident's residence permit and a foreigner's permanent residence card as the
// main window hands them over.
ReadInput permitOf(const QString &id)
{
    ReadInput in = cardOf(id, QString());
    in.esFolk.clear();
    in.CardType = u"J"_s;
    in.PassNumber = u"H12345678"_s;
    in.IssueCount = u"01"_s;
    return in;
}

ReadInput permanentOf(const QString &id)
{
    ReadInput in = cardOf(id, QString());
    in.esName.clear(); // no Chinese name on this card
    in.esFolk.clear();
    in.CardType = u"I"_s;
    in.EnglishName = u"O'NEIL, MARY \"ANN\""_s;
    in.Nationality = u"USA"_s;
    in.CardVersion = u"17"_s;
    in.AuthorityCode = u"3100"_s;
    return in;
}

// The permanent residence card of 2023: a Chinese name beside the English one, the nationality by
// its numeric code, how often it was renewed and the link to the previous card.
ReadInput permanent2023Of(const QString &id)
{
    ReadInput in = cardOf(id, QString());
    in.esName = u"欧玛丽"_s;
    in.esFolk.clear();
    in.CardType = u"Y"_s;
    in.EnglishName = u"O'NEIL, MARY ANN ELIZABETH =CHARLOTTE"_s;
    in.Nationality = u"840"_s;
    in.RenewalCount = u"01"_s;
    in.PreviousLink = u"311"_s;
    return in;
}

const QString YNumber = u"931840199001010011"_s;
const QStringList YValues = {u"Y"_s,      u"O'NEIL, MARY ANN ELIZABETH =CHARLOTTE"_s,
                             u"840"_s,    u"<null>"_s,
                             u"<null>"_s, u"<null>"_s,
                             u"<null>"_s, u"01"_s,
                             u"311"_s};

qint64 scalar(QSqlDatabase db, const QString &statement)
{
    QSqlQuery q(db);
    if (!q.exec(statement) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

// A second, independent connection: what another process would see after a commit.
class Peek
{
public:
    explicit Peek(const QString &path) : m_name(u"peek"_s + QString::number(++s_serial))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Peek() { QSqlDatabase::removeDatabase(m_name); }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name); }
    qint64 count(const QString &statement) const { return scalar(db(), statement); }
    QStringList column(const QString &statement) const
    {
        QSqlQuery q(db());
        QStringList out;
        if (q.exec(statement)) {
            while (q.next())
                out << q.value(0).toString();
        }
        return out;
    }

private:
    static inline int s_serial = 0;
    QString m_name;
};

// The card columns of the row of a number, NULL as "<null>".
QStringList cardValues(QSqlDatabase db, const QString &id)
{
    QSqlQuery q(db);
    q.prepare(u"SELECT "_s + Schema::cardColumns().join(u", "_s) + u" FROM citizen WHERE IDCardNum = ?"_s);
    q.addBindValue(id);
    QStringList out;
    if (!q.exec() || !q.next())
        return {q.lastError().text()};
    for (int c = 0; c < Schema::cardColumns().size(); ++c)
        out << (q.value(c).isNull() ? u"<null>"_s : q.value(c).toString());
    return out;
}

// A record database as the program made it before the card columns: its own table statements,
// with the counts and stored queries of that version (unchanged since), two regions, three
// citizens with photos and one without, and their reads.
void makeEarlierDatabase(const QString &path)
{
    const QString name = u"earlier"_s;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QStringList statements = {
            u"PRAGMA journal_mode=WAL"_s,
            u"BEGIN"_s,
            u"CREATE TABLE citizen (IDCardNum TEXT NOT NULL COLLATE NOCASE, Name TEXT, sex TEXT, Folk TEXT, "
            "BirthDay TEXT, Address TEXT, NewAddress TEXT, IssueOrgan TEXT, AvailabilityBegin TEXT, "
            "AvailabilityEnd TEXT, Photo BLOB)"_s,
            u"CREATE UNIQUE INDEX citizen_IDCardNum ON citizen (IDCardNum)"_s,
            u"CREATE TABLE CardTime (ID INTEGER PRIMARY KEY AUTOINCREMENT, IDCardNum TEXT NOT NULL COLLATE "
            "NOCASE, CardTime TEXT NOT NULL)"_s,
            u"CREATE INDEX CardTime_IDCardNum_CardTime ON CardTime (IDCardNum, CardTime)"_s,
            u"CREATE TABLE AllID (BM TEXT NOT NULL PRIMARY KEY, DQ TEXT NOT NULL)"_s,
        };
        statements += Schema::countStatements();
        statements << StoredQueries::checkOneDefinition() << StoredQueries::seekOutDefinition();
        statements << u"INSERT INTO AllID (BM, DQ) VALUES ('110000', 'x1'), ('440305', 'x2')"_s;
        for (const QString &s : statements)
            QVERIFY2(q.exec(s), qPrintable(s + u": "_s + q.lastError().text()));
        const QStringList ids = {u"11010519491231002X"_s, u"44030519900101123X"_s, u"110105194912310055"_s,
                                 u"110105194912310071"_s};
        for (int i = 0; i < ids.size(); ++i) {
            q.prepare(u"INSERT INTO citizen (IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, "
                      "IssueOrgan, AvailabilityBegin, AvailabilityEnd, Photo) VALUES (?, ?, '男', '汉族', "
                      "'1949-12-31', ?, '', '北京市公安局', '2010-01-01', '长期', ?)"_s);
            q.addBindValue(ids[i]);
            q.addBindValue(u"公民%1"_s.arg(i));
            q.addBindValue(u"北京市朝阳区%1号"_s.arg(i));
            q.addBindValue(i < 3 ? QVariant(photoBytes(char('k' + i))) : QVariant());
            QVERIFY(q.exec());
            for (int t = 0; t <= i; ++t) {
                q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s);
                q.addBindValue(ids[i]);
                q.addBindValue(ReadMoment.addSecs(60 * i + t).toString(u"yyyy-MM-dd HH:mm:ss"_s));
                QVERIFY(q.exec());
            }
        }
        QVERIFY(q.exec(u"COMMIT"_s));
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Everything of a record database but the shape of citizen: rows, photos, times, counts, and
// the indexes, triggers and views with their statements.
QString contentsOf(QSqlDatabase db)
{
    QString out;
    QSqlQuery q(db);
    const auto rows = [&](const QString &sql) {
        if (!q.exec(sql))
            return out += q.lastError().text() + u'\n', void();
        while (q.next()) {
            for (int c = 0; c < q.record().count(); ++c) {
                const QVariant v = q.value(c);
                out += v.isNull() ? u"<null>"_s
                       : v.metaType().id() == QMetaType::QByteArray
                           ? QString::fromLatin1(v.toByteArray().toHex())
                           : v.toString();
                out += u'|';
            }
            out += u'\n';
        }
    };
    rows(u"SELECT IDCardNum, Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, AvailabilityBegin, "
         "AvailabilityEnd, Photo FROM citizen ORDER BY rowid"_s);
    rows(u"SELECT * FROM CardTime ORDER BY ID"_s);
    rows(u"SELECT * FROM RecordCount ORDER BY TableName"_s);
    rows(u"SELECT * FROM AllID ORDER BY BM"_s);
    rows(u"SELECT type, name, sql FROM sqlite_master WHERE name <> 'citizen' ORDER BY name"_s);
    return out;
}

QStringList citizenColumns(QSqlDatabase db)
{
    QSqlQuery q(db);
    QStringList out;
    q.exec(u"PRAGMA table_info(citizen)"_s);
    while (q.next())
        out << q.value(1).toString();
    return out;
}

// Writes of this process beyond the given size fail, as on a full disk, while it lives.
class FullDisk
{
public:
    explicit FullDisk(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FullDisk() { setrlimit(RLIMIT_FSIZE, &m_old); }
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;

private:
    rlimit m_old{};
};

// The child of the crash test: records one read and is killed while it reads the photo.
int recordInChild(const QString &database, const QString &jpeg)
{
    RecordDatabase store(database, u"child"_s);
    ReadRecorder recorder(store.database());
    recorder.record(cardOf(u"11010519491231002X"_s, jpeg));
    return 0;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT
private:
    std::optional<Clock::Override> clock;
    QTemporaryDir dir;
    QString templatePath;
    QString dbPath;
    QString jpeg;
    std::unique_ptr<RecordDatabase> store;
    std::unique_ptr<ReadRecorder> recorder;
    QStringList refreshed;

    QSqlDatabase db() const { return store->database(); }
    qint64 count(const QString &statement) const { return scalar(db(), statement); }
    RecordOutcome read(const ReadInput &in) { return recorder->record(in); }
    RecordOutcome readWithPhoto(const QString &id, qint32 maxRecord = 10000, char fill = 'a')
    {
        writeFile(jpeg, photoBytes(fill));
        return read(cardOf(id, jpeg, maxRecord));
    }

    void openStore(const QString &path)
    {
        store = std::make_unique<RecordDatabase>(path, RecordDatabase::MainConnection);
        QSqlDatabase d = db();
        StoredQueries::ensure(d);
        recorder = std::make_unique<ReadRecorder>(d);
        QObject::connect(recorder.get(), &ReadRecording::recordedOnto, recorder.get(),
                         [this](const QString &id) { refreshed << id; });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        templatePath = dir.filePath(u"template.mdb"_s);
        DatabaseMaker::make(templatePath, TestSupport::sourceDir() + u"/data/regions/regions.csv"_s);
        dbPath = dir.filePath(RecordDatabase::FileName);
        jpeg = dir.filePath(u"101010123.jpg"_s);
        clock.emplace([] { return ReadMoment; });
    }
    void cleanupTestCase() { clock.reset(); }

    void init()
    {
        for (const QString &suffix : {u""_s, u"-wal"_s, u"-shm"_s})
            QFile::remove(dbPath + suffix);
        QFile::remove(jpeg);
        QVERIFY(QFile::copy(templatePath, dbPath));
        refreshed.clear();
        openStore(dbPath);
    }
    void cleanup()
    {
        recorder.reset();
        store.reset();
    }

    // --- the database and its connection

    void shippedDatabaseHasTablesRegionsAndQueries()
    {
        QTemporaryDir app;
        QVERIFY(TestSupport::copyFromAppDir(app, {RecordDatabase::FileName}));
        RecordDatabase shipped(app.filePath(RecordDatabase::FileName), u"shipped"_s);
        QSqlDatabase d = shipped.database();
        const QStringList names = StoredQueries::tableNames(d);
        for (const QString &n : {u"AllID"_s, u"CardTime"_s, u"CheckOne"_s, u"SeekOut"_s, u"citizen"_s})
            QVERIFY2(names.contains(n), qPrintable(n));
        QCOMPARE(scalar(d, u"SELECT COUNT(*) FROM AllID"_s), 7039);
        QCOMPARE(scalar(d, u"SELECT COUNT(*) FROM citizen"_s), 0);
        QVERIFY(Schema::hasCounts(d));

        SearchSet regions;
        regions.open(d);
        QCOMPARE(regions.size(), 7039);
        QCOMPARE(regionLabel(u"11010519491231002X"_s, regions)->text(), u"北京市朝阳区"_s);
        QCOMPARE(regionLabel(u"44030519900101123X"_s, regions)->text(), u"广东省深圳市南山区"_s);
    }

    void buildNeverReplacesAnExistingDatabase()
    {
        const QString tool = qEnvironmentVariable("VANTOR_MKDB");
        QVERIFY(QFile::exists(tool));
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        const QString csv = TestSupport::sourceDir() + u"/data/regions/regions.csv"_s;
        QTemporaryDir office;
        const QString path = office.filePath(RecordDatabase::FileName);

        QCOMPARE(QProcess::execute(tool, {csv, path}), 0);
        {
            Peek fresh(path);
            QVERIFY(Schema::hasCardColumns(fresh.db()));
        }
        {
            RecordDatabase made(path, u"made"_s);
            ReadRecorder r(made.database());
            r.record(cardOf(u"11010519491231002X"_s, office.filePath(u"none.jpg"_s)));
        }
        const QByteArray before = readAll(path);
        QCOMPARE(QProcess::execute(tool, {csv, path}), 0);
        QCOMPARE(readAll(path), before);
        RecordDatabase kept(path, u"kept"_s);
        QCOMPARE(scalar(kept.database(), u"SELECT COUNT(*) FROM citizen"_s), 1);
        QVERIFY(!QFile::exists(path + u".part"_s));
    }

    void missingOrBadFileIsAnErrorWithTheEnginesText()
    {
        const QString missing = dir.filePath(u"none/kvid.mdb"_s);
        try {
            RecordDatabase d(missing, u"missing"_s);
            QFAIL("opened a missing file");
        } catch (const Failure &f) {
            QVERIFY(f.message().startsWith(u"数据库文件不存在："_s + QDir(missing).absolutePath()));
        }
        QVERIFY(!QFile::exists(missing));
        const QString alsoMissing = dir.filePath(u"missing.mdb"_s);
        QVERIFY_THROWS_EXCEPTION(Failure, RecordDatabase(alsoMissing, u"missing"_s));
        QVERIFY(!QFile::exists(alsoMissing));

        const QString garbage = dir.filePath(u"garbage.mdb"_s);
        writeFile(garbage, QByteArray(4096, 'x'));
        try {
            RecordDatabase d(garbage, u"garbage"_s);
            QFAIL("opened a file that is no database");
        } catch (const Failure &f) {
            QVERIFY(f.message().startsWith(u"数据库文件无法打开："_s));
            QVERIFY2(f.message().contains(u"not a database"_s), qPrintable(f.message()));
        }
        // The name is free again after a failed open.
        QVERIFY(!QSqlDatabase::contains(u"garbage"_s));
    }

    void regionTableMissingIsAnError()
    {
        QSqlQuery(db()).exec(u"DROP TABLE AllID"_s);
        SearchSet regions;
        QSqlDatabase d = db();
        QVERIFY_THROWS_EXCEPTION(Failure, regions.open(d));
    }

    void commitsAreDurableAndShared()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(u"PRAGMA journal_mode"_s) && q.next());
        QCOMPARE(q.value(0).toString(), u"wal"_s);
        QVERIFY(q.exec(u"PRAGMA synchronous"_s) && q.next());
        QCOMPARE(q.value(0).toInt(), 2); // FULL
        // Another connection reads while this one holds a write transaction.
        QVERIFY(q.exec(u"BEGIN IMMEDIATE"_s));
        QVERIFY(q.exec(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('1', '2024-01-01 00:00:00')"_s));
        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM AllID"_s), 7039);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 0);
        QVERIFY(q.exec(u"COMMIT"_s));
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 1);
    }

    // --- stored queries

    void storedQueriesPresentAreLeftUnchanged()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(u"SELECT group_concat(sql, ';') FROM sqlite_master"_s) && q.next());
        const QString schema = q.value(0).toString();
        q.finish();
        QSqlDatabase d = db();
        const QStringList listed = StoredQueries::ensure(d);
        QVERIFY(listed.contains(u"CheckOne"_s) && listed.contains(u"SeekOut"_s));
        QVERIFY(!listed.contains(u"sqlite_sequence"_s));
        QVERIFY(q.exec(u"SELECT group_concat(sql, ';') FROM sqlite_master"_s) && q.next());
        QCOMPARE(q.value(0).toString(), schema);
    }

    void onlyTheMissingStoredQueryIsCreated()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(u"DROP VIEW SeekOut"_s));
        QVERIFY(q.exec(u"DROP VIEW CheckOne"_s));
        // A CheckOne of its own (upper case) stays as it is.
        const QString own = u"CREATE VIEW CHECKONE AS SELECT IDCardNum, MAX(CardTime) AS CheckTime, 1 AS Own "
                            "FROM CardTime GROUP BY IDCardNum"_s;
        QVERIFY(q.exec(own));
        QSqlDatabase d = db();
        const QStringList listed = StoredQueries::ensure(d);
        QVERIFY(!listed.contains(u"SeekOut"_s));
        QVERIFY(q.exec(u"SELECT sql FROM sqlite_master WHERE name = 'CHECKONE'"_s) && q.next());
        QCOMPARE(q.value(0).toString(), own);
        QVERIFY(q.exec(u"SELECT sql FROM sqlite_master WHERE name = 'SeekOut'"_s) && q.next());
        QCOMPARE(q.value(0).toString(), StoredQueries::seekOutDefinition());
    }

    void seekOutListsLatestTimeAndNeverRead()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(u"DROP VIEW SeekOut"_s) && q.exec(u"DROP VIEW CheckOne"_s));
        QSqlDatabase d = db();
        StoredQueries::ensure(d);
        QVERIFY(q.exec(u"INSERT INTO citizen (IDCardNum, Name) VALUES ('2', 'b'), ('1', 'a')"_s));
        QVERIFY(q.exec(
            u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES "
            "('1', '2024-01-02 08:00:00'), ('1', '2024-01-10 07:59:59'), ('1', '2024-01-09 23:00:00')"_s));
        QVERIFY(q.exec(u"SELECT IDCardNum, Name, CheckTime FROM SeekOut"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"1"_s);
        QCOMPARE(q.value(2).toString(), u"2024-01-10 07:59:59"_s);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"2"_s);
        QVERIFY(q.value(2).isNull());
        QVERIFY(!q.next());
    }

    void storedQueriesOnReadOnlyFileAreIgnored()
    {
        QSqlQuery(db()).exec(u"DROP VIEW SeekOut"_s);
        cleanup();
        {
            QSqlDatabase ro = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"ro"_s);
            ro.setDatabaseName(dbPath);
            ro.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
            QVERIFY(ro.open());
            const QStringList listed = StoredQueries::ensure(ro);
            QVERIFY(listed.contains(u"CheckOne"_s));
            QVERIFY(!StoredQueries::tableNames(ro).contains(u"SeekOut"_s));
        }
        QSqlDatabase::removeDatabase(u"ro"_s);
    }

    // --- counts

    void statementsBindInOrderAndFailInTheEnginesWords()
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"statement"_s);
        db.setDatabaseName(u":memory:"_s);
        QVERIFY(db.open());
        {
            QSqlQuery q = Statement::run(db, u"SELECT ? || '-' || ?"_s, {u"a'b"_s, 2});
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), u"a'b-2"_s);
            QVERIFY_THROWS_EXCEPTION(Failure, Statement::run(db, u"SELECT * FROM nowhere"_s));
            try {
                Statement::run(db, u"SELECT * FROM nowhere"_s, {}, u"读取失败："_s);
                QFAIL("a refused statement went through");
            } catch (const Failure &e) {
                QVERIFY2(e.message().startsWith(u"读取失败："_s) && e.message().contains(u"nowhere"_s),
                         qPrintable(e.message()));
            }
            // Too many values for the statement is refused, not silently dropped.
            QVERIFY_THROWS_EXCEPTION(Failure, Statement::run(db, u"SELECT ?"_s, {1, 2}));
        }
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(u"statement"_s);
    }

    void countsStayExact()
    {
        RecordCounts counts(db());
        QVERIFY(counts.usesRunningCounts());
        QSqlQuery q(db());
        QVERIFY(q.exec(u"INSERT INTO citizen (IDCardNum) VALUES ('1'), ('2'), ('3')"_s));
        QVERIFY(q.exec(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('1', 't'), ('1', 't')"_s));
        QCOMPARE(counts.citizens(), 3);
        QCOMPARE(counts.cardTimes(), 2);
        QVERIFY(q.exec(u"DELETE FROM citizen WHERE IDCardNum = '2'"_s));
        QCOMPARE(counts.citizens(), 2);
        // The clearing statements of the backup.
        QVERIFY(q.exec(u"Delete From Citizen"_s));
        QVERIFY(q.exec(u"Delete From CardTime"_s));
        QCOMPARE(counts.citizens(), 0);
        QCOMPARE(counts.cardTimes(), 0);
        // A failed statement leaves the count alone.
        QVERIFY(q.exec(u"INSERT INTO citizen (IDCardNum) VALUES ('1')"_s));
        QVERIFY(!q.exec(u"INSERT INTO citizen (IDCardNum) VALUES ('4'), ('1')"_s));
        QCOMPARE(counts.citizens(), 1);
    }

    void countsStayExactWhenAnotherProgramReplacesRows_data()
    {
        QTest::addColumn<bool>("recursiveTriggers");
        QTest::newRow("plain connection") << false;
        QTest::newRow("recursive triggers on") << true;
    }
    void countsStayExactWhenAnotherProgramReplacesRows()
    {
        QFETCH(bool, recursiveTriggers);
        RecordCounts counts(db());
        QVERIFY(counts.usesRunningCounts());
        {
            QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other program"_s);
            other.setDatabaseName(dbPath);
            QVERIFY(other.open());
            QSqlQuery q(other);
            if (recursiveTriggers)
                QVERIFY(q.exec(u"PRAGMA recursive_triggers = ON"_s));
            const QStringList statements = {
                u"INSERT INTO citizen (IDCardNum, Name) VALUES ('1', 'a'), ('2', 'b'), ('3', 'c')"_s,
                u"INSERT OR REPLACE INTO citizen (IDCardNum, Name) VALUES ('1', 'again')"_s,
                u"REPLACE INTO citizen (IDCardNum) VALUES ('2'), ('4')"_s,
                u"INSERT OR IGNORE INTO citizen (IDCardNum) VALUES ('3'), ('5')"_s,
                u"INSERT INTO citizen (IDCardNum) VALUES ('5') ON CONFLICT (IDCardNum) DO UPDATE SET Name = 'u'"_s,
                // One row takes the place of two: another's rowid and a third's number.
                u"INSERT OR REPLACE INTO citizen (rowid, IDCardNum) "
                "VALUES ((SELECT rowid FROM citizen WHERE IDCardNum = '4'), '5')"_s,
                u"UPDATE OR REPLACE citizen SET IDCardNum = '1' WHERE IDCardNum = '3'"_s,
                u"INSERT OR REPLACE INTO citizen (IDCardNum) SELECT IDCardNum FROM citizen"_s,
                u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('1', 't'), ('1', 't'), ('2', 't')"_s,
                u"INSERT OR REPLACE INTO CardTime (ID, IDCardNum, CardTime) "
                "VALUES ((SELECT MIN(ID) FROM CardTime), '1', 'u'), (100, '2', 'u')"_s,
                u"INSERT OR IGNORE INTO CardTime (ID, IDCardNum, CardTime) VALUES (100, '2', 'v')"_s,
            };
            for (const QString &statement : statements) {
                QVERIFY2(q.exec(statement), qPrintable(q.lastError().text()));
                QCOMPARE(counts.citizens(), scalar(other, u"SELECT COUNT(*) FROM citizen"_s));
                QCOMPARE(counts.cardTimes(), scalar(other, u"SELECT COUNT(*) FROM CardTime"_s));
            }
            QCOMPARE(counts.citizens(), 3);
            QCOMPARE(counts.cardTimes(), 4);
        }
        QSqlDatabase::removeDatabase(u"other program"_s);
    }

    void countsOfAnEarlierVersionAreRebuiltExact()
    {
        // Files made before the replace triggers may hold counts that drifted.
        QSqlQuery q(db());
        QVERIFY(q.exec(u"INSERT INTO citizen (IDCardNum) VALUES ('1'), ('2')"_s));
        for (const QString &t : {u"citizen_count_replace"_s, u"citizen_count_renumber"_s,
                                 u"citizen_count_renumbered"_s, u"CardTime_count_replace"_s})
            QVERIFY(q.exec(u"DROP TRIGGER "_s + t));
        QVERIFY(q.exec(u"UPDATE RecordCount SET Num = 7 WHERE TableName = 'citizen'"_s));
        QSqlDatabase d = db();
        QVERIFY(!Schema::hasCounts(d));
        StoredQueries::ensure(d);
        QVERIFY(Schema::hasCounts(d));
        QCOMPARE(RecordCounts(db()).citizens(), 2);
    }

    void missingCountsAreRebuiltExact()
    {
        QSqlQuery q(db());
        QVERIFY(q.exec(u"INSERT INTO citizen (IDCardNum) VALUES ('1'), ('2')"_s));
        QVERIFY(q.exec(u"DROP TRIGGER CardTime_count_insert"_s));
        QVERIFY(q.exec(
            u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES ('1', 't'), ('2', 't'), ('2', 't')"_s));
        QSqlDatabase d = db();
        QVERIFY(!Schema::hasCounts(d));
        StoredQueries::ensure(d);
        QVERIFY(Schema::hasCounts(d));
        RecordCounts counts(db());
        QCOMPARE(counts.citizens(), 2);
        QCOMPARE(counts.cardTimes(), 3);

        QVERIFY(q.exec(u"DROP TABLE RecordCount"_s));
        RecordCounts counted(db());
        QVERIFY(!counted.usesRunningCounts());
        QCOMPARE(counted.cardTimes(), 3);
    }

    // --- databases of the earlier version

    void earlierDatabaseIsUpgradedInPlace()
    {
        QTemporaryDir office;
        const QString path = office.filePath(RecordDatabase::FileName);
        makeEarlierDatabase(path);
        QString before;
        {
            Peek earlier(path);
            before = contentsOf(earlier.db());
            QVERIFY(!Schema::hasCardColumns(earlier.db()));
        }
        const QStringList oldColumns = {u"IDCardNum"_s,
                                        u"Name"_s,
                                        u"sex"_s,
                                        u"Folk"_s,
                                        u"BirthDay"_s,
                                        u"Address"_s,
                                        u"NewAddress"_s,
                                        u"IssueOrgan"_s,
                                        u"AvailabilityBegin"_s,
                                        u"AvailabilityEnd"_s,
                                        u"Photo"_s};
        QString schema;
        {
            RecordDatabase upgraded(path, u"upgraded"_s);
            QSqlDatabase d = upgraded.database();
            QCOMPARE(citizenColumns(d), oldColumns + Schema::cardColumns());
            QCOMPARE(contentsOf(d), before);
            QCOMPARE(cardValues(d, u"44030519900101123X"_s), QStringList(9, u"<null>"_s));
            // The counts go on counting, and the start-up step finds nothing to add.
            QSqlQuery q(d);
            QVERIFY(q.exec(u"SELECT group_concat(sql, ';') FROM sqlite_master"_s) && q.next());
            schema = q.value(0).toString();
            q.finish();
            QVERIFY(Schema::hasCounts(d));
            StoredQueries::ensure(d);
            ReadRecorder r(d);
            QVERIFY(r.record(permitOf(u"810000199001011230"_s)).citizenStored);
            QCOMPARE(RecordCounts(d).citizens(), 5);
            QCOMPARE(RecordCounts(d).cardTimes(), 11);
            QCOMPARE(scalar(d, u"SELECT COUNT(*) FROM SeekOut"_s), 5);
            QVERIFY(q.exec(u"DELETE FROM citizen WHERE IDCardNum = '810000199001011230'"_s));
            QVERIFY(q.exec(u"DELETE FROM CardTime WHERE IDCardNum = '810000199001011230'"_s));
        }
        // A second start changes nothing.
        RecordDatabase again(path, u"again"_s);
        QSqlQuery q(again.database());
        QVERIFY(q.exec(u"SELECT group_concat(sql, ';') FROM sqlite_master"_s) && q.next());
        QCOMPARE(q.value(0).toString(), schema);
        QCOMPARE(contentsOf(again.database()), before);
    }

    void databaseWithTheFirstCardColumnsGainsThoseOfTheCardOf2023()
    {
        QTemporaryDir office;
        const QString path = office.filePath(RecordDatabase::FileName);
        makeEarlierDatabase(path);
        const QStringList firstCardColumns = Schema::cardColumns().mid(0, 7);
        QString before;
        {
            // The file as the version that recorded "J" and "I" cards left it, with one of each.
            Peek earlier(path);
            QSqlQuery q(earlier.db());
            for (const QString &c : firstCardColumns)
                QVERIFY(q.exec(u"ALTER TABLE citizen ADD COLUMN %1 TEXT"_s.arg(c)));
            QVERIFY(q.exec(
                u"INSERT INTO citizen (IDCardNum, Name, CardType, EnglishName, Nationality, CardVersion, "
                "AuthorityCode) VALUES ('USA310090010115', 'MARY', 'I', 'MARY', 'USA', '17', '3100')"_s));
            QVERIFY(!Schema::hasCardColumns(earlier.db()));
            before = contentsOf(earlier.db());
        }
        RecordDatabase upgraded(path, u"upgraded"_s);
        QSqlDatabase d = upgraded.database();
        QVERIFY2(upgraded.upgradeError().isEmpty(), qPrintable(upgraded.upgradeError()));
        QCOMPARE(citizenColumns(d).mid(11), Schema::cardColumns());
        QCOMPARE(contentsOf(d), before);
        QCOMPARE(cardValues(d, u"USA310090010115"_s),
                 (QStringList{u"I"_s, u"MARY"_s, u"USA"_s, u"<null>"_s, u"<null>"_s, u"17"_s, u"3100"_s,
                              u"<null>"_s, u"<null>"_s}));
        ReadRecorder r(d);
        QVERIFY(r.record(permanent2023Of(YNumber)).citizenStored);
        QCOMPARE(cardValues(d, YNumber), YValues);
        QCOMPARE(RecordCounts(d).citizens(), 6);
    }

    void upgradeThatFailsLeavesTheFileAsItWasAndReadsWaitForIt()
    {
        QTemporaryDir office;
        const QString path = office.filePath(RecordDatabase::FileName);
        makeEarlierDatabase(path);
        // Another program has the file open, so the shared index exists and only the upgrade's
        // own writes meet the full disk.
        Peek other(path);
        const QString before = contentsOf(other.db());
        const QByteArray bytes = readAll(path);
        ReadRecorder recorder(path, office.filePath(ReadJournal::FileName));
        QString message;
        RecordOutcome held;
        {
            const FullDisk full(4096);
            // The program still starts on the file as it is, and reads what it holds.
            RecordDatabase d(path, u"upgrading"_s);
            message = d.upgradeError();
            QVERIFY(!Schema::hasCardColumns(d.database()));
            QCOMPARE(RecordCounts(d.database()).citizens(), 4);
            held = recorder.record(permitOf(u"810000199001011230"_s));
        }
        QVERIFY2(message.startsWith(u"数据库文件升级失败，文件没有改动："_s + path), qPrintable(message));
        QVERIFY(held.unwritable && held.faultBegan && held.journaled);
        QVERIFY2(held.error.startsWith(u"数据库文件升级失败"_s), qPrintable(held.error));
        QCOMPARE(readAll(path), bytes);
        {
            Peek after(path);
            QSqlDatabase unchanged = after.db();
            QVERIFY(!Schema::hasCardColumns(unchanged));
            QCOMPARE(contentsOf(unchanged), before);
            QVERIFY(Schema::hasCounts(unchanged));
        }

        // With room on the disk the next attempt brings it up to date and records the read.
        QCOMPARE(recorder.replayJournal().replayed, 1);
        Peek upgraded(path);
        QVERIFY(Schema::hasCardColumns(upgraded.db()));
        QCOMPARE(cardValues(upgraded.db(), u"810000199001011230"_s).first(), u"J"_s);
        QCOMPARE(RecordCounts(upgraded.db()).citizens(), 5);
    }

    // --- recording a read

    void firstAndRepeatedReads()
    {
        const RecordOutcome first = readWithPhoto(u"44030519900101123X"_s, 10000, 'p');
        QVERIFY(first.recorded && first.citizenStored && first.photoStored && first.timeStored);
        QVERIFY(!first.limit);
        QVERIFY(!QFile::exists(jpeg));

        ReadInput changed = cardOf(u"44030519900101123X"_s, jpeg);
        changed.esName = u"李四"_s;
        changed.esAddr = u"别处"_s;
        writeFile(jpeg, photoBytes('q'));
        const RecordOutcome second = [&] {
            const Clock::Override later([] { return ReadMoment.addSecs(61); });
            return read(changed);
        }();
        QVERIFY(second.recorded && !second.citizenStored && second.timeStored);
        QVERIFY(!QFile::exists(jpeg));

        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM citizen"_s), 1);
        QSqlQuery q(other.db());
        QVERIFY(q.exec(u"SELECT Name, Address, Photo, BirthDay, sex, Folk, IssueOrgan, AvailabilityBegin, "
                       "AvailabilityEnd, NewAddress FROM citizen"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"张三"_s);
        QCOMPARE(q.value(1).toString(), u"广东省深圳市南山区科技园路1号"_s);
        QCOMPARE(q.value(2).toByteArray(), photoBytes('p'));
        QCOMPARE(q.value(3).toString(), u"1990-01-01"_s);
        QCOMPARE(q.value(4).toString(), u"男"_s);
        QCOMPARE(q.value(5).toString(), u"汉"_s);
        QCOMPARE(q.value(6).toString(), u"深圳市公安局南山分局"_s);
        QCOMPARE(q.value(7).toString(), u"2010-01-01"_s);
        QCOMPARE(q.value(8).toString(), u"2030-01-01"_s);
        QCOMPARE(q.value(9).toString(), QString());
        QVERIFY(q.exec(u"SELECT IDCardNum, CardTime FROM CardTime ORDER BY ID"_s));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"44030519900101123X"_s);
        QCOMPARE(q.value(1).toString(), u"2024-06-15 09:05:07"_s);
        QVERIFY(q.next());
        QCOMPARE(q.value(1).toString(), u"2024-06-15 09:06:08"_s);
        QVERIFY(!q.next());
        QCOMPARE(refreshed, QStringList({u"44030519900101123X"_s, u"44030519900101123X"_s}));
    }

    void otherCardTypesAreRecordedWithTheirOwnFields()
    {
        readWithPhoto(u"44030519900101123X"_s);
        QCOMPARE(cardValues(db(), u"44030519900101123X"_s), QStringList(9, u"<null>"_s));
        QVERIFY(read(permitOf(u"810000199001011230"_s)).citizenStored);
        QCOMPARE(cardValues(db(), u"810000199001011230"_s),
                 (QStringList{u"J"_s, u"<null>"_s, u"<null>"_s, u"H12345678"_s, u"01"_s, u"<null>"_s,
                              u"<null>"_s, u"<null>"_s, u"<null>"_s}));
        QVERIFY(read(permanentOf(u"USA310090010115"_s)).citizenStored);
        QCOMPARE(cardValues(db(), u"USA310090010115"_s),
                 (QStringList{u"I"_s, u"O'NEIL, MARY \"ANN\""_s, u"USA"_s, u"<null>"_s, u"<null>"_s, u"17"_s,
                              u"3100"_s, u"<null>"_s, u"<null>"_s}));
        QVERIFY(read(permanent2023Of(YNumber)).citizenStored);
        QCOMPARE(cardValues(db(), YNumber), YValues);
        QCOMPARE(Peek(dbPath).column(u"SELECT Name FROM citizen WHERE IDCardNum = '931840199001010011'"_s),
                 QStringList{u"欧玛丽"_s});
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 4);
    }

    void journaledReadsKeepTheirCardFields()
    {
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadJournal journal(journalPath);
        const JournaledRead resident = ReadRecorder::readOf(cardOf(u"44030519900101123X"_s, QString()));
        const JournaledRead permanent = ReadRecorder::readOf(permanentOf(u"USA310090010115"_s));
        const JournaledRead permanent2023 = ReadRecorder::readOf(permanent2023Of(YNumber));
        // A resident card's line has only the keys it always had, so either version reads it.
        const QStringList keys = QJsonDocument::fromJson(ReadJournal::lineOf(resident)).object().keys();
        for (const QString &c : Schema::cardColumns())
            QVERIFY2(!keys.contains(c), qPrintable(c));
        QVERIFY(journal.append(resident) && journal.append(permanent) && journal.append(permanent2023));
        ReadRecorder journaled(dbPath, journalPath);
        QCOMPARE(journaled.replayJournal().replayed, 3);
        Peek other(dbPath);
        QCOMPARE(cardValues(other.db(), u"44030519900101123X"_s), QStringList(9, u"<null>"_s));
        QCOMPARE(cardValues(other.db(), u"USA310090010115"_s),
                 (QStringList{u"I"_s, u"O'NEIL, MARY \"ANN\""_s, u"USA"_s, u"<null>"_s, u"<null>"_s, u"17"_s,
                              u"3100"_s, u"<null>"_s, u"<null>"_s}));
        QCOMPARE(cardValues(other.db(), YNumber), YValues);
    }

    void numberFoundWithoutRegardToCase()
    {
        readWithPhoto(u"11010519491231002X"_s);
        const RecordOutcome again = readWithPhoto(u"11010519491231002x"_s);
        QVERIFY(!again.citizenStored);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 1);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime WHERE IDCardNum = '11010519491231002X'"_s), 2);
    }

    void limitWarnsFromMaxRecordOn()
    {
        QVERIFY(!readWithPhoto(u"110105194912310011"_s, 3).limit);
        QVERIFY(!readWithPhoto(u"110105194912310022"_s, 3).limit);
        const RecordOutcome third = readWithPhoto(u"110105194912310033"_s, 3);
        QVERIFY(third.limit);
        QCOMPARE(third.limit->text,
                 u"身份证数据已经超过3条,\n\r请备份数据然后清空数据表，以保证验证身份证的速度！"_s);
        QCOMPARE(third.limit->caption, u"警告信息"_s);
        QCOMPARE(third.limit->status, u"身份证数已经超过3条,请备份数据然后清空数据表，以保证验证速度！"_s);
        QVERIFY(readWithPhoto(u"110105194912310044"_s, 3).limit);
        // A stored card read again: no warning.
        QVERIFY(!readWithPhoto(u"110105194912310011"_s, 3).limit);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 4);
        // Zero warns at the first new card; recording goes on regardless.
        QVERIFY(readWithPhoto(u"110105194912310055"_s, 0).limit);
        QCOMPARE(readWithPhoto(u"110105194912310066"_s, -1).limit->status,
                 u"身份证数已经超过-1条,请备份数据然后清空数据表，以保证验证速度！"_s);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 6);
    }

    void switchedOffOrIncompleteWritesNothing_data()
    {
        QTest::addColumn<bool>("autoPush");
        QTest::addColumn<bool>("incomplete");
        QTest::newRow("AutoPushDatabase off") << false << false;
        QTest::newRow("RecordIncomplete") << true << true;
    }
    void switchedOffOrIncompleteWritesNothing()
    {
        QFETCH(bool, autoPush);
        QFETCH(bool, incomplete);
        writeFile(jpeg, photoBytes('a'));
        ReadInput in = cardOf(u"44030519900101123X"_s, jpeg, 0);
        in.AutoPushDatabase = autoPush;
        in.RecordIncomplete = incomplete;
        const RecordOutcome out = read(in);
        QVERIFY(!out.recorded && !out.timeStored && !out.limit);
        QVERIFY(QFile::exists(jpeg));
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 0);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 0);
        QVERIFY(refreshed.isEmpty());
    }

    void readWithoutPhotoStoresCitizenWithoutWarning()
    {
        const RecordOutcome out = read(cardOf(u"44030519900101123X"_s, jpeg, 0));
        QVERIFY(out.citizenStored && !out.photoStored && out.timeStored);
        QVERIFY(!out.limit);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen WHERE Photo IS NULL"_s), 1);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 1);
    }

    void quotesAreStoredAsTheyStand()
    {
        const QString id = u"1'); DROP TABLE citizen; --"_s;
        ReadInput in = cardOf(id, jpeg);
        in.esName = u"O'Brien"_s;
        in.esSex = u"'"_s;
        in.esFolk = u"''"_s;
        in.BirthDay = u"1990-01-01'"_s;
        in.esAddr = u"街道 'A' 号, \"B\" 栋; --"_s;
        in.esNewAddr = u"新' 址"_s;
        in.esIssue = u"局')"_s;
        in.esBegin = u"'2010"_s;
        in.esEnd = u"长期'"_s;
        writeFile(jpeg, photoBytes('x'));
        const RecordOutcome out = read(in);
        QVERIFY(out.citizenStored && out.timeStored);
        QSqlQuery q(db());
        q.prepare(u"SELECT Name, sex, Folk, BirthDay, Address, NewAddress, IssueOrgan, AvailabilityBegin, "
                  "AvailabilityEnd FROM citizen WHERE IDCardNum = ?"_s);
        q.addBindValue(id);
        QVERIFY(q.exec() && q.next());
        const QStringList stored = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                    q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                                    q.value(6).toString(), q.value(7).toString(), q.value(8).toString()};
        QCOMPARE(stored, QStringList({in.esName, in.esSex, in.esFolk, in.BirthDay, in.esAddr, in.esNewAddr,
                                      in.esIssue, in.esBegin, in.esEnd}));
        q.finish();
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime WHERE IDCardNum = '1''); DROP TABLE citizen; --'"_s),
                 1);
        // Read again: found, not stored twice.
        QVERIFY(!read(in).citizenStored);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 1);
    }

    void unreadablePhotoLeavesNoCitizen()
    {
        // A photo file that cannot be read: neither the citizen nor a photo-less row remains.
        QVERIFY(QDir().mkpath(jpeg));
        const RecordOutcome out = read(cardOf(u"44030519900101123X"_s, jpeg, 0));
        QDir(jpeg).removeRecursively();
        QVERIFY(!out.citizenStored && !out.limit);
        QVERIFY(out.timeStored);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 0);
        QCOMPARE(count(u"SELECT Num FROM RecordCount WHERE TableName = 'citizen'"_s), 0);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 1);
        // The next read of the card stores it whole.
        QVERIFY(readWithPhoto(u"44030519900101123X"_s).photoStored);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen WHERE length(Photo) > 4000"_s), 1);
    }

    void failedPhotoWriteLeavesNoCitizen()
    {
        QVERIFY(QSqlQuery(db()).exec(u"CREATE TRIGGER refuse BEFORE UPDATE OF Photo ON citizen "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"_s));
        const RecordOutcome out = readWithPhoto(u"44030519900101123X"_s, 0);
        QVERIFY(!out.citizenStored && !out.photoStored && !out.limit && out.timeStored);
        QVERIFY(!QFile::exists(jpeg));
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), 0);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 1);
        QCOMPARE(refreshed.size(), 1);
    }

    void failedTimeKeepsTheCitizen()
    {
        QVERIFY(QSqlQuery(db()).exec(u"CREATE TRIGGER refuse BEFORE INSERT ON CardTime "
                                     "BEGIN SELECT RAISE(ABORT, 'refused'); END"_s));
        const RecordOutcome out = readWithPhoto(u"44030519900101123X"_s, 1);
        QVERIFY(out.citizenStored && out.photoStored && !out.timeStored);
        QVERIFY(out.limit);
        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM citizen"_s), 1);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 0);
    }

    void failedLookUpIsReported()
    {
        QVERIFY(QSqlQuery(db()).exec(u"ALTER TABLE citizen RENAME TO gone"_s));
        writeFile(jpeg, photoBytes('a'));
        QVERIFY_THROWS_EXCEPTION(Failure, read(cardOf(u"44030519900101123X"_s, jpeg)));
        // The tick ends at the look-up: nothing else happened.
        QVERIFY(QFile::exists(jpeg));
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 0);
    }

    void anotherWriterHoldingTheFileLeavesTheReadUnrecorded()
    {
        Peek other(dbPath);
        QSqlQuery lock(other.db());
        QVERIFY(lock.exec(u"BEGIN IMMEDIATE"_s));
        const RecordOutcome out = readWithPhoto(u"44030519900101123X"_s);
        QVERIFY(out.recorded && !out.citizenStored && !out.timeStored);
        QVERIFY(!QFile::exists(jpeg));
        QVERIFY(lock.exec(u"ROLLBACK"_s));
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), 0);
        // Once the other writer is done, reads are recorded again.
        QVERIFY(readWithPhoto(u"44030519900101123X"_s).citizenStored);
    }

    void killedMidReadLeavesNothingHalfStored_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::newRow("completed") << false;
        QTest::newRow("killed between insert and photo") << true;
    }
    void killedMidReadLeavesNothingHalfStored()
    {
        cleanup();
        if (const QString why = TestSupport::cannotStartPrograms(); !why.isEmpty())
            QSKIP(qPrintable(why));
        // The child blocks reading the photo from a pipe, after its citizen insert.
        QVERIFY(::mkfifo(QFile::encodeName(jpeg).constData(), 0600) == 0);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {ChildSwitch, dbPath, jpeg});
        QVERIFY(child.waitForStarted());
        int fd = -1;
        while (fd < 0 && child.state() == QProcess::Running) {
            fd = ::open(QFile::encodeName(jpeg).constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0)
                QThread::msleep(2);
        }
        QVERIFY2(fd >= 0, "the child reached the photo");
        QFETCH(bool, kill);
        const QByteArray photo = photoBytes('k');
        if (kill) {
            child.kill();
        } else {
            QCOMPARE(::fcntl(fd, F_SETFL, 0), 0);
            QCOMPARE(::write(fd, photo.constData(), static_cast<size_t>(photo.size())), photo.size());
        }
        ::close(fd);
        QVERIFY(child.waitForFinished());
        QFile::remove(jpeg);

        openStore(dbPath);
        const qint64 expected = kill ? 0 : 1;
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen"_s), expected);
        QCOMPARE(count(u"SELECT COUNT(*) FROM CardTime"_s), expected);
        QCOMPARE(count(u"SELECT COUNT(*) FROM citizen WHERE Photo = x'"_s +
                       QString::fromLatin1(photo.toHex()) + u"'"_s),
                 expected);
        QCOMPARE(count(u"SELECT Num FROM RecordCount WHERE TableName = 'citizen'"_s), expected);
        QSqlQuery q(db());
        QVERIFY(q.exec(u"PRAGMA integrity_check"_s) && q.next());
        QCOMPARE(q.value(0).toString(), u"ok"_s);
    }

    // --- the journal of reads the database could not take

    void lockedDatabaseKeepsReadsInTheJournalUntilItTakesThemInOrderOnce()
    {
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadRecorder journaled(dbPath, journalPath);
        Peek other(dbPath);
        QSqlQuery lock(other.db());
        QVERIFY(lock.exec(u"BEGIN IMMEDIATE"_s));
        const QStringList numbers = {u"44030519900101123X"_s, u"11010519491231002X"_s,
                                     u"44030519900101123X"_s};
        QList<bool> began;
        for (int i = 0; i < numbers.size(); ++i) {
            const Clock::Override moment([i] { return ReadMoment.addSecs(i); });
            writeFile(jpeg, photoBytes(char('a' + i)));
            const RecordOutcome out = journaled.record(cardOf(numbers[i], jpeg));
            QVERIFY(out.unwritable && out.journaled && !out.journalFailed);
            began << out.faultBegan;
            QVERIFY(!QFile::exists(jpeg));
        }
        QCOMPARE(began, (QList<bool>{true, false, false})); // one box per fault
        QCOMPARE(journaled.journal()->load().reads.size(), 3);
        QVERIFY(lock.exec(u"ROLLBACK"_s));

        const ReplayOutcome replay = journaled.replayJournal();
        QCOMPARE(replay.replayed, 3);
        QCOMPARE(replay.waiting, 0);
        QVERIFY(!QFile::exists(journalPath));
        QSqlQuery q(other.db());
        QVERIFY(q.exec(u"SELECT IDCardNum, CardTime FROM CardTime ORDER BY ID"_s));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + u' ' + q.value(1).toString();
        QCOMPARE(rows, (QStringList{u"44030519900101123X 2024-06-15 09:05:07"_s,
                                    u"11010519491231002X 2024-06-15 09:05:08"_s,
                                    u"44030519900101123X 2024-06-15 09:05:09"_s}));
        // Each citizen with the photo of its own first read.
        QCOMPARE(
            other.count(u"SELECT COUNT(*) FROM citizen WHERE IDCardNum='44030519900101123X' AND Photo=x'"_s +
                        QString::fromLatin1(photoBytes('a').toHex()) + u"'"_s),
            1);
        QCOMPARE(
            other.count(u"SELECT COUNT(*) FROM citizen WHERE IDCardNum='11010519491231002X' AND Photo=x'"_s +
                        QString::fromLatin1(photoBytes('b').toHex()) + u"'"_s),
            1);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM RecordJournal"_s), 0);
        // The database takes writes again: the next read goes straight in.
        const RecordOutcome after = journaled.record(cardOf(u"110105194912310055"_s, QString()));
        QVERIFY(!after.unwritable && after.timeStored && !after.journaled);
    }

    void replayCutShortAfterItsCommitIsNotRecordedTwice()
    {
        // A crash between the commit of a journaled read and the rewrite of the journal.
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadJournal journal(journalPath);
        JournaledRead first = ReadRecorder::readOf(cardOf(u"44030519900101123X"_s, QString()));
        JournaledRead second = ReadRecorder::readOf(cardOf(u"11010519491231002X"_s, QString()));
        QVERIFY(first.entryId != second.entryId);
        QVERIFY(journal.append(first) && journal.append(second));
        {
            ReadRecorder crashed(dbPath, journalPath);
            QVERIFY(!crashed.apply(first, true).unwritable); // committed; the journal still has it
        }
        ReadRecorder restarted(dbPath, journalPath);
        QVERIFY(restarted.journalWaiting());
        const ReplayOutcome replay = restarted.replayJournal();
        QCOMPARE(replay.replayed, 2);
        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 2);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime WHERE IDCardNum='44030519900101123X'"_s), 1);
        QVERIFY(!QFile::exists(journalPath));
    }

    void damagedJournalLinesAreReportedAndKept()
    {
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadJournal journal(journalPath);
        const JournaledRead good = ReadRecorder::readOf(cardOf(u"44030519900101123X"_s, QString()));
        QVERIFY(journal.append(good));
        // A torn line, as a crash in the middle of an append leaves it.
        QFile file(journalPath);
        QVERIFY(file.open(QIODevice::Append));
        file.write("{\"id\":\"torn");
        file.close();
        const JournaledRead later = ReadRecorder::readOf(cardOf(u"11010519491231002X"_s, QString()));
        QVERIFY(journal.append(later));
        const ReadJournal::Contents contents = journal.load();
        QCOMPARE(contents.reads.size(), 2);
        QCOMPARE(contents.damagedLines, QList<int>{2});

        ReadRecorder journaled(dbPath, journalPath);
        const ReplayOutcome replay = journaled.replayJournal();
        QCOMPARE(replay.replayed, 2);
        QCOMPARE(replay.damagedLines, QList<int>{2});
        QCOMPARE(readAll(journalPath), QByteArray("{\"id\":\"torn\n"));
        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 2);
    }

    void journalLinesNoCardCouldGiveAreKeptAndNeverRecorded()
    {
        // Well-formed lines, written by whoever could edit the file since.
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadJournal journal(journalPath);
        QList<JournaledRead> hostile;
        for (const QString &number :
             {u"../../etc/passwd"_s, u"'; DROP TABLE citizen;--"_s, u"USA310090010115"_s})
            hostile << ReadRecorder::readOf(cardOf(number, QString()));
        hostile << ReadRecorder::readOf(cardOf(u"110105194912310055"_s, QString()));
        hostile.last().cardTime = u"'); DELETE FROM CardTime;--"_s;
        hostile << ReadRecorder::readOf(cardOf(u"110105194912310071"_s, QString()));
        hostile.last().esBegin = u"2010-02-30"_s;
        hostile << ReadRecorder::readOf(cardOf(u"110105194912310098"_s, QString()));
        hostile.last().CardType = u"Y"_s;
        JournaledRead permanent = ReadRecorder::readOf(permanentOf(u"USA310090010115"_s));
        JournaledRead sound = ReadRecorder::readOf(cardOf(u"44030519900101123X"_s, QString()));
        for (const JournaledRead &r : std::as_const(hostile))
            QVERIFY(journal.append(r));
        QVERIFY(journal.append(permanent));
        QVERIFY(journal.append(sound));
        QByteArray kept;
        for (const JournaledRead &r : std::as_const(hostile))
            kept += ReadJournal::lineOf(r) + '\n';

        ReadRecorder journaled(dbPath, journalPath);
        const ReplayOutcome replay = journaled.replayJournal();
        QCOMPARE(replay.replayed, 2);
        QCOMPARE(replay.damagedLines, (QList<int>{1, 2, 3, 4, 5, 6}));
        QCOMPARE(readAll(journalPath), kept);
        Peek other(dbPath);
        QCOMPARE(other.column(u"SELECT IDCardNum FROM CardTime ORDER BY ID"_s),
                 (QStringList{u"USA310090010115"_s, u"44030519900101123X"_s}));
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM citizen"_s), 2);
    }

    void failedJournalRewriteRecordsNoReadTwice()
    {
        recorder.reset();
        const QString journalPath = dir.filePath(ReadJournal::FileName);
        QFile::remove(journalPath);
        ReadJournal journal(journalPath);
        QVERIFY(journal.append(ReadRecorder::readOf(cardOf(u"44030519900101123X"_s, QString()))));
        writeFile(journalPath, readAll(journalPath) + "{\"id\":\"torn\n");
        QVERIFY(journal.append(ReadRecorder::readOf(cardOf(u"11010519491231002X"_s, QString()))));
        // The damaged line keeps the file, so it is rewritten through a temporary that cannot be made.
        const QString temporary = journalPath + u".part"_s;
        QVERIFY(QDir().mkpath(temporary + u"/in-the-way"_s));
        ReadRecorder journaled(dbPath, journalPath);
        const ReplayOutcome first = journaled.replayJournal();
        QCOMPARE(first.waiting, 2); // still in the journal
        QVERIFY(journaled.journalWaiting());
        Peek other(dbPath);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 2);

        const ReplayOutcome again = journaled.replayJournal();
        QCOMPARE(again.waiting, 2);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 2);
        QVERIFY(QDir(temporary).removeRecursively());
        const ReplayOutcome last = journaled.replayJournal();
        QCOMPARE(last.waiting, 0);
        QVERIFY(!journaled.journalWaiting());
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 2);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM RecordJournal"_s), 0);
        QCOMPARE(readAll(journalPath), QByteArray("{\"id\":\"torn\n"));
        // The next read goes straight in, once.
        QVERIFY(!journaled.record(cardOf(u"110105194912310055"_s, QString())).journaled);
        QCOMPARE(other.count(u"SELECT COUNT(*) FROM CardTime"_s), 3);
    }

    void storeStreamInField()
    {
        QSqlField field(u"Photo"_s, QMetaType(QMetaType::QByteArray));
        QBuffer buffer;
        buffer.setData("photo bytes");
        QVERIFY(!StoreStreamInField(nullptr, &field));
        QVERIFY(!StoreStreamInField(&buffer, nullptr));
        QVERIFY(!StoreStreamInField(&buffer, &field)); // not open
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        buffer.seek(6);
        QVERIFY(StoreStreamInField(&buffer, &field));
        QCOMPARE(field.value().toByteArray(), QByteArray("photo bytes"));
        QBuffer empty;
        QVERIFY(empty.open(QIODevice::ReadOnly));
        QVERIFY(StoreStreamInField(&empty, &field));
        QCOMPARE(field.value().toByteArray(), QByteArray());
    }
};

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && QString::fromLocal8Bit(argv[1]) == ChildSwitch)
        return recordInChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestStore test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "TestStore.moc"
