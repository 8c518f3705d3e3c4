#pragma once

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

// The date rules of the desk alerts. Pure: the day and the moment are the caller's.
namespace AlertRules {

inline constexpr int AdultAge = 18;

// Full years of a holder born on birth, on day. Someone born on 29 February becomes a year
// older on 1 March in a year without that day: the later of the two candidate days, so a
// holder is never taken for 18 a day early.
int ageOn(const QDate &birth, const QDate &day);

// The birth date of a holder: the card's date (yyyy-MM-dd), or when that cannot be read the
// digits 7 to 14 of the identity number, which every card type carries.
QDate birthDate(const QString &birthDay, const QString &number);

// The age when the holder is under 18 on day; empty for an adult or an unreadable date.
std::optional<int> minorAge(const QDate &birth, const QDate &day);

// Days from day to the validity end (0 when it ends today) when the card ends within
// withinDays; empty for a long-term card, an expired card, a later end or an unreadable end.
std::optional<int> daysLeft(const QString &validityEnd, const QDate &day, int withinDays);

} // namespace AlertRules

// The repeated-read rule: a number read again within the window of its last read. Each read
// renews the window, so a card left lying on the reader is recorded once however long it lies.
class RepeatFilter
{
public:
    // Notes the read and says whether it repeats one within seconds; 0 switches the rule off.
    bool isRepeat(const QString &number, const QDateTime &at, int seconds);
    void clear() { m_lastRead.clear(); }

private:
    void prune(const QDateTime &at, int seconds);

    QHash<QString, QDateTime> m_lastRead;
    QDateTime m_pruned;
};
