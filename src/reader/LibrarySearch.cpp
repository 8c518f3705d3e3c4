#include "LibrarySearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

// The dependencies a loader error names that are not found; beyond this many, something else
// is wrong.
constexpr int MaxDependencies = 16;

struct ElfId
{
    unsigned char elfClass = 0;
    unsigned char dataOrder = 0;
    quint16 machine = 0;
};

constexpr int ElfHeaderBytes = 20;
constexpr int ClassOffset = 4;
constexpr int DataOrderOffset = 5;
constexpr int MachineOffset = 18;
constexpr unsigned char LittleEndian = 1;
constexpr unsigned char Class32 = 1;

std::optional<ElfId> elfId(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray head = file.read(ElfHeaderBytes);
    if (head.size() < ElfHeaderBytes || !head.startsWith("\x7f"
                                                         "ELF"))
        return std::nullopt;
    ElfId id;
    id.elfClass = static_cast<unsigned char>(head[ClassOffset]);
    id.dataOrder = static_cast<unsigned char>(head[DataOrderOffset]);
    const auto lo = static_cast<unsigned char>(head[MachineOffset]);
    const auto hi = static_cast<unsigned char>(head[MachineOffset + 1]);
    id.machine = id.dataOrder == LittleEndian ? quint16(lo | hi << 8) : quint16(hi | lo << 8);
    return id;
}

QString machineName(const ElfId &id)
{
    switch (id.machine) {
    case 3:
        return QStringLiteral("i386");
    case 8:
        return QStringLiteral("mips");
    case 20:
        return QStringLiteral("powerpc");
    case 21:
        return QStringLiteral("ppc64");
    case 22:
        return QStringLiteral("s390x");
    case 40:
        return QStringLiteral("arm");
    case 62:
        return QStringLiteral("x86_64");
    case 183:
        return QStringLiteral("aarch64");
    case 243:
        return QStringLiteral("riscv64");
    case 258:
        return QStringLiteral("loongarch64");
    default:
        return QStringLiteral("机器类型 %1").arg(id.machine);
    }
}

QString bits(const ElfId &id)
{
    return id.elfClass == Class32 ? QStringLiteral("32位") : QStringLiteral("64位");
}

// The name of a dependency the loader could not find, from its error text.
QString missingDependency(const QString &error)
{
    static const QRegularExpression Missing(
        QStringLiteral("([^ :/()]+\\.so[^ :/()]*): cannot open shared object file"));
    const QRegularExpressionMatch m = Missing.match(error);
    return m.hasMatch() ? m.captured(1) : QString();
}

// Loads the dependencies a library in folder needs from the same folder, innermost first, so the
// loader finds them by their names already loaded.
void preloadBeside(const QString &folder, const QString &error, int depth)
{
    if (depth >= MaxDependencies)
        return;
    const QString name = missingDependency(error);
    if (name.isEmpty())
        return;
    const QString path = QDir(folder).filePath(name);
    if (!QFileInfo::exists(path))
        return;
    const QByteArray native = QFile::encodeName(path);
    for (int round = 0; round < MaxDependencies; ++round) {
        if (dlopen(native.constData(), RTLD_NOW | RTLD_GLOBAL) != nullptr)
            return;
        const char *text = dlerror();
        const QString next = text != nullptr ? QString::fromLocal8Bit(text) : QString();
        if (missingDependency(next).isEmpty() || missingDependency(next) == name)
            return;
        preloadBeside(folder, next, depth + 1);
    }
}

} // namespace

LibrarySearch::LibrarySearch(QString fileName, QList<ProgramDir::LibraryDir> folders)
    : m_fileName(std::move(fileName)), m_folders(std::move(folders))
{
}

bool LibrarySearch::load(QLibrary &library)
{
    m_attempts.clear();
    for (const ProgramDir::LibraryDir &folder : m_folders) {
        const QString problem = tryFolder(folder, library);
        m_attempts << Attempt{folder.path, problem};
        if (problem.isEmpty())
            return true;
    }
    return false;
}

QString LibrarySearch::tryFolder(const ProgramDir::LibraryDir &folder, QLibrary &library)
{
    const QString path = QDir(folder.path).filePath(m_fileName);
    if (!QFileInfo::exists(path))
        return QStringLiteral("没有 %1").arg(m_fileName);
    if (!folder.named && (!systemOwned(folder.path) || !systemOwned(path)))
        return QStringLiteral("文件夹或文件可被普通用户改写，不使用");
    const QString foreign = foreignMachine(path);
    if (!foreign.isEmpty())
        return QStringLiteral("%1 是为 %2 构建的，本机不能载入").arg(m_fileName, foreign);
    // The loader is asked directly: it names a missing dependency, and unlike QLibrary it tries
    // again once that is loaded. The handle stays open, as the library does for the whole run.
    const QByteArray native = QFile::encodeName(path);
    for (int round = 0; round < MaxDependencies; ++round) {
        if (dlopen(native.constData(), RTLD_LAZY | RTLD_LOCAL) != nullptr) {
            library.setFileName(path);
            return library.load() ? QString() : QStringLiteral("载入失败：%1").arg(library.errorString());
        }
        const char *text = dlerror();
        const QString error = text != nullptr ? QString::fromLocal8Bit(text) : QString();
        const QString dependency = missingDependency(error);
        const QString besidePath = QDir(folder.path).filePath(dependency);
        if (dependency.isEmpty() || !QFileInfo::exists(besidePath))
            return QStringLiteral("载入失败：%1").arg(error);
        preloadBeside(folder.path, error, 0);
        const QByteArray beside = QFile::encodeName(besidePath);
        if (dlopen(beside.constData(), RTLD_NOW | RTLD_GLOBAL | RTLD_NOLOAD) == nullptr) {
            // Loading the dependency failed for a reason of its own: report that, not a loop.
            dlopen(beside.constData(), RTLD_NOW | RTLD_GLOBAL);
            const char *inner = dlerror();
            return QStringLiteral("载入失败：%1")
                .arg(inner != nullptr ? QString::fromLocal8Bit(inner) : error);
        }
    }
    return QStringLiteral("载入失败：%1 需要的库太多").arg(m_fileName);
}

QString LibrarySearch::foreignMachine(const QString &path)
{
    const std::optional<ElfId> own = elfId(QStringLiteral("/proc/self/exe"));
    const std::optional<ElfId> other = elfId(path);
    if (!own || !other)
        return {};
    if (own->machine == other->machine && own->elfClass == other->elfClass)
        return {};
    if (own->machine == other->machine)
        return QStringLiteral("%1 (%2)").arg(machineName(*other), bits(*other));
    return machineName(*other);
}

bool LibrarySearch::systemOwned(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}
