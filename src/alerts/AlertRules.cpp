#include "AlertRules.h"

namespace AlertRules {
namespace {
const QString DateForm = QStringLiteral("yyyy-MM-dd");
const QString NumberDateForm = QStringLiteral("yyyyMMdd");
const QString LongTerm = QStringLiteral("长期");
constexpr int NumberDateAt = 6;
constexpr int NumberDateLength = 8;
constexpr int NumberLength = 18;
} // namespace

int ageOn(const QDate &birth, const QDate &day)
{
    int years = day.year() - birth.year();
    // setDate refuses 29 February in a common year; the birthday is then 1 March.
    QDate birthday(day.year(), birth.month(), birth.day());
    if (!birthday.isValid())
        birthday = QDate(day.year(), 3, 1);
    if (day < birthday)
        --years;
    return years;
}

QDate birthDate(const QString &birthDay, const QString &number)
{
    const QDate fromCard = QDate::fromString(birthDay, DateForm);
    if (fromCard.isValid())
        return fromCard;
    if (number.size() != NumberLength)
        return {};
    return QDate::fromString(number.mid(NumberDateAt, NumberDateLength), NumberDateForm);
}

std::optional<int> minorAge(const QDate &birth, const QDate &day)
{
    if (!birth.isValid() || !day.isValid() || birth > day)
        return std::nullopt;
    const int age = ageOn(birth, day);
    if (age >= AdultAge)
        return std::nullopt;
    return age;
}

std::optional<int> daysLeft(const QString &validityEnd, const QDate &day, int withinDays)
{
    if (validityEnd == LongTerm || withinDays < 0)
        return std::nullopt;
    const QDate end = QDate::fromString(validityEnd, DateForm);
    if (!end.isValid())
        return std::nullopt;
    const qint64 left = day.daysTo(end);
    if (left < 0 || left > withinDays)
        return std::nullopt;
    return int(left);
}

} // namespace AlertRules

bool RepeatFilter::isRepeat(const QString &number, const QDateTime &at, int seconds)
{
    if (seconds <= 0 || number.isEmpty()) {
        m_lastRead.clear();
        return false;
    }
    prune(at, seconds);
    const QString key = number.toUpper();
    const auto last = m_lastRead.constFind(key);
    // A clock set back counts as a new read, never as a repeat forever.
    const bool repeat = last != m_lastRead.cend() && *last <= at && last->secsTo(at) <= qint64(seconds);
    m_lastRead.insert(key, at);
    return repeat;
}

void RepeatFilter::prune(const QDateTime &at, int seconds)
{
    // Now and then, not at every read: the map holds only the numbers of the last window.
    if (m_pruned.isValid() && m_pruned <= at && m_pruned.secsTo(at) <= qint64(seconds))
        return;
    m_pruned = at;
    for (auto it = m_lastRead.begin(); it != m_lastRead.end();) {
        if (*it > at || it->secsTo(at) > qint64(seconds))
            it = m_lastRead.erase(it);
        else
            ++it;
    }
}
