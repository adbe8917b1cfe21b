#include "MosquittoProcess.h"

MosquittoProcess::MosquittoProcess(QObject *parent) : ListeningPeer(QStringLiteral("mosquitto"), parent) {}

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
    const quint16 listenOn = port != 0 ? port : freePort();
    return launch(listenOn, QStringLiteral("mosquitto.conf"), config(listenOn),
                  {QStringLiteral("-c"), QStringLiteral("%config")}, timeoutMs);
}

bool MosquittoProcess::restart(int timeoutMs)
{
    return stop(timeoutMs) && start(port(), timeoutMs);
}
