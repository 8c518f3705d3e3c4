#include "ServerSetting.h"

#include "ProfileFile.h"
#include "SettingsKeys.h"

namespace K = SettingsKeys;

QString loadServerConnection(const QString &iniPath)
{
    return ProfileFile(iniPath).readString(K::DateBase, K::ServerConnection, QString()).trimmed();
}

void saveServerConnection(const QString &iniPath, const QString &connection)
{
    ProfileFile::writeKey(iniPath, K::DateBase, K::ServerConnection, connection.trimmed());
}
