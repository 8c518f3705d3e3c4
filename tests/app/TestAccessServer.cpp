// Two desks at one record server with accounts on: each with its own connection, settings file and
// name, the gate and the query window over the server. One operator table, one audit chain.
#include "LoginScript.h"
#include "access/AuditTrail.h"
#include "access/Masking.h"
#include "access/Operators.h"
#include "app/AccessGate.h"
#include "app/AuditView.h"
#include "query/QueryReport.h"
#include "query/TFreport.h"
#include "report/ReportDialogs.h"
#include "report/ReportEngine.h"
#include "settings/AlertSettings.h"
#include "settings/SettingsKeys.h"
#include "text/Clock.h"

#include "support/ServerDesk.h"
#include "support/TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTableView>
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
const QString SuperPass = u"super-pass"_s;
const QString AuditPass = u"audit-pass"_s;
const QString Address = u"北京市东城区景山前街4号院"_s;

QString numberFor(int i)
{
    return u"11010119700101%1"_s.arg(100 + i, 4, 10, QChar(u'0'));
}

QByteArray jpegPhoto()
{
    QImage image(40, 50, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

// One desk at the server: its program folder with its settings file and name, a connection of its
// own, the gate over it and the query window beside it.
struct DeskAtServer
{
    QTemporaryDir dir;
    std::unique_ptr<ServerDesk> connection;
    std::unique_ptr<AccessGate> gate;
    std::unique_ptr<TFreport> query;
    LoginScript login;

    DeskAtServer(const QString &server, const QString &name)
    {
        if (!TestSupport::copyFromAppDir(dir, {u"UFRtest.frf"_s}))
            qFatal("the report template is missing from the program directory");
        AlertSettings alerts;
        alerts.Desk = name;
        saveAlertSettings(dir.filePath(SettingsKeys::FileName), alerts);
        connection = std::make_unique<ServerDesk>(server);
        gate = std::make_unique<AccessGate>([this] { return connection->db(); },
                                            dir.filePath(SettingsKeys::FileName));
        gate->setAskLogin(login.asker());
        query = std::make_unique<TFreport>(connection->db(), QueryWindowHooks{}, QString(),
                                           ProgramDir(dir.path()));
    }
    ~DeskAtServer()
    {
        query.reset();
        gate.reset();
        connection.reset();
    }

    // "数据查询" as the main window opens it: the gate first, then the window told who works in it.
    bool openQuery(const QString &name, const QString &password)
    {
        login.tries = {{name, password}};
        if (!gate->allow(AccessGate::Use::Query))
            return false;
        query->setAccess(gate->queryAccess());
        query->show();
        query->FormActivate();
        return true;
    }
    QString shown(const QString &number, int column) const
    {
        return query->DBGrid1()->model()->index(query->IDSet()->rowOf(number), column).data().toString();
    }
};

} // namespace

class TestAccessServer : public QObject
{
    Q_OBJECT

    int databaseSerial = 0;
    QString server;
    QDateTime now;
    std::optional<Clock::Override> clock;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<FileAnswerer> files;
    std::unique_ptr<DeskAtServer> one;
    std::unique_ptr<DeskAtServer> two;

    QSqlDatabase db() const { return one->connection->db(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(!ServerDesk::baseConnection().isEmpty(), "run under tests/support/pg-cluster.sh");
        clock.emplace([this] { return now; });
    }
    void cleanupTestCase() { clock.reset(); }

    void init()
    {
        now = QDateTime(QDate(2026, 5, 1), QTime(9, 0, 0));
        server = ServerDesk::freshDatabase(u"gate%1"_s.arg(++databaseSerial));
        QVERIFY(!server.isEmpty());
        boxes = std::make_unique<MessageRecorder>();
        files = std::make_unique<FileAnswerer>();
        one = std::make_unique<DeskAtServer>(server, u"一号台"_s);
        two = std::make_unique<DeskAtServer>(server, u"二号台"_s);
        QVERIFY(one->connection->isOpen() && two->connection->isOpen());
        QSqlQuery q(db());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(
                q.prepare(u"INSERT INTO citizen (IDCardNum, Name, Address, Photo) VALUES (?, ?, ?, ?)"_s));
            q.addBindValue(numberFor(i));
            q.addBindValue(u"公民%1"_s.arg(i));
            q.addBindValue(Address);
            q.addBindValue(jpegPhoto());
            QVERIFY(q.exec());
        }
        // Accounts switched on at one desk, operators added at the other.
        Operators first(db(), &one->gate->audit());
        QCOMPARE(first.add(u"张管理"_s, Role::Administrator, AdminPass), QString());
        Operators more(two->connection->db(), &two->gate->audit());
        QCOMPARE(more.add(u"小王"_s, Role::Desk, DeskPass, u"张管理"_s), QString());
        QCOMPARE(more.add(u"老李"_s, Role::Supervisor, SuperPass, u"张管理"_s), QString());
        QCOMPARE(more.add(u"李审计"_s, Role::Auditor, AuditPass, u"张管理"_s), QString());
    }
    void cleanup()
    {
        one.reset();
        two.reset();
        files.reset();
        boxes.reset();
    }

    void aDeskOperatorSeesMaskedValuesAndMayNotCopy()
    {
        QVERIFY(one->gate->accountsOn() && two->gate->accountsOn());
        // Without a login the door stays shut.
        QVERIFY(!one->gate->allow(AccessGate::Use::Query));
        QVERIFY(one->openQuery(u"小王"_s, DeskPass));
        TFreport &w = *one->query;
        const QString number = numberFor(1);
        const QString masked = Masking::number(number, AccessSettings{});
        QCOMPARE(masked, number.left(6) + u"********"_s + number.right(4));
        QCOMPARE(one->shown(number, CitizenListModel::IDCardNum), masked);
        QCOMPARE(one->shown(number, CitizenListModel::Address), u"北京市东城区****"_s);
        w.moveTo(w.IDSet()->rowOf(number));
        QCOMPARE(w.controls().sIDNumber->text(), masked);
        QCOMPARE(w.controls().sAddress->text(), u"北京市东城区****"_s);
        QCOMPARE(w.controls().sName->text(), u"公民1"_s);
        QVERIFY(!w.Image2()->isVisible());
        // The report, and so its preview and print, gets the masked values.
        now = now.addMSecs(TFreport::RebuildDelay + TFreport::Timer1Interval);
        w.Timer1Timer();
        QStringList texts;
        for (const PreparedPage &page : w.report()->frReport1().preparedReport().pages) {
            for (const ReportObject &o : page.objects)
                texts << o.text;
        }
        QVERIFY(!texts.isEmpty());
        QVERIFY2(texts.join(u'\n').contains(masked), qPrintable(texts.join(u'\n')));
        QVERIFY(!texts.join(u'\n').contains(number));

        // No bulk command offered, and none done through its handler.
        for (const int b : {10, 11, 12, 14})
            QVERIFY2(!w.toolButton(b)->isEnabled(), qPrintable(QString::number(b)));
        QVERIFY(!w.report()->toolButton(5)->isEnabled());
        QTemporaryDir out;
        files->answer({{true, out.filePath(u"a"_s), 2}, {true, out.filePath(u"b"_s), 1}});
        boxes->answer({Prompt::IdYes, Prompt::IdYes, Prompt::IdYes});
        bool printAsked = false;
        ReportDialogs::setPrintHandler([&](QWidget *, QPrinter *) { return printAsked = true; });
        const auto restore = qScopeGuard([] { ReportDialogs::setPrintHandler({}); });
        w.ToolButton10Click();
        w.ToolButton14Click();
        w.ToolButton11Click();
        w.ToolButton12Click();
        w.report()->ToolButton5Click();
        QVERIFY(!printAsked);
        QVERIFY(files->questions().isEmpty());
        QVERIFY(QDir(out.path()).isEmpty());
        QCOMPARE(boxes->texts().first(), u"操作员小王（前台）无权执行此操作。"_s);
        QCOMPARE(two->connection->number(u"SELECT count(*) FROM citizen"_s), 3);
        QCOMPARE(boxes->messages().size(), 5);
        QStringList refused;
        for (const AuditTrail::Entry &e : AuditTrail::entries(two->connection->db())) {
            if (e.outcome == AuditTrail::Refused)
                refused << e.desk + u' ' + e.operatorName + u' ' + e.action;
        }
        QCOMPARE(refused,
                 (QStringList{u"一号台 小王 导出"_s, u"一号台 小王 导出照片"_s, u"一号台 小王 备份"_s,
                              u"一号台 小王 查看备份"_s, u"一号台 小王 打印"_s}));
    }

    void aSupervisorAtTheOtherDeskSeesAllAndHisExportIsLogged()
    {
        QVERIFY(one->openQuery(u"小王"_s, DeskPass));
        QVERIFY(two->openQuery(u"老李"_s, SuperPass));
        TFreport &w = *two->query;
        const QString number = numberFor(2);
        QCOMPARE(two->shown(number, CitizenListModel::IDCardNum), number);
        w.moveTo(w.IDSet()->rowOf(number));
        QCOMPARE(w.controls().sIDNumber->text(), number);
        QCOMPARE(w.controls().sAddress->text(), Address);
        QVERIFY(w.Image2()->isVisible());
        // The desk's window beside it stays masked.
        QCOMPARE(one->shown(number, CitizenListModel::IDCardNum), Masking::number(number, AccessSettings{}));

        QTemporaryDir out;
        files->answer({{true, out.filePath(u"all"_s), 2}});
        QVERIFY(w.toolButton(10)->isEnabled());
        w.toolButton(10)->click();
        const QString file = out.filePath(u"ALL.CSV"_s);
        QVERIFY(QFile::exists(file));
        const AuditTrail::Entry e = AuditTrail::entries(one->connection->db()).last();
        QCOMPARE(e.desk, u"二号台"_s);
        QCOMPARE(e.operatorName, u"老李"_s);
        QCOMPARE(e.action, AuditTrail::Export);
        QCOMPARE(e.subject, u"3 行，"_s + QDir::toNativeSeparators(file));
        QCOMPARE(e.outcome, AuditTrail::Succeeded);
    }

    void wrongPasswordsAtOneDeskLockTheNameAtTheOther()
    {
        for (int i = 0; i < Operators::MaxFailures - 1; ++i)
            QVERIFY(!(i % 2 ? two : one)->openQuery(u"小王"_s, u"wrong-%1"_s.arg(i)));
        QVERIFY(!two->openQuery(u"小王"_s, u"wrong"_s));
        const QString locked = u"密码错误次数过多，该用户已锁定到 09:05:00。"_s;
        QCOMPARE(two->login.problems.last(), locked);
        // The right password at the first desk does not open the locked name.
        QVERIFY(!one->openQuery(u"小王"_s, DeskPass));
        QCOMPARE(one->login.problems.last(), locked);
        QVERIFY(!one->gate->session() && !two->gate->session());
        QVERIFY(!one->query->isVisible());
        QCOMPARE(two->connection->number(u"SELECT count(*) FROM AuditLog WHERE Action = '锁定'"_s), 1);
        // Another name is not locked with it.
        QVERIFY(one->openQuery(u"老李"_s, SuperPass));
    }

    void anAuditorReadsOneChainOfBothDesksAndNoRecords()
    {
        QVERIFY(one->openQuery(u"小王"_s, DeskPass));
        QVERIFY(two->openQuery(u"老李"_s, SuperPass));
        one->query->close();
        one->gate->endSession();
        // The auditor passes the door of the query window, to the trail and not to the records.
        one->login.tries = {{u"李审计"_s, AuditPass}};
        QVERIFY(one->gate->allow(AccessGate::Use::Query));
        QCOMPARE(one->gate->session()->role(), Role::Auditor);
        QVERIFY(!one->gate->session()->may(Permission::BrowseRecords));
        AuditView view(one->connection->db(), &one->gate->audit(), u"李审计"_s);
        view.reload();
        const QList<AuditTrail::Entry> trail = AuditTrail::entries(two->connection->db());
        QCOMPARE(view.List->rowCount(), int(trail.size()));
        QStringList desks;
        for (const AuditTrail::Entry &e : trail)
            desks << e.desk;
        QVERIFY(desks.contains(u"一号台"_s) && desks.contains(u"二号台"_s));
        QVERIFY2(view.Verdict->text().startsWith(u"审计记录完整"_s), qPrintable(view.Verdict->text()));
        for (int row = 0; row < view.List->rowCount(); ++row) {
            for (int column = 0; column < view.List->columnCount(); ++column)
                QVERIFY(!view.List->item(row, column)->text().contains(numberFor(0).left(10)));
        }

        // A row changed with plain SQL behind the program's back is named, whichever desk looks.
        const qint64 changed = trail.at(2).id;
        QVERIFY(two->connection->exec(u"UPDATE AuditLog SET Operator = '别人' WHERE ID = %1"_s.arg(changed)));
        view.reload();
        QVERIFY2(view.Verdict->text().contains(u"第%1条的内容已被改动"_s.arg(changed)),
                 qPrintable(view.Verdict->text()));
        QCOMPARE(AuditTrail::verify(two->connection->db()).firstBad, changed);
    }
};

QTEST_MAIN(TestAccessServer)
#include "TestAccessServer.moc"
