#pragma once

#include "ListeningPeer.h"

// ser2net (the serial device server of the Debian package) as a child process
// of a test: raw TCP on 127.0.0.1:<port> to a serial device, typically the
// meter simulator's pseudo-terminal.
class Ser2NetProcess : public ListeningPeer {
    Q_OBJECT

public:
    explicit Ser2NetProcess(QObject *parent = nullptr);

    // The configuration that connects 127.0.0.1:`port` to `device`.
    static QByteArray config(const QString &device, quint16 port);

    // Starts ser2net and waits up to `timeoutMs` until it accepts
    // connections. False (with the reason in errorText()) otherwise.
    bool start(const QString &device, quint16 port, int timeoutMs = 30000);
};
