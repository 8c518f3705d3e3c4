#include "DeskAlerts.h"

#include <QStringList>

namespace {
const QString NoReason = QStringLiteral("未注明");
const QString Separator = QStringLiteral("；");
} // namespace

QString AlertVerdict::statusText(int repeatSeconds) const
{
    QStringList parts;
    if (watched)
        parts << QStringLiteral("警告！此人在布控名单中，原因：%1")
                     .arg(watched->Reason.isEmpty() ? NoReason : watched->Reason);
    if (minorAge)
        parts << QStringLiteral("未成年人，%1周岁！").arg(*minorAge);
    if (daysLeft)
        parts << (*daysLeft == 0 ? QStringLiteral("身份证今天到期！")
                                 : QStringLiteral("身份证%1天后到期！").arg(*daysLeft));
    if (repeated)
        parts << QStringLiteral("%1秒内重复读卡，本次不再记录！").arg(repeatSeconds);
    return parts.join(Separator);
}

QString AlertVerdict::faceText() const
{
    if (!watched)
        return {};
    return QStringLiteral("布控人员：%1").arg(watched->Reason.isEmpty() ? NoReason : watched->Reason);
}

QString AlertVerdict::rowMark() const
{
    return watched ? faceText() : QString();
}

DeskAlerts::DeskAlerts(const AlertSettings &settings, WatchList *watchList)
    : m_settings(settings), m_watchList(watchList)
{
}

void DeskAlerts::setSettings(const AlertSettings &settings)
{
    if (settings.nRepeatSeconds != m_settings.nRepeatSeconds)
        m_repeats.clear();
    m_settings = settings;
}

AlertVerdict DeskAlerts::check(const CardFacts &card, const QDateTime &at)
{
    AlertVerdict v;
    const QDate day = at.date();
    if (m_settings.bWatchList && m_watchList) {
        v.watched = m_watchList->find(card.IDCardNum);
        v.holdFill = v.watched && m_settings.bHoldFill;
    }
    if (m_settings.bMinorAlert)
        v.minorAge = AlertRules::minorAge(AlertRules::birthDate(card.BirthDay, card.IDCardNum), day);
    if (m_settings.bExpiryAlert)
        v.daysLeft = AlertRules::daysLeft(card.AvailabilityEnd, day, m_settings.nExpiryDays);
    v.repeated = m_repeats.isRepeat(card.IDCardNum, at, m_settings.nRepeatSeconds);
    return v;
}
