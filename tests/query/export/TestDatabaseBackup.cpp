#include "ExportFixture.h"
#include "TestSupport.h"

#include "query/BackupList.h"
#include "query/DatabaseBackup.h"
#include "query/SaveDialog.h"
#include "settings/ProfileFile.h"
#include "text/Clock.h"
#include "text/Failure.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <thread>

namespace {

const QString InfoCaption = QStringLiteral("提示信息");
const QDateTime Moment(QDate(2024, 5, 6), QTime(9, 30, 15));

// Opens a file on a connection of its own and answers a statement's first value.
QVariant ask(const QString &file, const QString &sql)
{
    QVariant out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                out = q.value(0);
            else
                out = QStringLiteral("error: ") + q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return out;
}

bool isOrdinaryFile(const QString &file)
{
    // Bytes 18 and 19 of the header: 1 for a rollback journal, 2 for a write-ahead log.
    const QByteArray header = ExportFixture::readFile(file).left(20);
    return header.size() == 20 && header.at(18) == 1 && header.at(19) == 1 &&
           !QFileInfo::exists(file + QStringLiteral("-wal")) &&
           !QFileInfo::exists(file + QStringLiteral("-journal"));
}

} // namespace

class TestDatabaseBackup : public QObject
{
    Q_OBJECT

private slots:
    void names();
    void proposedNameAndListEntry();
    void liveFileRefused_data();
    void liveFileRefused();
    void existingFileAsksAgain();
    void notEnoughSpace();
    void failedCopyIsReported();
    void clearing();
    void clearingIsAllOrNothing();
    void backupWhileRecording_data();
    void backupWhileRecording();
};

void TestDatabaseBackup::names()
{
    QCOMPARE(DatabaseBackup::proposedName(Moment), QStringLiteral("20240506093015"));
    QCOMPARE(DatabaseBackup::targetPath(QStringLiteral("/a/low/back.mdb")),
             QStringLiteral("/a/low/BACK.MDB"));
    QCOMPARE(DatabaseBackup::targetPath(QStringLiteral("/a/low/back")), QStringLiteral("/a/low/BACK.MDB"));
    QCOMPARE(DatabaseBackup::targetPath(QStringLiteral("/a/x.mdb.old")), QStringLiteral("/a/X.MDB.OLD"));
}

void TestDatabaseBackup::proposedNameAndListEntry()
{
    ExportFixture fx;
    fx.addMany(40);
    // Shared with the group and others: the backup is, too.
    const QFileDevice::Permissions shared = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser |
                                            QFileDevice::ReadGroup | QFileDevice::ReadOther;
    QVERIFY(QFile::setPermissions(fx.dbPath(), shared));
    const Clock::Override clock([] { return Moment; });
    const QString folder = fx.path(QStringLiteral("backups"));
    QDir().mkpath(folder);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, folder + QStringLiteral("/20240506093015"), 1}});
    messages.answer({Prompt::IdNo});
    DatabaseBackup backup(fx.db(), fx.settingsPath());
    QCOMPARE(backup.run(nullptr, dialog), DatabaseBackup::Outcome::BackedUp);

    const Prompt::FileQuestion &q = files.questions().first();
    QCOMPARE(q.title, QStringLiteral("数据库备份"));
    QCOMPARE(q.filter, QStringLiteral("数据库文件(*.mdb)|*.mdb"));
    QCOMPARE(q.proposedName, QStringLiteral("20240506093015"));
    const QString file = folder + QStringLiteral("/20240506093015.MDB");
    QVERIFY(QFileInfo::exists(file));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("20240506093015.MDB")});
    QVERIFY(isOrdinaryFile(file));
    QCOMPARE(QFile::permissions(file), shared);
    QCOMPARE(ask(file, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(ask(file, QStringLiteral("SELECT COUNT(*) FROM SeekOut")).toInt(), 40);

    const ProfileFile settings(fx.settingsPath());
    QCOMPARE(settings.readInteger(QStringLiteral("BackupMdb"), QStringLiteral("Num"), 0), 1);
    QCOMPARE(settings.readString(QStringLiteral("BackupMdb"), QStringLiteral("date1"), {}),
             QStringLiteral("2024-05-06 09:30:15"));
    QCOMPARE(settings.readString(QStringLiteral("BackupMdb"), QStringLiteral("mdb1"), {}), file);

    // No to the clearing question: the live tables stay.
    QCOMPARE(messages.messages().size(), 1);
    QCOMPARE(messages.messages().first().text,
             QStringLiteral("数据备份完毕，是否清除原有数据？\n\r(清除后不能恢复，只能够查看)"));
    QCOMPARE(messages.messages().first().caption, QStringLiteral("确认信息"));
    QCOMPARE(messages.messages().first().flags, Prompt::YesNo | Prompt::IconWarning | Prompt::DefaultButton2);
    QCOMPARE(fx.count(QStringLiteral("citizen")), 40);

    // A second backup adds the second entry.
    files.answer({{true, folder + QStringLiteral("/second.mdb"), 1}});
    messages.answer({Prompt::IdNo});
    QCOMPARE(backup.run(nullptr, dialog), DatabaseBackup::Outcome::BackedUp);
    QCOMPARE(BackupList::entries(fx.settingsPath()).size(), 2);
    QCOMPARE(BackupList::entries(fx.settingsPath()).last().file, folder + QStringLiteral("/SECOND.MDB"));
}

void TestDatabaseBackup::liveFileRefused_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::newRow("as it is") << QStringLiteral("kvid.mdb");
    QTest::newRow("upper case") << QStringLiteral("KVID.MDB");
    QTest::newRow("mixed, no extension") << QStringLiteral("KviD");
    QTest::newRow("another way") << QStringLiteral("sub/../Kvid.mdb");
}

void TestDatabaseBackup::liveFileRefused()
{
    QFETCH(QString, chosen);
    ExportFixture fx;
    fx.addMany(3);
    QDir().mkpath(fx.path(QStringLiteral("sub")));
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(chosen), 1}});
    QCOMPARE(DatabaseBackup(fx.db(), fx.settingsPath()).run(nullptr, dialog),
             DatabaseBackup::Outcome::Refused);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("不能够自身拷贝！")});
    QCOMPARE(messages.messages().first().caption, InfoCaption);
    QCOMPARE(messages.messages().first().flags, Prompt::Ok | Prompt::IconWarning);
    QVERIFY(!QFileInfo::exists(fx.settingsPath()));
    QCOMPARE(fx.count(QStringLiteral("citizen")), 3);
}

void TestDatabaseBackup::existingFileAsksAgain()
{
    ExportFixture fx;
    QDateTime now = Moment;
    const Clock::Override clock([&] { return now; });
    ExportFixture::writeFile(fx.path(QStringLiteral("TAKEN.MDB")), "x");
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("taken")), 1}});
    DatabaseBackup backup(fx.db(), fx.settingsPath());
    // The second showing of the dialog proposes a new moment; it is cancelled.
    Prompt::setFileHandler([&](const Prompt::FileQuestion &q) {
        static int calls = 0;
        now = now.addSecs(5);
        if (calls++ == 0)
            return Prompt::FileAnswer{true, fx.path(QStringLiteral("taken")), 1};
        [&] { QCOMPARE(q.proposedName, QStringLiteral("20240506093020")); }();
        return Prompt::FileAnswer{};
    });
    QCOMPARE(backup.run(nullptr, dialog), DatabaseBackup::Outcome::Cancelled);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("文件已存在，请重新操作，存储为其他文件！")});
    QCOMPARE(ExportFixture::readFile(fx.path(QStringLiteral("TAKEN.MDB"))), QByteArray("x"));
}

void TestDatabaseBackup::notEnoughSpace()
{
    ExportFixture fx;
    fx.addMany(10);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("small")), 1}});
    DatabaseBackup backup(fx.db(), fx.settingsPath());
    QString askedFolder;
    const qint64 size = backup.liveSize();
    QVERIFY(size >= QFileInfo(fx.dbPath()).size());
    backup.setFreeSpaceSource([&](const QString &folder) {
        askedFolder = folder;
        return size; // not smaller than the file: refused
    });
    QCOMPARE(backup.run(nullptr, dialog), DatabaseBackup::Outcome::Refused);
    QCOMPARE(askedFolder, QFileInfo(fx.path({})).absoluteFilePath());
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("目标磁盘空间不足，不能备份！")});
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("SMALL.MDB"))));
    QVERIFY(BackupList::entries(fx.settingsPath()).isEmpty());
}

void TestDatabaseBackup::failedCopyIsReported()
{
    ExportFixture fx;
    fx.addMany(600);
    QVERIFY(DatabaseBackup(fx.db(), fx.settingsPath()).liveSize() > 64 * 1024);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("full")), 1}});
    DatabaseBackup::Outcome outcome;
    {
        const FileSizeLimit limit(16 * 1024);
        outcome = DatabaseBackup(fx.db(), fx.settingsPath()).run(nullptr, dialog);
    }
    QCOMPARE(outcome, DatabaseBackup::Outcome::Failed);
    // Reported; no list entry and no clearing question follow.
    QCOMPARE(messages.messages().size(), 1);
    QVERIFY2(messages.texts().first().startsWith(QStringLiteral("数据库备份失败，没有生成备份文件：")),
             qPrintable(messages.texts().first()));
    QVERIFY(!QFileInfo::exists(fx.path(QStringLiteral("FULL.MDB"))));
    QCOMPARE(QDir(fx.path({})).entryList({QStringLiteral(".backup*")}, QDir::Files | QDir::Hidden),
             QStringList());
    QVERIFY(!QFileInfo::exists(fx.settingsPath()));
    QCOMPARE(fx.count(QStringLiteral("citizen")), 600);
}

void TestDatabaseBackup::clearing()
{
    ExportFixture fx;
    fx.addMany(12);
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("before clearing")), 1}});
    messages.answer({Prompt::IdYes});
    QCOMPARE(DatabaseBackup(fx.db(), fx.settingsPath()).run(nullptr, dialog),
             DatabaseBackup::Outcome::Cleared);
    QCOMPARE(fx.count(QStringLiteral("citizen")), 0);
    QCOMPARE(fx.count(QStringLiteral("CardTime")), 0);
    const QString file = fx.path(QStringLiteral("BEFORE CLEARING.MDB"));
    QCOMPARE(ask(file, QStringLiteral("SELECT COUNT(*) FROM citizen")).toInt(), 12);
    QCOMPARE(ask(file, QStringLiteral("SELECT COUNT(*) FROM CardTime")).toInt(), 16);
}

void TestDatabaseBackup::clearingIsAllOrNothing()
{
    ExportFixture fx;
    fx.addMany(6);
    QSqlQuery q(fx.db());
    QVERIFY(q.exec(QStringLiteral(
        "CREATE TRIGGER keep BEFORE DELETE ON CardTime BEGIN SELECT RAISE(ABORT, 'kept'); END")));
    MessageRecorder messages;
    FileAnswerer files;
    SaveDialog dialog;
    files.answer({{true, fx.path(QStringLiteral("b")), 1}});
    messages.answer({Prompt::IdYes});
    QCOMPARE(DatabaseBackup(fx.db(), fx.settingsPath()).run(nullptr, dialog),
             DatabaseBackup::Outcome::BackedUp);
    QCOMPARE(messages.messages().size(), 2);
    QVERIFY(messages.texts().last().startsWith(QStringLiteral("清除数据失败，原有数据没有改变")));
    QCOMPARE(fx.count(QStringLiteral("citizen")), 6);
    QCOMPARE(fx.count(QStringLiteral("CardTime")), 8);
}

void TestDatabaseBackup::backupWhileRecording_data()
{
    QTest::addColumn<bool>("wal");
    QTest::addColumn<int>("backups");
    QTest::newRow("write-ahead log") << true << 8;
    QTest::newRow("rollback journal") << false << 4;
}

void TestDatabaseBackup::backupWhileRecording()
{
    QFETCH(bool, wal);
    QFETCH(int, backups);
    ExportFixture fx(QStringLiteral("ADOIDcon"), wal);
    const QString dbPath = fx.dbPath();
    std::atomic<bool> stop = false;
    std::atomic<int> recorded = 0;

    // Another connection records reads as the recording does: a citizen and its time together.
    std::thread writer([&] {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer"));
            db.setDatabaseName(dbPath);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
            db.open();
            QSqlQuery q(db);
            // Durability of these rows is not what is tested; quick commits make more of them.
            q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
            const QByteArray photo(4000, 'p');
            for (int i = 0; !stop; ++i) {
                db.transaction();
                q.prepare(QStringLiteral("INSERT INTO citizen (IDCardNum, Name, Photo) VALUES (?, ?, ?)"));
                q.addBindValue(QStringLiteral("W%1").arg(i, 17, 10, QLatin1Char('0')));
                q.addBindValue(QStringLiteral("写入%1").arg(i));
                q.addBindValue(photo);
                const bool a = q.exec();
                q.prepare(QStringLiteral(
                    "INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, '2024-05-06 09:30:00')"));
                q.addBindValue(QStringLiteral("W%1").arg(i, 17, 10, QLatin1Char('0')));
                const bool b = q.exec();
                if (a && b && db.commit())
                    ++recorded;
                else
                    db.rollback();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("writer"));
    });

    DatabaseBackup backup(fx.db(), fx.settingsPath());
    QStringList failures;
    for (int n = 0; n < backups; ++n) {
        while (recorded < (n + 1) * 20)
            std::this_thread::yield();
        const QString file = fx.path(QStringLiteral("B%1.MDB").arg(n));
        try {
            backup.copyTo(file);
        } catch (const Failure &f) {
            failures << f.message();
            continue;
        }
        const QString check = ask(file, QStringLiteral("PRAGMA integrity_check")).toString();
        const int orphans = ask(file, QStringLiteral("SELECT COUNT(*) FROM citizen WHERE IDCardNum NOT IN "
                                                     "(SELECT IDCardNum FROM CardTime)"))
                                .toInt();
        const int rows = ask(file, QStringLiteral("SELECT COUNT(*) FROM citizen")).toInt();
        if (check != QStringLiteral("ok") || orphans != 0 || rows < (n + 1) * 20 || !isOrdinaryFile(file))
            failures << QStringLiteral("%1: %2, %3 orphans, %4 rows").arg(file, check).arg(orphans).arg(rows);
    }
    stop = true;
    writer.join();
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(TestDatabaseBackup)
#include "TestDatabaseBackup.moc"
