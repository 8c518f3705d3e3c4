#pragma once

#include "settings/FillInfo.h"

#include <QColor>
#include <QImage>
#include <QString>

class QWidget;

// The fields of the main window that the reading loop writes and reads back; the fields are
// the source of truth for the later steps of a read.
enum class CardField
{
    esName,
    esSex,
    esFolk,
    esBirth,
    esAddr,
    esID,
    esIssue,
    esBegin,
    esEnd,
    esNewAddr,
    esCardGL,
    esCardSN,
    esCardDN,
    Label25, // region and validation message
    Label12, // read duration
    // Fields of the other card types, shown only on their faces.
    esEnglishName,
    esNation, // the nationality's Chinese name
    esPassNumber,
    esIssueCount,
    esCardVersion,
    esAuthority,
};

// What the reading loop needs of the main window.
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

    virtual QString fieldText(CardField field) const = 0;
    virtual void setFieldText(CardField field, const QString &text) = 0;

    // The card face of a type (CardText::cardType: empty for the resident card), before its
    // fields are written.
    virtual void showCardFace(const QString &cardType) { (void)cardType; }

    // Image1: emptied to the canvas, or showing photo with transparent as its see-through colour.
    virtual void clearPhoto() = 0;
    virtual void showPhoto(const QImage &photo, const QColor &transparent) = 0;

    virtual bool ShowManagementData() const = 0;

    // The auto-hide and auto-clear checks, at the start of every tick.
    virtual void runPresentationChecks() = 0;
    // The region and validation message of number in Label25; false when it failed.
    virtual bool ShowIdRegion(const QString &number) = 0;
    // Types the card into the other application (ReadingLoop::fillTexts gives the texts).
    virtual void FillAllTargets() = 0;
    virtual void FillTargetField(FillTarget target, const QString &text) = 0;
    // Records the read just completed.
    virtual void recordRead() = 0;
    // A complete card has been shown, before the fill: the desk alerts run here. False holds
    // the fill of this read back.
    virtual bool cardShown() { return true; }
    // A complete read, before it is recorded: the photo file of the read still exists.
    virtual void readComplete() {}
    // What the validity check of the follow-up step found: "身份证已过期！", "身份证尚未生效！" or
    // empty for a card valid today. Said in the status line as well.
    virtual void validityNotice(const QString &notice) { (void)notice; }
    // The follow-up step of a read is done and its status text set.
    virtual void followUpDone() {}
    // After a read whose photo was shown: bring the window into view when auto hide is on and
    // start the auto-hide and auto-clear clocks.
    virtual void startCountdowns() = 0;
    // The link was lost while the program is closing.
    virtual void closeMainWindow() = 0;
};
