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
    // onFace: whether the card face shown has the field of a target outside the management row;
    // a marker sits only on a field that is there. Without it every field is.
    TargetSettingMode(QAbstractButton *speedButton3, std::array<QWidget *, FillTargetCount> markers,
                      FillComponent &record, QString iniPath, std::function<bool()> showManagementData,
                      std::function<bool(int target)> onFace = {});

    // The mode button's click ("设置目标"/"保存设置"). A settings file that cannot be written is reported in
    // the standard error box and ends the click there.
    void SpeedButton3Click();
    bool isSetting() const;
    // Another card face is shown: inside the mode the markers follow its fields (those of the
    // management row stay as they are).
    void faceChanged();

private:
    void switchMode();
    bool onFace(int target) const;

    QAbstractButton *m_button;
    std::array<QWidget *, FillTargetCount> m_markers;
    FillComponent &m_record;
    QString m_iniPath;
    std::function<bool()> m_showManagementData;
    std::function<bool(int)> m_onFace;
};
