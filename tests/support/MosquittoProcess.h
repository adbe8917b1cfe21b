#pragma once

#include "ListeningPeer.h"

// Debian's mosquitto broker as a child process of a test: listens on
// 127.0.0.1:<port> with anonymous access and nothing kept on disk, and logs
// to its output (connections, disconnections).
class MosquittoProcess : public ListeningPeer {
    Q_OBJECT

public:
    explicit MosquittoProcess(QObject *parent = nullptr);

    static QByteArray config(quint16 port);

    // Starts the broker on `port` (0: a free one) and waits up to
    // `timeoutMs` until it accepts connections.
    bool start(quint16 port = 0, int timeoutMs = 30000);
    // Stops it if it runs, and starts it again on the same port.
    bool restart(int timeoutMs = 30000);
};
