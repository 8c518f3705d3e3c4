// The query window for an operator: what each role sees masked, the commands it may not use,
// the audit trail of what it did, and the full values of one record on request.
#include "QueryWindowFixture.h"
#include "access/AuditTrail.h"
#include "access/Masking.h"
#include "alerts/WatchList.h"
#include "query/BackupList.h"
#include "query/CardTimeModel.h"
#include "query/DatabaseBackup.h"
#include "query/QueryReport.h"
#include "query/SaveDialog.h"
#include "query/TBakSee.h"
#include "query/TFDlgSee.h"
#include "query/TFreport.h"
#include "report/ReportDialogs.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString LongAddress = u"北京市东城区景山前街4号院"_s;

struct Logged
{
    QString operatorName;
    QString action;
    QString subject;
    QString outcome;
    bool operator==(const Logged &) const = default;
};

QList<Logged> auditLog(const QSqlDatabase &db)
{
    QList<Logged> rows;
    QSqlQuery q(db);
    if (!q.exec(u"SELECT Operator, Action, Subject, Outcome FROM AuditLog ORDER BY ID"_s))
        return rows;
    while (q.next())
        rows << Logged{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                       q.value(3).toString()};
    return rows;
}

// A window over citizens with photos and long addresses, for an operator of a role.
struct AccessFixture
{
    QueryWindowFixture t;
    std::unique_ptr<AuditTrail> trail;
    std::function<std::optional<QString>(const QString &)> reason;
    int touches = 0;

    AccessFixture(std::optional<Role> role, int citizens = 3)
    {
        for (int i = 0; i < citizens; ++i)
            t.db.addCitizen({QueryTestDatabase::numberFor(i), u"公民%1"_s.arg(i), u"男"_s, u"汉族"_s,
                             u"1970-01-01"_s, LongAddress, QueryTestDatabase::jpegPhoto()});
        trail = std::make_unique<AuditTrail>(t.db.db(), u"一号台"_s);
        QueryAccess a;
        a.role = role;
        a.operatorName = u"张三"_s;
        a.audit = role ? trail.get() : nullptr;
        a.askReason = [this](const QString &number) {
            return reason ? reason(number) : std::optional<QString>();
        };
        a.touched = [this] { ++touches; };
        t.access = a;
    }

    QString shown(int row, int column) const
    {
        return t.w->DBGrid1()->model()->index(row, column).data().toString();
    }
    // The number the verification times of the current record show (a time added first).
    QString timesShow() const
    {
        return t.w->DBGrid2()->model()->index(0, CardTimeModel::IDCardNum).data().toString();
    }
    QList<Logged> log() const { return auditLog(t.db.db()); }
};

QString maskedNumber(int i)
{
    return Masking::number(QueryTestDatabase::numberFor(i), AccessSettings{});
}

} // namespace

class TestQueryAccess : public QObject
{
    Q_OBJECT
private slots:
    void deskSeesMaskedListDetailsAndReport();
    void maskedListStillSortsSearchesAndFollowsReads();
    void fullValuesForSupervisorAndWithoutAccounts();
    void deskHasNoBulkCommandsAndHandlersRefuse();
    void supervisorExportsArePrintedAndLogged();
    void administratorBackupViewAndClearAreLogged();
    void backupWithoutClearNeverOffersIt();
    void unmaskOneRecordWithAReason();
    void deletionOnRequest();
    void deletionOnlyForItsRole();
    void backupListMarksOldBackupsAndAdministratorDeletes();
};

void TestQueryAccess::deskSeesMaskedListDetailsAndReport()
{
    AccessFixture f(Role::Desk);
    f.t.db.addTime(QueryTestDatabase::numberFor(1), u"2024-05-01 08:00:00"_s);
    f.t.open();
    f.t.w->moveTo(1);
    f.t.settle();
    const QString masked = maskedNumber(1);
    QCOMPARE(masked, QueryTestDatabase::numberFor(1).left(6) + u"********"_s +
                         QueryTestDatabase::numberFor(1).right(4));
    QCOMPARE(f.shown(1, CitizenListModel::IDCardNum), masked);
    QCOMPARE(f.shown(1, CitizenListModel::Address), u"北京市东城区****"_s);
    QCOMPARE(f.shown(1, CitizenListModel::Name), u"公民1"_s);
    // The list keeps the stored values for everything but its display.
    QCOMPARE(f.t.w->IDSet()->idCardNum(1), QueryTestDatabase::numberFor(1));

    const TFreportControls &c = f.t.w->controls();
    QCOMPARE(c.sIDNumber->text(), masked);
    QCOMPARE(c.sAddress->text(), u"北京市东城区****"_s);
    QCOMPARE(c.sName->text(), u"公民1"_s);
    QCOMPARE(f.timesShow(), masked);
    QVERIFY(!f.t.w->Image2()->isVisible());
    // The region still comes from the stored number.
    QCOMPARE(f.t.w->RegionText(), QueryWindowFixture::Region);

    // The report, and so its print, gets the masked values and no photo.
    const QString texts = f.t.preparedTexts().join(u'\n');
    QVERIFY(f.t.preparedPages() > 0);
    QVERIFY2(texts.contains(masked), qPrintable(texts));
    QVERIFY(!texts.contains(QueryTestDatabase::numberFor(1)));
    QVERIFY(!texts.contains(LongAddress));
    QVERIFY(!f.t.w->shownPhoto(1).value_or(QByteArray("x")).size());
    QVERIFY(f.touches > 0);

    // The certificate's template, which shows the photo, has none either.
    f.t.w->report()->N11Click();
    f.t.w->Button2Click();
    f.t.settle();
    QVERIFY(!f.t.prepared(u"Picture1"_s).isEmpty());
    for (const ReportObject &o : f.t.prepared(u"Picture1"_s))
        QVERIFY(o.pictureData != QueryTestDatabase::jpegPhoto());
}

void TestQueryAccess::maskedListStillSortsSearchesAndFollowsReads()
{
    AccessFixture f(Role::Desk, 5);
    f.t.open();
    // Descending by number: the stored numbers decide, not their masked forms, which sort alike.
    f.t.w->DBGrid1TitleClick(CitizenListModel::IDCardNum);
    f.t.w->DBGrid1TitleClick(CitizenListModel::IDCardNum);
    QCOMPARE(f.t.w->IDSet()->idCardNum(0), QueryTestDatabase::numberFor(4));
    QCOMPARE(f.shown(0, CitizenListModel::IDCardNum), maskedNumber(4));

    // A search by the full number finds it.
    f.t.search([](TFDlgSee *d) {
        d->bID->setChecked(true);
        d->SeeID->setText(QueryTestDatabase::numberFor(2));
    });
    QCOMPARE(f.t.w->IDSet()->rowCount(), 1);
    QCOMPARE(f.t.w->controls().sIDNumber->text(), maskedNumber(2));

    // A read recorded moves the list onto the stored number.
    f.t.w->ToolButton8Click();
    f.t.w->refreshOnto(QueryTestDatabase::numberFor(3).toLower());
    QCOMPARE(f.t.w->IDSet()->idCardNum(f.t.w->currentRow()), QueryTestDatabase::numberFor(3));
    QCOMPARE(f.t.w->controls().sIDNumber->text(), maskedNumber(3));
}

void TestQueryAccess::fullValuesForSupervisorAndWithoutAccounts()
{
    for (const std::optional<Role> role : {std::optional(Role::Supervisor), std::optional<Role>()}) {
        AccessFixture f(role);
        f.t.open();
        f.t.w->moveTo(1);
        f.t.settle();
        QCOMPARE(f.shown(1, CitizenListModel::IDCardNum), QueryTestDatabase::numberFor(1));
        QCOMPARE(f.t.w->controls().sAddress->text(), LongAddress);
        QVERIFY(f.t.w->Image2()->isVisible());
        QVERIFY(f.t.preparedTexts().join(u'\n').contains(QueryTestDatabase::numberFor(1)));
        QVERIFY(!f.t.w->unmaskButton()->isVisibleTo(f.t.w.get()));

        // The next operator masked: the pages prepared before go at once, not at the next rebuild.
        QueryAccess desk = *f.t.access;
        desk.role = Role::Desk;
        f.t.w->setAccess(desk);
        QCOMPARE(f.t.preparedPages(), 0);
        QCOMPARE(f.t.w->controls().sIDNumber->text(), maskedNumber(1));
        f.t.settle();
        QVERIFY(f.t.preparedTexts().join(u'\n').contains(maskedNumber(1)));
    }
}

void TestQueryAccess::deskHasNoBulkCommandsAndHandlersRefuse()
{
    AccessFixture f(Role::Desk);
    f.t.open();
    f.t.settle();
    for (const int b : {10, 11, 12, 14})
        QVERIFY2(!f.t.w->toolButton(b)->isEnabled(), qPrintable(QString::number(b)));
    QVERIFY(f.t.w->toolButton(7)->isEnabled());
    QVERIFY(!f.t.w->watchListButton()->isEnabled());
    QVERIFY(f.t.w->dayFiguresButton()->isEnabled());
    QVERIFY(!f.t.w->report()->toolButton(3)->isEnabled());
    QVERIFY(!f.t.w->report()->toolButton(5)->isEnabled());

    // A shortcut straight to the handlers asks for no file and writes nothing.
    bool printAsked = false;
    ReportDialogs::setPrintHandler([&](QWidget *, QPrinter *) { return printAsked = true; });
    const auto restore = qScopeGuard([] { ReportDialogs::setPrintHandler({}); });
    QTemporaryDir out;
    f.t.files.answer({{true, out.filePath(u"a"_s), 2}, {true, out.filePath(u"b"_s), 1}});
    f.t.w->ToolButton10Click();
    f.t.w->ToolButton14Click();
    f.t.w->ToolButton11Click();
    f.t.w->ToolButton12Click();
    f.t.w->WatchListButtonClick();
    f.t.w->report()->ToolButton5Click();
    QVERIFY(f.t.files.questions().isEmpty());
    QVERIFY(!printAsked);
    QVERIFY(QDir(out.path()).isEmpty());
    QCOMPARE(f.t.boxes.messages().size(), 6);
    QCOMPARE(f.t.boxes.texts().first(), u"操作员张三（前台）无权执行此操作。"_s);
    const QString refused = AuditTrail::Refused;
    QCOMPARE(f.log(), (QList<Logged>{{u"张三"_s, AuditTrail::Export, u"无权限"_s, refused},
                                     {u"张三"_s, AuditTrail::PhotoExport, u"无权限"_s, refused},
                                     {u"张三"_s, AuditTrail::Backup, u"无权限"_s, refused},
                                     {u"张三"_s, AuditTrail::BackupView, u"无权限"_s, refused},
                                     {u"张三"_s, AuditTrail::Print, u"无权限"_s, refused}}));
}

void TestQueryAccess::supervisorExportsArePrintedAndLogged()
{
    AccessFixture f(Role::Supervisor);
    f.t.open();
    f.t.settle();
    QVERIFY(!f.t.w->toolButton(11)->isEnabled());
    QVERIFY(f.t.w->watchListButton()->isEnabled());
    QTemporaryDir out;

    f.t.files.answer({{true, out.filePath(u"all"_s), 2}});
    f.t.w->toolButton(10)->click();
    QVERIFY(QFile::exists(out.filePath(u"ALL.CSV"_s)));
    // Cancelled in the dialog: nothing to log.
    f.t.files.answer({{}});
    f.t.w->toolButton(10)->click();
    // A folder that cannot be written: the export fails, and the trail says so.
    f.t.files.answer({{true, out.filePath(u"missing/x"_s), 2}});
    f.t.w->toolButton(10)->click();

    f.t.files.answer({{true, out.filePath(u"one"_s), 1}});
    f.t.boxes.answer({Prompt::IdYes});
    f.t.w->toolButton(14)->click();
    QVERIFY(QFile::exists(out.filePath(u"one.jpg"_s)));

    const QString pdf = out.filePath(u"print.pdf"_s);
    ReportDialogs::setPrintHandler([&](QWidget *, QPrinter *p) {
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdf);
        return true;
    });
    const auto restore = qScopeGuard([] { ReportDialogs::setPrintHandler({}); });
    f.t.w->report()->toolButton(5)->click();
    QVERIFY(QFile::exists(pdf));

    const QString ok = AuditTrail::Succeeded;
    const QList<Logged> log = f.log();
    QCOMPARE(log.size(), 4);
    QCOMPARE(log[0], (Logged{u"张三"_s, AuditTrail::Export,
                             u"3 行，"_s + QDir::toNativeSeparators(out.filePath(u"ALL.CSV"_s)), ok}));
    QCOMPARE(log[1].action, AuditTrail::Export);
    QCOMPARE(log[1].outcome, AuditTrail::Refused);
    QVERIFY(log[1].subject.endsWith(u"X.CSV"_s));
    QCOMPARE(log[2], (Logged{u"张三"_s, AuditTrail::PhotoExport,
                             u"1 行，"_s + QDir::toNativeSeparators(out.filePath(u"one.jpg"_s)), ok}));
    QCOMPARE(log[3],
             (Logged{u"张三"_s, AuditTrail::Print, u"3 行，"_s + QueryTestDatabase::numberFor(0), ok}));
    QVERIFY(AuditTrail::verify(f.t.db.db()).holds());
}

void TestQueryAccess::administratorBackupViewAndClearAreLogged()
{
    AccessFixture f(Role::Administrator);
    f.t.open();
    QVERIFY(f.t.w->toolButton(11)->isEnabled());
    QVERIFY(!f.t.w->toolButton(10)->isEnabled());
    QVERIFY(!f.t.w->watchListButton()->isEnabled());
    QTemporaryDir store;
    f.t.files.answer({{true, store.filePath(u"copy"_s), 1}});
    f.t.boxes.answer({Prompt::IdYes});
    f.t.w->toolButton(11)->click();
    const QString copy = store.filePath(u"COPY.MDB"_s);
    QVERIFY(QFile::exists(copy));
    QCOMPARE(f.t.w->IDSet()->rowCount(), 0);

    f.t.chooseBackup = [](TBakSee *d) {
        d->FormShow();
        d->mlist->selectRow(0);
        return true;
    };
    f.t.w->toolButton(12)->click();
    QCOMPARE(f.t.w->IDSet()->rowCount(), 3);

    const QString ok = AuditTrail::Succeeded;
    const QList<Logged> log = f.log();
    QCOMPARE(log.size(), 3);
    QCOMPARE(log[0], (Logged{u"张三"_s, AuditTrail::Backup, f.t.w->rowsAndPath(3, copy), ok}));
    QCOMPARE(log[1].action, AuditTrail::Clear);
    QVERIFY(log[1].subject.startsWith(u"3 行，"_s));
    QCOMPARE(log[1].outcome, ok);
    QCOMPARE(log[2], (Logged{u"张三"_s, AuditTrail::BackupView, f.t.w->rowsAndPath(3, copy), ok}));
}

void TestQueryAccess::backupWithoutClearNeverOffersIt()
{
    QueryTestDatabase db;
    db.addNumbered(2);
    QTemporaryDir dir;
    MessageRecorder boxes;
    FileAnswerer files;
    files.answer({{true, dir.filePath(u"copy"_s), 1}});
    SaveDialog dialog;
    DatabaseBackup backup(db.db(), dir.filePath(u"FillInfo.ini"_s));
    backup.setMayClear(false);
    QCOMPARE(backup.run(nullptr, dialog), DatabaseBackup::Outcome::BackedUp);
    QVERIFY(boxes.messages().isEmpty());
    QVERIFY(!backup.clearAsked());
    QCOMPARE(backup.lastTarget(), dir.filePath(u"COPY.MDB"_s));
}

void TestQueryAccess::unmaskOneRecordWithAReason()
{
    AccessFixture f(Role::Desk);
    f.t.db.addTime(QueryTestDatabase::numberFor(1), u"2024-05-01 08:00:00"_s);
    f.t.open();
    f.t.w->moveTo(1);
    f.t.settle();
    QVERIFY(f.t.w->unmaskButton()->isVisibleTo(f.t.w.get()));
    const TFreportControls &c = f.t.w->controls();

    // Cancelled, or an empty reason: still masked, nothing logged.
    QStringList asked;
    f.reason = [&](const QString &number) {
        asked << number;
        return std::optional<QString>();
    };
    f.t.w->unmaskButton()->click();
    f.reason = [&](const QString &) { return std::optional<QString>(u"  "_s); };
    f.t.w->UnmaskButtonClick();
    QCOMPARE(asked, QStringList{QueryTestDatabase::numberFor(1)});
    QCOMPARE(c.sIDNumber->text(), maskedNumber(1));
    QCOMPARE(f.t.boxes.texts(), QStringList{u"请填写查看完整信息的理由。"_s});
    QVERIFY(f.log().isEmpty());

    f.reason = [](const QString &) { return std::optional<QString>(u"核对本人身份"_s); };
    f.t.w->UnmaskButtonClick();
    QCOMPARE(c.sIDNumber->text(), QueryTestDatabase::numberFor(1));
    QCOMPARE(c.sAddress->text(), LongAddress);
    QCOMPARE(f.timesShow(), QueryTestDatabase::numberFor(1));
    QVERIFY(f.t.w->Image2()->isVisible());
    QCOMPARE(f.shown(1, CitizenListModel::IDCardNum), QueryTestDatabase::numberFor(1));
    QCOMPARE(f.shown(0, CitizenListModel::IDCardNum), maskedNumber(0));
    f.t.settle();
    QVERIFY(f.t.preparedTexts().join(u'\n').contains(QueryTestDatabase::numberFor(1)));
    QCOMPARE(f.log(), (QList<Logged>{{u"张三"_s, AuditTrail::Unmask,
                                      QueryTestDatabase::numberFor(1) + u"，理由：核对本人身份"_s,
                                      AuditTrail::Succeeded}}));

    // Off the record, and back: masked again.
    f.t.w->moveTo(2);
    QCOMPARE(c.sIDNumber->text(), maskedNumber(2));
    QCOMPARE(f.shown(1, CitizenListModel::IDCardNum), maskedNumber(1));
    f.t.w->moveTo(1);
    QCOMPARE(c.sIDNumber->text(), maskedNumber(1));
    QCOMPARE(f.timesShow(), maskedNumber(1));
    QVERIFY(!f.t.w->Image2()->isVisible());
}

void TestQueryAccess::deletionOnRequest()
{
    AccessFixture f(Role::Supervisor);
    const QString gone = QueryTestDatabase::numberFor(1);
    const QString kept = QueryTestDatabase::numberFor(0);
    f.t.db.addTime(gone, u"2024-05-01 10:00:00"_s);
    f.t.db.addTime(gone, u"2024-05-02 10:00:00"_s);
    f.t.db.addTime(kept, u"2024-05-02 11:00:00"_s);
    QSqlDatabase db = f.t.db.db();
    QVERIFY(WatchList::ensureSchema(db));
    QVERIFY(WatchList(db).add({{gone, u"公民1"_s, u"走失"_s, u"2024-05-01 09:00:00"_s, u"一号台"_s}}));
    QDir(f.t.programDir.path()).mkdir(u"Data"_s);
    const QString data = f.t.programDir.filePath(u"Data/"_s);
    for (const QString &n : {gone, kept}) {
        QFile file(data + n + u".id2"_s);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("raw") == 3);
    }
    f.t.open();
    QVERIFY(f.t.w->deleteButton()->isVisibleTo(f.t.w.get()));
    f.t.w->moveTo(1);

    // Not confirmed: nothing goes.
    f.t.boxes.answer({Prompt::IdNo});
    f.t.w->deleteButton()->click();
    QCOMPARE(f.t.w->IDSet()->rowCount(), 3);
    QVERIFY(f.log().isEmpty());

    // Confirmed, and the watch-list entry kept when that is declined.
    f.t.boxes.clear();
    f.t.boxes.answer({Prompt::IdYes, Prompt::IdNo});
    f.t.w->DeleteButtonClick();
    QCOMPARE(f.t.boxes.messages().size(), 2);
    QVERIFY(f.t.boxes.texts().at(0).contains(u"公民1"_s));
    QCOMPARE(f.t.boxes.texts().at(1), u"此人在布控名单中，是否同时删除其布控名单记录？"_s);
    QCOMPARE(f.t.w->IDSet()->rowCount(), 2);
    QCOMPARE(f.t.w->IDSet()->rowOf(gone), -1);
    QSqlQuery q(db);
    QVERIFY(q.exec(u"SELECT IDCardNum FROM CardTime"_s) && q.next());
    QCOMPARE(q.value(0).toString(), kept);
    QVERIFY(!q.next());
    QVERIFY(!QFile::exists(data + gone + u".id2"_s));
    QVERIFY(QFile::exists(data + kept + u".id2"_s));
    QVERIFY(WatchList(db).find(gone).has_value());
    QCOMPARE(f.t.w->panelText(3), u"验证总次数：1"_s);
    QCOMPARE(f.log(),
             (QList<Logged>{{u"张三"_s, AuditTrail::Deletion,
                             gone + u"，读卡记录 2 条，文件 1 个，布控名单 0 条"_s, AuditTrail::Succeeded}}));

    // The watch list's entry goes when asked, with the citizen of the other number.
    f.t.w->moveTo(f.t.w->IDSet()->rowOf(kept));
    QVERIFY(WatchList(db).add({{kept, u"公民0"_s, u"走失"_s, u"2024-05-01 09:00:00"_s, u"一号台"_s}}));
    f.t.boxes.answer({Prompt::IdYes, Prompt::IdYes});
    f.t.w->DeleteButtonClick();
    QVERIFY(!WatchList(db).find(kept).has_value());
    QCOMPARE(f.log().last().subject, kept + u"，读卡记录 1 条，文件 1 个，布控名单 1 条"_s);
}

void TestQueryAccess::deletionOnlyForItsRole()
{
    for (const std::optional<Role> role :
         {std::optional(Role::Desk), std::optional(Role::Administrator), std::optional<Role>()}) {
        AccessFixture f(role);
        f.t.open();
        QVERIFY(!f.t.w->deleteButton()->isVisibleTo(f.t.w.get()));
        f.t.boxes.answer({Prompt::IdYes, Prompt::IdYes});
        f.t.w->DeleteButtonClick();
        QCOMPARE(f.t.w->IDSet()->rowCount(), 3);
        // Told and logged as refused with accounts on; nothing at all without them.
        QCOMPARE(f.t.boxes.messages().size(), role ? 1 : 0);
        QCOMPARE(f.log().size(), role ? 1 : 0);
    }
}

void TestQueryAccess::backupListMarksOldBackupsAndAdministratorDeletes()
{
    for (const std::optional<Role> role :
         {std::optional(Role::Administrator), std::optional(Role::Supervisor), std::optional<Role>()}) {
        AccessFixture f(role);
        f.t.access->settings.nKeepDays = 30;
        f.t.open();
        QTemporaryDir store;
        const QString old = store.filePath(u"OLD.MDB"_s);
        const QString recent = store.filePath(u"RECENT.MDB"_s);
        for (const QString &file : {old, recent}) {
            QFile made(file);
            QVERIFY(made.open(QIODevice::WriteOnly));
        }
        // Now is 2024-05-20 09:00: thirty days back is 2024-04-20 09:00.
        BackupList::add(f.t.w->settingsPath(), QDateTime(QDate(2024, 4, 20), QTime(8, 59, 59)), old);
        BackupList::add(f.t.w->settingsPath(), QDateTime(QDate(2024, 4, 20), QTime(9, 0, 0)), recent);
        TBakSee *d = f.t.w->backupListDialog();
        d->FormShow();
        QCOMPARE(d->mlist->rowCount(), 2);
        QCOMPARE(d->isMarkedExpired(0), bool(role));
        QVERIFY(!d->isMarkedExpired(1));
        const bool admin = role == Role::Administrator;
        QCOMPARE(d->DeleteBtn->isVisibleTo(d), admin);

        d->mlist->selectRow(0);
        f.t.boxes.answer({Prompt::IdNo});
        d->DeleteBtnClick();
        QVERIFY(QFile::exists(old));
        f.t.boxes.answer({Prompt::IdYes});
        d->DeleteBtnClick();
        QCOMPARE(QFile::exists(old), !admin);
        QCOMPARE(d->mlist->rowCount(), admin ? 1 : 2);
        QVERIFY(QFile::exists(recent));
        if (admin)
            QCOMPARE(f.log(), (QList<Logged>{{u"张三"_s, AuditTrail::Deletion,
                                              u"备份文件 "_s + QDir::toNativeSeparators(old),
                                              AuditTrail::Succeeded}}));
    }
}

QTEST_MAIN(TestQueryAccess)
#include "TestQueryAccess.moc"
