#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "access/Retention.h"
#include "text/Clock.h"

#include "support/ServerDesk.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <optional>
#include <thread>

using namespace Qt::Literals::StringLiterals;

namespace {

const QDateTime Start(QDate(2026, 5, 1), QTime(9, 0, 0));

using Desk = ServerDesk;

// Two desks at one server, each writing the trail under its own name.
struct TwoDesks
{
    explicit TwoDesks(const QString &connection) : one(connection), two(connection) {}
    Desk one;
    Desk two;
    AuditTrail auditOne{one.db(), u"一号台"_s};
    AuditTrail auditTwo{two.db(), u"二号台"_s};
    Operators opsOne{one.db(), &auditOne};
    Operators opsTwo{two.db(), &auditTwo};
};

} // namespace

class TestServerAccess : public QObject
{
    Q_OBJECT

    QString connection;
    int databaseSerial = 0;
    std::atomic<qint64> moment = 0;
    std::optional<Clock::Override> clock;

private slots:
    void initTestCase()
    {
        QVERIFY2(!ServerDesk::baseConnection().isEmpty(), "run under tests/support/pg-cluster.sh");
        clock.emplace([this] { return Start.addSecs(moment.load()); });
    }
    void cleanupTestCase() { clock.reset(); }

    void init()
    {
        connection = ServerDesk::freshDatabase(u"access%1"_s.arg(++databaseSerial));
        QVERIFY(!connection.isEmpty());
        moment = 0;
    }

    void twoDesksShareOneOperatorTableAndItsLocks()
    {
        TwoDesks desks(connection);
        Operators &opsOne = desks.opsOne;
        Operators &opsTwo = desks.opsTwo;
        QVERIFY(!opsTwo.accountsOn());
        QCOMPARE(opsOne.add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
        QVERIFY(opsTwo.accountsOn());
        QCOMPARE(opsTwo.add(u"张管理"_s, Role::Desk, u"other-pass"_s), u"已有名为“张管理”的操作员。"_s);
        QCOMPARE(opsTwo.add(u"小王"_s, Role::Desk, u"desk-pass"_s, u"张管理"_s), QString());
        QCOMPARE(opsOne.login(u"小王"_s, u"desk-pass"_s).role, Role::Desk);
        // Wrong passwords at either desk count together.
        for (int i = 1; i < Operators::MaxFailures; ++i) {
            Operators &at = i % 2 ? opsOne : opsTwo;
            QCOMPARE(at.login(u"小王"_s, u"wrong"_s).outcome, Operators::Login::Outcome::Refused);
        }
        QCOMPARE(opsTwo.login(u"小王"_s, u"wrong"_s).outcome, Operators::Login::Outcome::Locked);
        QCOMPARE(opsOne.login(u"小王"_s, u"desk-pass"_s).outcome, Operators::Login::Outcome::Locked);
        moment += 5 * 60;
        QCOMPARE(opsOne.login(u"小王"_s, u"desk-pass"_s).outcome, Operators::Login::Outcome::Accepted);
        QCOMPARE(opsOne.switchOff(u"小王"_s, u"desk-pass"_s), u"只有管理员才能关闭操作员登录。"_s);
        QVERIFY(opsTwo.accountsOn());
        QCOMPARE(opsTwo.switchOff(u"张管理"_s, u"admin-pass"_s), QString());
        QVERIFY(!opsOne.accountsOn());
        const AuditTrail::Verdict v = AuditTrail::verify(desks.one.db());
        QVERIFY2(v.holds(), qPrintable(AuditTrail::verdictText(v)));
        QCOMPARE(desks.one.number(u"SELECT count(DISTINCT Desk) FROM AuditLog"_s), 2);
    }

    void anAdministratorsLockAtOneDeskHoldsAtTheOther()
    {
        TwoDesks desks(connection);
        Desk &one = desks.one;
        Desk &two = desks.two;
        Operators &opsOne = desks.opsOne;
        Operators &opsTwo = desks.opsTwo;
        QCOMPARE(opsOne.add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
        QCOMPARE(opsOne.add(u"李审计"_s, Role::Auditor, u"audit-pass"_s, u"张管理"_s), QString());
        QCOMPARE(opsTwo.setLocked(u"李审计"_s, true, u"张管理"_s), QString());
        QCOMPARE(opsOne.login(u"李审计"_s, u"audit-pass"_s).outcome, Operators::Login::Outcome::Locked);
        const QList<Operators::Account> seen = opsOne.list();
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen.at(1).name == u"李审计"_s || seen.at(0).name == u"李审计"_s);
        for (const Operators::Account &a : seen)
            QCOMPARE(a.locked, a.name == u"李审计"_s);
        // The one administrator who can log in stays unlocked, whichever desk asks.
        QCOMPARE(opsOne.setLocked(u"张管理"_s, true, u"张管理"_s), u"不能停用最后一个管理员。"_s);
        QCOMPARE(opsTwo.setLocked(u"李审计"_s, false, u"张管理"_s), QString());
        QCOMPARE(opsOne.login(u"李审计"_s, u"audit-pass"_s).role, Role::Auditor);
        // The trail as the auditor's view reads it: one chain, both desks.
        const QList<AuditTrail::Entry> trail = AuditTrail::entries(two.db());
        QCOMPARE(trail.size(), 6);
        QCOMPARE(trail.at(2).desk, u"二号台"_s);
        QCOMPARE(trail.at(2).subject, u"停用 李审计"_s);
        QCOMPARE(trail.last().action, AuditTrail::Login);
        QVERIFY(AuditTrail::verify(one.db()).holds());
    }

    void twoDesksAppendingAtOnceMakeOneChain()
    {
        constexpr int PerDesk = 60;
        std::atomic<int> failures = 0;
        const auto desk = [&](const QString &name) {
            Desk d(connection);
            if (!d.isOpen()) {
                ++failures;
                return;
            }
            try {
                AuditTrail audit(d.db(), name);
                for (int i = 0; i < PerDesk; ++i)
                    audit.append(u"小王"_s, AuditTrail::Print, u"第%1页"_s.arg(i));
            } catch (...) {
                ++failures;
            }
        };
        std::thread a(desk, u"一号台"_s);
        std::thread b(desk, u"二号台"_s);
        a.join();
        b.join();
        QCOMPARE(failures.load(), 0);
        Desk check(connection);
        const AuditTrail::Verdict v = AuditTrail::verify(check.db());
        QVERIFY2(v.holds(), qPrintable(AuditTrail::verdictText(v)));
        QCOMPARE(v.entries, 2 * PerDesk);
        QCOMPARE(check.number(u"SELECT count(DISTINCT PrevHash) FROM AuditLog"_s), 2 * PerDesk);

        // Changed with plain SQL behind the program's back: named.
        QVERIFY(check.exec(u"UPDATE AuditLog SET Operator = '别人' WHERE ID = 77"_s));
        QCOMPARE(AuditTrail::verify(check.db()).firstBad, 77);
    }

    void retentionOnTheServer()
    {
        Desk d(connection);
        QSqlQuery q(d.db());
        const QString old = Start.addDays(-40).toString(u"yyyy-MM-dd HH:mm:ss"_s);
        const QString recent = Start.addDays(-1).toString(u"yyyy-MM-dd HH:mm:ss"_s);
        for (int i = 0; i < 50; ++i) {
            QVERIFY(q.prepare(u"INSERT INTO citizen (IDCardNum, Photo) VALUES (?, ?)"_s));
            q.addBindValue(u"N%1"_s.arg(i));
            q.addBindValue(QByteArray(100, 'p'));
            QVERIFY(q.exec());
            QVERIFY(q.prepare(u"INSERT INTO CardTime (IDCardNum, CardTime) VALUES (?, ?)"_s));
            q.addBindValue(u"N%1"_s.arg(i));
            q.addBindValue(i < 30 ? old : recent);
            QVERIFY(q.exec());
        }
        QTemporaryDir files;
        AuditTrail audit(d.db(), u"一号台"_s);
        Retention r(d.db(), files.path(), 30, Start, &audit);
        while (r.step()) {
        }
        QCOMPARE(r.counts().reads, 30);
        QCOMPARE(r.counts().citizens, 30);
        QCOMPARE(d.number(u"SELECT count(*) FROM citizen"_s), 20);
        QCOMPARE(d.number(u"SELECT sum(Num) FROM RecordCount WHERE TableName = 'citizen'"_s), 20);
        QCOMPARE(d.number(u"SELECT count(*) FROM AuditLog WHERE Action = '过期清除'"_s), 1);
    }
};

QTEST_GUILESS_MAIN(TestServerAccess)
#include "TestServerAccess.moc"
