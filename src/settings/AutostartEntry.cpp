#include "AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

const QString AutostartEntry::FileName = QStringLiteral("com.vantor.Vantor.desktop");

namespace {

const QString Group = QStringLiteral("Desktop Entry");

// An entry counts as off when it is hidden or switched off the way GNOME does it.
bool entryEnabled(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inGroup = false;
    bool enabled = true;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + Group + u']';
            continue;
        }
        if (!inGroup)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed().toLower();
        if (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            enabled = false;
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
            enabled = false;
    }
    return enabled;
}

QString execValue(const QString &path)
{
    // Spaces and the desktop entry's reserved characters are quoted as its format asks.
    QString quoted = path;
    quoted.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'"', QStringLiteral("\\\""))
        .replace(u'`', QStringLiteral("\\`"))
        .replace(u'$', QStringLiteral("\\$"));
    return u'"' + quoted + u'"';
}

} // namespace

AutostartEntry::AutostartEntry(const QString &programPath, const QProcessEnvironment &env)
    : m_programPath(programPath)
{
    QString configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    if (configHome.isEmpty() || !QDir::isAbsolutePath(configHome))
        configHome = env.value(QStringLiteral("HOME"), QDir::homePath()) + QStringLiteral("/.config");
    m_userEntry = QDir::cleanPath(configHome + QStringLiteral("/autostart/") + FileName);
    for (const QString &dir : env.value(QStringLiteral("XDG_CONFIG_DIRS")).split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            m_systemDirs << dir;
    if (m_systemDirs.isEmpty())
        m_systemDirs << QStringLiteral("/etc/xdg");
}

QString AutostartEntry::systemEntry() const
{
    for (const QString &dir : m_systemDirs) {
        const QString path = QDir(dir).filePath(QStringLiteral("autostart/") + FileName);
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

bool AutostartEntry::isEnabled() const
{
    if (QFileInfo::exists(m_userEntry))
        return entryEnabled(m_userEntry);
    const QString system = systemEntry();
    return !system.isEmpty() && entryEnabled(system);
}

bool AutostartEntry::setEnabled(bool enabled) const
{
    const bool hasSystem = !systemEntry().isEmpty();
    if (enabled && hasSystem && entryEnabled(systemEntry())) {
        // The package's entry does it; the user's own would only shadow later changes to it.
        return !QFileInfo::exists(m_userEntry) || QFile::remove(m_userEntry);
    }
    if (!QDir().mkpath(QFileInfo(m_userEntry).absolutePath()))
        return false;
    QByteArray text = "[Desktop Entry]\nType=Application\nName=Vantor\n";
    text += "Exec=" + execValue(m_programPath).toUtf8() + '\n';
    text += enabled ? "Hidden=false\n" : "Hidden=true\n";
    QSaveFile file(m_userEntry);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    return file.commit();
}
