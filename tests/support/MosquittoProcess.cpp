#include "MosquittoProcess.h"

MosquittoProcess::MosquittoProcess(QObject *parent) : ListeningPeer(QStringLiteral("mosquitto"), parent) {}

QByteArray MosquittoProcess::config(quint16 port, bool anonymous)
{
    // The broker logs to stderr in the foreground, which the test reads.
    return QStringLiteral("listener %1 127.0.0.1\n"
                          "allow_anonymous %2\n"
                          "persistence false\n")
        .arg(port)
        .arg(anonymous ? QStringLiteral("true") : QStringLiteral("false"))
        .toUtf8();
}

bool MosquittoProcess::start(quint16 port, int timeoutMs)
{
    const quint16 listenOn = port != 0 ? port : freePort();
    return launch(listenOn, QStringLiteral("mosquitto.conf"), config(listenOn, anonymous),
                  {QStringLiteral("-c"), QStringLiteral("%config")}, timeoutMs);
}

bool MosquittoProcess::restart(int timeoutMs)
{
    return stop(timeoutMs) && start(port(), timeoutMs);
}
