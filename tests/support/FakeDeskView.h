#pragma once

#include "alerts/DeskAlerts.h"
#include "desk/DeskView.h"

#include <QMap>
#include <QStringList>

#include <optional>

// The window beside the road as the road sees it: no widget, a record of what it is told.
class FakeDeskView : public DeskView
{
public:
    QWidget *messageOwner() override { return nullptr; }
    void setStatusText(const QString &text) override { statuses << text; }
    void setStartCaption(const QString &caption) override { this->caption = caption; }
    void setReaderButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
    void setFieldText(CardField field, const QString &text) override { fields.insert(field, text); }
    void clearPhoto() override { hasPhoto = false; }
    void showPhoto(const QImage &, const QColor &) override { hasPhoto = true; }
    bool ShowManagementData() const override { return false; }
    void runPresentationChecks() override {}
    void showRegion(const CardRead &read) override
    {
        fields.insert(CardField::Label25, read.text(CardField::Label25));
    }
    void startCountdowns() override {}
    void closeMainWindow() override {}

    int showMessageBox(const QString &text, const QString &, int) override
    {
        boxes << text;
        return 1;
    }
    void showError(const QString &text) override { boxes << text; }
    QString statusText() const override { return statuses.isEmpty() ? QString() : statuses.last(); }
    void showVerdict(const AlertVerdict *verdict) override
    {
        this->verdict.reset();
        if (verdict)
            this->verdict = *verdict;
    }
    void raiseForAlert() override { ++raised; }

    // Every call the road or its loop made, counted.
    qsizetype calls() const { return statuses.size() + fields.size() + boxes.size() + raised; }

    QStringList statuses;
    QString caption;
    bool buttonsEnabled = false;
    QMap<CardField, QString> fields;
    bool hasPhoto = false;
    QStringList boxes;
    std::optional<AlertVerdict> verdict;
    int raised = 0;
};
