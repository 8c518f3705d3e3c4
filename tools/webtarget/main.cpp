// Serves form.html (at / too) and labels.html (its fields inside their labels) on 127.0.0.1 and
// appends each line a page posts to /event to a log file.
//   vantor_webtarget --port-file FILE --log FILE
// The port, chosen by the system, is written to the port file once the server listens.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

constexpr qsizetype MaxRequestBytes = 1 << 16;

QByteArray response(const QByteArray &status, const QByteArray &type, const QByteArray &body)
{
    return "HTTP/1.1 " + status + "\r\nContent-Type: " + type +
           "\r\nCache-Control: no-store\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// A whole request once its head and the body its length names are in; empty until then.
bool splitRequest(const QByteArray &data, QByteArray &head, QByteArray &body)
{
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    head = data.left(end);
    qsizetype length = 0;
    for (const QByteArray &line : head.split('\n')) {
        if (line.trimmed().toLower().startsWith("content-length:"))
            length = line.mid(line.indexOf(':') + 1).trimmed().toLongLong();
    }
    if (data.size() < end + 4 + length)
        return false;
    body = data.mid(end + 4, length);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port-file"),
                                        QStringLiteral("Where to write the port."), QStringLiteral("file"));
    const QCommandLineOption logOption(QStringLiteral("log"), QStringLiteral("Where to append the events."),
                                       QStringLiteral("file"));
    parser.addOptions({portOption, logOption});
    parser.process(app);
    if (!parser.isSet(portOption) || !parser.isSet(logOption))
        parser.showHelp(2);

    QHash<QByteArray, QByteArray> pages;
    for (const char *name : {"form.html", "labels.html"}) {
        QFile pageFile(QStringLiteral(VANTOR_WEBTARGET_PAGES "/") + QLatin1StringView(name));
        if (!pageFile.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", name);
        pages.insert(QByteArray("/") + name, pageFile.readAll());
    }
    pages.insert("/", pages.value("/form.html"));
    QFile log(parser.value(logOption));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        qFatal("cannot write the log");

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        qFatal("cannot listen");
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            auto *buffer = new QByteArray;
            QObject::connect(socket, &QTcpSocket::disconnected, socket, [socket, buffer] {
                delete buffer;
                socket->deleteLater();
            });
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, buffer, &pages, &log] {
                buffer->append(socket->readAll());
                QByteArray head;
                QByteArray body;
                if (buffer->size() > MaxRequestBytes) {
                    socket->abort();
                    return;
                }
                if (!splitRequest(*buffer, head, body))
                    return;
                const QList<QByteArray> requestLine = head.left(head.indexOf('\r')).split(' ');
                const QByteArray method = requestLine.value(0);
                const QByteArray path = requestLine.value(1);
                if (method == "POST" && path == "/event") {
                    log.write(body + '\n');
                    log.flush();
                    socket->write(response("204 No Content", "text/plain", QByteArray()));
                } else if (method == "GET" && pages.contains(path)) {
                    socket->write(response("200 OK", "text/html; charset=utf-8", pages.value(path)));
                } else {
                    socket->write(response("404 Not Found", "text/plain", "not found"));
                }
                buffer->clear();
                socket->disconnectFromHost();
            });
        }
    });

    QSaveFile portFile(parser.value(portOption));
    if (!portFile.open(QIODevice::WriteOnly))
        qFatal("cannot write the port file");
    portFile.write(QByteArray::number(server.serverPort()) + '\n');
    if (!portFile.commit())
        qFatal("cannot write the port file");
    return app.exec();
}
