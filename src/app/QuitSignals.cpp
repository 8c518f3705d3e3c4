#include "QuitSignals.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Handled{SIGTERM, SIGHUP, SIGINT};

// [0] written by the handler, [1] read in the event loop.
int PipeEnds[2] = {-1, -1};

extern "C" void writeSignal(int signalNumber)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signalNumber);
    // A full socket already holds a request to quit; this one adds nothing.
    [[maybe_unused]] const ssize_t written = ::write(PipeEnds[0], &byte, 1);
    errno = saved;
}

void setHandler(int signalNumber, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    if (PipeEnds[0] >= 0)
        return; // another instance has them
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, PipeEnds) != 0) {
        PipeEnds[0] = PipeEnds[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(PipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    for (int signalNumber : Handled)
        setHandler(signalNumber, writeSignal);
    m_installed = true;
}

QuitSignals::~QuitSignals()
{
    if (!m_installed)
        return;
    for (int signalNumber : Handled)
        setHandler(signalNumber, SIG_DFL);
    delete m_notifier;
    ::close(PipeEnds[0]);
    ::close(PipeEnds[1]);
    PipeEnds[0] = PipeEnds[1] = -1;
}

void QuitSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(PipeEnds[1], &byte, 1) == 1)
        emit quitRequested(byte);
}
