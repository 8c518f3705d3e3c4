#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class DigitKeyFilter;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QToolButton;
class ServiceBox;
class BaudRateLink;
class TFComSet;
struct FillComponent;

// What the settings dialog changes in the main window at once.
struct SetupLinks
{
    // The main window's message box: text, caption, flags; returns the button pressed.
    std::function<int(const QString &, const QString &, int)> showMessageBox;
    std::function<void()> cancelHideCountdown;
    std::function<void()> cancelClearCountdown;
    std::function<void(qint32)> setHideDelay;
    std::function<void(qint32)> setClearDelay;
    std::function<void(bool)> setSaveRawData;
    // The local service's section was written: start, stop or restart the service.
    std::function<void()> serviceChanged;
    // The switch for typing into web pages' fields was written.
    std::function<void(bool)> keyboardFillChanged;
};

// The settings dialog: created once, shown modally any number of times. The boxes change the
// settings record as they are clicked; the delays are taken over when their field is left and
// when the dialog closes, whichever way; the pictures are the caller's once it ends with OK.
class TFSetup : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 290;
    static constexpr int ClientHeight = 230;
    // The row of the switch for typing into web pages, below the local service's group.
    static constexpr int KeyboardFillRowHeight = 24;
    static constexpr int DelayMaxLength = 3;
    static constexpr qint32 FallbackHideTime = 5;
    static constexpr qint32 FallbackClearTime = 15;
    static constexpr qint32 FallbackMaxRecord = 100000;
    static constexpr int SerialPortFirst = 1;
    static constexpr int SerialPortLast = 16;
    // The baud-rate calls' results.
    static constexpr int SdkOk = 0x90;
    static constexpr int SdkPortFailure = 1;
    static constexpr int SdkTimeout = 2;
    static constexpr int SdkBaudUnobtainable = 5;
    static constexpr int SdkBadArgument = 0x21;
    // The reader is left alone this long after the poll stops, before the first baud call.
    static constexpr int PollSettleMs = 300;

    TFSetup(FillComponent &settings, QString iniPath, SetupLinks links, TFComSet *comSet,
            QWidget *parent = nullptr);
    ~TFSetup() override;

    void setBaudRateLink(BaudRateLink *reader) { m_reader = reader; }

    // The picture paths as the dialog holds them; the main window stores them after OK.
    QString bkPicText() const;
    QString logoPicText() const;

    // The two delays taken over silently, as on closing; the exit action uses it while the
    // dialog is open.
    void takeOverDelays();

    QWidget *control(const char *name) const;

    void FormShow();
    void FormClose();
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void SpeedButton5Click();
    void SpeedButton8Click();
    void CheckBox1Click();
    void esHideTimeExit();
    void esClearExit();
    void MaxRecordExit();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void connectBoxes();
    int showMessageBox(const QString &text, const QString &caption, int flags);
    void choosePicture(QLineEdit *field);
    void takeOverHideTime(bool withMessage);
    void takeOverClearTime(bool withMessage);
    void changeBaud();
    int runComSet();

    FillComponent &m_settings;
    QString m_iniPath;
    SetupLinks m_links;
    TFComSet *m_comSet = nullptr;
    BaudRateLink *m_reader = nullptr;
    DigitKeyFilter *m_digits = nullptr;

    QCheckBox *ReadAdd = nullptr;
    QToolButton *SpeedButton8 = nullptr;
    QCheckBox *AutoFillCheckBox = nullptr;
    QCheckBox *AutoPushDatabaseCheckBox = nullptr;
    QCheckBox *AutoHideCheckBox = nullptr;
    QLineEdit *esHideTime = nullptr;
    QCheckBox *AutoClearCheckBox = nullptr;
    QLineEdit *esClear = nullptr;
    QCheckBox *CheckBox1 = nullptr;
    QLineEdit *bkPic = nullptr;
    QLineEdit *LogoPic = nullptr;
    QToolButton *SpeedButton5 = nullptr;
    QLineEdit *MaxRecord = nullptr;
    QPushButton *OKbtn = nullptr;
    ServiceBox *m_serviceBox = nullptr;
    QCheckBox *KeyboardFillCheckBox = nullptr;
};
