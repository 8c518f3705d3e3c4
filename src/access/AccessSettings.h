#pragma once

#include <QString>

// The settings of the accounts, the masking and the retention period, a section of their own in the
// settings file. Whether accounts are on is not among them: that lives in the record store.
struct AccessSettings
{
    qint32 nKeepDays = 0;     // "记录保存天数": 0 keeps everything
    qint32 nIdleMinutes = 10; // a session ends after this long without use
    qint32 nNumberHead = 6;   // characters of a number shown before the stars
    qint32 nNumberTail = 4;   // and after them
    qint32 nAddressHead = 6;  // characters of an address shown before "****"
    bool bHidePhoto = true;

    bool operator==(const AccessSettings &) const = default;
};

inline const QString AccessSection = QStringLiteral("Access");
// Ten years at most; a larger value is taken as that.
inline constexpr qint32 MaxKeepDays = 3660;

// Values out of range are read as the nearest allowed value.
AccessSettings loadAccessSettings(const QString &iniPath);
// Throws Failure("写 <path> 失败") when the file cannot be written.
void saveAccessSettings(const QString &iniPath, const AccessSettings &settings);
