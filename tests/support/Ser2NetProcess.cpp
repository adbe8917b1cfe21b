#include "Ser2NetProcess.h"

Ser2NetProcess::Ser2NetProcess(QObject *parent) : ListeningPeer(QStringLiteral("ser2net"), parent) {}

QByteArray Ser2NetProcess::config(const QString &device, quint16 port)
{
    // Raw TCP (no telnet), 9600 8N2 on the serial side without modem
    // control; a new client takes the port over from an old one; an answer
    // goes on as soon as it is in, as the README advises.
    return QStringLiteral("connection: &meters\n"
                          "  accepter: tcp,127.0.0.1,%1\n"
                          "  connector: serialdev,%2,9600n82,local\n"
                          "  options:\n"
                          "    kickolduser: true\n"
                          "    chardelay: false\n"
                          "    mdns: false\n")
        .arg(port)
        .arg(device)
        .toUtf8();
}

bool Ser2NetProcess::start(const QString &device, quint16 port, int timeoutMs)
{
    // -n: stay in the foreground; -u: no UUCP lock on the device; -P: the pid
    // file in our directory instead of the system's.
    return launch(port, QStringLiteral("ser2net.yaml"), config(device, port),
                  {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-P"), QStringLiteral("%dir/ser2net.pid"),
                   QStringLiteral("-c"), QStringLiteral("%config")},
                  timeoutMs);
}
