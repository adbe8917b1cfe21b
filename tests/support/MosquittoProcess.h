#pragma once

#include "ListeningPeer.h"

// Debian's mosquitto broker as a child process of a test: listens on
// 127.0.0.1:<port> with anonymous access and nothing kept on disk, and logs
// to its output (connections, disconnections).
class MosquittoProcess : public ListeningPeer {
    Q_OBJECT

public:
    explicit MosquittoProcess(QObject *parent = nullptr);

    static QByteArray config(quint16 port, bool anonymous = true);

    // Whether clients without a user name may connect (the default); takes
    // effect at the next start().
    void setAnonymous(bool allowed) { anonymous = allowed; }

    // Starts the broker on `port` (0: a free one) and waits up to
    // `timeoutMs` until it accepts connections.
    bool start(quint16 port = 0, int timeoutMs = 30000);
    // Stops it if it runs, and starts it again on the same port.
    bool restart(int timeoutMs = 30000);

private:
    bool anonymous = true;
};
