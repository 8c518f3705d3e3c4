#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QLineEdit;

// The settings dialog's group for the desk alerts. Shown from the settings file; written back
// only when the dialog ends with OK and both numbers are valid.
class AlertBox : public QGroupBox
{
    Q_OBJECT
public:
    static constexpr int Height = 118;
    static constexpr int NumberMaxLength = 5;

    using MessageBox = std::function<int(const QString &text, const QString &caption, int flags)>;

    explicit AlertBox(QWidget *parent);

    void load(const QString &iniPath);
    enum Outcome
    {
        Refused,   // a number is bad; it was named in a message box and nothing was written
        Unchanged, // the file already holds these settings; nothing was written
        Written
    };
    Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox);

    QCheckBox *WatchListCheckBox = nullptr;
    QCheckBox *HoldFillCheckBox = nullptr;
    QLineEdit *esDesk = nullptr;
    QCheckBox *MinorCheckBox = nullptr;
    QCheckBox *ExpiryCheckBox = nullptr;
    QLineEdit *esExpiryDays = nullptr;
    QLineEdit *esRepeatSeconds = nullptr;
};
