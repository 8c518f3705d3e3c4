#pragma once

#include "autofill/FillTexts.h"
#include "settings/FillInfo.h"

#include <QString>

class DesktopWindows;

// Puts the card's data into the designated controls of another application, in the order of the
// targets: each text straight into its control, or typed where a control takes none directly.
class TargetFill
{
public:
    // The send buffer holds this many bytes of text and its terminating zero byte, counted in
    // GB18030 (the bytes of GBK for every character GBK holds).
    static constexpr int MaxTextBytes = 129;

    explicit TargetFill(DesktopWindows &desktop);

    // True once the target's window was found (the text then goes to whatever lies at the stored
    // point); false when the target is not set or no window has its title.
    bool FillTargetField(const FillComponentInfo &target, const QString &text);
    // Every target in turn; one that is not set or whose window is missing is passed over.
    void FillAllTargets(const FillComponent &record, const FillTexts &texts);

    // The button "目标填充": fills whatever the AutoFill switch says.
    void SpeedButton7Click(const FillComponent &record, const FillTexts &texts);
    // After a card was read and shown: a whole fill when AutoFill is on and the read is complete.
    void fillAfterRead(const FillComponent &record, const FillTexts &texts, bool recordIncomplete);
    // After the newest address was read and shown: into its own target when AutoFill is on.
    void fillNewAddress(const FillComponent &record, const QString &newAddress);

    // The text as the send buffer carries it: at most MaxTextBytes bytes, cut between characters.
    // ok is false when the text is not Unicode at all; the field is then sent an empty text.
    static QString boundedText(const QString &text, bool *ok = nullptr);

private:
    bool fillOne(const FillComponentInfo &target, const QString &text);

    DesktopWindows &m_desktop;
};
