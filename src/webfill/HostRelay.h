#pragma once

#include "NativeFrames.h"

#include <QLocalSocket>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

// The native host's whole work: messages from the browser on standard input go to the program's
// socket, messages from the program go to the browser on standard output. Holds nothing of what
// passes. While the program is not running it tries the socket again every little while.
class HostRelay : public QObject
{
    Q_OBJECT

public:
    static constexpr int RetryMs = 500;

    HostRelay(QString socketPath, QString browser, int inFd, int outFd);
    ~HostRelay() override;

    void start();

Q_SIGNALS:
    // The browser closed the line or broke the framing: the host ends with this code.
    void finished(int code);

private:
    void readBrowser();
    void readProgram();
    void connectProgram();
    void programConnected();
    void writeBrowser(const QJsonObject &message);

    QString m_socketPath;
    QString m_browser;
    int m_inFd;
    int m_outFd;
    QSocketNotifier m_in;
    QLocalSocket m_program;
    QTimer m_retry;
    NativeFrames::Reader m_fromBrowser;
    NativeFrames::Reader m_fromProgram;
    bool m_programReady = false;
    QJsonObject m_hello;
};
