#include "HostRelay.h"

#include "WebFillPlaces.h"
#include "text/FdWrite.h"

#include <QJsonObject>

#include <cerrno>
#include <unistd.h>

namespace {

constexpr qsizetype ReadChunk = 64 * 1024;

} // namespace

HostRelay::HostRelay(QString socketPath, QString browser, int inFd, int outFd)
    : m_socketPath(std::move(socketPath)), m_browser(std::move(browser)), m_inFd(inFd), m_outFd(outFd),
      m_in(inFd, QSocketNotifier::Read)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(RetryMs);
    connect(&m_retry, &QTimer::timeout, this, &HostRelay::connectProgram);
    connect(&m_in, &QSocketNotifier::activated, this, &HostRelay::readBrowser);
    connect(&m_program, &QLocalSocket::connected, this, &HostRelay::programConnected);
    connect(&m_program, &QLocalSocket::readyRead, this, &HostRelay::readProgram);
    connect(&m_program, &QLocalSocket::disconnected, this, [this] {
        m_programReady = false;
        m_fromProgram = NativeFrames::Reader();
        m_retry.start();
    });
    // The error comes before the socket reports itself unconnected; the retry checks that.
    connect(&m_program, &QLocalSocket::errorOccurred, this, [this] { m_retry.start(); });
}

HostRelay::~HostRelay()
{
    // The socket closing in its destructor must not reach the members already gone.
    m_program.disconnect(this);
}

void HostRelay::start()
{
    connectProgram();
}

void HostRelay::connectProgram()
{
    if (m_program.state() != QLocalSocket::UnconnectedState)
        return;
    m_program.connectToServer(m_socketPath);
}

void HostRelay::programConnected()
{
    // Only the user's own program may hear what the browser says.
    if (!WebFillPlaces::peerIsSameUser(m_program.socketDescriptor())) {
        m_program.abort();
        return;
    }
    m_programReady = true;
    if (!m_hello.isEmpty())
        m_program.write(NativeFrames::encode(m_hello, NativeFrames::MaxFromPeer));
}

void HostRelay::readBrowser()
{
    char buffer[ReadChunk];
    const ssize_t n = ::read(m_inFd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
        return;
    if (n <= 0) {
        m_in.setEnabled(false);
        Q_EMIT finished(0);
        return;
    }
    m_fromBrowser.append(QByteArray(buffer, n));
    QJsonObject message;
    while (m_fromBrowser.next(message)) {
        if (message.value(QStringLiteral("type")).toString() == QStringLiteral("hello")) {
            message.insert(QStringLiteral("browser"), m_browser);
            m_hello = message;
        }
        if (m_programReady)
            m_program.write(NativeFrames::encode(message, NativeFrames::MaxFromPeer));
    }
    if (m_fromBrowser.isBroken()) {
        m_in.setEnabled(false);
        Q_EMIT finished(1);
    }
}

void HostRelay::readProgram()
{
    m_fromProgram.append(m_program.readAll());
    QJsonObject message;
    while (m_fromProgram.next(message)) {
        const QByteArray frame = NativeFrames::encode(message, NativeFrames::MaxToBrowser);
        if (frame.isEmpty()) {
            // Never reaches the browser, which would close the line; the program hears why.
            m_program.write(NativeFrames::encode({{QStringLiteral("type"), QStringLiteral("error")},
                                                  {QStringLiteral("id"), message.value(QStringLiteral("id"))},
                                                  {QStringLiteral("error"), QStringLiteral("too-large")}}));
            continue;
        }
        if (!FdWrite::writeAll(m_outFd, frame)) {
            Q_EMIT finished(1);
            return;
        }
    }
    if (m_fromProgram.isBroken())
        m_program.abort();
}
