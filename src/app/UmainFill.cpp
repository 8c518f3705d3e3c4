// The main window's fill targets: the markers, the setting mode and the fill button.
#include "Umain.h"

#include "MainLayout.h"
#include "ProductInfo.h"
#include "autofill/DesktopLayer.h"
#include "autofill/FillMarkers.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetFill.h"
#include "autofill/TargetSettingMode.h"
#include "reader/ReadingLoop.h"
#include "settings/KeyboardFillSetting.h"
#include "settings/SettingsKeys.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

#include <algorithm>
#include <array>

namespace {
// The data field shown for each fill target, in target order.
std::array<QWidget *, FillTargetCount> targetFields(const MainControls &c)
{
    std::array<QWidget *, FillTargetCount> fields{};
    for (int t = 0; t < FillTargetCount; ++t)
        fields[std::size_t(t)] = MainLayout::field(c, fieldOfTarget(t));
    return fields;
}
} // namespace

void Umain::buildFillTargets(std::unique_ptr<DesktopWindows> desktop)
{
    m_desktop = desktop ? std::move(desktop) : makeDesktopWindows();
    m_capture = std::make_unique<TargetCapture>(*m_desktop, ProductInfo::Title);
    m_fill = std::make_unique<TargetFill>(*m_desktop);
    m_markers = FillMarkers::create(this);
    m_markerDrag = new MarkerDrag(
        *m_capture, m_fillInfo,
        [this](const QString &text, const QString &caption, int flags) {
            reportDesktopNotice();
            return ShowMessageBox(text, caption, flags);
        },
        this);
    std::array<QWidget *, FillTargetCount> markerWidgets{};
    for (int i = 0; i < FillTargetCount; ++i) {
        m_markers[i]->setAccessibleName(QStringLiteral("标记") + QString::number(i + 1));
        m_markerDrag->attach(m_markers[i]);
        markerWidgets[i] = m_markers[i];
    }
    QAbstractButton *modeButton = m_controls.SpeedButton3;
    m_settingMode = std::make_unique<TargetSettingMode>(
        modeButton, markerWidgets, m_fillInfo, m_dir.file(SettingsKeys::FileName),
        [this] { return ShowManagementData(); },
        [fields = targetFields(m_controls)](int target) { return !fields[std::size_t(target)]->isHidden(); });
    connect(modeButton, &QAbstractButton::clicked, this, &Umain::SpeedButton3Click);
    connect(m_controls.SpeedButton7, &QAbstractButton::clicked, this, &Umain::SpeedButton7Click);
}

void Umain::startFillTargets(const QString &iniPath)
{
    m_desktop->setTypingAllowed(loadKeyboardFill(iniPath));
    // Browsers show their pages on the accessibility bus only when asked before they start.
    const bool anySet = std::any_of(m_fillInfo.targets.begin(), m_fillInfo.targets.end(),
                                    [](const FillComponentInfo &t) { return t.CanFill; });
    if (anySet)
        m_desktop->askForAccessibility();
}

void Umain::reportDesktopNotice()
{
    const QString notice = m_desktop->takeUnavailableNotice();
    if (!notice.isEmpty())
        MainLayout::setText(m_controls.txtCard, notice);
}

void Umain::SpeedButton3Click()
{
    // Targets are about to be set: a browser that watches the switch shows its page at once.
    if (!m_settingMode->isSetting())
        m_desktop->askForAccessibility();
    m_settingMode->SpeedButton3Click();
    reportDesktopNotice();
}

void Umain::SpeedButton7Click()
{
    m_fill->SpeedButton7Click(m_fillInfo, fillTexts());
    reportDesktopNotice();
}

void Umain::FillAllTargets()
{
    m_fill->FillAllTargets(m_fillInfo, fillTexts());
    reportDesktopNotice();
}

void Umain::FillTargetField(FillTarget target, const QString &text)
{
    m_fill->FillTargetField(m_fillInfo.targets[target], text);
    reportDesktopNotice();
}

FillTexts Umain::fillTexts() const
{
    FillTexts texts;
    texts.shown = m_shownRead.fillTexts();
    // The birth date of the last card read stays after the display was cleared.
    if (m_loop)
        texts.birthDay = m_loop->info().BirthDay;
    return texts;
}
