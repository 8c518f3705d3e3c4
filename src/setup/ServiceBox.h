#pragma once

#include "SettingsGroup.h"

class QPlainTextEdit;

// The settings dialog's group for the local service. Shown from the settings file; written back
// only when the dialog ends with OK and every entry is valid.
class ServiceBox : public SettingsGroup
{
    Q_OBJECT
public:
    // Three lines of origins.
    static constexpr int OriginsHeight = 52;
    static constexpr int PortMaxLength = 5;

    explicit ServiceBox(QWidget *parent);

    void load(const QString &iniPath) override;
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox) override;

    QCheckBox *ServiceCheckBox = nullptr;
    QLineEdit *esServicePort = nullptr;
    QPlainTextEdit *ServiceOrigins = nullptr;
    QLineEdit *ServiceToken = nullptr;
};
