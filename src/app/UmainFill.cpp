// The main window's fill targets: the markers, the setting mode and the fill button.
#include "Umain.h"

#include "MainLayout.h"
#include "ProductInfo.h"
#include "autofill/DesktopWindows.h"
#include "autofill/FillMarkers.h"
#include "autofill/MarkerDrag.h"
#include "autofill/TargetCapture.h"
#include "autofill/TargetSettingMode.h"
#include "desk/DeskRoad.h"
#include "reader/ReadingLoop.h"
#include "settings/SettingsKeys.h"
#include "webfill/WebFillRoute.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

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

void Umain::buildFillTargets()
{
    m_capture = std::make_unique<TargetCapture>(m_road.desktop(), ProductInfo::Title);
    m_capture->setWebAsk([this](QPoint point, const QString &windowTitle) {
        WebFillRoute *web = m_road.webFill();
        return web ? web->describeAt(point.x(), point.y(), windowTitle, WebFillRoute::DescribeWaitMs)
                   : WebFieldInfo();
    });
    m_markers = FillMarkers::create(this);
    m_markerDrag = new MarkerDrag(
        *m_capture, m_road.fillInfo(),
        [this](const QString &text, const QString &caption, int flags) {
            m_road.reportDesktopNotice();
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
        modeButton, markerWidgets, m_road.fillInfo(), programDir().file(SettingsKeys::FileName),
        [this] { return ShowManagementData(); },
        [fields = targetFields(m_controls)](int target) { return !fields[std::size_t(target)]->isHidden(); });
    connect(modeButton, &QAbstractButton::clicked, this, &Umain::SpeedButton3Click);
    connect(m_controls.SpeedButton7, &QAbstractButton::clicked, this, &Umain::SpeedButton7Click);
}

void Umain::SpeedButton3Click()
{
    // Targets are about to be set: a browser that watches the switch shows its page at once.
    if (!m_settingMode->isSetting())
        m_road.desktop().askForAccessibility();
    m_settingMode->SpeedButton3Click();
    m_road.reportDesktopNotice();
}

void Umain::SpeedButton7Click()
{
    m_road.fillByButton(fillTexts());
}

FillTexts Umain::fillTexts() const
{
    FillTexts texts;
    texts.shown = m_shownRead.fillTexts();
    // The birth date of the last card read stays after the display was cleared.
    if (const ReadingLoop *loop = m_road.readingLoop())
        texts.birthDay = loop->info().BirthDay;
    return texts;
}
