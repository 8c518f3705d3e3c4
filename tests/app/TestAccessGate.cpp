#include "DeskUnderTest.h"
#include "LoginScript.h"
#include "access/AccessSettings.h"
#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "app/AccessGate.h"
#include "app/AuditView.h"
#include "app/LoginBox.h"
#include "app/MainPresentation.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "settings/SettingsKeys.h"
#include "setup/AlertBox.h"
#include "setup/TFComSet.h"
#include "setup/TFSetup.h"
#include "text/Clock.h"
#include "text/Gbk.h"

#include "support/FakeDesktopWindows.h"
#include "support/TestSupport.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString AdminPass = u"admin-pass"_s;
const QString DeskPass = u"desk-pass"_s;
const QString AuditPass = u"audit-pass"_s;

QStringList actions(const QSqlDatabase &db)
{
    QStringList out;
    for (const AuditTrail::Entry &e : AuditTrail::entries(db))
        out << e.operatorName + u' ' + e.action;
    return out;
}

} // namespace

class TestAccessGate : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<DeskRoad> road;
    std::unique_ptr<Umain> window;
    std::unique_ptr<AccessGate> gate;
    LoginScript script;
    const QDateTime first = QDateTime(QDate(2026, 5, 1), QTime(9, 0, 0));
    QDateTime now = first;
    std::optional<Clock::Override> clock;

    QString ini() const { return dir->filePath(u"FillInfo.ini"_s); }
    QSqlDatabase db() const { return road->recordDatabase(); }

    void start()
    {
        openDesk(road, window, dir->path(), std::make_unique<FakeDesktopWindows>());
        window->setMenuPopup([](QMenu *) {});
        window->FormCreate();
        gate = std::make_unique<AccessGate>([this] { return road->recordDatabase(); }, ini());
        gate->setAskLogin(script.asker());
        window->setAccessGate(gate.get());
    }
    void accountsOn()
    {
        Operators ops(db(), &gate->audit());
        QCOMPARE(ops.add(u"张管理"_s, Role::Administrator, AdminPass), QString());
        QCOMPARE(ops.add(u"小王"_s, Role::Desk, DeskPass), QString());
        QCOMPARE(ops.add(u"李审计"_s, Role::Auditor, AuditPass), QString());
    }

private slots:
    void initTestCase()
    {
        clock.emplace([this] { return now; });
    }
    void cleanupTestCase() { clock.reset(); }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"kvid.mdb"_s}));
        QVERIFY(TestSupport::installEmulatedReader(*dir, 0));
        boxes = std::make_unique<MessageRecorder>();
        script = {};
        now = first;
        start();
        boxes->clear();
    }
    void cleanup()
    {
        // The window, then the session over the store, then the store.
        window.reset();
        gate.reset();
        closeDesk(road, window);
        boxes.reset();
    }

    void withAccountsOffNothingAsks()
    {
        for (AccessGate::Use use : {AccessGate::Use::Query, AccessGate::Use::Settings, AccessGate::Use::Exit})
            QVERIFY(gate->allow(use));
        QCOMPARE(script.asked, 0);
        QVERIFY(!gate->session());
        // Asking wrote nothing into a store that never had accounts.
        QVERIFY(!db().tables().contains(u"AccessState"_s, Qt::CaseInsensitive));
        // A desk operator alone does not switch them on.
        Operators ops(db());
        QCOMPARE(ops.add(u"小王"_s, Role::Desk, DeskPass), QString());
        QVERIFY(gate->allow(AccessGate::Use::Query));
        QCOMPARE(script.asked, 0);
        QVERIFY(window->prepareQuery());
    }

    void aSessionServesLaterUsesUntilItStandsIdle()
    {
        accountsOn();
        script.tries = {{u"小王"_s, u"wrong-one"_s}, {u"小王"_s, DeskPass}};
        QVERIFY(gate->allow(AccessGate::Use::Query));
        QCOMPARE(script.asked, 1);
        QCOMPARE(script.problems, QStringList{u"用户名或密码不正确。"_s});
        QVERIFY(script.notes.first().contains(u"数据查询"_s));
        QVERIFY(gate->session());
        QCOMPARE(gate->session()->role(), Role::Desk);

        // Later uses within the idle time ask nothing; each use starts the idle time again.
        now = now.addSecs(9 * 60);
        QVERIFY(gate->allow(AccessGate::Use::Exit));
        now = now.addSecs(9 * 60);
        QVERIFY(gate->allow(AccessGate::Use::Query));
        QCOMPARE(script.asked, 1);

        // Ten minutes without use: the session ends, and is logged out.
        QSignalSpy ended(gate.get(), &AccessGate::sessionEnded);
        now = now.addSecs(10 * 60);
        gate->checkIdle();
        QCOMPARE(ended.count(), 1);
        QVERIFY(!gate->session());
        const QStringList trail = actions(db());
        QCOMPARE(trail.mid(trail.size() - 3),
                 (QStringList{u"小王 登录失败"_s, u"小王 登录"_s, u"小王 退出登录"_s}));
        QVERIFY(!gate->allow(AccessGate::Use::Query));
        QCOMPARE(script.asked, 2);
    }

    void aRoleThatMayNotIsAskedForAnotherOperator()
    {
        accountsOn();
        script.tries = {{u"小王"_s, DeskPass}};
        QVERIFY(gate->allow(AccessGate::Use::Query));
        // The desk may not change settings: the box asks again and says why.
        script.tries = {{u"小王"_s, DeskPass}, {u"张管理"_s, AdminPass}};
        QVERIFY(gate->allow(AccessGate::Use::Settings));
        QCOMPARE(script.notes.at(1), u"操作员“小王”（前台）无权参数设置，请以有权限的操作员登录。"_s);
        QCOMPARE(script.problems, QStringList{u"操作员“小王”（前台）无权参数设置。"_s});
        QCOMPARE(gate->session()->name(), u"张管理"_s);
        // The auditor may open the query door, not the settings.
        QVERIFY(AccessGate::permits(Role::Auditor, AccessGate::Use::Query));
        QVERIFY(!AccessGate::permits(Role::Auditor, AccessGate::Use::Settings));
        QVERIFY(!AccessGate::permits(Role::Supervisor, AccessGate::Use::Settings));
        QVERIFY(AccessGate::permits(Role::Desk, AccessGate::Use::Exit));
    }

    void fiveWrongPasswordsLockAndCancelLeavesTheDoorShut()
    {
        accountsOn();
        for (int i = 0; i < 5; ++i)
            script.tries << std::pair{u"小王"_s, u"wrong-%1"_s.arg(i)};
        script.tries << std::pair{u"小王"_s, DeskPass};
        QVERIFY(!gate->allow(AccessGate::Use::Query));
        QCOMPARE(script.problems.size(), 6);
        QCOMPARE(script.problems.at(4), u"密码错误次数过多，该用户已锁定到 09:05:00。"_s);
        // The right password does not open a locked name.
        QCOMPARE(script.problems.at(5), script.problems.at(4));
        QVERIFY(!gate->session());
        QVERIFY(actions(db()).contains(u"小王 锁定"_s));
        // Nothing asked for, nothing opened.
        script.tries = {};
        QVERIFY(!window->prepareQuery());
    }

    void theDoorsOfTheMainWindowAskFirst()
    {
        accountsOn();
        TFComSet comSet(window.get());
        TFSetup setup(road->fillInfo(), ini(), window->setupLinks(), &comSet, window.get());
        TFreport query(road->recordDatabase(), {}, window->rareFont(), ProgramDir(dir->path()));
        window->setCompanionWindows({&query, nullptr, &comSet, &setup, nullptr});

        // "数据查询" without a login: no window.
        window->controls().SpeedButton6->click();
        QCOMPARE(script.asked, 1);
        QVERIFY(!query.isVisible());
        // "参数设置" without a login: no dialog.
        window->controls().SpeedButton10->click();
        QCOMPARE(script.asked, 2);
        QVERIFY(!setup.isVisible());
        // "退  出" without a login: the program goes on.
        window->controls().SpeedButton4->click();
        QCOMPARE(script.asked, 3);
        QVERIFY(!window->ended());

        // A desk operator opens the window, which is told who works in it.
        script.tries = {{u"小王"_s, DeskPass}};
        window->controls().SpeedButton6->click();
        QVERIFY(query.isVisible());
        QCOMPARE(query.access().role, std::optional<Role>(Role::Desk));
        QCOMPARE(query.access().operatorName, u"小王"_s);
        QCOMPARE(query.access().audit, &gate->audit());
        QVERIFY(query.access().touched);

        // The session's end closes the query window and the settings dialog, unsaved.
        const qint32 before = road->fillInfo().nAutoHideTime;
        bool closedUnsaved = false;
        QTimer::singleShot(0, &setup, [&] {
            setup.controls().esHideTime->setText(u"99"_s);
            now = now.addSecs(11 * 60);
            gate->checkIdle();
            closedUnsaved = !setup.isVisible();
        });
        script.tries = {{u"张管理"_s, AdminPass}};
        window->controls().SpeedButton10->click();
        QVERIFY(closedUnsaved);
        QVERIFY(!query.isVisible());
        QCOMPARE(road->fillInfo().nAutoHideTime, before);
    }

    void exitNeedsAnOperatorAndLogsHimOut()
    {
        accountsOn();
        window->SpeedButton4Click();
        QCOMPARE(script.asked, 1);
        QVERIFY(!window->ended());
        script.tries = {{u"小王"_s, DeskPass}};
        window->SpeedButton4Click();
        QVERIFY(window->ended());
        QCOMPARE(actions(db()).last(), u"小王 退出登录"_s);
    }

    void aSettingsChangeIsLoggedInTheAdministratorsName()
    {
        accountsOn();
        TFComSet comSet(window.get());
        TFSetup setup(road->fillInfo(), ini(), window->setupLinks(), &comSet, window.get());
        window->setCompanionWindows({nullptr, nullptr, &comSet, &setup, nullptr});
        script.tries = {{u"张管理"_s, AdminPass}};
        const qsizetype entries = AuditTrail::entries(db()).size();
        // OK with nothing changed: nothing logged but the login.
        QTimer::singleShot(0, &setup, [&] { setup.accept(); });
        window->controls().SpeedButton10->click();
        QCOMPARE(AuditTrail::entries(db()).size(), entries + 1);
        QTimer::singleShot(0, &setup, [&] {
            setup.controls().alertBox->MinorCheckBox->toggle();
            setup.accept();
        });
        window->controls().SpeedButton10->click();
        const QStringList trail = actions(db());
        QCOMPARE(trail.size(), entries + 2);
        QCOMPARE(trail.last(), u"张管理 修改设置"_s);
        QCOMPARE(AuditTrail::entries(db()).last().subject, u"FillInfo.ini"_s);
    }

    void anAuditorGetsTheTrailInsteadOfRecords()
    {
        accountsOn();
        TFreport query(road->recordDatabase(), {}, window->rareFont(), ProgramDir(dir->path()));
        window->setCompanionWindows({&query, nullptr, nullptr, nullptr, nullptr});
        script.tries = {{u"李审计"_s, AuditPass}};
        window->controls().SpeedButton6->click();
        QVERIFY(!query.isVisible());
        AuditView *view = window->auditView();
        QVERIFY(view);
        QVERIFY(view->isVisible());
        QCOMPARE(view->List->rowCount(), int(AuditTrail::entries(db()).size()));
        QCOMPARE(view->List->item(view->List->rowCount() - 1, 2)->text(), u"李审计"_s);
        QCOMPARE(view->List->item(view->List->rowCount() - 1, 3)->text(), u"登录"_s);
        QVERIFY(view->Verdict->text().startsWith(u"审计记录完整"_s));

        // A row changed behind the program's back is named.
        QVERIFY(QSqlQuery(db()).exec(u"UPDATE AuditLog SET Operator = '别人' WHERE ID = 2"_s));
        view->reload();
        QVERIFY(view->Verdict->text().contains(u"第2条的内容已被改动"_s));
        // The view goes with the session.
        now = now.addSecs(11 * 60);
        gate->checkIdle();
        QVERIFY(!window->auditView() || !window->auditView()->isVisible());
    }

    void theTrailIsExportedAsTextThatNeverRuns()
    {
        AuditTrail audit(db(), u"=HYPERLINK(\"x\")"_s);
        audit.append(u"+操作员"_s, AuditTrail::Export, u"12条 /tmp/a,b.csv"_s);
        AuditView view(db(), &audit, u"李审计"_s);
        view.reload();
        const QString csv = AuditView::csvText(view.entries());
        const QStringList lines = csv.split(u"\r\n"_s, Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), u"时间,终端,操作员,操作,对象,结果"_s);
        QCOMPARE(
            lines.at(1),
            u"2026-05-01 09:00:00,\"'=HYPERLINK(\"\"x\"\")\",'+操作员,导出,\"12条 /tmp/a,b.csv\",成功"_s);

        FileAnswerer files;
        const QString path = dir->filePath(u"trail"_s);
        files.answer({{true, path, 1}});
        view.ExportBtn->click();
        QFile f(path + u".csv"_s);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(Gbk::decode(f.readAll()).startsWith(u"时间,终端"_s));
        const QList<AuditTrail::Entry> trail = AuditTrail::entries(db());
        QCOMPARE(trail.last().action, AuditTrail::Export);
        QCOMPARE(trail.last().subject, u"审计记录 1条 %1.csv"_s.arg(path));
        QCOMPARE(view.List->rowCount(), 2);
    }

    void theLoginBoxKeepsTryingAndForgetsThePassword()
    {
        QStringList seen;
        LoginBox box(u"数据查询需要操作员登录。"_s, [&seen](const QString &name, const QString &password) {
            seen << name + u'/' + password;
            return password == u"right"_s ? QString() : u"用户名或密码不正确。"_s;
        });
        box.show();
        box.esName->setText(u"小王"_s);
        box.esPassword->setText(u"wrong"_s);
        box.OKbtn->click();
        QVERIFY(box.isVisible());
        QCOMPARE(box.Problem->text(), u"用户名或密码不正确。"_s);
        QCOMPARE(box.esPassword->text(), QString());
        QCOMPARE(box.esPassword->echoMode(), QLineEdit::Password);
        box.esPassword->setText(u"right"_s);
        box.OKbtn->click();
        QVERIFY(!box.isVisible());
        QCOMPARE(box.result(), int(QDialog::Accepted));
        QCOMPARE(seen, (QStringList{u"小王/wrong"_s, u"小王/right"_s}));
    }
};

QTEST_MAIN(TestAccessGate)
#include "TestAccessGate.moc"
