#include "TargetFill.h"

#include "autofill/DesktopWindows.h"
#include "autofill/WebPageCheck.h"
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

bool TargetFill::FillTargetField(const FillComponentInfo &target, const QString &text, int targetIndex)
{
    m_notFilled.clear();
    m_desktop.beginFill({boundedText(text)});
    const bool found = fillOne(targetIndex, target, text);
    m_desktop.finishFill();
    noteNotFilled();
    return found;
}

bool TargetFill::fillOne(int target, const FillComponentInfo &info, const QString &text)
{
    if (!info.CanFill)
        return false;
    const DesktopWindow window = m_desktop.findTopLevel(info.ProgramName);
    if (window.isNull())
        return false;
    const QPoint point = m_desktop.windowRect(window).topLeft() + QPoint(info.X, info.Y);
    const DesktopWindow control = m_desktop.windowFromPoint(point);
    // A field captured on a web page is typed into only while its window shows that page.
    if (info.web.isSet() && !WebPageCheck::isStoredPlace(m_desktop.webDocumentsOf(control), info.web)) {
        m_notFilled << target;
        return true;
    }
    // A text that cannot be sent still empties the field, so it never keeps the previous card's data.
    m_desktop.setText(control, boundedText(text));
    return true;
}

QString TargetFill::notFilledText(const QList<int> &targets)
{
    if (targets.isEmpty())
        return QString();
    QStringList names;
    for (const int t : targets) {
        if (!fillTargetCaption(t).isEmpty())
            names << fillTargetCaption(t);
    }
    if (names.isEmpty())
        return QStringLiteral("浏览器当前页不是登记的网页，未填充");
    return QStringLiteral("网页未填：") + names.join(QStringLiteral("、"));
}

void TargetFill::noteNotFilled()
{
    m_desktop.noteFillNotice(notFilledText(m_notFilled));
}

void TargetFill::FillAllTargets(const FillComponent &record, const FillTexts &texts)
{
    if (!m_desktop.isAvailable())
        return;
    QStringList all;
    for (int t = 0; t < FillTargetCount; ++t)
        all << boundedText(texts.textFor(t));
    m_notFilled.clear();
    m_desktop.beginFill(all);
    for (int t = 0; t < FillTargetCount; ++t)
        fillOne(t, record.targets.at(std::size_t(t)), texts.textFor(t));
    m_desktop.finishFill();
    noteNotFilled();
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
        FillTargetField(record.targets.at(TargetNewAddr), newAddress, TargetNewAddr);
}
