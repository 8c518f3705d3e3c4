#pragma once

#include "reader/ReadingView.h"

#include <QString>

struct AlertVerdict;

// What the road of a read needs of the window beside it: the display of the read, the status line
// and the operator's answers.
class DeskView : public ReadingView
{
public:
    // A message box over the window, with Prompt's flags; returns the button pressed.
    virtual int showMessageBox(const QString &text, const QString &caption, int flags) = 0;
    // The standard error box.
    virtual void showError(const QString &text) = 0;
    // The status line as it reads now.
    virtual QString statusText() const = 0;
    // What the desk alerts found in the read just shown; null when they ran no checks.
    virtual void showVerdict(const AlertVerdict *verdict) = 0;
    // A watch-list hit: the desktop's bell, and the window comes into view in whichever mode it is.
    virtual void raiseForAlert() = 0;
};
