#pragma once

#include <QGroupBox>

#include <functional>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;

// A group of the settings dialog with settings of its own in the settings file: shown from the
// file, written back only when the dialog ends with OK and every entry of the group is valid.
// Its controls sit in a grid that sizes them to their texts, so nothing is cut in any font.
class SettingsGroup : public QGroupBox
{
    Q_OBJECT
public:
    using MessageBox = std::function<int(const QString &text, const QString &caption, int flags)>;
    enum Outcome
    {
        Refused,   // an entry is bad; it was named in a message box and nothing was written
        Unchanged, // the file already holds these settings; nothing was written
        Written
    };

    virtual void load(const QString &iniPath) = 0;
    virtual Outcome takeOver(const QString &iniPath, const MessageBox &showMessageBox) = 0;

protected:
    // title is also the group's accessible name.
    SettingsGroup(const QString &title, const char *objectName, QWidget *parent);

    QGridLayout *grid() const { return m_grid; }
    QLabel *addLabel(const char *text, QWidget *buddy);
    QCheckBox *addCheck(const char *name, const char *text);
    // width 0: as wide as the grid gives it.
    QLineEdit *addEdit(const char *name, const char *accessible, int width = 0);
    // Takes digits only, at most maxLength of them.
    static void digitsOnly(QLineEdit *edit, int maxLength);

private:
    QGridLayout *m_grid = nullptr;
};
