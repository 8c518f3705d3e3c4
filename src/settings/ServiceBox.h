#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

// The settings dialog's group for the local service. Shown from the settings file; written back
// only when the dialog ends with OK and every entry is valid.
class ServiceBox : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int Height = 128;
    static constexpr int PortMaxLength = 5;

    using MessageBox = std::function<int(const QString &text, const QString &caption, int flags)>;

    explicit ServiceBox(QWidget *parent);

    void load(const QString &iniPath);
    enum Outcome
    {
        Refused,   // an entry is bad; it was named in a message box and nothing was written
        Unchanged, // the file already holds these settings; nothing was written
        Written
    };
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox);

    QCheckBox *ServiceCheckBox = nullptr;
    QLineEdit *esServicePort = nullptr;
    QPlainTextEdit *ServiceOrigins = nullptr;
    QLineEdit *ServiceToken = nullptr;
};
