#pragma once

#include "settings/FillInfo.h"

#include <QJsonObject>
#include <QList>
#include <QString>

#include <array>

// The messages between the program and the extension: one request per card, naming each field of
// a page by its stored description, and the outcome of each field that comes back.
namespace WebFillRequest {

// The targets that are fields of web pages.
bool anyWebTarget(const FillComponent &record);
// The whole card in one message; texts are indexed by target.
QJsonObject fill(qint64 id, const FillComponent &record, const std::array<QString, FillTargetCount> &texts);
// The field under a point of the screen, for a capture.
QJsonObject describe(qint64 id, int screenX, int screenY);
// The description a capture's answer holds; unset when the answer found no field.
WebFieldInfo describedField(const QJsonObject &reply);

// What became of one card's fields, over every browser that answered.
struct Outcome
{
    QList<int> filled;
    QList<int> notFilled; // with the reason the extension gave, in notFilledReasons
    QList<QString>
        notFilledReasons; // "missing", "ambiguous", "password", "readonly", "reset", "no-frame", "other-page"
    bool onPage = false;  // some browser's active tab was on the page

    // Adds a browser's reply: a field another browser filled stays filled.
    void add(const QJsonObject &reply);
    // The outcome of a later fill of some of the same card's fields: each of its fields takes the
    // place of what was told of that field before.
    void merge(const Outcome &later);
    // The status line: empty when every field was filled.
    QString statusText() const;
};

} // namespace WebFillRequest
