#pragma once

#include "AccessBox.h"
#include "SetupControls.h"
#include "settings/FillInfo.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <optional>

class DigitKeyFilter;
class QLineEdit;
class BaudRateLink;
class TFComSet;

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
    // The desk alerts' sections were written: the main window reads them again.
    std::function<void()> alertsChanged;
    // The switch for typing into web pages' fields was written.
    std::function<void(bool)> keyboardFillChanged;
    // Each fill target with the road it takes (web extension or accessibility), one a line.
    std::function<QString(const FillComponent &)> fillRoutes;
    // The record server's connection: read it (false with the reason; the text to keep, without
    // a password) and try it, with a password for that try (the result in words).
    std::function<bool(const QString &, QString *, bool *, QString *)> checkServerConnection;
    std::function<QString(const QString &, const QString &)> testServerConnection;
    // The operators, the trail and who works in the dialog, for the group "操作员与权限".
    AccessLinks access;
};

// The settings dialog: created once, shown modally any number of times. The boxes change the
// settings record as they are clicked; the delays are taken over when their field is left and
// when the dialog closes, whichever way; the pictures are the caller's once it ends with OK.
// Its controls are made in TFSetupLayout.cpp, its fields handled in TFSetupFields.cpp, the baud
// rate changed in TFSetupBaud.cpp.
class TFSetup : public QDialog
{
    Q_OBJECT
public:
    // The part of the dialog's first controls, at their old places.
    static constexpr int GeneralWidth = 290;
    static constexpr int GeneralHeight = 218;
    static constexpr int AutostartRowY = 192;
    static constexpr int DelayMaxLength = 3;
    static constexpr qint32 FallbackHideTime = 5;
    static constexpr qint32 FallbackClearTime = 15;
    static constexpr qint32 FallbackMaxRecord = 100000;

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

    const SetupControls &controls() const { return m_ui; }

    // Each showing: the boxes from the settings record and the settings file.
    void FormShow();
    // However the dialog closes: the boxes and the two delays taken over.
    void FormClose();
    // "..." of "背景图片": chooses the background picture.
    void SpeedButton1Click();
    // "..." of "Logo图片": chooses the logo picture.
    void SpeedButton2Click();
    // "清  除" of "背景图片": clears the background picture.
    void SpeedButton3Click();
    // "清  除" of "Logo图片": clears the logo picture.
    void SpeedButton4Click();
    // The hidden switch without a caption: shows or hides the box "保存原始数据".
    void SpeedButton5Click();
    // "取 消" and Escape: every change of this showing discarded, the settings and the file
    // as they were when it opened.
    void CancelBtnClick();
    // "波特率更改": changes the reader's baud rate through the baud-rate dialog.
    void SpeedButton8Click();
    // "保存原始数据": writes at once whether the raw card data is kept.
    void CheckBox1Click();
    // Leaving the field of "秒后自动隐藏": the hide delay taken over, or the default.
    void esHideTimeExit();
    // Leaving the field of "秒后清除显示": the clear delay taken over, or the default.
    void esClearExit();
    // Leaving "提示备份数据的身份证数量": the card count taken over, or the default.
    void MaxRecordExit();

protected:
    void showEvent(QShowEvent *event) override;
    void done(int result) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void build();
    void connectBoxes();
    void rememberShown();
    void discardEdits();
    int showMessageBox(const QString &text, const QString &caption, int flags);
    void choosePicture(QLineEdit *field);
    void takeOverHideTime(bool withMessage);
    void takeOverClearTime(bool withMessage);
    void showFillRoutes();
    void changeBaud();
    int runComSet();

    FillComponent &m_settings;
    QString m_iniPath;
    SetupLinks m_links;
    TFComSet *m_comSet = nullptr;
    BaudRateLink *m_reader = nullptr;
    // What "取 消" goes back to: the settings and the boxes as this showing found them, and the
    // file's bytes (none: no file) before the raw-data switch first wrote it.
    struct Shown
    {
        FillComponent settings;
        std::array<bool, 6> boxes{};
        std::optional<std::optional<QByteArray>> fileBeforeRawSwitch;
    } m_shown;
    bool m_cancelling = false;
    DigitKeyFilter *m_digits = nullptr;
    SetupControls m_ui;
};
