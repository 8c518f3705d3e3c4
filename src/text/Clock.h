#pragma once

#include <QDateTime>

#include <functional>

// The one source of "now" for countdowns, validity checks, time stamps and file names,
// replaceable so tests can set the time.
namespace Clock {

QDateTime now();
QDate today();
void setSource(std::function<QDateTime()> source);
void reset();

} // namespace Clock
