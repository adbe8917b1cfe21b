#pragma once

#include <QTcpSocket>
#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback listener whose accept queue is full: it takes no connection
// after the one that fills it, so a client's connect gets no answer to its
// SYN and hangs until the TCP time-out, minutes later.
class FullListener {
public:
    FullListener()
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), size) != 0 || ::listen(fd, 0) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        listenPort = ntohs(address.sin_port);
        filler.connectToHost(QHostAddress::LocalHost, listenPort);
    }
    ~FullListener()
    {
        filler.abort();
        if (fd >= 0)
            ::close(fd);
    }
    FullListener(const FullListener &) = delete;
    FullListener &operator=(const FullListener &) = delete;

    // The port, once the queue is full; 0 when that failed.
    quint16 port()
    {
        const bool full = QTest::qWaitFor([&] { return filler.state() == QAbstractSocket::ConnectedState; }, 30000);
        return full ? listenPort : 0;
    }

private:
    int fd = -1;
    quint16 listenPort = 0;
    QTcpSocket filler;
};
