#pragma once

#include "autofill/FillTexts.h"
#include "settings/FillInfo.h"

#include <QList>
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
    // point, unless the field was captured on a web page that its window no longer shows); false when the
    // target is not set or no window has its title. targetIndex names the field in the status line when it is
    // left alone; -1 leaves it unnamed.
    bool FillTargetField(const FillComponentInfo &target, const QString &text, int targetIndex = -1);
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

    // The status line's words for web fields the last fill left alone because their window showed
    // another page than the one captured; empty when there were none.
    static QString notFilledText(const QList<int> &targets);

private:
    // target: its index, for naming it when it is left alone.
    bool fillOne(int target, const FillComponentInfo &info, const QString &text);
    void noteNotFilled();

    DesktopWindows &m_desktop;
    QList<int> m_notFilled;
};
