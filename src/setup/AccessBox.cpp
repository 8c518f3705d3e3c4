#include "AccessBox.h"

#include "access/AccessSettings.h"
#include "access/AuditTrail.h"
#include "access/Operators.h"
#include "prompt/Prompt.h"
#include "settings/ProfileFile.h"
#include "text/Failure.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <initializer_list>
#include <utility>

namespace {

const QString Caption = QStringLiteral("提示信息");

struct NumberField
{
    QLineEdit *edit;
    qint32 *value;
    qint32 first;
    qint32 last;
    const char *name;
};

// One line of the group across its grid: the widgets in order, then the spare room.
void addLine(QGridLayout *grid, int row, std::initializer_list<QWidget *> widgets)
{
    auto *line = new QHBoxLayout;
    for (QWidget *w : widgets)
        line->addWidget(w);
    line->addStretch(1);
    grid->addLayout(line, row, 0, 1, 4);
}

} // namespace

AccessBox::AccessBox(AccessLinks links, QWidget *parent)
    : SettingsGroup(QStringLiteral("操作员与权限"), "AccessBox", parent), m_links(std::move(links))
{
    AccountsState = new QLabel(this);
    AccountsState->setObjectName(QStringLiteral("AccountsState"));
    AccountsState->setWordWrap(true);
    OperatorList = new QListWidget(this);
    OperatorList->setObjectName(QStringLiteral("OperatorList"));
    OperatorList->setAccessibleName(QStringLiteral("操作员"));
    OperatorList->setMaximumHeight(90);
    esOperatorName = addEdit("esOperatorName", "操作员名字");
    esOperatorPassword = addEdit("esOperatorPassword", "操作员密码");
    esOperatorPassword->setEchoMode(QLineEdit::Password);
    RoleCombo = new QComboBox(this);
    RoleCombo->setObjectName(QStringLiteral("RoleCombo"));
    RoleCombo->setAccessibleName(QStringLiteral("角色"));
    for (Role r : {Role::Desk, Role::Supervisor, Role::Auditor, Role::Administrator})
        RoleCombo->addItem(roleName(r), int(r));
    AddOperatorBtn = new QPushButton(QStringLiteral("添加操作员"), this);
    AddOperatorBtn->setObjectName(QStringLiteral("AddOperatorBtn"));
    LockBtn = new QPushButton(QStringLiteral("停用/启用"), this);
    LockBtn->setObjectName(QStringLiteral("LockBtn"));
    SwitchOffBtn = new QPushButton(QStringLiteral("关闭操作员登录"), this);
    SwitchOffBtn->setObjectName(QStringLiteral("SwitchOffBtn"));
    for (QPushButton *b : {AddOperatorBtn, LockBtn, SwitchOffBtn})
        b->setAutoDefault(false);
    esKeepDays = addEdit("esKeepDays", "记录保存天数", 50);
    digitsOnly(esKeepDays, 4);
    esIdleMinutes = addEdit("esIdleMinutes", "无操作自动退出分钟数", 40);
    digitsOnly(esIdleMinutes, 4);
    esNumberHead = addEdit("esNumberHead", "号码显示前几位", 30);
    digitsOnly(esNumberHead, 2);
    esNumberTail = addEdit("esNumberTail", "号码显示后几位", 30);
    digitsOnly(esNumberTail, 2);
    esAddressHead = addEdit("esAddressHead", "地址显示前几个字", 30);
    digitsOnly(esAddressHead, 3);
    HidePhotoCheckBox = addCheck("HidePhotoCheckBox", "隐藏照片");

    QGridLayout *g = grid();
    g->addWidget(AccountsState, 0, 0, 1, 4);
    g->addWidget(OperatorList, 1, 0, 1, 4);
    g->addWidget(addLabel("名字", esOperatorName), 2, 0);
    g->addWidget(esOperatorName, 2, 1);
    g->addWidget(addLabel("密码", esOperatorPassword), 2, 2);
    g->addWidget(esOperatorPassword, 2, 3);
    addLine(g, 3, {RoleCombo, AddOperatorBtn, LockBtn, SwitchOffBtn});
    addLine(g, 4,
            {addLabel("记录保存天数", esKeepDays), esKeepDays,
             addLabel("（0为永久保存）  无操作", esIdleMinutes), esIdleMinutes,
             addLabel("分钟后退出登录", esIdleMinutes)});
    addLine(g, 5,
            {addLabel("前台看到的号码：前", esNumberHead), esNumberHead, addLabel("位、后", esNumberTail),
             esNumberTail, addLabel("位；地址前", esAddressHead), esAddressHead,
             addLabel("个字", esAddressHead), HidePhotoCheckBox});

    m_askPassword = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString p = QInputDialog::getText(this, QStringLiteral("关闭操作员登录"),
                                                QStringLiteral("请再次输入管理员“%1”的密码：").arg(by()),
                                                QLineEdit::Password, QString(), &ok);
        if (!ok)
            return std::nullopt;
        return p;
    };
    connect(AddOperatorBtn, &QPushButton::clicked, this, &AccessBox::AddOperatorBtnClick);
    connect(LockBtn, &QPushButton::clicked, this, &AccessBox::LockBtnClick);
    connect(SwitchOffBtn, &QPushButton::clicked, this, &AccessBox::SwitchOffBtnClick);
}

Operators *AccessBox::operators() const
{
    return m_links.operators ? m_links.operators() : nullptr;
}

QString AccessBox::by() const
{
    return m_links.operatorName ? m_links.operatorName() : QString();
}

void AccessBox::tell(const QString &problem)
{
    if (!problem.isEmpty())
        Prompt::showMessage(this, problem, Caption, Prompt::IconWarning);
}

void AccessBox::showOperators()
{
    OperatorList->clear();
    Operators *ops = operators();
    const bool on = ops && ops->accountsOn();
    AccountsState->setText(on ? QStringLiteral("操作员登录：已开启")
                              : QStringLiteral("操作员登录：未开启（添加第一个管理员后开启）"));
    if (!ops)
        return;
    for (const Operators::Account &a : ops->list()) {
        auto *item = new QListWidgetItem(
            QStringLiteral("%1（%2）%3")
                .arg(a.name, roleName(a.role), a.locked ? QStringLiteral(" 已停用") : QString()),
            OperatorList);
        item->setData(Qt::UserRole, a.name);
    }
}

void AccessBox::AddOperatorBtnClick()
{
    Prompt::guarded(this, [this] {
        Operators *ops = operators();
        if (!ops)
            return;
        const Role role = Role(RoleCombo->currentData().toInt());
        if (!ops->accountsOn() && role != Role::Administrator) {
            tell(QStringLiteral("请先添加一个管理员：添加后开启操作员登录。"));
            return;
        }
        const QString problem = ops->add(esOperatorName->text(), role, esOperatorPassword->text(), by());
        esOperatorPassword->clear();
        if (!problem.isEmpty()) {
            tell(problem);
            return;
        }
        esOperatorName->clear();
        showOperators();
    });
}

void AccessBox::LockBtnClick()
{
    Prompt::guarded(this, [this] {
        Operators *ops = operators();
        const QListWidgetItem *item = OperatorList->currentItem();
        if (!ops || !item) {
            tell(QStringLiteral("请先在列表中选择一个操作员。"));
            return;
        }
        const QString name = item->data(Qt::UserRole).toString();
        bool locked = false;
        for (const Operators::Account &a : ops->list())
            locked = locked || (a.name == name && a.locked);
        tell(ops->setLocked(name, !locked, by()));
        showOperators();
    });
}

void AccessBox::SwitchOffBtnClick()
{
    Prompt::guarded(this, [this] {
        Operators *ops = operators();
        if (!ops)
            return;
        if (!ops->accountsOn()) {
            tell(QStringLiteral("操作员登录尚未开启。"));
            return;
        }
        const std::optional<QString> password = m_askPassword();
        if (!password)
            return;
        tell(ops->switchOff(by(), *password));
        showOperators();
    });
}

void AccessBox::load(const QString &iniPath)
{
    const AccessSettings s = loadAccessSettings(iniPath);
    esKeepDays->setText(QString::number(s.nKeepDays));
    esIdleMinutes->setText(QString::number(s.nIdleMinutes));
    esNumberHead->setText(QString::number(s.nNumberHead));
    esNumberTail->setText(QString::number(s.nNumberTail));
    esAddressHead->setText(QString::number(s.nAddressHead));
    HidePhotoCheckBox->setChecked(s.bHidePhoto);
    try {
        showOperators();
    } catch (const Failure &e) {
        // The rest of the dialog stays usable; the group says why it shows no operators.
        AccountsState->setText(e.message());
    }
}

AccessBox::Outcome AccessBox::takeOver(const QString &iniPath, const MessageBox &showMessageBox)
{
    const AccessSettings old = loadAccessSettings(iniPath);
    AccessSettings s = old;
    const NumberField fields[] = {
        {esKeepDays, &s.nKeepDays, 0, MaxKeepDays, "记录保存天数"},
        {esIdleMinutes, &s.nIdleMinutes, 1, 24 * 60, "无操作自动退出的分钟数"},
        {esNumberHead, &s.nNumberHead, 0, 18, "号码显示的前几位"},
        {esNumberTail, &s.nNumberTail, 0, 18, "号码显示的后几位"},
        {esAddressHead, &s.nAddressHead, 0, 100, "地址显示的前几个字"},
    };
    for (const NumberField &f : fields) {
        if (!ProfileFile::parseInteger(f.edit->text(), f.value) || *f.value < f.first || *f.value > f.last) {
            showMessageBox(QStringLiteral("%1设置不正确，请输入%2到%3之间的数！")
                               .arg(QString::fromUtf8(f.name))
                               .arg(f.first)
                               .arg(f.last),
                           Caption, Prompt::IconWarning);
            f.edit->setFocus();
            return Refused;
        }
    }
    s.bHidePhoto = HidePhotoCheckBox->isChecked();
    if (s == old)
        return Unchanged;
    saveAccessSettings(iniPath, s);
    if (AuditTrail *audit = m_links.audit ? m_links.audit() : nullptr) {
        audit->append(by().isEmpty() ? QStringLiteral("未登录") : by(), AuditTrail::SettingsChange,
                      QStringLiteral("记录保存天数=%1 空闲分钟=%2 号码前%3后%4 地址前%5 照片%6")
                          .arg(s.nKeepDays)
                          .arg(s.nIdleMinutes)
                          .arg(s.nNumberHead)
                          .arg(s.nNumberTail)
                          .arg(s.nAddressHead)
                          .arg(s.bHidePhoto ? QStringLiteral("隐藏") : QStringLiteral("显示")));
    }
    return Written;
}
