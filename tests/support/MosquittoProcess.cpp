#include "MosquittoProcess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

MosquittoProcess::MosquittoProcess(QObject *parent) : QObject(parent)
{
    child.setProcessChannelMode(QProcess::MergedChannels);
}

MosquittoProcess::~MosquittoProcess()
{
    if (child.state() != QProcess::NotRunning)
        stop();
}

quint16 MosquittoProcess::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QByteArray MosquittoProcess::config(quint16 port)
{
    // The broker logs to stderr in the foreground, which the test reads.
    return QStringLiteral("listener %1 127.0.0.1\n"
                          "allow_anonymous true\n"
                          "persistence false\n")
        .arg(port)
        .toUtf8();
}

bool MosquittoProcess::start(quint16 port, int timeoutMs)
{
    if (!dir.isValid()) {
        notes += QStringLiteral("no temporary directory\n");
        return false;
    }
    listenPort = port != 0 ? port : freePort();
    const QString configPath = dir.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config(listenPort)) < 0) {
        notes += file.errorString() + QLatin1Char('\n');
        return false;
    }
    file.close();
    child.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), configPath});
    if (!child.waitForStarted(timeoutMs)) {
        notes += child.errorString() + QLatin1Char('\n');
        return false;
    }
    return waitUntilListening(timeoutMs);
}

bool MosquittoProcess::waitUntilListening(int timeoutMs)
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
    notes += QStringLiteral("mosquitto does not listen on %1\n").arg(listenPort);
    return false;
}

bool MosquittoProcess::stop(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.terminate();
    if (child.waitForFinished(timeoutMs))
        return true;
    return kill(timeoutMs);
}

bool MosquittoProcess::kill(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.kill();
    return child.waitForFinished(timeoutMs);
}

bool MosquittoProcess::restart(int timeoutMs)
{
    // Keep what the ended broker logged: restart() empties the channel.
    (void)output();
    return stop(timeoutMs) && start(listenPort, timeoutMs);
}

QByteArray MosquittoProcess::output()
{
    log += child.readAll();
    return log;
}

QString MosquittoProcess::errorText()
{
    return notes + QString::fromLocal8Bit(output());
}
