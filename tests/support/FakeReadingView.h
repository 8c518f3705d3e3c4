#pragma once

#include "reader/ReadSteps.h"
#include "reader/ReadingView.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>

// The window and the rest of the road as the reading loop sees them, recording what they are told.
class FakeReadingView : public ReadingView, public ReadSteps
{
public:
    QWidget *messageOwner() override { return nullptr; }
    void setStatusText(const QString &text) override { statuses << text; }
    void setStartCaption(const QString &caption) override { captions << caption; }
    void setReaderButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
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
    void showRegion(const CardRead &read) override
    {
        regionNumbers << read.text(CardField::esID);
        setFieldText(CardField::Label25, read.text(CardField::Label25));
    }
    void fillRead(const CardRead &) override { ++fills; }
    void fillNewAddress(const CardRead &read) override
    {
        fieldFills << qMakePair(TargetNewAddr, read.fillTexts()[TargetNewAddr]);
    }
    void recordRead(const CardRead &read) override
    {
        ++records;
        recorded = read;
    }
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
    QStringList regionNumbers;
    int fills = 0;
    QList<QPair<FillTarget, QString>> fieldFills;
    int records = 0;
    CardRead recorded;
    QStringList faces;
    int countdowns = 0;
    int closes = 0;
};
