#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A server program run as a child process of a test, in the foreground,
// with a configuration file of its own in a temporary directory, listening
// on a loopback port; it ends with the test. ser2net and mosquitto are run
// this way.
class ListeningPeer : public QObject {
    Q_OBJECT

public:
    ~ListeningPeer() override;

    // A loopback port nothing listens on right now.
    static quint16 freePort();

    // Ends it with SIGTERM (SIGKILL when that does not end it); true when it
    // has ended.
    bool stop(int timeoutMs = 30000);
    // Ends it with SIGKILL, as a crashed or powered-off server.
    bool kill(int timeoutMs = 30000);

    quint16 port() const { return listenPort; }
    // Everything the program has written so far.
    QByteArray output();
    QString errorText();

protected:
    explicit ListeningPeer(QString program, QObject *parent = nullptr);

    // Writes `config` to `configName` in the directory, starts the program
    // with `arguments` ("%config" standing for the file's path, "%dir" for
    // the directory) and waits up to `timeoutMs` until it accepts
    // connections on `port`. False, with the reason in errorText(),
    // otherwise.
    bool launch(quint16 port, const QString &configName, const QByteArray &config, const QStringList &arguments,
                int timeoutMs);

private:
    bool waitUntilListening(int timeoutMs);

    const QString program;
    QTemporaryDir dir;
    QProcess child;
    quint16 listenPort = 0;
    QByteArray log;
    QString notes;
};
