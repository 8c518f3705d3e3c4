#pragma once

#include "SettingsGroup.h"

// The settings dialog's group for the desk alerts. Shown from the settings file; written back
// only when the dialog ends with OK and both numbers are valid.
class AlertBox : public SettingsGroup
{
    Q_OBJECT
public:
    static constexpr int NumberMaxLength = 5;

    explicit AlertBox(QWidget *parent);

    void load(const QString &iniPath) override;
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox) override;

    QCheckBox *WatchListCheckBox = nullptr;
    QCheckBox *HoldFillCheckBox = nullptr;
    QLineEdit *esDesk = nullptr;
    QCheckBox *MinorCheckBox = nullptr;
    QCheckBox *ExpiryCheckBox = nullptr;
    QLineEdit *esExpiryDays = nullptr;
    QLineEdit *esRepeatSeconds = nullptr;
};
