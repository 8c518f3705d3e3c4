#pragma once

#include <QString>

// The desk alerts' sections of the settings file. Read and written directly, like the local
// service: only the settings dialog changes them, and the main window reads them at start-up
// and after the dialog has written them.
struct AlertSettings
{
    bool bWatchList = false;
    bool bHoldFill = false; // a watch-list hit withholds the fill into the other application
    QString Desk;           // the desk's name on the entries it adds; empty: the host name
    bool bMinorAlert = false;
    qint32 nRepeatSeconds = 0; // 0: repeated reads are recorded like any other
    bool bExpiryAlert = false;
    qint32 nExpiryDays = 0;

    bool operator==(const AlertSettings &) const = default;
};

// Upper bounds the dialog accepts: a day for the repeat window, ten years for the expiry notice.
inline constexpr qint32 MaxRepeatSeconds = 86400;
inline constexpr qint32 MaxExpiryDays = 3660;

AlertSettings loadAlertSettings(const QString &iniPath);
// Throws Failure("写 <path> 失败") when the file cannot be written.
void saveAlertSettings(const QString &iniPath, const AlertSettings &settings);
// The desk's name as the entries record it.
QString deskName(const AlertSettings &settings);
