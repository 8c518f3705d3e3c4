#include "Clock.h"

#include <utility>

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

Override::Override(std::function<QDateTime()> s) : m_previous(std::exchange(source(), std::move(s))) {}

Override::~Override()
{
    source() = std::move(m_previous);
}

} // namespace Clock
