#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// Debian's mosquitto broker as a child process of a test: listens on
// 127.0.0.1:<port> with anonymous access and nothing kept on disk, runs in
// the foreground with its own configuration file in a temporary directory,
// and ends with the test.
class MosquittoProcess : public QObject {
    Q_OBJECT

public:
    explicit MosquittoProcess(QObject *parent = nullptr);
    ~MosquittoProcess() override;

    // A loopback port nothing listens on right now.
    static quint16 freePort();
    static QByteArray config(quint16 port);

    // Starts the broker on `port` (0: a free one) and waits up to
    // `timeoutMs` until it accepts connections. False (with the reason in
    // errorText()) otherwise.
    bool start(quint16 port = 0, int timeoutMs = 30000);
    // Ends it with SIGTERM; true when it has ended.
    bool stop(int timeoutMs = 30000);
    // Ends it with SIGKILL, as a crashed or powered-off broker.
    bool kill(int timeoutMs = 30000);
    // Stops it if it runs, and starts it again on the same port.
    bool restart(int timeoutMs = 30000);

    quint16 port() const { return listenPort; }
    // Everything the broker has logged so far (connections, disconnections).
    QByteArray output();
    QString errorText();

private:
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir dir;
    QProcess child;
    quint16 listenPort = 0;
    QByteArray log;
    QString notes;
};
