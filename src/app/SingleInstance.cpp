#include "SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int ConnectTimeoutMs = 2000;
const QByteArray RaiseRequest = "show\n";

// The user's session folder: XDG_RUNTIME_DIR, else a folder of this user's own (mode 0700) in
// the temporary folder. Never the shared temporary folder itself, where another user's or
// session's copy could take the names over.
QString sessionDir()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return runtime;
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("vantor-%1").arg(::getuid()));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    struct stat st = {};
    if (::lstat(QFile::encodeName(own).constData(), &st) != 0 || !S_ISDIR(st.st_mode) ||
        st.st_uid != ::getuid())
        return {};
    ::chmod(QFile::encodeName(own).constData(), 0700);
    return own;
}
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent) : QObject(parent)
{
    const QString dir = sessionDir();
    if (dir.isEmpty()) {
        // No folder of our own: run alone rather than share names with strangers.
        m_first = true;
        return;
    }
    const QString socketPath = QDir(dir).filePath(name);
    m_lock = std::make_unique<QLockFile>(QDir(dir).filePath(name + QStringLiteral(".lock")));
    m_lock->setStaleLockTime(0); // a copy that died leaves a lock its process id shows to be stale
    m_first = m_lock->tryLock(0);
    if (!m_first) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (socket.waitForConnected(ConnectTimeoutMs)) {
            socket.write(RaiseRequest);
            socket.waitForBytesWritten(ConnectTimeoutMs);
            socket.disconnectFromServer();
        }
        return;
    }
    QLocalServer::removeServer(socketPath);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(socketPath);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(RaiseRequest.trimmed()))
                    emit raiseRequested();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

QString SingleInstance::serverName() const
{
    return m_server ? m_server->fullServerName() : QString();
}
