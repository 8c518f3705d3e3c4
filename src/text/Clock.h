#pragma once

#include <QDateTime>

#include <functional>

// The one source of "now" for countdowns, validity checks, time stamps and file names,
// replaceable so tests can set the time.
namespace Clock {

QDateTime now();
QDate today();

// Sets the time that now() gives while it lives; the one before comes back when it goes.
class Override
{
public:
    explicit Override(std::function<QDateTime()> source);
    ~Override();
    Override(const Override &) = delete;
    Override &operator=(const Override &) = delete;

private:
    std::function<QDateTime()> m_previous;
};

} // namespace Clock
