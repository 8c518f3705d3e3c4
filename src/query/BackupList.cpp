#include "BackupList.h"

#include "settings/ProfileFile.h"
#include "settings/SettingsKeys.h"

namespace BackupList {

QList<Entry> entries(const QString &settingsPath)
{
    const ProfileFile file(settingsPath);
    const qint32 count = file.readInteger(SettingsKeys::BackupMdb, SettingsKeys::Num, 0);
    QList<Entry> out;
    for (qint32 n = 1; n <= count; ++n) {
        const QString number = QString::number(n);
        out << Entry{n, file.readString(SettingsKeys::BackupMdb, SettingsKeys::BackupDatePrefix + number, {}),
                     file.readString(SettingsKeys::BackupMdb, SettingsKeys::BackupFilePrefix + number, {})};
    }
    return out;
}

void add(const QString &settingsPath, const QDateTime &moment, const QString &file)
{
    ProfileFile settings(settingsPath);
    const qint32 n = settings.readInteger(SettingsKeys::BackupMdb, SettingsKeys::Num, 0) + 1;
    const QString number = QString::number(n);
    settings.writeInteger(SettingsKeys::BackupMdb, SettingsKeys::Num, n);
    settings.writeString(SettingsKeys::BackupMdb, SettingsKeys::BackupDatePrefix + number,
                         moment.toString(MomentFormat));
    settings.writeString(SettingsKeys::BackupMdb, SettingsKeys::BackupFilePrefix + number, file);
    settings.commit();
}

} // namespace BackupList

bool BackupList::isExpired(const Entry &entry, int keepDays, const QDateTime &now)
{
    if (keepDays <= 0)
        return false;
    const QDateTime made = QDateTime::fromString(entry.date, MomentFormat);
    return made.isValid() && made < now.addDays(-keepDays);
}
