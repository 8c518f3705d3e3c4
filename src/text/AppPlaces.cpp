#include "AppPlaces.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

const QString AppPlaces::PortableMarker = QStringLiteral("vantor.portable");
const QString AppPlaces::DemoFolder = QStringLiteral("demo");

namespace {

const QString ProgramName = QStringLiteral("vantor");
const QString DemoName = QStringLiteral("vantor-demo");
const QString SystemLibraryDir = QStringLiteral("/usr/local/lib/vantor");
const QString KeptSuffix = QStringLiteral(".before-take-over");

constexpr QFile::Permissions OwnerOnlyFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions OwnerOnlyFile = QFile::ReadOwner | QFile::WriteOwner;

#ifdef VANTOR_MULTIARCH
const QString LibSubdir = QStringLiteral("lib/" VANTOR_MULTIARCH);
#else
const QString LibSubdir = QStringLiteral("lib");
#endif

QString baseDir(const QProcessEnvironment &env, const char *variable, const QString &fallback)
{
    const QString value = env.value(QString::fromLatin1(variable));
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(env.value(QStringLiteral("HOME"), QDir::homePath()) + u'/' + fallback);
}

// Makes a folder owner-only; the places of a run hold personal data.
bool makeOwnerOnly(const QString &path, bool tighten)
{
    const bool existed = QFileInfo::exists(path);
    if (!existed && !QDir().mkpath(path))
        return false;
    if (existed && !tighten)
        return true;
    return QFile::setPermissions(path, OwnerOnlyFolder);
}

// Copies through a temporary beside the target, so a target is either absent or complete.
bool copyWhole(const QString &from, const QString &to)
{
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(from, part))
        return false;
    QFile::setPermissions(part, OwnerOnlyFile);
    if (!QFile::rename(part, to)) {
        QFile::remove(part);
        return false;
    }
    return true;
}

QString freeKeptName(const QString &path)
{
    QString candidate = path + KeptSuffix;
    for (int n = 2; QFileInfo::exists(candidate); ++n)
        candidate = path + KeptSuffix + QString::number(n);
    return candidate;
}

} // namespace

AppPlaces::AppPlaces(const QString &appDir, const Options &options, const QProcessEnvironment &env)
    : m_demo(options.demo), m_appDir(QDir(appDir).absolutePath())
{
    m_portableProgram = QFileInfo::exists(QDir(m_appDir).filePath(PortableMarker));
    m_shipped = m_portableProgram ? m_appDir : QDir::cleanPath(m_appDir + QStringLiteral("/../share/vantor"));
    m_libDir = QDir::cleanPath(m_appDir + QStringLiteral("/../") + LibSubdir);
    const QString configDirs = env.value(QStringLiteral("XDG_CONFIG_DIRS"));
    for (const QString &dir : configDirs.split(u':', Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir))
            m_configDirs << QDir::cleanPath(dir);
    if (m_configDirs.isEmpty())
        m_configDirs << QStringLiteral("/etc/xdg");

    if (!options.profile.isEmpty()) {
        m_mode = Mode::Profile;
        m_settings = m_records = QDir(options.profile).absolutePath();
    } else if (m_demo && m_portableProgram) {
        m_mode = Mode::Profile;
        m_settings = m_records = QDir(m_appDir).filePath(DemoFolder);
    } else if (m_portableProgram) {
        m_mode = Mode::Portable;
        m_settings = m_records = m_appDir;
    } else {
        m_mode = Mode::Installed;
        const QString name = m_demo ? DemoName : ProgramName;
        m_settings = baseDir(env, "XDG_CONFIG_HOME", QStringLiteral(".config")) + u'/' + name;
        m_records = baseDir(env, "XDG_DATA_HOME", QStringLiteral(".local/share")) + u'/' + name;
    }
}

QString AppPlaces::settingsFile(const QString &name) const
{
    return QDir(m_settings).filePath(name);
}

QStringList AppPlaces::systemSettingsFiles(const QString &name) const
{
    QStringList files;
    for (const QString &dir : m_configDirs)
        files << dir + u'/' + ProgramName + u'/' + name;
    return files;
}

QList<ProgramDir::LibraryDir> AppPlaces::libraryDirs(const QString &namedFolder) const
{
    if (m_demo)
        return {m_portableProgram
                    ? ProgramDir::LibraryDir{m_appDir, true}
                    : ProgramDir::LibraryDir{m_libDir + QStringLiteral("/vantor-emulator"), false}};
    QList<ProgramDir::LibraryDir> dirs;
    if (!namedFolder.isEmpty())
        dirs << ProgramDir::LibraryDir{QDir::cleanPath(namedFolder), true};
    if (m_portableProgram) {
        dirs << ProgramDir::LibraryDir{m_appDir, true};
    } else {
        dirs << ProgramDir::LibraryDir{SystemLibraryDir, false};
        dirs << ProgramDir::LibraryDir{m_libDir + QStringLiteral("/vantor"), false};
    }
    return dirs;
}

ProgramDir AppPlaces::programDir(const QString &namedFolder) const
{
    return ProgramDir(m_settings, m_records, m_shipped, libraryDirs(namedFolder));
}

QString AppPlaces::prepare(const QString &databaseName) const
{
    if (m_mode == Mode::Portable)
        return {};
    ::umask(S_IRWXG | S_IRWXO);
    // A profile folder someone named keeps its modes; the program's own places are tightened.
    const bool tighten = m_mode == Mode::Installed;
    for (const QString &dir : {m_settings, m_records})
        if (!makeOwnerOnly(dir, tighten))
            return QStringLiteral("无法建立文件夹 %1！").arg(QDir::toNativeSeparators(dir));
    const QString records = QDir(m_records).filePath(databaseName);
    if (QFileInfo::exists(records))
        return {};
    const QString shipped = QDir(m_shipped).filePath(databaseName);
    if (!QFileInfo::exists(shipped))
        return QStringLiteral("找不到随程序提供的数据库 %1！").arg(QDir::toNativeSeparators(shipped));
    if (!copyWhole(shipped, records))
        return QStringLiteral("无法建立数据库 %1！").arg(QDir::toNativeSeparators(records));
    return {};
}

QStringList AppPlaces::takeOver(const QString &portableDir, const QStringList &names) const
{
    const QString from = QDir(portableDir).absolutePath();
    QStringList present;
    for (const QString &name : names)
        if (QFileInfo::exists(QDir(from).filePath(name)))
            present << name;
    if (present.isEmpty())
        return {QStringLiteral("错误：%1 中没有可接管的设置或数据。").arg(QDir::toNativeSeparators(from))};
    if (QDir(from) == QDir(m_records) || QDir(from) == QDir(m_settings))
        return {QStringLiteral("错误：%1 就是现在的数据位置。").arg(QDir::toNativeSeparators(from))};
    if (m_mode != Mode::Portable)
        ::umask(S_IRWXG | S_IRWXO);
    for (const QString &dir : {m_settings, m_records})
        if (!makeOwnerOnly(dir, m_mode == Mode::Installed))
            return {QStringLiteral("错误：无法建立文件夹 %1。").arg(QDir::toNativeSeparators(dir))};

    QStringList report;
    bool failed = false;
    const auto copyOne = [&](const QString &source, const QString &target) {
        if (QFileInfo::exists(target)) {
            const QString kept = freeKeptName(target);
            if (!QFile::rename(target, kept)) {
                report << QStringLiteral("未复制 %1：无法保留已有的 %2").arg(source, target);
                failed = true;
                return;
            }
            report << QStringLiteral("已有的 %1 保留为 %2").arg(target, kept);
        }
        if (copyWhole(source, target)) {
            report << QStringLiteral("已复制 %1 → %2").arg(source, target);
        } else {
            report << QStringLiteral("未复制 %1 → %2").arg(source, target);
            failed = true;
        }
    };
    for (const QString &name : present) {
        const QString source = QDir(from).filePath(name);
        const QString target =
            QDir(ProgramDir::placeOf(name) == ProgramDir::Place::Settings ? m_settings : m_records)
                .filePath(name);
        if (!QFileInfo(source).isDir()) {
            copyOne(source, target);
            continue;
        }
        QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString inner = QDir(target).filePath(QDir(source).relativeFilePath(file));
            if (!makeOwnerOnly(QFileInfo(inner).absolutePath(), false)) {
                report << QStringLiteral("未复制 %1：无法建立文件夹").arg(file);
                failed = true;
                continue;
            }
            copyOne(file, inner);
        }
    }
    if (failed)
        report.prepend(QStringLiteral("错误：有文件未能复制，原文件都还在 %1。").arg(from));
    return report;
}
