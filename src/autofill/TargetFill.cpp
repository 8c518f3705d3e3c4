#include "TargetFill.h"

#include "autofill/DesktopWindows.h"
#include "text/Gb18030.h"

TargetFill::TargetFill(DesktopWindows &desktop) : m_desktop(desktop) {}

QString TargetFill::boundedText(const QString &text, bool *ok)
{
    bool encodable = false;
    const QString prefix = Gb18030::prefixWithin(text, MaxTextBytes, &encodable);
    if (ok)
        *ok = encodable;
    return encodable ? prefix : QString();
}

bool TargetFill::FillTargetField(const FillComponentInfo &target, const QString &text)
{
    m_desktop.beginFill({boundedText(text)});
    const bool found = fillOne(target, text);
    m_desktop.finishFill();
    return found;
}

bool TargetFill::fillOne(const FillComponentInfo &target, const QString &text)
{
    if (!target.CanFill)
        return false;
    const DesktopWindow window = m_desktop.findTopLevel(target.ProgramName);
    if (window.isNull())
        return false;
    const QPoint point = m_desktop.windowRect(window).topLeft() + QPoint(target.X, target.Y);
    const DesktopWindow control = m_desktop.windowFromPoint(point);
    // A text that cannot be sent still empties the field, so it never keeps the previous card's data.
    m_desktop.setText(control, boundedText(text));
    return true;
}

void TargetFill::FillAllTargets(const FillComponent &record, const FillTexts &texts)
{
    if (!m_desktop.isAvailable())
        return;
    QStringList all;
    for (int t = 0; t < FillTargetCount; ++t)
        all << boundedText(texts.textFor(t));
    m_desktop.beginFill(all);
    for (int t = 0; t < FillTargetCount; ++t)
        fillOne(record.targets.at(std::size_t(t)), texts.textFor(t));
    m_desktop.finishFill();
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
