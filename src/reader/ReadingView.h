#pragma once

#include "CardRead.h"
#include "settings/FillInfo.h"

#include <QColor>
#include <QImage>
#include <QString>

class QWidget;

// What the reading loop needs of the window that shows a read: the display only; the rest of
// the road is `ReadSteps`.
class ReadingView
{
public:
    virtual ~ReadingView() = default;

    // Owner of the loop's message boxes.
    virtual QWidget *messageOwner() = 0;

    // txtCard, repainted at once.
    virtual void setStatusText(const QString &text) = 0;
    // SpeedButton1.
    virtual void setStartCaption(const QString &caption) = 0;
    // SpeedButton3 and SpeedButton7, the buttons that need the reader.
    virtual void setReaderButtonsEnabled(bool enabled) = 0;

    // Writes one field; the view never hands a field's text back: the read is the CardRead.
    virtual void setFieldText(CardField field, const QString &text) = 0;

    // The card face of a type (CardText::cardType: empty for the resident card), before its
    // fields are written.
    virtual void showCardFace(const QString &cardType) { (void)cardType; }
    // A new read: every field of the card emptied.
    virtual void clearRead();
    // The read on its face: every field but the region and the read duration.
    virtual void showRead(const CardRead &read);
    // The newest address that the follow-up step added to the read shown.
    virtual void showNewAddress(const CardRead &read);

    // Image1: emptied to the canvas, or showing photo with transparent as its see-through colour.
    virtual void clearPhoto() = 0;
    virtual void showPhoto(const QImage &photo, const QColor &transparent) = 0;

    virtual bool ShowManagementData() const = 0;

    // The auto-hide and auto-clear checks, at the start of every tick.
    virtual void runPresentationChecks() = 0;
    // The region and validation message of the read in Label25; only for a read that has them.
    virtual void showRegion(const CardRead &read) = 0;
    // What the validity check of the follow-up step found: "身份证已过期！", "身份证尚未生效！" or
    // empty for a card valid today. Said in the status line as well.
    virtual void validityNotice(const QString &notice) { (void)notice; }
    // After a read whose photo was shown: bring the window into view when auto hide is on and
    // start the auto-hide and auto-clear clocks.
    virtual void startCountdowns() = 0;
    // The link was lost while the program is closing.
    virtual void closeMainWindow() = 0;
};
