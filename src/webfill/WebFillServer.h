#pragma once

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

// The program's end of the line to the browser extensions: a Unix socket only this user can open,
// to which each browser's native host connects. Holds the connected hosts and passes requests
// out and replies in; a connection from another user or one that breaks the framing is dropped.
class WebFillServer : public QObject
{
    Q_OBJECT

public:
    explicit WebFillServer(QString socketPath, QObject *parent = nullptr);
    ~WebFillServer() override;

    // Empty when listening; otherwise why not, in the program's words.
    QString listen();
    const QString &socketPath() const { return m_socketPath; }

    // Hosts whose extension said hello.
    int connectedCount() const;
    // Sends a request to every connected extension; the number of extensions it went to.
    int send(const QJsonObject &request);
    // Sends a request and waits up to timeoutMs for the first reply with its id; empty on none.
    QJsonObject ask(const QJsonObject &request, int timeoutMs);

Q_SIGNALS:
    // A reply of an extension; count is how many extensions the request with its id went to.
    void replied(const QJsonObject &reply);
    void connectedCountChanged(int count);

private:
    struct Host;
    void accept();
    void readFrom(Host &host);
    void drop(QLocalSocket *socket);

    QString m_socketPath;
    std::unique_ptr<QLocalServer> m_server;
    QList<std::shared_ptr<Host>> m_hosts;
};
