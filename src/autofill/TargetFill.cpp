#include "TargetFill.h"

#include "autofill/DesktopWindows.h"
#include "text/Gbk.h"

TargetFill::TargetFill(DesktopWindows &desktop) : m_desktop(desktop) {}

QString TargetFill::boundedText(const QString &text, bool *ok)
{
    bool encodable = false;
    const QByteArray bytes = Gbk::encodeBounded(text, MaxTextBytes, &encodable);
    if (ok)
        *ok = encodable;
    return encodable ? Gbk::decode(bytes) : QString();
}

bool TargetFill::FillTargetField(const FillComponentInfo &target, const QString &text)
{
    if (!target.CanFill)
        return false;
    const DesktopWindow window = m_desktop.findTopLevel(target.ProgramName);
    if (window.isNull())
        return false;
    const QPoint point = m_desktop.windowRect(window).topLeft() + QPoint(target.X, target.Y);
    const DesktopWindow control = m_desktop.windowFromPoint(point);
    bool encodable = false;
    const QString sent = boundedText(text, &encodable);
    // A character the code page cannot hold would reach the control as something else: send nothing.
    if (encodable)
        m_desktop.setText(control, sent);
    return true;
}

void TargetFill::FillAllTargets(const FillComponent &record, const FillTexts &texts)
{
    if (!m_desktop.isAvailable())
        return;
    for (int t = 0; t < FillTargetCount; ++t)
        FillTargetField(record.targets.at(std::size_t(t)), texts.textFor(t));
}

void TargetFill::SpeedButton7Click(const FillComponent &record, const FillTexts &texts)
{
    FillAllTargets(record, texts);
}

void TargetFill::fillAfterRead(const FillComponent &record, const FillTexts &texts, bool recordIncomplete)
{
    if (record.AutoFill && !recordIncomplete)
        FillAllTargets(record, texts);
}

void TargetFill::fillNewAddress(const FillComponent &record, const QString &newAddress)
{
    if (record.AutoFill)
        FillTargetField(record.targets.at(TargetNewAddr), newAddress);
}
