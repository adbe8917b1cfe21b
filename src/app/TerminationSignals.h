#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into the Qt signal requested() on the GUI thread,
// so that the program closes as its Exit command does (language saved, port
// closed) instead of dying where it stands. The signal handler only writes one
// byte into a socket pair, the one thing it may safely do; a socket notifier
// picks the byte up in the event loop. Where there are no POSIX signals the
// handlers are not installed and the platform's default handling stays.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // Installs the handlers; false when the socket pair or a handler could
    // not be set up, or on a platform without POSIX signals (the default
    // handling then stays in force).
    bool install();

signals:
    void requested(int signalNumber);

private:
#ifdef Q_OS_UNIX
    void readSignal();

    QSocketNotifier *notifier = nullptr;
#endif
};
