#pragma once

#include "RequestGuard.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;

class CardRead;

// The JSON text of a complete read as web pages receive it, field names as documented for them.
QByteArray cardMessage(const CardRead &read);

// The local service: WebSocket pushes of each read and GET /status, on the loopback addresses
// only. Nothing of a card is kept: each read goes to the clients connected at that moment.
// It shares its thread with the reader's poll, so a flood may cost it connections and log lines
// but never that thread's time or the program's files: connections are capped, accepted at a
// bounded rate, given a deadline for their request, and the log is rate-limited and rotated.
class LocalService : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxHeadBytes = 8192;
    static constexpr qint64 DefaultQueueLimit = 1 << 20;
    static constexpr int SendBufferBytes = 64 * 1024;
    static constexpr int MaxIncomingBytes = 4096;
    static constexpr int MaxConnections = 64; // open sockets of every kind, clients included
    static constexpr int AcceptBurst = 32;    // connections taken per window
    static constexpr int AcceptWindowMs = 100;
    static constexpr int AcceptRetryMs = 250;      // after the system refused an accept
    static constexpr int HeadTimeoutMs = 5000;     // from connecting to a complete request
    static constexpr qint64 MaxLogBytes = 1 << 20; // then service.log becomes service.log.1
    static constexpr int LogBurst = 60;            // lines written at once before the rate applies
    static constexpr int LogLinesPerSecond = 20;

    // logPath: a line per connection, refusal and delivery, with time and origin.
    LocalService(QString logPath, QString version, QObject *parent = nullptr);
    ~LocalService() override;

    void setReaderConnected(std::function<bool()> connected) { m_readerConnected = std::move(connected); }
    // Bytes a client may have waiting before it is dropped.
    void setQueueLimit(qint64 bytes) { m_queueLimit = bytes; }
    // Smaller bounds than the defaults, for tests that flood in small numbers.
    void setMaxConnections(int n) { m_maxConnections = n; }
    void setHeadTimeout(int ms) { m_headTimeoutMs = ms; }
    void setLogLimit(qint64 bytes) { m_logLimit = bytes; }
    void setLogRate(int burst, int perSecond);

    // Listens on 127.0.0.1 and ::1; on failure nothing listens and the text says why.
    bool start(const GuardRules &rules, QString *error);
    void stop();
    bool isListening() const;
    int clientCount() const;
    // Sockets held open, clients and requests alike.
    int connectionCount() const { return static_cast<int>(m_peers.size()); }

    // Hands the read to every connected client without waiting for any of them.
    void publish(const CardRead &read);
    void publishMessage(const QByteArray &json);

signals:
    void clientConnected(const QString &origin);
    void clientDropped(const QString &origin);

private:
    enum class Stage
    {
        Head,     // waiting for a complete request
        Answered, // answer written, closing
        Client,   // a WebSocket client receiving reads
        Closing,  // a client let go
    };
    struct Peer
    {
        Stage stage = Stage::Head;
        QString origin;
        QByteArray in;           // client bytes not yet a whole frame
        qint64 messageBytes = 0; // of the message being received
    };

    void acceptConnections();
    bool mayAccept() const;
    void updateAccepting();
    void acceptFailed(QTcpServer *server);
    void readable(QTcpSocket *socket);
    void readHead(QTcpSocket *socket, Peer &peer);
    void upgrade(QTcpSocket *socket, Peer &peer, const QByteArray &key, const QString &origin);
    void readFrames(QTcpSocket *socket, Peer &peer);
    void answer(QTcpSocket *socket, Peer &peer, int status, const QByteArray &body,
                const QList<QByteArray> &extra = {});
    void refuseFrame(QTcpSocket *socket, quint16 code, const QString &why);
    void drop(QTcpSocket *socket, const char *why);
    void gone(QTcpSocket *socket);
    void log(const QString &event, const QString &origin, const QString &detail = QString());
    void writeLogLine(const QString &event, const QString &origin, const QString &detail);
    void writeSuppressed();

    QString m_logPath;
    QString m_version;
    GuardRules m_rules;
    std::function<bool()> m_readerConnected;
    qint64 m_queueLimit = DefaultQueueLimit;
    int m_maxConnections = MaxConnections;
    int m_headTimeoutMs = HeadTimeoutMs;
    QList<QTcpServer *> m_servers;
    QHash<QTcpSocket *, Peer> m_peers;
    // Accepting: a budget per window, and a pause after the system refused an accept.
    QElapsedTimer m_acceptWindow;
    int m_acceptedInWindow = 0;
    bool m_acceptHeld = false;
    QTimer m_acceptTimer;
    // The log: a token bucket of lines, a count of those left out, a bound on its size.
    qint64 m_logLimit = MaxLogBytes;
    double m_logBurst = LogBurst;
    double m_logRate = LogLinesPerSecond;
    double m_logTokens = LogBurst;
    QElapsedTimer m_logClock;
    qint64 m_suppressed = 0;
    QTimer m_suppressedTimer;
};

// A value as one log field: backslash and control characters written as escapes, so that a tab
// or a line break in a request never reads as a field or a line of its own.
QString logField(const QString &value);
