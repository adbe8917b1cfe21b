#include "ListeningPeer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

ListeningPeer::ListeningPeer(QString programName, QObject *parent) : QObject(parent), program(std::move(programName))
{
    child.setProcessChannelMode(QProcess::MergedChannels);
}

ListeningPeer::~ListeningPeer()
{
    if (child.state() != QProcess::NotRunning)
        stop();
}

quint16 ListeningPeer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool ListeningPeer::launch(quint16 port, const QString &configName, const QByteArray &config,
                           const QStringList &arguments, int timeoutMs)
{
    if (!dir.isValid()) {
        notes += QStringLiteral("no temporary directory\n");
        return false;
    }
    listenPort = port;
    const QString configPath = dir.filePath(configName);
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config) < 0) {
        notes += file.errorString() + QLatin1Char('\n');
        return false;
    }
    file.close();
    // Keep what an earlier run logged: starting empties the channel.
    (void)output();
    QStringList expanded;
    for (const QString &argument : arguments)
        expanded << (argument == QLatin1String("%config") ? configPath
                     : argument.startsWith(QLatin1String("%dir/"))
                         ? dir.filePath(argument.mid(5))
                         : argument);
    child.start(program, expanded);
    if (!child.waitForStarted(timeoutMs)) {
        notes += child.errorString() + QLatin1Char('\n');
        return false;
    }
    return waitUntilListening(timeoutMs);
}

bool ListeningPeer::waitUntilListening(int timeoutMs)
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
    notes += QStringLiteral("%1 does not listen on %2\n").arg(program).arg(listenPort);
    return false;
}

bool ListeningPeer::stop(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.terminate();
    if (child.waitForFinished(timeoutMs))
        return true;
    return kill(timeoutMs);
}

bool ListeningPeer::kill(int timeoutMs)
{
    if (child.state() == QProcess::NotRunning)
        return true;
    child.kill();
    return child.waitForFinished(timeoutMs);
}

QByteArray ListeningPeer::output()
{
    log += child.readAll();
    return log;
}

QString ListeningPeer::errorText()
{
    return notes + QString::fromLocal8Bit(output());
}
