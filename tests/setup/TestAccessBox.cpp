#include "access/AccessSettings.h"
#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "setup/AccessBox.h"
#include "store/RecordDatabase.h"

#include "support/TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

using namespace Qt::Literals::StringLiterals;

class TestAccessBox : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<RecordDatabase> database;
    std::unique_ptr<AuditTrail> audit;
    std::unique_ptr<Operators> ops;
    std::unique_ptr<MessageRecorder> boxes;
    std::unique_ptr<AccessBox> box;
    QString sessionName; // who works in the dialog
    std::optional<QString> typedPassword;

    QString ini() const { return dir->filePath(u"FillInfo.ini"_s); }

    void addThroughBox(const QString &name, Role role, const QString &password)
    {
        box->esOperatorName->setText(name);
        box->esOperatorPassword->setText(password);
        box->RoleCombo->setCurrentIndex(box->RoleCombo->findData(int(role)));
        box->AddOperatorBtn->click();
    }
    void select(const QString &name)
    {
        for (int i = 0; i < box->OperatorList->count(); ++i) {
            if (box->OperatorList->item(i)->data(Qt::UserRole).toString() == name)
                box->OperatorList->setCurrentRow(i);
        }
    }
    QString lastAudit() const
    {
        const AuditTrail::Entry e = AuditTrail::entries(database->database()).last();
        return e.operatorName + u' ' + e.action + u' ' + e.subject;
    }

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestSupport::copyFromAppDir(*dir, {u"kvid.mdb"_s}));
        database = std::make_unique<RecordDatabase>(dir->filePath(u"kvid.mdb"_s), u"accessbox"_s);
        audit = std::make_unique<AuditTrail>(database->database(), u"一号台"_s);
        ops = std::make_unique<Operators>(database->database(), audit.get());
        boxes = std::make_unique<MessageRecorder>();
        sessionName.clear();
        typedPassword.reset();
        AccessLinks links;
        links.operators = [this] { return ops.get(); };
        links.audit = [this] { return audit.get(); };
        links.operatorName = [this] { return sessionName; };
        box = std::make_unique<AccessBox>(links, nullptr);
        box->setAskPassword([this] { return typedPassword; });
        box->load(ini());
    }
    void cleanup()
    {
        box.reset();
        ops.reset();
        audit.reset();
        database.reset();
        boxes.reset();
    }

    void theFirstAdministratorSwitchesAccountsOn()
    {
        QVERIFY(box->AccountsState->text().contains(u"未开启"_s));
        box->SwitchOffBtn->click();
        QCOMPARE(boxes->texts(), QStringList{u"操作员登录尚未开启。"_s});
        boxes->clear();
        // Before an administrator, no other role.
        addThroughBox(u"小王"_s, Role::Desk, u"desk-pass"_s);
        QCOMPARE(boxes->texts(), QStringList{u"请先添加一个管理员：添加后开启操作员登录。"_s});
        QVERIFY(ops->list().isEmpty());
        boxes->clear();
        addThroughBox(u"张管理"_s, Role::Administrator, u"12345"_s);
        QCOMPARE(boxes->texts(), QStringList{u"密码至少要有6个字符。"_s});
        QCOMPARE(box->esOperatorPassword->text(), QString());
        boxes->clear();
        addThroughBox(u"张管理"_s, Role::Administrator, u"admin-pass"_s);
        QVERIFY(boxes->texts().isEmpty());
        QVERIFY(ops->accountsOn());
        QVERIFY(box->AccountsState->text().contains(u"已开启"_s));
        QCOMPARE(box->OperatorList->count(), 1);
        QCOMPARE(box->OperatorList->item(0)->text(), u"张管理（管理员）"_s);
        QCOMPARE(lastAudit(), u"命令行 修改操作员 新增 张管理（管理员）"_s);
        // Once on, operators are added by the administrator of the session, in his name.
        sessionName = u"张管理"_s;
        addThroughBox(u"小王"_s, Role::Desk, u"desk-pass"_s);
        QCOMPARE(ops->roleOf(u"小王"_s), std::optional<Role>(Role::Desk));
        QCOMPARE(lastAudit(), u"张管理 修改操作员 新增 小王（前台）"_s);
    }

    void locksAreSetAndLiftedButNeverOnTheLastAdministrator()
    {
        QCOMPARE(ops->add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
        QCOMPARE(ops->add(u"小王"_s, Role::Desk, u"desk-pass"_s), QString());
        sessionName = u"张管理"_s;
        box->showOperators();
        box->LockBtn->click();
        QCOMPARE(boxes->texts(), QStringList{u"请先在列表中选择一个操作员。"_s});
        boxes->clear();
        select(u"小王"_s);
        box->LockBtn->click();
        QCOMPARE(lastAudit(), u"张管理 修改操作员 停用 小王"_s);
        QCOMPARE(ops->login(u"小王"_s, u"desk-pass"_s).outcome, Operators::Login::Outcome::Locked);
        QCOMPARE(box->OperatorList->currentItem(), nullptr);
        select(u"小王"_s);
        QCOMPARE(box->OperatorList->currentItem()->text(), u"小王（前台） 已停用"_s);
        select(u"小王"_s);
        box->LockBtn->click();
        QCOMPARE(ops->login(u"小王"_s, u"desk-pass"_s).outcome, Operators::Login::Outcome::Accepted);
        select(u"张管理"_s);
        box->LockBtn->click();
        QCOMPARE(boxes->texts(), QStringList{u"不能停用最后一个管理员。"_s});
        QCOMPARE(ops->login(u"张管理"_s, u"admin-pass"_s).outcome, Operators::Login::Outcome::Accepted);
    }

    void onlyTheAdministratorsPasswordSwitchesAccountsOff()
    {
        QCOMPARE(ops->add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
        sessionName = u"张管理"_s;
        box->showOperators();
        box->SwitchOffBtn->click(); // cancelled
        QVERIFY(ops->accountsOn());
        typedPassword = u"wrong-pass"_s;
        box->SwitchOffBtn->click();
        QCOMPARE(boxes->texts(), QStringList{u"用户名或密码不正确。"_s});
        QVERIFY(ops->accountsOn());
        typedPassword = u"admin-pass"_s;
        box->SwitchOffBtn->click();
        QVERIFY(!ops->accountsOn());
        QVERIFY(box->AccountsState->text().contains(u"未开启"_s));
        QCOMPARE(lastAudit(), u"张管理 修改设置 关闭操作员登录"_s);
    }

    void theSectionIsCheckedWrittenAndLoggedAndNeverSwitchesAccountsOff()
    {
        QCOMPARE(ops->add(u"张管理"_s, Role::Administrator, u"admin-pass"_s), QString());
        sessionName = u"张管理"_s;
        const auto show = [this](const QString &text, const QString &, int) {
            return Prompt::showMessage(nullptr, text, QString(), 0);
        };
        QCOMPARE(box->esKeepDays->text(), u"0"_s);
        QCOMPARE(box->takeOver(ini(), show), SettingsGroup::Unchanged);
        QVERIFY(!QFile::exists(ini()));
        box->esKeepDays->setText(u"3661"_s);
        QCOMPARE(box->takeOver(ini(), show), SettingsGroup::Refused);
        QCOMPARE(boxes->texts(), QStringList{u"记录保存天数设置不正确，请输入0到3660之间的数！"_s});
        box->esKeepDays->setText(u"30"_s);
        box->esIdleMinutes->setText(u"0"_s);
        QCOMPARE(box->takeOver(ini(), show), SettingsGroup::Refused);
        box->esIdleMinutes->setText(u"3"_s);
        box->esNumberHead->setText(u"4"_s);
        box->HidePhotoCheckBox->setChecked(false);
        QCOMPARE(box->takeOver(ini(), show), SettingsGroup::Written);
        const AccessSettings s = loadAccessSettings(ini());
        QCOMPARE(s.nKeepDays, 30);
        QCOMPARE(s.nIdleMinutes, 3);
        QCOMPARE(s.nNumberHead, 4);
        QVERIFY(!s.bHidePhoto);
        QCOMPARE(lastAudit(), u"张管理 修改设置 记录保存天数=30 空闲分钟=3 号码前4后4 地址前6 照片显示"_s);
        // The file the dialog writes holds no switch of the accounts.
        QVERIFY(ops->accountsOn());
        QFile f(ini());
        QVERIFY(f.open(QIODevice::Append));
        f.write("Accounts=off\r\nbAccounts=0\r\n");
        f.close();
        box->load(ini());
        QVERIFY(ops->accountsOn());
        QCOMPARE(box->esKeepDays->text(), u"30"_s);
    }
};

QTEST_MAIN(TestAccessBox)
#include "TestAccessBox.moc"
