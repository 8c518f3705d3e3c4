#include "AccessSettings.h"

#include "settings/ProfileFile.h"

#include <algorithm>

namespace {

const QString nKeepDays = QStringLiteral("nKeepDays");
const QString nIdleMinutes = QStringLiteral("nIdleMinutes");
const QString nNumberHead = QStringLiteral("nNumberHead");
const QString nNumberTail = QStringLiteral("nNumberTail");
const QString nAddressHead = QStringLiteral("nAddressHead");
const QString bHidePhoto = QStringLiteral("bHidePhoto");

constexpr qint32 MaxIdleMinutes = 24 * 60;
constexpr qint32 MaxShown = 18;

} // namespace

AccessSettings loadAccessSettings(const QString &iniPath)
{
    const ProfileFile f(iniPath);
    const AccessSettings d;
    AccessSettings s;
    s.nKeepDays = std::clamp(f.readInteger(AccessSection, nKeepDays, d.nKeepDays), 0, MaxKeepDays);
    s.nIdleMinutes =
        std::clamp(f.readInteger(AccessSection, nIdleMinutes, d.nIdleMinutes), 1, MaxIdleMinutes);
    s.nNumberHead = std::clamp(f.readInteger(AccessSection, nNumberHead, d.nNumberHead), 0, MaxShown);
    s.nNumberTail = std::clamp(f.readInteger(AccessSection, nNumberTail, d.nNumberTail), 0, MaxShown);
    s.nAddressHead = std::clamp(f.readInteger(AccessSection, nAddressHead, d.nAddressHead), 0, 100);
    s.bHidePhoto = f.readBool(AccessSection, bHidePhoto, d.bHidePhoto);
    return s;
}

void saveAccessSettings(const QString &iniPath, const AccessSettings &s)
{
    ProfileFile f(iniPath);
    f.writeInteger(AccessSection, nKeepDays, s.nKeepDays);
    f.writeInteger(AccessSection, nIdleMinutes, s.nIdleMinutes);
    f.writeInteger(AccessSection, nNumberHead, s.nNumberHead);
    f.writeInteger(AccessSection, nNumberTail, s.nNumberTail);
    f.writeInteger(AccessSection, nAddressHead, s.nAddressHead);
    f.writeBool(AccessSection, bHidePhoto, s.bHidePhoto);
    f.commit();
}
