#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net (the serial device server of the Debian package) as a child process
// of a test: raw TCP on 127.0.0.1:<port> to a serial device, typically the
// meter simulator's pseudo-terminal. Runs in the foreground with its own
// configuration file in a temporary directory, and ends with the test.
class Ser2NetProcess : public QObject {
    Q_OBJECT

public:
    explicit Ser2NetProcess(QObject *parent = nullptr);
    ~Ser2NetProcess() override;

    // A loopback port nothing listens on right now.
    static quint16 freePort();
    // The configuration that connects 127.0.0.1:`port` to `device`.
    static QByteArray config(const QString &device, quint16 port);

    // Starts ser2net and waits up to `timeoutMs` until it accepts
    // connections. False (with the reason in errorText()) otherwise.
    bool start(const QString &device, quint16 port, int timeoutMs = 30000);
    // Ends it with SIGTERM; true when it has ended.
    bool stop(int timeoutMs = 30000);
    // Ends it with SIGKILL, as a crashed or powered-off device server.
    bool kill(int timeoutMs = 30000);

    quint16 port() const { return listenPort; }
    QStringList arguments() const { return child.arguments(); }
    QString errorText();

private:
    bool waitUntilListening(int timeoutMs);

    QTemporaryDir dir;
    QProcess child;
    quint16 listenPort = 0;
    QString notes;
};
