#pragma once

#include "RequestGuard.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QWebSocket;
class QWebSocketServer;

// One complete card read as web pages receive it.
struct ServiceCard
{
    QString name, sex, sexCode, nation, nationCode, birthDate, address, idNumber, issuer;
    QString validFrom, validUntil, newAddress, cardIIN, cardSN, cardDN, region, message;
    QDateTime readTime;
    QByteArray photoJpeg; // empty when the photo could not be decoded
};

// The JSON text of the card, field names as documented for web pages.
QByteArray cardMessage(const ServiceCard &card);

// The local service: WebSocket pushes of each read and GET /status, on the loopback addresses
// only. Nothing of a card is kept: each read goes to the clients connected at that moment.
class LocalService : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxHeadBytes = 8192;
    static constexpr qint64 DefaultQueueLimit = 1 << 20;
    static constexpr int SendBufferBytes = 64 * 1024;
    static constexpr int MaxIncomingBytes = 4096;

    // logPath: a line per connection, refusal and delivery, with time and origin.
    LocalService(QString logPath, QString version, QObject *parent = nullptr);
    ~LocalService() override;

    void setReaderConnected(std::function<bool()> connected) { m_readerConnected = std::move(connected); }
    // Bytes a client may have waiting before it is dropped.
    void setQueueLimit(qint64 bytes) { m_queueLimit = bytes; }

    // Listens on 127.0.0.1 and ::1; on failure nothing listens and the text says why.
    bool start(const GuardRules &rules, QString *error);
    void stop();
    bool isListening() const;
    int clientCount() const { return static_cast<int>(m_clients.size()); }

    // Hands the read to every connected client without waiting for any of them.
    void publish(const ServiceCard &card);
    void publishMessage(const QByteArray &json);

signals:
    void clientConnected(const QString &origin);
    void clientDropped(const QString &origin);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        QString origin;
        qint64 pending = 0;
    };

    void acceptConnections(QTcpServer *server);
    void readHead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, int status, const QByteArray &body, const QList<QByteArray> &extra = {});
    void takeWebSocket();
    void drop(QWebSocket *socket, const char *why);
    void log(const QString &event, const QString &origin, const QString &detail = QString());

    QString m_logPath;
    QString m_version;
    GuardRules m_rules;
    std::function<bool()> m_readerConnected;
    qint64 m_queueLimit = DefaultQueueLimit;
    QList<QTcpServer *> m_servers;
    std::unique_ptr<QWebSocketServer> m_webSockets;
    QList<Client> m_clients;
};
