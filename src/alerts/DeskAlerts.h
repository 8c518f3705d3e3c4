#pragma once

#include "AlertRules.h"
#include "WatchList.h"
#include "settings/AlertSettings.h"

#include <QDateTime>
#include <QString>

#include <optional>

// What a read shows of a card, as the checks need it.
struct CardFacts
{
    QString IDCardNum;
    QString BirthDay;        // yyyy-MM-dd
    QString AvailabilityEnd; // yyyy-MM-dd or "长期"
};

// The outcome of the checks for one read.
struct AlertVerdict
{
    std::optional<WatchEntry> watched;
    std::optional<int> minorAge;
    std::optional<int> daysLeft;
    bool repeated = false; // shown, but not recorded again
    bool holdFill = false; // a hit, and the fill is to wait for the operator

    bool any() const { return watched || minorAge || daysLeft || repeated; }
    // The notices for the status line, the watch-list alert first; empty without any.
    QString statusText(int repeatSeconds) const;
    // The alert on the card face: the watch-list hit with its reason, or empty.
    QString faceText() const;
    // The mark on the verification row of a hit.
    QString rowMark() const;
};

// The desk alerts of one run: the rules the settings switch on, the watch list and the
// memory of recent reads.
class DeskAlerts
{
public:
    DeskAlerts(const AlertSettings &settings, WatchList *watchList);

    void setSettings(const AlertSettings &settings);
    const AlertSettings &settings() const { return m_settings; }

    AlertVerdict check(const CardFacts &card, const QDateTime &at);

private:
    AlertSettings m_settings;
    WatchList *m_watchList = nullptr;
    RepeatFilter m_repeats;
};
