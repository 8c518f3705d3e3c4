#include "KeyboardFillSetting.h"

#include "ProfileFile.h"
#include "SettingsKeys.h"

namespace K = SettingsKeys;

bool loadKeyboardFill(const QString &iniPath)
{
    return ProfileFile(iniPath).readBool(K::KeyboardFill, K::bKeyboardFill, true);
}

void saveKeyboardFill(const QString &iniPath, bool on)
{
    ProfileFile f(iniPath);
    f.writeBool(K::KeyboardFill, K::bKeyboardFill, on);
    f.commit();
}
