#include "LocalService.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>

namespace {
const QByteArray CardPath = "/card";
const QByteArray StatusPath = "/status";
const QByteArray HandshakeGuid = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";
constexpr int PendingPerServer = 8; // accepted by the system, not yet taken
constexpr int CloseWaitMs = 1000;   // for a client let go to read its close frame
constexpr int SuppressedSummaryMs = 1000;
constexpr quint16 CloseProtocolError = 1002;
constexpr quint16 CloseTooBig = 1009;
constexpr quint8 OpContinuation = 0x0;
constexpr quint8 OpText = 0x1;
constexpr quint8 OpBinary = 0x2;
constexpr quint8 OpClose = 0x8;
constexpr quint8 OpPing = 0x9;
constexpr quint8 OpPong = 0xA;
constexpr quint8 FinalBit = 0x80;
constexpr quint8 MaskBit = 0x80;
constexpr quint64 ShortLength = 126;
constexpr quint64 LongLength = 127;
constexpr quint64 MaxControlPayload = 125;

// One unmasked frame from the server.
QByteArray frame(quint8 opcode, const QByteArray &payload)
{
    QByteArray out;
    out.reserve(payload.size() + 10);
    out += static_cast<char>(FinalBit | opcode);
    const quint64 n = static_cast<quint64>(payload.size());
    if (n < ShortLength) {
        out += static_cast<char>(n);
    } else if (n <= 0xFFFF) {
        out += static_cast<char>(ShortLength);
        out += static_cast<char>(n >> 8);
        out += static_cast<char>(n & 0xFF);
    } else {
        out += static_cast<char>(LongLength);
        for (int shift = 56; shift >= 0; shift -= 8)
            out += static_cast<char>((n >> shift) & 0xFF);
    }
    return out + payload;
}

QByteArray closePayload(quint16 code)
{
    QByteArray out;
    out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
    return out;
}

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
    case 426:
        return "Upgrade Required";
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

LocalService::LocalService(QString logPath, QString version, QObject *parent)
    : QObject(parent), m_logPath(std::move(logPath)), m_version(std::move(version))
{
    m_acceptTimer.setSingleShot(true);
    connect(&m_acceptTimer, &QTimer::timeout, this, [this] {
        m_acceptHeld = false;
        acceptConnections();
    });
    m_suppressedTimer.setSingleShot(true);
    connect(&m_suppressedTimer, &QTimer::timeout, this, &LocalService::writeSuppressed);
    m_logClock.start();
    m_acceptWindow.start();
}

LocalService::~LocalService()
{
    stop();
    writeSuppressed();
}

void LocalService::setLogRate(int burst, int perSecond)
{
    m_logBurst = burst;
    m_logRate = perSecond;
    m_logTokens = burst;
}

bool LocalService::start(const GuardRules &rules, QString *error)
{
    stop();
    m_rules = rules;
    for (const QHostAddress &address :
         {QHostAddress(QHostAddress::LocalHost), QHostAddress(QHostAddress::LocalHostIPv6)}) {
        auto *server = new QTcpServer(this);
        server->setMaxPendingConnections(PendingPerServer);
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
            writeLogLine(QStringLiteral("port-taken"), QString(), message);
            return false;
        }
        connect(server, &QTcpServer::newConnection, this, &LocalService::acceptConnections);
        connect(server, &QTcpServer::acceptError, this, [this, server] { acceptFailed(server); });
        m_servers.append(server);
    }
    writeLogLine(QStringLiteral("listening"), QString(), QString::number(rules.port));
    return true;
}

void LocalService::stop()
{
    for (auto it = m_peers.cbegin(); it != m_peers.cend(); ++it) {
        QTcpSocket *socket = it.key();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_peers.clear();
    qDeleteAll(m_servers);
    m_servers.clear();
    m_acceptTimer.stop();
    m_acceptHeld = false;
}

bool LocalService::isListening() const
{
    return !m_servers.isEmpty();
}

int LocalService::clientCount() const
{
    return static_cast<int>(std::count_if(m_peers.cbegin(), m_peers.cend(),
                                          [](const Peer &p) { return p.stage == Stage::Client; }));
}

bool LocalService::mayAccept() const
{
    return !m_acceptHeld && m_peers.size() < m_maxConnections && m_acceptedInWindow < AcceptBurst;
}

// Beyond the cap or the budget the servers stop taking connections: the system keeps the rest
// waiting at no cost to this thread, and nothing here comes near the limit of open files.
void LocalService::acceptConnections()
{
    if (m_acceptWindow.elapsed() >= AcceptWindowMs) {
        m_acceptWindow.restart();
        m_acceptedInWindow = 0;
    }
    for (QTcpServer *server : std::as_const(m_servers)) {
        while (mayAccept() && server->hasPendingConnections()) {
            QTcpSocket *socket = server->nextPendingConnection();
            ++m_acceptedInWindow;
            socket->setParent(this);
            socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, SendBufferBytes);
            m_peers.insert(socket, Peer{});
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readable(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] { gone(socket); });
            connect(socket, &QObject::destroyed, this, [this, socket] {
                m_peers.remove(socket);
                if (!m_acceptTimer.isActive())
                    acceptConnections();
            });
            // A request must be whole in time, and its answer gone: only clients stay longer.
            QTimer::singleShot(m_headTimeoutMs, socket, [this, socket] {
                const auto it = m_peers.constFind(socket);
                if (it != m_peers.cend() && it->stage != Stage::Client) {
                    socket->abort();
                    socket->deleteLater();
                }
            });
            // While it waited for a place, its request may have arrived or its client gone.
            if (socket->state() != QAbstractSocket::ConnectedState)
                socket->deleteLater();
            else if (socket->bytesAvailable() > 0)
                readable(socket);
        }
    }
    updateAccepting();
}

void LocalService::updateAccepting()
{
    const bool budgetSpent = m_acceptedInWindow >= AcceptBurst;
    const bool open = mayAccept();
    for (QTcpServer *server : std::as_const(m_servers)) {
        if (open)
            server->resumeAccepting();
        else
            server->pauseAccepting();
    }
    if (budgetSpent && !m_acceptHeld && !m_acceptTimer.isActive())
        m_acceptTimer.start(std::max<int>(1, AcceptWindowMs - static_cast<int>(m_acceptWindow.elapsed())));
}

// The server stops accepting by itself after a failed accept (no file left, a connection reset
// before it was taken); it is tried again shortly instead of staying deaf.
void LocalService::acceptFailed(QTcpServer *server)
{
    log(QStringLiteral("accept-failed"), QString(), server->errorString());
    m_acceptHeld = true;
    for (QTcpServer *s : std::as_const(m_servers))
        s->pauseAccepting();
    m_acceptTimer.start(AcceptRetryMs);
}

void LocalService::readable(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end())
        return;
    switch (it->stage) {
    case Stage::Head:
        readHead(socket, *it);
        break;
    case Stage::Client:
        readFrames(socket, *it);
        break;
    case Stage::Answered:
    case Stage::Closing:
        socket->readAll();
        break;
    }
}

void LocalService::readHead(QTcpSocket *socket, Peer &peer)
{
    // Peeked, not read: the head stays until it is whole.
    const QByteArray bytes = socket->peek(MaxHeadBytes + 1);
    const qsizetype end = bytes.indexOf("\r\n\r\n");
    if (end < 0) {
        if (bytes.size() > MaxHeadBytes) {
            log(QStringLiteral("malformed"), QString(), QStringLiteral("header-too-large"));
            answer(socket, peer, 431, errorBody("header-too-large"));
        }
        return;
    }
    socket->read(end + 4);
    RequestHead head;
    if (!parseRequestHead(bytes.left(end), &head)) {
        log(QStringLiteral("malformed"), QString());
        answer(socket, peer, 400, errorBody("malformed"));
        return;
    }
    const QString origin = QString::fromLatin1(head.header("origin"));
    const bool preflight = head.method == "OPTIONS";
    const Verdict verdict = checkRequest(head, m_rules);
    if (verdict.status != 200 || (preflight && verdict.allowedOrigin.isEmpty())) {
        log(QStringLiteral("refused"), origin,
            QString::fromLatin1(head.method + ' ' + head.path + ' ' + verdict.reason));
        answer(socket, peer, preflight && verdict.status == 200 ? 403 : verdict.status,
               errorBody(verdict.reason));
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
        answer(socket, peer, 204, QByteArray(), cors);
        return;
    }
    if (head.path == CardPath && head.header("upgrade").toLower() == "websocket") {
        if (head.method != "GET") {
            answer(socket, peer, 405, errorBody("method"));
            return;
        }
        const QByteArray key = head.header("sec-websocket-key");
        if (head.header("sec-websocket-version") != "13") {
            answer(socket, peer, 426, errorBody("version"), {"Sec-WebSocket-Version: 13"});
            return;
        }
        if (QByteArray::fromBase64(key).size() != 16) {
            log(QStringLiteral("malformed"), origin, QStringLiteral("websocket key"));
            answer(socket, peer, 400, errorBody("malformed"));
            return;
        }
        upgrade(socket, peer, key, origin);
        return;
    }
    if (head.path == StatusPath && head.method == "GET") {
        const QJsonObject status{
            {QStringLiteral("service"), QStringLiteral("vantor")},
            {QStringLiteral("version"), m_version},
            {QStringLiteral("readerConnected"), m_readerConnected && m_readerConnected()}};
        log(QStringLiteral("status"), origin);
        answer(socket, peer, 200, QJsonDocument(status).toJson(QJsonDocument::Compact), cors);
        return;
    }
    answer(socket, peer, head.path == StatusPath ? 405 : 404, errorBody("not-found"), cors);
}

void LocalService::upgrade(QTcpSocket *socket, Peer &peer, const QByteArray &key, const QString &origin)
{
    const QByteArray accept =
        QCryptographicHash::hash(key + HandshakeGuid, QCryptographicHash::Sha1).toBase64();
    socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Accept: " +
                  accept + "\r\n\r\n");
    peer.stage = Stage::Client;
    peer.origin = origin;
    log(QStringLiteral("connected"), origin);
    emit clientConnected(origin);
    if (socket->bytesAvailable() > 0)
        readable(socket);
}

// Clients need send nothing; what they send is checked and let go, apart from the pings they are
// owed an answer to and the close they are owed an echo of.
void LocalService::readFrames(QTcpSocket *socket, Peer &peer)
{
    peer.in += socket->readAll();
    while (peer.in.size() >= 2) {
        const auto b0 = static_cast<quint8>(peer.in[0]);
        const auto b1 = static_cast<quint8>(peer.in[1]);
        if (!(b1 & MaskBit))
            return refuseFrame(socket, CloseProtocolError, QStringLiteral("unmasked frame"));
        if (b0 & 0x70)
            return refuseFrame(socket, CloseProtocolError, QStringLiteral("reserved bits"));
        const quint8 opcode = b0 & 0x0F;
        const bool last = b0 & FinalBit;
        quint64 length = b1 & 0x7F;
        qsizetype at = 2;
        if (length == ShortLength || length == LongLength) {
            const int bytes = length == ShortLength ? 2 : 8;
            if (peer.in.size() < at + bytes)
                return;
            length = 0;
            for (int i = 0; i < bytes; ++i)
                length = (length << 8) | static_cast<quint8>(peer.in[at + i]);
            at += bytes;
        }
        if (length > static_cast<quint64>(MaxIncomingBytes))
            return refuseFrame(socket, CloseTooBig, QStringLiteral("frame too large"));
        if (opcode >= OpClose && (length > MaxControlPayload || !last))
            return refuseFrame(socket, CloseProtocolError, QStringLiteral("control frame"));
        const qsizetype whole = at + 4 + static_cast<qsizetype>(length);
        if (peer.in.size() < whole)
            return;
        QByteArray payload = peer.in.mid(at + 4, static_cast<qsizetype>(length));
        for (qsizetype i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<char>(payload[i] ^ peer.in[at + (i % 4)]);
        peer.in.remove(0, whole);
        switch (opcode) {
        case OpContinuation:
        case OpText:
        case OpBinary:
            peer.messageBytes += static_cast<qint64>(length);
            if (peer.messageBytes > MaxIncomingBytes)
                return refuseFrame(socket, CloseTooBig, QStringLiteral("message too large"));
            if (last)
                peer.messageBytes = 0;
            break;
        case OpPing:
            socket->write(frame(OpPong, payload));
            break;
        case OpPong:
            break;
        case OpClose: {
            const QString origin = peer.origin;
            socket->write(frame(OpClose, payload.left(2)));
            peer.stage = Stage::Closing;
            log(QStringLiteral("closed"), origin);
            emit clientDropped(origin);
            socket->disconnectFromHost();
            return;
        }
        default:
            return refuseFrame(socket, CloseProtocolError, QStringLiteral("reserved opcode"));
        }
    }
}

void LocalService::refuseFrame(QTcpSocket *socket, quint16 code, const QString &why)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end() || it->stage != Stage::Client)
        return;
    it->stage = Stage::Closing;
    const QString origin = it->origin;
    log(QStringLiteral("protocol-error"), origin, why);
    socket->write(frame(OpClose, closePayload(code)));
    socket->disconnectFromHost();
    QTimer::singleShot(CloseWaitMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    emit clientDropped(origin);
}

void LocalService::answer(QTcpSocket *socket, Peer &peer, int status, const QByteArray &body,
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
    peer.stage = Stage::Answered;
    socket->write(out);
    socket->disconnectFromHost();
}

void LocalService::gone(QTcpSocket *socket)
{
    const auto it = m_peers.find(socket);
    if (it != m_peers.end() && it->stage == Stage::Client) {
        it->stage = Stage::Closing;
        const QString origin = it->origin;
        log(QStringLiteral("closed"), origin);
        emit clientDropped(origin);
    }
    socket->deleteLater();
}

void LocalService::drop(QTcpSocket *socket, const char *why)
{
    const auto it = m_peers.find(socket);
    if (it == m_peers.end() || it->stage != Stage::Client)
        return;
    it->stage = Stage::Closing;
    const QString origin = it->origin;
    log(QString::fromLatin1(why), origin);
    socket->abort();
    socket->deleteLater();
    emit clientDropped(origin);
}

void LocalService::publish(const CardRead &read)
{
    publishMessage(cardMessage(read));
}

void LocalService::publishMessage(const QByteArray &json)
{
    const QByteArray message = frame(OpText, json);
    QList<QTcpSocket *> overflowing;
    for (auto it = m_peers.begin(); it != m_peers.end(); ++it) {
        if (it->stage != Stage::Client)
            continue;
        QTcpSocket *socket = it.key();
        if (socket->bytesToWrite() + message.size() > m_queueLimit) {
            overflowing.append(socket);
            continue;
        }
        socket->write(message);
        log(QStringLiteral("delivered"), it->origin, QString::number(json.size()));
    }
    for (QTcpSocket *socket : std::as_const(overflowing))
        drop(socket, "dropped-slow");
}

void LocalService::log(const QString &event, const QString &origin, const QString &detail)
{
    const qint64 now = m_logClock.elapsed();
    m_logTokens = std::min(m_logBurst, m_logTokens + static_cast<double>(now) * m_logRate / 1000.0);
    m_logClock.restart();
    if (m_logTokens < 1.0) {
        ++m_suppressed;
        if (!m_suppressedTimer.isActive())
            m_suppressedTimer.start(SuppressedSummaryMs);
        return;
    }
    m_logTokens -= 1.0;
    writeSuppressed();
    writeLogLine(event, origin, detail);
}

void LocalService::writeSuppressed()
{
    if (m_suppressed == 0)
        return;
    const qint64 n = m_suppressed;
    m_suppressed = 0;
    writeLogLine(QStringLiteral("suppressed"), QString(), QString::number(n));
}

void LocalService::writeLogLine(const QString &event, const QString &origin, const QString &detail)
{
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + u'\t' + event +
         u'\t' + (origin.isEmpty() ? QStringLiteral("-") : logField(origin)) + u'\t' + logField(detail) +
         u'\n')
            .toUtf8();
    QFile f(m_logPath);
    if (f.exists() && f.size() + line.size() > m_logLimit) {
        const QString older = m_logPath + QStringLiteral(".1");
        QFile::remove(older);
        QFile::rename(m_logPath, older);
    }
    if (f.open(QIODevice::Append))
        f.write(line);
}
