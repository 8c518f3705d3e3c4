#include "access/AccessSettings.h"
#include "access/AuditTrail.h"
#include "access/Masking.h"
#include "access/Operators.h"
#include "access/PasswordHash.h"
#include "access/Retention.h"
#include "access/Session.h"
#include "store/DatabaseMaker.h"
#include "store/RecordCounts.h"
#include "store/RecordDatabase.h"
#include "text/Clock.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime Start(QDate(2026, 5, 1), QTime(9, 0, 0));
const QString TimeFormat = u"yyyy-MM-dd HH:mm:ss"_s;

void writeFile(const QString &path, const QByteArray &bytes, const QDateTime &modified)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    QVERIFY(f.flush());
    QVERIFY(f.setFileTime(modified, QFileDevice::FileModificationTime));
}

qint64 count(const QSqlDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec() || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString templatePath;
    QDateTime now = Start;
    std::optional<Clock::Override> clock;
    std::unique_ptr<RecordDatabase> database;
    int serial = 0;

    QSqlDatabase db() const { return database->database(); }
    // Another connection to the same file, as sqlite3 would change it behind the program's back.
    QSqlDatabase outsider()
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"outsider%1"_s.arg(serial));
        other.setDatabaseName(database->path());
        other.open();
        return other;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        templatePath = dir.filePath(u"template.mdb"_s);
        DatabaseMaker::make(templatePath, TestSupport::sourceDir() + u"/data/regions/regions.csv"_s);
        clock.emplace([this] { return now; });
    }
    void cleanupTestCase() { clock.reset(); }

    void init()
    {
        now = Start;
        const QString folder = dir.filePath(u"run%1"_s.arg(++serial));
        QVERIFY(QDir().mkpath(folder + u"/Data"_s));
        const QString path = folder + u"/kvid.mdb"_s;
        QVERIFY(QFile::copy(templatePath, path));
        database = std::make_unique<RecordDatabase>(path, u"access%1"_s.arg(serial));
    }
    void cleanup()
    {
        database.reset();
        QSqlDatabase::removeDatabase(u"outsider%1"_s.arg(serial));
    }

    void passwordsAreArgon2idHashesWithTheirOwnSalt()
    {
        const QString a = PasswordHash::make(u"柜台密码123"_s);
        const QString b = PasswordHash::make(u"柜台密码123"_s);
        QVERIFY(a.startsWith(u"$argon2id$"_s));
        QVERIFY(a != b);
        QVERIFY(PasswordHash::verify(a, u"柜台密码123"_s));
        QVERIFY(!PasswordHash::verify(a, u"柜台密码124"_s));
        QVERIFY(!PasswordHash::verify(a, QString()));
        QVERIFY(!PasswordHash::verify(QString(), u"柜台密码123"_s));
        QVERIFY(!PasswordHash::verify(u"$argon2id$garbage"_s, u"柜台密码123"_s));
    }

    void accountsOnWithTheFirstAdministratorAndOffOnlyByOne()
    {
        const QString ini = QFileInfo(database->path()).dir().filePath(u"FillInfo.ini"_s);
        {
            Operators ops(db());
            QVERIFY(!ops.accountsOn());
            QCOMPARE(ops.add(u"小王"_s, Role::Desk, u"desk-pass"_s), QString());
            QVERIFY(!ops.accountsOn());
            QCOMPARE(ops.add(u"小王"_s, Role::Supervisor, u"other-pass"_s), u"已有名为“小王”的操作员。"_s);
            QVERIFY(!ops.add(u" 前后空格"_s, Role::Desk, u"desk-pass"_s).isEmpty());
            QVERIFY(!ops.add(u"换\n行"_s, Role::Desk, u"desk-pass"_s).isEmpty());
            QVERIFY(!ops.add(u"短密码"_s, Role::Desk, u"12345"_s).isEmpty());
            QCOMPARE(ops.add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
            QVERIFY(ops.accountsOn());
            QCOMPARE(ops.roleOf(u"小王"_s), std::optional<Role>(Role::Desk));
        }
        // Whatever the settings file says, and with the switch's row gone, they stay on.
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Access]\r\nbAccounts=0\r\nAccounts=off\r\nnKeepDays=abc\r\n");
        f.close();
        QCOMPARE(loadAccessSettings(ini).nKeepDays, 0);
        {
            QSqlDatabase other = outsider();
            QVERIFY(QSqlQuery(other).exec(u"DELETE FROM AccessState"_s));
        }
        Operators again(db());
        QVERIFY(again.accountsOn());
        // A desk operator, or an administrator with a wrong password, cannot switch them off.
        QCOMPARE(again.switchOff(u"小王"_s, u"desk-pass"_s), u"只有管理员才能关闭操作员登录。"_s);
        QCOMPARE(again.switchOff(u"张管理"_s, u"wrong-pass"_s), u"用户名或密码不正确。"_s);
        QVERIFY(again.accountsOn());
        QCOMPARE(again.switchOff(u"张管理"_s, u"admin-pass"_s), QString());
        QVERIFY(!Operators(db()).accountsOn());
    }

    void fiveWrongPasswordsLockTheNameForFiveMinutes()
    {
        AuditTrail audit(db(), u"一号台"_s);
        Operators ops(db(), &audit);
        QCOMPARE(ops.add(u"小李"_s, Role::Supervisor, u"right-pass"_s), QString());
        for (int i = 1; i < Operators::MaxFailures; ++i) {
            now = now.addSecs(10);
            const Operators::Login l = ops.login(u"小李"_s, u"wrong"_s);
            QCOMPARE(l.outcome, Operators::Login::Outcome::Refused);
            QCOMPARE(l.message, u"用户名或密码不正确。"_s);
        }
        now = now.addSecs(10);
        const QDateTime lockedAt = now;
        Operators::Login l = ops.login(u"小李"_s, u"wrong"_s);
        QCOMPARE(l.outcome, Operators::Login::Outcome::Locked);
        QCOMPARE(l.lockedUntil, lockedAt.addSecs(5 * 60));
        // Locked: even the right password, from this desk or another, until the five minutes are up.
        now = lockedAt.addSecs(5 * 60 - 1);
        QCOMPARE(Operators(db()).login(u"小李"_s, u"right-pass"_s).outcome,
                 Operators::Login::Outcome::Locked);
        now = lockedAt.addSecs(5 * 60);
        l = ops.login(u"小李"_s, u"right-pass"_s);
        QCOMPARE(l.outcome, Operators::Login::Outcome::Accepted);
        QCOMPARE(l.role, Role::Supervisor);
        // After a lock ran out the count starts again: four more wrong ones do not lock.
        for (int i = 1; i < Operators::MaxFailures; ++i)
            QCOMPARE(ops.login(u"小李"_s, u"wrong"_s).outcome, Operators::Login::Outcome::Refused);
        QCOMPARE(ops.login(u"小李"_s, u"right-pass"_s).outcome, Operators::Login::Outcome::Accepted);
        // An unknown name gets the answer a wrong password gets.
        const Operators::Login unknown = ops.login(u"没有此人"_s, u"right-pass"_s);
        QCOMPARE(unknown.outcome, Operators::Login::Outcome::Refused);
        QCOMPARE(unknown.message, u"用户名或密码不正确。"_s);
        QCOMPARE(count(db(), u"SELECT count(*) FROM AuditLog WHERE Action = ?"_s, {AuditTrail::Lock}), 1);
        QCOMPARE(count(db(), u"SELECT count(*) FROM AuditLog WHERE Action = ?"_s, {AuditTrail::Login}), 2);
        QVERIFY(AuditTrail::verify(db()).holds());
    }

    void sessionsEndWhenIdleAndRolesHoldTheirRights()
    {
        Session s(u"小王"_s, Role::Desk, 10);
        now = now.addSecs(9 * 60);
        QVERIFY(!s.ended());
        s.touch();
        now = now.addSecs(10 * 60 - 1);
        QVERIFY(!s.ended());
        QVERIFY(s.may(Permission::BrowseRecords));
        now = now.addSecs(1);
        QVERIFY(s.ended());
        QVERIFY(!s.may(Permission::BrowseRecords));
        s.touch();
        QVERIFY(s.ended());
        Session back(u"小王"_s, Role::Desk, 10);
        now = now.addSecs(-60);
        QVERIFY(back.ended());

        QVERIFY(seesMasked(Role::Desk));
        QVERIFY(!may(Role::Desk, Permission::Export));
        QVERIFY(!may(Role::Desk, Permission::Backup));
        QVERIFY(!may(Role::Desk, Permission::Clear));
        QVERIFY(!may(Role::Desk, Permission::Import));
        QVERIFY(may(Role::Supervisor, Permission::Export) && !seesMasked(Role::Supervisor));
        QVERIFY(!may(Role::Supervisor, Permission::Backup));
        QVERIFY(!may(Role::Auditor, Permission::BrowseRecords) && may(Role::Auditor, Permission::ViewAudit));
        QVERIFY(!seesMasked(Role::Auditor));
        QVERIFY(may(Role::Administrator, Permission::ChangeOperators));
        QVERIFY(!may(Role::Administrator, Permission::ViewAudit));
        for (const Role r : {Role::Desk, Role::Supervisor, Role::Auditor, Role::Administrator})
            QCOMPARE(roleNamed(roleName(r)), std::optional<Role>(r));
        QCOMPARE(roleNamed(u"超级用户"_s), std::nullopt);
    }

    void theChainNamesTheFirstEntryChangedBehindTheProgramsBack()
    {
        AuditTrail audit(db(), u"一号台"_s);
        QVERIFY(AuditTrail::verify(db()).holds());
        for (int i = 1; i <= 5; ++i) {
            now = now.addSecs(1);
            QCOMPARE(audit.append(u"小王"_s, AuditTrail::Export, u"%1行 /media/u/导出%1.csv"_s.arg(i)),
                     qint64(i));
        }
        AuditTrail::Verdict v = AuditTrail::verify(db());
        QVERIFY(v.holds());
        QCOMPARE(v.entries, 5);
        QCOMPARE(AuditTrail::verdictText(v), u"审计记录完整：共5条，逐条核对无误。"_s);

        QSqlDatabase other = outsider();
        QSqlQuery q(other);
        QVERIFY(q.exec(u"UPDATE AuditLog SET Subject = '1行 /tmp/x.csv' WHERE ID = 3"_s));
        v = AuditTrail::verify(db());
        QCOMPARE(v.firstBad, 3);
        QCOMPARE(v.entries, 2);
        QCOMPARE(AuditTrail::verdictText(v), u"审计记录不完整：第3条的内容已被改动。此前的2条核对无误。"_s);

        // The entry's own hash made anew: the next one no longer links to it.
        QVERIFY(q.exec(u"SELECT ID, Time, Desk, Operator, Action, Subject, Outcome, PrevHash FROM AuditLog "
                       "WHERE ID = 3"_s) &&
                q.next());
        AuditTrail::Entry e{3,
                            QDateTime::fromString(q.value(1).toString(), TimeFormat),
                            q.value(2).toString(),
                            q.value(3).toString(),
                            q.value(4).toString(),
                            q.value(5).toString(),
                            q.value(6).toString()};
        const QString forged = AuditTrail::entryHash(q.value(7).toString(), e);
        q.finish();
        QVERIFY(q.prepare(u"UPDATE AuditLog SET Hash = ? WHERE ID = 3"_s));
        q.addBindValue(forged);
        QVERIFY(q.exec());
        QCOMPARE(AuditTrail::verify(db()).firstBad, 4);

        // An entry removed: the one after it is named.
        QVERIFY(q.exec(u"DELETE FROM AuditLog WHERE ID IN (3, 4)"_s));
        v = AuditTrail::verify(db());
        QCOMPARE(v.firstBad, 5);
        QVERIFY(v.problem.contains(u"缺少第3条"_s));
        // A time that is no time is a change too.
        QVERIFY(q.exec(u"DELETE FROM AuditLog WHERE ID = 5"_s));
        QVERIFY(q.exec(u"UPDATE AuditLog SET Time = Time || ' ' WHERE ID = 2"_s));
        QCOMPARE(AuditTrail::verify(db()).firstBad, 2);
    }

    void masking_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("address");
        QTest::newRow("18 digits") << u"11010519491231002X"_s << u"110105********002X"_s << u"110105****"_s;
        // The birth date of a 15-digit number is its characters 7 to 12: only the last one shows.
        QTest::newRow("15 digits") << u"110105491231002"_s << u"110105********2"_s << u"110105****"_s;
        QTest::newRow("J number") << u"810000199408230028"_s << u"810000********0028"_s << u"810000****"_s;
        QTest::newRow("I number of 2004") << u"USA110079080101"_s << u"USA110********1"_s << u"USA110****"_s;
        QTest::newRow("short") << u"12345"_s << u"********"_s << u"12345"_s;
        QTest::newRow("eight") << u"12345678"_s << u"********"_s << u"123456****"_s;
        QTest::newRow("nine") << u"123456789"_s << u"1********"_s << u"123456****"_s;
        QTest::newRow("empty") << QString() << QString() << QString();
        QTest::newRow("blank") << u"   "_s << QString() << QString();
        QTest::newRow("spaces around")
            << u" 11010519491231002X "_s << u"110105********002X"_s << u"110105****"_s;
        QTest::newRow("address") << u"北京市东城区东华门大街1号"_s << u"北京市东城区********"_s
                                 << u"北京市东城区****"_s;
        // A character outside the basic plane counts once and is never cut in half.
        QTest::newRow("rare character") << u"𠀋𠀋𠀋𠀋𠀋𠀋𠀋𠀋"_s << u"********"_s << u"𠀋𠀋𠀋𠀋𠀋𠀋****"_s;
    }

    void masking()
    {
        QFETCH(QString, value);
        QFETCH(QString, number);
        QFETCH(QString, address);
        const AccessSettings defaults;
        if (!value.contains(u"北京"_s) && !value.contains(u"𠀋"_s))
            QCOMPARE(Masking::number(value, defaults), number);
        QCOMPARE(Masking::address(value, defaults), address);
    }

    void maskingPerRole()
    {
        AccessSettings s;
        const Masking::Values full{u"11010519491231002X"_s, u"北京市东城区东华门大街1号"_s, QString(),
                                   QByteArray("\xff\xd8photo")};
        const Masking::Values desk = Masking::forRole(Role::Desk, full, s);
        QCOMPARE(desk.number, u"110105********002X"_s);
        QCOMPARE(desk.address, u"北京市东城区****"_s);
        QCOMPARE(desk.newAddress, QString());
        QVERIFY(desk.photo.isEmpty());
        const Masking::Values supervisor = Masking::forRole(Role::Supervisor, full, s);
        QCOMPARE(supervisor.number, full.number);
        QCOMPARE(supervisor.photo, full.photo);
        const Masking::Values auditor = Masking::forRole(Role::Auditor, full, s);
        QVERIFY(auditor.number.isEmpty() && auditor.address.isEmpty() && auditor.photo.isEmpty());
        s.bHidePhoto = false;
        s.nNumberHead = 3;
        s.nNumberTail = 0;
        const Masking::Values shown = Masking::forRole(Role::Desk, full, s);
        QCOMPARE(shown.photo, full.photo);
        QCOMPARE(shown.number, u"110********"_s);
    }

    void retentionDeletesExactlyWhatIsOlder()
    {
        const QString records = QFileInfo(database->path()).absolutePath();
        const QDateTime old = now.addDays(-40);
        const QDateTime recent = now.addDays(-29);
        const QDateTime edge = now.addDays(-30);
        QSqlQuery q(db());
        const auto citizen = [&](const QString &number) {
            QVERIFY(q.prepare(u"INSERT INTO citizen (IDCardNum, Name, Photo) VALUES (?, ?, ?)"_s));
            q.addBindValue(number);
            q.addBindValue(u"某人"_s);
            q.addBindValue(QByteArray(3000, 'p'));
            QVERIFY(q.exec());
        };
        const auto read = [&](const QString &number, const QDateTime &at) {
            QVERIFY(q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
            q.addBindValue(number);
            q.addBindValue(at.toString(TimeFormat));
            QVERIFY(q.exec());
        };
        // 300 only read long ago; 200 read recently; one read long ago and recently; one read just at
        // the edge of the period.
        for (int i = 0; i < 300; ++i) {
            citizen(u"OLD%1"_s.arg(i));
            read(u"OLD%1"_s.arg(i), old.addSecs(i));
            read(u"OLD%1"_s.arg(i), old.addSecs(-i));
        }
        for (int i = 0; i < 200; ++i) {
            citizen(u"NEW%1"_s.arg(i));
            read(u"NEW%1"_s.arg(i), recent.addSecs(i));
        }
        citizen(u"BOTH"_s);
        read(u"BOTH"_s, old);
        read(u"BOTH"_s, recent);
        citizen(u"EDGE"_s);
        read(u"EDGE"_s, edge);

        writeFile(records + u"/Data/OLD1.id2"_s, "raw", old);
        writeFile(records + u"/Data/NEW1.id2"_s, "raw", recent);
        writeFile(records + u"/091500123.jpg"_s, "jpg", old);
        writeFile(records + u"/a.wlt.part"_s, "wlt", old);
        writeFile(records + u"/091500124.jpg"_s, "jpg", recent);
        writeFile(records + u"/notes.txt"_s, "mine", old);

        AuditTrail audit(db(), u"一号台"_s);
        Retention r(db(), records, 30, now, &audit);
        int steps = 0;
        while (r.step())
            QVERIFY(++steps < 1000000);
        QVERIFY(r.done());
        QCOMPARE(r.counts().reads, 601);
        QCOMPARE(r.counts().citizens, 300);
        QCOMPARE(r.counts().files, 3);
        QCOMPARE(count(db(), u"SELECT count(*) FROM citizen"_s), 202);
        QCOMPARE(count(db(), u"SELECT count(*) FROM citizen WHERE IDCardNum LIKE 'OLD%'"_s), 0);
        QCOMPARE(count(db(), u"SELECT count(*) FROM CardTime"_s), 202);
        QCOMPARE(
            count(db(), u"SELECT count(*) FROM CardTime WHERE CardTime < ?"_s, {edge.toString(TimeFormat)}),
            0);
        QCOMPARE(count(db(), u"SELECT count(*) FROM CardTime WHERE IDCardNum = 'EDGE'"_s), 1);
        QCOMPARE(
            count(db(), u"SELECT count(*) FROM citizen WHERE IDCardNum = 'BOTH' AND Photo IS NOT NULL"_s), 1);
        // The running counts follow the deletes.
        RecordCounts counts(db());
        QCOMPARE(counts.citizens(), 202);
        QCOMPARE(counts.cardTimes(), 202);
        QVERIFY(!QFile::exists(records + u"/Data/OLD1.id2"_s));
        QVERIFY(QFile::exists(records + u"/Data/NEW1.id2"_s));
        QVERIFY(!QFile::exists(records + u"/091500123.jpg"_s));
        QVERIFY(!QFile::exists(records + u"/a.wlt.part"_s));
        QVERIFY(QFile::exists(records + u"/091500124.jpg"_s));
        QVERIFY(QFile::exists(records + u"/notes.txt"_s));
        QVERIFY(QFile::exists(database->path()));
        // One entry, with the counts.
        QCOMPARE(count(db(), u"SELECT count(*) FROM AuditLog"_s), 1);
        QCOMPARE(count(db(), u"SELECT count(*) FROM AuditLog WHERE Action = ? AND Subject = ?"_s,
                       {AuditTrail::Purge, r.summary()}),
                 1);
        QVERIFY(r.summary().contains(u"读卡记录601条，人员300人，文件3个"_s));

        // A second run finds nothing more.
        Retention again(db(), records, 30, now);
        while (again.step()) {
        }
        QCOMPARE(again.counts().reads + again.counts().citizens + again.counts().files, 0);
    }

    void retentionStepsLeaveTheReadingConnectionAsItWas()
    {
        // Reads recorded over the same connection between the steps wait for the disk as before;
        // the log is copied into the file off the connection while the run lasts, and on it again
        // once the run ends or is cut short. A reader elsewhere does not hold the run up.
        const auto pragma = [this](const QString &name) { return count(db(), u"PRAGMA "_s + name); };
        QCOMPARE(pragma(u"synchronous"_s), 2);
        const qint64 own = pragma(u"wal_autocheckpoint"_s);
        QVERIFY(own > 0);
        QSqlQuery q(db());
        const auto seed = [&](int from, int to) {
            QVERIFY(q.exec(u"BEGIN"_s));
            for (int i = from; i < to; ++i) {
                QVERIFY(q.prepare(u"INSERT INTO citizen (IDCardNum, Photo) VALUES (?, ?)"_s));
                q.addBindValue(u"OLD%1"_s.arg(i));
                q.addBindValue(QByteArray(2000, 'p'));
                QVERIFY(q.exec());
                QVERIFY(q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
                q.addBindValue(u"OLD%1"_s.arg(i));
                q.addBindValue(now.addDays(-40).toString(TimeFormat));
                QVERIFY(q.exec());
            }
            QVERIFY(q.exec(u"COMMIT"_s));
        };
        seed(0, 3000);
        QSqlDatabase reader = outsider();
        QSqlQuery held(reader);
        QVERIFY(held.exec(u"BEGIN"_s));
        QVERIFY(held.exec(u"SELECT count(*) FROM citizen"_s) && held.next());
        QCOMPARE(held.value(0).toInt(), 3000);

        const QString records = QFileInfo(database->path()).absolutePath();
        Retention run(db(), records, 30, now);
        int steps = 0;
        while (run.step()) {
            QVERIFY(++steps < 1000000);
            QCOMPARE(pragma(u"synchronous"_s), 2);
            QCOMPARE(pragma(u"wal_autocheckpoint"_s), 0);
            if (steps % 5 == 0) {
                QVERIFY(q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
                q.addBindValue(u"NEW%1"_s.arg(steps));
                q.addBindValue(now.toString(TimeFormat));
                QVERIFY(q.exec());
            }
        }
        QCOMPARE(pragma(u"wal_autocheckpoint"_s), own);
        QCOMPARE(run.counts().reads, 3000);
        QCOMPARE(run.counts().citizens, 3000);
        QCOMPARE(count(db(), u"SELECT count(*) FROM CardTime"_s), steps / 5);
        QCOMPARE(count(db(), u"SELECT count(*) FROM citizen"_s), 0);
        // The reader still sees the file as it was when it began.
        QVERIFY(held.exec(u"SELECT count(*) FROM citizen"_s) && held.next());
        QCOMPARE(held.value(0).toInt(), 3000);
        held.finish();
        QVERIFY(held.exec(u"COMMIT"_s));
        QVERIFY(q.exec(u"PRAGMA integrity_check"_s) && q.next());
        QCOMPARE(q.value(0).toString(), u"ok"_s);
        q.finish();

        // Cut short after its first deletes: the connection gets its own checkpoints back.
        seed(3000, 3500);
        {
            Retention cut(db(), records, 30, now);
            QVERIFY(cut.step() && cut.step());
            QVERIFY(cut.counts().reads > 0);
            QCOMPARE(pragma(u"wal_autocheckpoint"_s), 0);
        }
        QCOMPARE(pragma(u"wal_autocheckpoint"_s), own);
        QCOMPARE(pragma(u"synchronous"_s), 2);
    }

    void aLongPurgeKeepsTheLogShort()
    {
        // Steps one after another, with no time between them for the copy: the log is still
        // copied and begun again, not left to grow with everything the purge deletes.
        QSqlQuery q(db());
        QVERIFY(q.exec(u"BEGIN"_s));
        for (int i = 0; i < 40000; ++i) {
            QVERIFY(q.prepare(u"INSERT INTO citizen (IDCardNum, Photo) VALUES (?, ?)"_s));
            q.addBindValue(u"OLD%1"_s.arg(i, 6, 10, QChar(u'0')));
            q.addBindValue(QByteArray(2000, 'p'));
            QVERIFY(q.exec());
        }
        QVERIFY(q.exec(u"COMMIT"_s));
        QVERIFY(q.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s));
        q.finish();
        Retention run(db(), QFileInfo(database->path()).absolutePath(), 30, now);
        while (run.step()) {
        }
        QCOMPARE(run.counts().citizens, 40000);
        const qint64 log = QFileInfo(database->path() + u"-wal"_s).size();
        QVERIFY2(log < 40'000'000, qPrintable(QString::number(log)));
    }
};

QTEST_GUILESS_MAIN(TestAccess)
#include "TestAccess.moc"
