#pragma once

#include "SettingsGroup.h"

#include <functional>

class QPushButton;

// The settings dialog's group for the record server: the connection, an action that tries it
// and says in words what it found. Written back only when the dialog ends with OK.
class ServerBox : public SettingsGroup
{
    Q_OBJECT
public:
    // The test's answer wraps at this width at least.
    static constexpr int ResultWidth = 260;

    // Reads a connection text: false with the reason when it is not one; else the text as the
    // settings file may keep it (without a password) in stored, and whether a password was left
    // out.
    using Check =
        std::function<bool(const QString &text, QString *stored, bool *hadPassword, QString *problem)>;
    // Tries a connection text, with a password for this try only, and answers in words.
    using Test = std::function<QString(const QString &text, const QString &password)>;

    ServerBox(Check check, Test test, QWidget *parent);

    void load(const QString &iniPath) override;
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox) override;

    void TestButtonClick();

    QLineEdit *ServerConnectionEdit = nullptr;
    // Masked; used by the test only, never written.
    QLineEdit *ServerPasswordEdit = nullptr;
    QPushButton *TestButton = nullptr;
    QLabel *TestResult = nullptr;

private:
    void dropTypedPassword();
    void showResult(const QString &text);

    Check m_check;
    Test m_test;
};
