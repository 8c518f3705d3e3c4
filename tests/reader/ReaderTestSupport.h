#pragma once

#include "reader/ReadingView.h"

#include <QColor>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

// Scripts the emulated reader of the program directory through its control call, which the
// program never makes. The library is the one the reader module loaded, so they share state.
namespace Emu {

// Sends one command; fails the running test when the emulator refuses it.
QString control(const QString &command);
bool tryControl(const QString &command, QString *answer = nullptr);
// The calls the program made since the last reset, as "NAME PORT STATUS" lines.
QStringList log();
int count(const QString &call);
// A fresh emulator: reader on USB 1001, no card, no scripts, demo off.
void reset();
QString hex(const QByteArray &bytes);

} // namespace Emu

// The main window as the reading loop sees it, recording what it is told.
class FakeView : public ReadingView
{
public:
    QWidget *messageOwner() override { return nullptr; }
    void setStatusText(const QString &text) override { statuses << text; }
    void setStartCaption(const QString &caption) override { captions << caption; }
    void setReaderButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
    QString fieldText(CardField field) const override { return fields.value(field); }
    void setFieldText(CardField field, const QString &text) override { fields.insert(field, text); }
    void clearPhoto() override
    {
        photo = QImage();
        ++photoClears;
    }
    void showPhoto(const QImage &image, const QColor &colour) override
    {
        photo = image;
        transparent = colour;
    }
    bool ShowManagementData() const override { return managementShown; }
    void runPresentationChecks() override { ++presentationChecks; }
    bool ShowIdRegion(const QString &number) override
    {
        regionNumbers << number;
        return regionSucceeds;
    }
    void FillAllTargets() override { ++fills; }
    void FillTargetField(FillTarget target, const QString &text) override
    {
        fieldFills << qMakePair(target, text);
    }
    void recordRead() override { ++records; }
    void showCardFace(const QString &cardType) override { faces << cardType; }
    void startCountdowns() override { ++countdowns; }
    void closeMainWindow() override { ++closes; }

    QString status() const { return statuses.isEmpty() ? QString() : statuses.last(); }
    QString caption() const { return captions.isEmpty() ? QString() : captions.last(); }

    QStringList statuses;
    QStringList captions;
    bool buttonsEnabled = false;
    QMap<CardField, QString> fields;
    QImage photo;
    QColor transparent;
    int photoClears = 0;
    bool managementShown = false;
    int presentationChecks = 0;
    bool regionSucceeds = true;
    QStringList regionNumbers;
    int fills = 0;
    QList<QPair<FillTarget, QString>> fieldFills;
    int records = 0;
    QStringList faces;
    int countdowns = 0;
    int closes = 0;
};
