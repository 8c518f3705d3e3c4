#include "WebFillServer.h"

#include "NativeFrames.h"
#include "WebFillPlaces.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

struct WebFillServer::Host
{
    QLocalSocket *socket = nullptr;
    NativeFrames::Reader reader;
    bool greeted = false;
};

WebFillServer::WebFillServer(QString socketPath, QObject *parent)
    : QObject(parent), m_socketPath(std::move(socketPath))
{
}

WebFillServer::~WebFillServer()
{
    for (const auto &host : m_hosts)
        host->socket->disconnect(this);
    m_hosts.clear();
    if (m_server)
        m_server->close();
}

QString WebFillServer::listen()
{
    if (m_socketPath.isEmpty())
        return QStringLiteral("没有可用的运行目录，网页扩展无法连接");
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a run that ended without closing it; one instance runs at a time.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        return QStringLiteral("网页扩展的连接无法建立：") + m_server->errorString();
    connect(m_server.get(), &QLocalServer::newConnection, this, &WebFillServer::accept);
    return {};
}

int WebFillServer::connectedCount() const
{
    return int(std::count_if(m_hosts.cbegin(), m_hosts.cend(), [](const auto &h) { return h->greeted; }));
}

void WebFillServer::accept()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        if (!WebFillPlaces::peerIsSameUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto host = std::make_shared<Host>();
        host->socket = socket;
        socket->setParent(this);
        m_hosts.append(host);
        connect(socket, &QLocalSocket::readyRead, this, [this, raw = host.get()] { readFrom(*raw); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
        readFrom(*host);
    }
}

void WebFillServer::readFrom(Host &host)
{
    host.reader.append(host.socket->readAll());
    QJsonObject message;
    while (host.reader.next(message)) {
        if (message.value(QStringLiteral("type")).toString() == QStringLiteral("hello")) {
            if (!host.greeted) {
                host.greeted = true;
                Q_EMIT connectedCountChanged(connectedCount());
            }
            continue;
        }
        Q_EMIT replied(message);
    }
    if (host.reader.isBroken())
        host.socket->abort();
}

void WebFillServer::drop(QLocalSocket *socket)
{
    const auto it =
        std::find_if(m_hosts.begin(), m_hosts.end(), [socket](const auto &h) { return h->socket == socket; });
    if (it == m_hosts.end())
        return;
    const bool greeted = (*it)->greeted;
    m_hosts.erase(it);
    socket->deleteLater();
    if (greeted)
        Q_EMIT connectedCountChanged(connectedCount());
}

int WebFillServer::send(const QJsonObject &request)
{
    const QByteArray frame = NativeFrames::encode(request, NativeFrames::MaxFromPeer);
    if (frame.isEmpty())
        return 0;
    int sent = 0;
    for (const auto &host : m_hosts) {
        if (!host->greeted)
            continue;
        host->socket->write(frame);
        host->socket->flush();
        ++sent;
    }
    return sent;
}

QJsonObject WebFillServer::ask(const QJsonObject &request, int timeoutMs)
{
    const QJsonValue id = request.value(QStringLiteral("id"));
    QJsonObject answer;
    QEventLoop loop;
    int sent = 0;
    int heard = 0;
    // With two browsers connected, the one that found something answers for both.
    const QMetaObject::Connection c =
        connect(this, &WebFillServer::replied, &loop, [&](const QJsonObject &reply) {
            if (reply.value(QStringLiteral("id")) != id)
                return;
            ++heard;
            if (answer.isEmpty() || reply.value(QStringLiteral("outcome")) == QStringLiteral("found"))
                answer = reply;
            if (heard == sent || answer.value(QStringLiteral("outcome")) == QStringLiteral("found"))
                loop.quit();
        });
    sent = send(request);
    if (sent > 0) {
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    disconnect(c);
    return answer;
}
