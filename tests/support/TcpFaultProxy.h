#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <memory>
#include <vector>

class QTcpSocket;

// A TCP proxy on a free loopback port in front of a target host:port, run
// by the test's event loop, that puts a network partition between a client
// and its server on command:
// - pass(): forwards both ways (new connections connect to the target);
// - cut(): closes every connection, and closes each new one as soon as it
//   is accepted, as a middlebox does whose far side is gone;
// - blackHole(): keeps every connection open but forwards nothing either
//   way, and accepts new connections without connecting them onwards, as a
//   link that drops every packet. The next pass() closes them.
class TcpFaultProxy : public QObject {
    Q_OBJECT

public:
    explicit TcpFaultProxy(QObject *parent = nullptr);
    ~TcpFaultProxy() override;

    // Starts listening, in pass mode; false when no port could be had.
    bool listen(const QHostAddress &targetHost, quint16 targetPort);
    quint16 port() const { return server.serverPort(); }

    void pass();
    void cut();
    void blackHole();

    // Connections closed at once on arrival while cut.
    int turnedAway() const { return turnedAwayCount; }

private:
    enum class Mode { Pass, Cut, BlackHole };
    struct Link {
        QTcpSocket *near = nullptr; // from the client
        QTcpSocket *far = nullptr;  // to the target; none for one accepted into a black hole
        bool silent = false;
    };

    void accept();
    void open(QTcpSocket *near);
    void forward(Link *link);
    void farGone(Link *link);
    void drop(Link *link);

    QTcpServer server;
    QHostAddress target;
    quint16 targetPort = 0;
    Mode mode = Mode::Pass;
    std::vector<std::unique_ptr<Link>> links;
    int turnedAwayCount = 0;
};
