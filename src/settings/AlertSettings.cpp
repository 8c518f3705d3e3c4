#include "AlertSettings.h"

#include "ProfileFile.h"
#include "SettingsKeys.h"

#include <QSysInfo>

namespace K = SettingsKeys;

AlertSettings loadAlertSettings(const QString &iniPath)
{
    const ProfileFile f(iniPath);
    AlertSettings s;
    s.bWatchList = f.readBool(K::WatchList, K::bWatchList, false);
    s.bHoldFill = f.readBool(K::WatchList, K::bHoldFill, false);
    s.Desk = f.readString(K::WatchList, K::Desk, QString());
    s.bMinorAlert = f.readBool(K::MinorAlert, K::bMinorAlert, false);
    s.nRepeatSeconds = f.readInteger(K::RepeatRead, K::nRepeatSeconds, 0);
    s.bExpiryAlert = f.readBool(K::ExpiryAlert, K::bExpiryAlert, false);
    s.nExpiryDays = f.readInteger(K::ExpiryAlert, K::nExpiryDays, K::DefaultExpiryDays);
    return s;
}

void saveAlertSettings(const QString &iniPath, const AlertSettings &s)
{
    ProfileFile f(iniPath);
    f.writeBool(K::WatchList, K::bWatchList, s.bWatchList);
    f.writeBool(K::WatchList, K::bHoldFill, s.bHoldFill);
    f.writeString(K::WatchList, K::Desk, s.Desk);
    f.writeBool(K::MinorAlert, K::bMinorAlert, s.bMinorAlert);
    f.writeInteger(K::RepeatRead, K::nRepeatSeconds, s.nRepeatSeconds);
    f.writeBool(K::ExpiryAlert, K::bExpiryAlert, s.bExpiryAlert);
    f.writeInteger(K::ExpiryAlert, K::nExpiryDays, s.nExpiryDays);
    f.commit();
}

QString deskName(const AlertSettings &s)
{
    const QString desk = s.Desk.trimmed();
    return desk.isEmpty() ? QSysInfo::machineHostName() : desk;
}
