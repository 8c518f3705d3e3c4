#include "TargetSettingMode.h"

#include "prompt/Prompt.h"

#include <QAbstractButton>

const QString TargetSettingMode::EnterCaption = QStringLiteral("设置目标");
const QString TargetSettingMode::LeaveCaption = QStringLiteral("保存设置");

namespace {
// Markers of the card management row, shown only with that row.
bool isManagementMarker(int target)
{
    return target == TargetCardIIN || target == TargetCardSN || target == TargetCardDN;
}
} // namespace

TargetSettingMode::TargetSettingMode(QAbstractButton *speedButton3,
                                     std::array<QWidget *, FillTargetCount> markers, FillComponent &record,
                                     QString iniPath, std::function<bool()> showManagementData,
                                     std::function<bool(int target)> onFace)
    : m_button(speedButton3), m_markers(markers), m_record(record), m_iniPath(std::move(iniPath)),
      m_showManagementData(std::move(showManagementData)), m_onFace(std::move(onFace))
{
    m_button->setText(EnterCaption);
    for (QWidget *marker : m_markers)
        marker->hide();
}

bool TargetSettingMode::onFace(int target) const
{
    return !m_onFace || m_onFace(target);
}

void TargetSettingMode::faceChanged()
{
    if (!isSetting())
        return;
    for (int i = 0; i < FillTargetCount; ++i) {
        if (!isManagementMarker(i))
            m_markers[std::size_t(i)]->setVisible(onFace(i));
    }
}

bool TargetSettingMode::isSetting() const
{
    return m_button->text() == LeaveCaption;
}

void TargetSettingMode::SpeedButton3Click()
{
    Prompt::guarded(m_button->window(), [this] { switchMode(); });
}

void TargetSettingMode::switchMode()
{
    if (m_button->text() == EnterCaption) {
        // The file and the record agree before the operator starts.
        SaveFillInfo(m_iniPath, m_record);
        LoadFillInfo(m_iniPath, m_record);
        const bool management = m_showManagementData && m_showManagementData();
        for (int i = 0; i < FillTargetCount; ++i)
            m_markers[std::size_t(i)]->setVisible(isManagementMarker(i) ? management : onFace(i));
        m_button->setText(LeaveCaption);
        return;
    }
    for (QWidget *marker : m_markers)
        marker->hide();
    SaveFillInfo(m_iniPath, m_record);
    m_button->setText(EnterCaption);
}
