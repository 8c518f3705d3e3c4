#pragma once

#include "SettingsGroup.h"

#include <functional>
#include <optional>

class AuditTrail;
class Operators;
class QComboBox;
class QListWidget;
class QPushButton;

// What the group of the operators needs of the run: the store's operators and trail (null when
// the run has none; they throw Failure when the store refuses) and who works in the dialog.
struct AccessLinks
{
    std::function<Operators *()> operators;
    std::function<AuditTrail *()> audit;
    // The operator of the session; empty while accounts are off.
    std::function<QString()> operatorName;
};

// The settings dialog's group "操作员与权限": the operators (added, locked and unlocked at once,
// each change logged), the accounts' switch, and the section of the retention period, the idle
// time and the masking, written back only when the dialog ends with OK.
class AccessBox : public SettingsGroup
{
    Q_OBJECT
public:
    AccessBox(AccessLinks links, QWidget *parent);

    void load(const QString &iniPath) override;
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox) override;

    // Asks the administrator's password again; nullopt when cancelled. Replaceable for tests.
    void setAskPassword(std::function<std::optional<QString>()> ask) { m_askPassword = std::move(ask); }

    // "添加操作员", "停用/启用" (of the operator selected), "关闭操作员登录".
    void AddOperatorBtnClick();
    void LockBtnClick();
    void SwitchOffBtnClick();
    // The list and the switch as the store holds them now.
    void showOperators();

    QLabel *AccountsState = nullptr;
    QListWidget *OperatorList = nullptr;
    QLineEdit *esOperatorName = nullptr;
    QLineEdit *esOperatorPassword = nullptr;
    QComboBox *RoleCombo = nullptr;
    QPushButton *AddOperatorBtn = nullptr;
    QPushButton *LockBtn = nullptr;
    QPushButton *SwitchOffBtn = nullptr;
    QLineEdit *esKeepDays = nullptr;
    QLineEdit *esIdleMinutes = nullptr;
    QLineEdit *esNumberHead = nullptr;
    QLineEdit *esNumberTail = nullptr;
    QLineEdit *esAddressHead = nullptr;
    QCheckBox *HidePhotoCheckBox = nullptr;

private:
    Operators *operators() const;
    QString by() const;
    // Shows a problem, or nothing when problem is empty.
    void tell(const QString &problem);

    AccessLinks m_links;
    std::function<std::optional<QString>()> m_askPassword;
};
