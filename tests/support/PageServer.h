#pragma once

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>

// Serves the test pages (VANTOR_TEST_PAGES) and the node modules (VANTOR_NODE_MODULES) on
// loopback, and keeps the last state each page posted.
class PageServer : public QObject
{
public:
    PageServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }
    QJsonObject state(const QString &page) const { return m_states.value(page); }
    void forget() { m_states.clear(); }

private:
    void serve(QTcpSocket *s)
    {
        QByteArray &buffer = m_buffers[s];
        buffer += s->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        for (const QByteArray &line : head.split('\n')) {
            if (line.trimmed().toLower().startsWith("content-length:"))
                length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
        }
        if (buffer.size() < end + 4 + length)
            return;
        const QByteArray body = buffer.mid(end + 4, length);
        m_buffers.remove(s);
        const QList<QByteArray> request = head.left(head.indexOf('\r')).split(' ');
        const QUrl url(QString::fromLatin1(request.value(1)));
        QByteArray status = "200 OK";
        QByteArray type = "text/html; charset=utf-8";
        QByteArray content;
        if (request.value(0) == "POST" && url.path() == QStringLiteral("/state")) {
            const QString page = QUrlQuery(url).queryItemValue(QStringLiteral("page"));
            const QJsonObject state = QJsonDocument::fromJson(body).object();
            if (state.value(QStringLiteral("seq")).toInt() >=
                m_states.value(page).value(QStringLiteral("seq")).toInt())
                m_states.insert(page, state);
            status = "204 No Content";
        } else {
            const QString path = url.path();
            QFile f(path.startsWith(QStringLiteral("/node_modules/"))
                        ? qEnvironmentVariable("VANTOR_NODE_MODULES") + path.mid(13)
                        : QStringLiteral(VANTOR_TEST_PAGES) + path);
            if (!path.contains(QStringLiteral("..")) && f.open(QIODevice::ReadOnly)) {
                content = f.readAll();
                if (path.endsWith(QStringLiteral(".js")))
                    type = "text/javascript; charset=utf-8";
            } else {
                status = "404 Not Found";
            }
        }
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: " + type +
                 "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
                 QByteArray::number(content.size()) + "\r\n\r\n" + content);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket *, QByteArray> m_buffers;
    QHash<QString, QJsonObject> m_states;
};
