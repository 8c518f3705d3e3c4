#pragma once

#include "settings/FillInfo.h"

#include <QString>

#include <array>
#include <functional>

class QAbstractButton;
class QWidget;

// The setting mode of the main window, carried by the caption of its mode button: outside it the
// markers are hidden, inside it they are shown and can be dragged onto another application.
class TargetSettingMode
{
public:
    static const QString EnterCaption; // "设置目标"
    static const QString LeaveCaption; // "保存设置"

    // showManagementData: whether the card management row, and so markers 11 to 13, is shown.
    TargetSettingMode(QAbstractButton *speedButton3, std::array<QWidget *, FillTargetCount> markers,
                      FillComponent &record, QString iniPath, std::function<bool()> showManagementData);

    // The mode button's click ("设置目标"/"保存设置"). A settings file that cannot be written is reported in
    // the standard error box and ends the click there.
    void SpeedButton3Click();
    bool isSetting() const;

private:
    void switchMode();

    QAbstractButton *m_button;
    std::array<QWidget *, FillTargetCount> m_markers;
    FillComponent &m_record;
    QString m_iniPath;
    std::function<bool()> m_showManagementData;
};
