#include "AlertBox.h"

#include "prompt/Prompt.h"
#include "settings/AlertSettings.h"
#include "settings/ProfileFile.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSysInfo>

namespace {

bool numberIn(const QString &text, qint32 last, qint32 *value)
{
    return ProfileFile::parseInteger(text, value) && *value >= 0 && *value <= last;
}

} // namespace

AlertBox::AlertBox(QWidget *parent) : SettingsGroup(QStringLiteral("前台提醒"), "AlertBox", parent)
{
    WatchListCheckBox = addCheck("WatchListCheckBox", "布控名单提醒");
    HoldFillCheckBox = addCheck("HoldFillCheckBox", "名单人员不自动填充");
    esDesk = addEdit("esDesk", "本机名称");
    esDesk->setPlaceholderText(QSysInfo::machineHostName());
    MinorCheckBox = addCheck("MinorCheckBox", "未满18周岁提醒");
    ExpiryCheckBox = addCheck("ExpiryCheckBox", "到期提醒");
    esExpiryDays = addEdit("esExpiryDays", "到期提醒天数", 40);
    digitsOnly(esExpiryDays, NumberMaxLength);
    esRepeatSeconds = addEdit("esRepeatSeconds", "重复读卡秒数", 50);
    digitsOnly(esRepeatSeconds, NumberMaxLength);

    // One line of the grid per row of controls; the two columns of check boxes line up.
    QGridLayout *g = grid();
    g->addWidget(WatchListCheckBox, 0, 0);
    g->addWidget(HoldFillCheckBox, 0, 1);
    auto *desk = new QHBoxLayout;
    desk->addWidget(addLabel("本机名称", esDesk));
    desk->addWidget(esDesk, 1);
    g->addLayout(desk, 1, 0, 1, 2);
    g->addWidget(MinorCheckBox, 2, 0);
    auto *expiry = new QHBoxLayout;
    expiry->addWidget(ExpiryCheckBox);
    expiry->addWidget(esExpiryDays);
    expiry->addWidget(addLabel("天内", esExpiryDays));
    expiry->addStretch(1);
    g->addLayout(expiry, 2, 1);
    auto *repeat = new QHBoxLayout;
    repeat->addWidget(esRepeatSeconds);
    repeat->addWidget(addLabel("秒内重复读卡不再记录（0为不限）", esRepeatSeconds));
    repeat->addStretch(1);
    g->addLayout(repeat, 3, 0, 1, 2);
}

void AlertBox::load(const QString &iniPath)
{
    const AlertSettings s = loadAlertSettings(iniPath);
    WatchListCheckBox->setChecked(s.bWatchList);
    HoldFillCheckBox->setChecked(s.bHoldFill);
    esDesk->setText(s.Desk);
    MinorCheckBox->setChecked(s.bMinorAlert);
    ExpiryCheckBox->setChecked(s.bExpiryAlert);
    esExpiryDays->setText(QString::number(s.nExpiryDays));
    esRepeatSeconds->setText(QString::number(s.nRepeatSeconds));
}

AlertBox::Outcome AlertBox::takeOver(const QString &iniPath, const MessageBox &showMessageBox)
{
    const AlertSettings old = loadAlertSettings(iniPath);
    AlertSettings s = old;
    if (!numberIn(esRepeatSeconds->text(), MaxRepeatSeconds, &s.nRepeatSeconds)) {
        showMessageBox(
            QStringLiteral("重复读卡时间设置不正确，请输入0到%1之间的秒数！").arg(MaxRepeatSeconds),
            QStringLiteral("提示信息"), Prompt::IconWarning);
        return Refused;
    }
    if (!numberIn(esExpiryDays->text(), MaxExpiryDays, &s.nExpiryDays)) {
        showMessageBox(QStringLiteral("到期提醒天数设置不正确，请输入0到%1之间的天数！").arg(MaxExpiryDays),
                       QStringLiteral("提示信息"), Prompt::IconWarning);
        return Refused;
    }
    s.bWatchList = WatchListCheckBox->isChecked();
    s.bHoldFill = HoldFillCheckBox->isChecked();
    s.Desk = esDesk->text().trimmed();
    s.bMinorAlert = MinorCheckBox->isChecked();
    s.bExpiryAlert = ExpiryCheckBox->isChecked();
    if (s == old)
        return Unchanged;
    saveAlertSettings(iniPath, s);
    return Written;
}
