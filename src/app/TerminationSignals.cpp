#include "TerminationSignals.h"

#ifdef Q_OS_UNIX

#include <QSocketNotifier>

#include <array>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// [0] is written by the handler, [1] read on the GUI thread. One pair per
// process, as there is one set of signal handlers.
std::array<int, 2> pipeEnds{-1, -1};

extern "C" void onTerminationSignal(int signalNumber)
{
    const char byte = static_cast<char>(signalNumber);
    // write() is async-signal-safe; a full socket means a request is already
    // pending, so a lost byte changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
}

bool installHandler(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(signalNumber, &action, nullptr) == 0;
}

void restoreDefault(int signalNumber)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signalNumber, &action, nullptr);
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals()
{
    if (!notifier)
        return;
    restoreDefault(SIGTERM);
    restoreDefault(SIGINT);
    delete notifier;
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    pipeEnds = {-1, -1};
}

bool TerminationSignals::install()
{
    if (notifier || pipeEnds[0] >= 0)
        return false;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, pipeEnds.data()) != 0)
        return false;
    notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
    return installHandler(SIGTERM) && installHandler(SIGINT);
}

void TerminationSignals::readSignal()
{
    char byte = 0;
    while (::read(pipeEnds[1], &byte, 1) == 1)
        emit requested(static_cast<unsigned char>(byte));
}

#else

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent) {}

TerminationSignals::~TerminationSignals() = default;

bool TerminationSignals::install()
{
    return false;
}

#endif
