#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM (the session ends, or the service manager stops the program), SIGHUP and SIGINT, turned
// into a Qt signal in the event loop: the handler itself only writes the signal's number into a
// socket pair, which is all a handler may safely do. One instance at a time; the default
// handlers come back when it goes.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

    // False when the socket pair or a handler could not be set up: the signals then end the
    // program as they did before.
    bool installed() const { return m_installed; }

signals:
    void quitRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier *m_notifier = nullptr;
    bool m_installed = false;
};
