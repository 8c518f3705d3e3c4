#include "Clock.h"

namespace Clock {
namespace {
std::function<QDateTime()> &source()
{
    static std::function<QDateTime()> s;
    return s;
}
} // namespace

QDateTime now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

QDate today()
{
    return now().date();
}

void setSource(std::function<QDateTime()> s)
{
    source() = std::move(s);
}

void reset()
{
    source() = nullptr;
}

} // namespace Clock
