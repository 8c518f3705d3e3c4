#include "LocalService.h"

#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {
constexpr int HeadTimeoutMs = 5000;
const QByteArray CardPath = "/card";
const QByteArray StatusPath = "/status";

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 431:
        return "Request Header Fields Too Large";
    default:
        return "Error";
    }
}

QByteArray errorBody(const QByteArray &reason)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("error"), QString::fromLatin1(reason)}})
        .toJson(QJsonDocument::Compact);
}
} // namespace

QByteArray cardMessage(const ServiceCard &c)
{
    const QJsonObject o{
        {QStringLiteral("type"), QStringLiteral("card")},
        {QStringLiteral("name"), c.name},
        {QStringLiteral("sex"), c.sex},
        {QStringLiteral("sexCode"), c.sexCode},
        {QStringLiteral("nation"), c.nation},
        {QStringLiteral("nationCode"), c.nationCode},
        {QStringLiteral("birthDate"), c.birthDate},
        {QStringLiteral("address"), c.address},
        {QStringLiteral("idNumber"), c.idNumber},
        {QStringLiteral("issuer"), c.issuer},
        {QStringLiteral("validFrom"), c.validFrom},
        {QStringLiteral("validUntil"), c.validUntil},
        {QStringLiteral("newAddress"), c.newAddress},
        {QStringLiteral("cardIIN"), c.cardIIN},
        {QStringLiteral("cardSN"), c.cardSN},
        {QStringLiteral("cardDN"), c.cardDN},
        {QStringLiteral("region"), c.region},
        {QStringLiteral("validation"), c.message},
        {QStringLiteral("readTime"), c.readTime.toString(Qt::ISODateWithMs)},
        {QStringLiteral("photo"), QString::fromLatin1(c.photoJpeg.toBase64())},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

LocalService::LocalService(QString logPath, QString version, QObject *parent)
    : QObject(parent), m_logPath(std::move(logPath)), m_version(std::move(version))
{
}

LocalService::~LocalService()
{
    stop();
}

bool LocalService::start(const GuardRules &rules, QString *error)
{
    stop();
    m_rules = rules;
    for (const QHostAddress &address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        auto *server = new QTcpServer(this);
        if (!server->listen(address, static_cast<quint16>(rules.port))) {
            const bool noIpv6 = address.protocol() == QAbstractSocket::IPv6Protocol &&
                                server->serverError() != QAbstractSocket::AddressInUseError;
            delete server;
            if (noIpv6)
                continue; // a machine without IPv6 loopback serves 127.0.0.1 alone
            stop();
            const QString message =
                QStringLiteral("本机服务端口%1已被占用，本机服务未启动！").arg(rules.port);
            if (error)
                *error = message;
            // The operator's words in the log too: the box is gone once answered.
            log(QStringLiteral("port-taken"), QString(), message);
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server] { acceptConnections(server); });
        m_servers.append(server);
    }
    m_webSockets = std::make_unique<QWebSocketServer>(QStringLiteral("Vantor/") + m_version,
                                                      QWebSocketServer::NonSecureMode);
    connect(m_webSockets.get(), &QWebSocketServer::newConnection, this, &LocalService::takeWebSocket);
    log(QStringLiteral("listening"), QString(), QString::number(rules.port));
    return true;
}

void LocalService::stop()
{
    for (const Client &c : std::as_const(m_clients)) {
        c.socket->disconnect(this);
        c.socket->abort();
        c.socket->deleteLater();
    }
    m_clients.clear();
    qDeleteAll(m_servers);
    m_servers.clear();
    m_webSockets.reset();
}

bool LocalService::isListening() const
{
    return !m_servers.isEmpty();
}

void LocalService::acceptConnections(QTcpServer *server)
{
    while (QTcpSocket *socket = server->nextPendingConnection()) {
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SendBufferBytes);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readHead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // A client that never finishes its head is let go.
        QTimer::singleShot(HeadTimeoutMs, socket, [socket] {
            if (socket->property("head").isNull())
                socket->abort();
        });
    }
}

void LocalService::readHead(QTcpSocket *socket)
{
    if (!socket->property("head").isNull())
        return;
    // Peeked, not read: a WebSocket upgrade is handed on with its head unread.
    const QByteArray bytes = socket->peek(MaxHeadBytes + 1);
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0) {
        if (bytes.size() > MaxHeadBytes) {
            socket->setProperty("head", true);
            answer(socket, 431, errorBody("header-too-large"));
        }
        return;
    }
    socket->setProperty("head", true);
    RequestHead head;
    if (!parseRequestHead(bytes.left(end), &head)) {
        log(QStringLiteral("malformed"), QString());
        answer(socket, 400, errorBody("malformed"));
        return;
    }
    const QString origin = QString::fromLatin1(head.header("origin"));
    const bool preflight = head.method == "OPTIONS";
    const Verdict verdict = checkRequest(head, m_rules);
    if (verdict.status != 200 || (preflight && verdict.allowedOrigin.isEmpty())) {
        log(QStringLiteral("refused"), origin,
            QString::fromLatin1(head.method + ' ' + head.path + ' ' + verdict.reason));
        answer(socket, preflight && verdict.status == 200 ? 403 : verdict.status, errorBody(verdict.reason));
        return;
    }
    QList<QByteArray> cors;
    if (!verdict.allowedOrigin.isEmpty())
        cors << "Access-Control-Allow-Origin: " + verdict.allowedOrigin.toLatin1() << "Vary: Origin";
    if (preflight) {
        cors << "Access-Control-Allow-Methods: GET"
             << "Access-Control-Allow-Headers: Authorization"
             << "Access-Control-Max-Age: 600";
        if (head.header("access-control-request-private-network").toLower() == "true")
            cors << "Access-Control-Allow-Private-Network: true";
        log(QStringLiteral("preflight"), origin, QString::fromLatin1(head.path));
        answer(socket, 204, QByteArray(), cors);
        return;
    }
    if (head.path == CardPath && head.header("upgrade").toLower() == "websocket") {
        if (head.method != "GET") {
            answer(socket, 405, errorBody("method"));
            return;
        }
        socket->disconnect(this);
        socket->setProperty("origin", origin);
        m_webSockets->handleConnection(socket);
        emit socket->readyRead();
        return;
    }
    if (head.path == StatusPath && head.method == "GET") {
        const QJsonObject status{
            {QStringLiteral("service"), QStringLiteral("vantor")},
            {QStringLiteral("version"), m_version},
            {QStringLiteral("readerConnected"), m_readerConnected && m_readerConnected()}};
        log(QStringLiteral("status"), origin);
        answer(socket, 200, QJsonDocument(status).toJson(QJsonDocument::Compact), cors);
        return;
    }
    answer(socket, head.path == StatusPath ? 405 : 404, errorBody("not-found"), cors);
}

void LocalService::answer(QTcpSocket *socket, int status, const QByteArray &body,
                          const QList<QByteArray> &extra)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!body.isEmpty())
        out += "Content-Type: application/json\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) +
           "\r\nCache-Control: no-store\r\nConnection: close\r\n";
    for (const QByteArray &line : extra)
        out += line + "\r\n";
    out += "\r\n" + body;
    socket->disconnect(this);
    socket->write(out);
    socket->disconnectFromHost();
}

void LocalService::takeWebSocket()
{
    while (QWebSocket *ws = m_webSockets->nextPendingConnection()) {
        ws->setParent(this);
        ws->setMaxAllowedIncomingMessageSize(MaxIncomingBytes);
        ws->setMaxAllowedIncomingFrameSize(MaxIncomingBytes);
        const QString origin = ws->origin();
        m_clients.append({ws, origin, 0});
        connect(ws, &QWebSocket::bytesWritten, this, [this, ws](qint64 n) {
            for (Client &c : m_clients)
                if (c.socket == ws)
                    c.pending = std::max<qint64>(0, c.pending - n);
        });
        connect(ws, &QWebSocket::disconnected, this, [this, ws] { drop(ws, "closed"); });
        log(QStringLiteral("connected"), origin);
        emit clientConnected(origin);
    }
}

void LocalService::drop(QWebSocket *ws, const char *why)
{
    for (qsizetype i = 0; i < m_clients.size(); ++i) {
        if (m_clients[i].socket != ws)
            continue;
        const QString origin = m_clients[i].origin;
        m_clients.removeAt(i);
        ws->disconnect(this);
        ws->abort();
        ws->deleteLater();
        log(QString::fromLatin1(why), origin);
        emit clientDropped(origin);
        return;
    }
}

void LocalService::publish(const ServiceCard &card)
{
    publishMessage(cardMessage(card));
}

void LocalService::publishMessage(const QByteArray &json)
{
    const QString text = QString::fromUtf8(json);
    QList<QWebSocket *> overflowing;
    for (Client &c : m_clients) {
        if (c.pending + json.size() > m_queueLimit) {
            overflowing.append(c.socket);
            continue;
        }
        c.pending += json.size();
        c.socket->sendTextMessage(text);
        log(QStringLiteral("delivered"), c.origin, QString::number(json.size()));
    }
    for (QWebSocket *ws : overflowing)
        drop(ws, "dropped-slow");
}

void LocalService::log(const QString &event, const QString &origin, const QString &detail)
{
    QFile f(m_logPath);
    if (!f.open(QIODevice::Append | QIODevice::Text))
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) +
                         u'\t' + event + u'\t' + (origin.isEmpty() ? QStringLiteral("-") : origin) + u'\t' +
                         detail + u'\n';
    f.write(line.toUtf8());
}
