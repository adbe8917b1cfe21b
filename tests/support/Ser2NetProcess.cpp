#include "Ser2NetProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

Ser2NetProcess::Ser2NetProcess(QObject *parent) : QObject(parent)
{
    child.setProcessChannelMode(QProcess::MergedChannels);
}

Ser2NetProcess::~Ser2NetProcess()
{
    if (child.state() != QProcess::NotRunning)
        stop();
}

quint16 Ser2NetProcess::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QByteArray Ser2NetProcess::config(const QString &device, quint16 port)
{
    // Raw TCP (no telnet), 9600 8N2 on the serial side without modem
    // control; a new client takes the port over from an old one.
    return QStringLiteral("connection: &meters\n"
                          "  accepter: tcp,127.0.0.1,%1\n"
                          "  connector: serialdev,%2,9600n82,local\n"
                          "  options:\n"
                          "    kickolduser: true\n"
                          "    mdns: false\n")
        .arg(port)
        .arg(device)
        .toUtf8();
}

bool Ser2NetProcess::start(const QString &device, quint16 port, int timeoutMs)
{
    if (!dir.isValid()) {
        notes += QStringLiteral("no temporary directory\n");
        return false;
    }
    listenPort = port;
    const QString configPath = dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config(device, port)) < 0) {
        notes += file.errorString() + QLatin1Char('\n');
        return false;
    }
    file.close();
    // -n: stay in the foreground; -u: no UUCP lock on the device; -P: the pid
    // file in our directory instead of the system's.
    child.start(QStringLiteral("ser2net"),
                {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"),
                 dir.filePath(QStringLiteral("ser2net.pid")), QStringLiteral("-c"), configPath});
    if (!child.waitForStarted(timeoutMs)) {
        notes += child.errorString() + QLatin1Char('\n');
        return false;
    }
    return waitUntilListening(timeoutMs);
}

bool Ser2NetProcess::waitUntilListening(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired() && child.state() == QProcess::Running) {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, listenPort);
        (void)QTest::qWaitFor(
            [&] {
                return probe.state() == QAbstractSocket::ConnectedState ||
                       probe.state() == QAbstractSocket::UnconnectedState;
            },
            int(std::max<qint64>(1, deadline.remainingTime())));
        if (probe.state() == QAbstractSocket::ConnectedState) {
            probe.abort();
            return true;
        }
        QTest::qWait(20); // the pace of the probes, not a wait for the result
    }
    notes += QStringLiteral("ser2net does not listen on %1\n").arg(listenPort);
    return false;
}

bool Ser2NetProcess::stop(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.terminate();
    if (child.waitForFinished(timeoutMs))
        return true;
    return kill(timeoutMs);
}

bool Ser2NetProcess::kill(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.kill();
    return child.waitForFinished(timeoutMs);
}

QString Ser2NetProcess::errorText()
{
    return notes + QString::fromLocal8Bit(child.readAll());
}
