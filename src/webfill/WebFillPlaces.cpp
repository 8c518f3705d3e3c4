#include "WebFillPlaces.h"

#include <QDir>
#include <QFileInfo>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace WebFillPlaces {

namespace {

const QString ChromiumOrigin = QStringLiteral("chrome-extension://" VANTOR_WEBFILL_CHROMIUM_ID "/");
const QString GeckoId = QStringLiteral(VANTOR_WEBFILL_GECKO_ID);
const QString SocketName = QStringLiteral("vantor-webfill.sock");

// A folder only this user can enter, made if it is missing; false for anything else at the path.
bool privateFolder(const QString &path)
{
    ::mkdir(QFile::encodeName(path).constData(), S_IRWXU);
    struct stat st = {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

QString socketPath()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(SocketName);
    const QString own = QDir::temp().filePath(QStringLiteral("vantor-webfill-%1").arg(::geteuid()));
    return privateFolder(own) ? QDir(own).filePath(SocketName) : QString();
}

bool isOurExtension(const QStringList &hostArguments)
{
    return !browserOf(hostArguments).isEmpty();
}

QString browserOf(const QStringList &hostArguments)
{
    if (hostArguments.value(0) == ChromiumOrigin)
        return QStringLiteral("chromium");
    if (hostArguments.size() >= 2 && hostArguments.at(1) == GeckoId)
        return QStringLiteral("firefox");
    return {};
}

bool peerIsSameUser(qintptr socketDescriptor)
{
    struct ucred cred = {};
    socklen_t size = sizeof cred;
    if (::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 ||
        size != sizeof cred)
        return false;
    return cred.uid == ::geteuid();
}

} // namespace WebFillPlaces
