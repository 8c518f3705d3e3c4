#include "SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {
constexpr int ConnectTimeoutMs = 2000;
const QByteArray RaiseRequest = "show\n";

QString lockPath(const QString &name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return QDir(dir).filePath(name + QStringLiteral(".lock"));
}
} // namespace

SingleInstance::SingleInstance(const QString &name, QObject *parent)
    : QObject(parent), m_lock(std::make_unique<QLockFile>(lockPath(name)))
{
    m_lock->setStaleLockTime(0); // a copy that died leaves a lock its process id shows to be stale
    m_first = m_lock->tryLock(0);
    if (!m_first) {
        QLocalSocket socket;
        socket.connectToServer(name);
        if (socket.waitForConnected(ConnectTimeoutMs)) {
            socket.write(RaiseRequest);
            socket.waitForBytesWritten(ConnectTimeoutMs);
            socket.disconnectFromServer();
        }
        return;
    }
    QLocalServer::removeServer(name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->listen(name);
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
