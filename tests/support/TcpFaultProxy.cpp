#include "TcpFaultProxy.h"

#include <QTcpSocket>

#include <algorithm>

TcpFaultProxy::TcpFaultProxy(QObject *parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &TcpFaultProxy::accept);
}

TcpFaultProxy::~TcpFaultProxy()
{
    while (!links.empty())
        drop(links.back().get());
}

bool TcpFaultProxy::listen(const QHostAddress &targetHost, quint16 port)
{
    target = targetHost;
    targetPort = port;
    return server.listen(QHostAddress::LocalHost, 0);
}

void TcpFaultProxy::pass()
{
    mode = Mode::Pass;
    std::vector<Link *> silent;
    for (const auto &link : links)
        if (link->silent)
            silent.push_back(link.get());
    for (Link *link : silent)
        drop(link);
}

void TcpFaultProxy::cut()
{
    mode = Mode::Cut;
    while (!links.empty())
        drop(links.back().get());
}

void TcpFaultProxy::blackHole()
{
    mode = Mode::BlackHole;
    for (const auto &link : links)
        link->silent = true;
}

void TcpFaultProxy::accept()
{
    while (QTcpSocket *near = server.nextPendingConnection()) {
        if (mode == Mode::Cut) {
            ++turnedAwayCount;
            near->abort();
            near->deleteLater();
        } else {
            open(near);
        }
    }
}

void TcpFaultProxy::open(QTcpSocket *near)
{
    auto link = std::make_unique<Link>();
    Link *raw = link.get();
    raw->near = near;
    raw->silent = mode == Mode::BlackHole;
    links.push_back(std::move(link));
    connect(near, &QTcpSocket::readyRead, this, [this, raw] { forward(raw); });
    connect(near, &QTcpSocket::disconnected, this, [this, raw] { drop(raw); });
    if (raw->silent)
        return;
    raw->far = new QTcpSocket(this);
    connect(raw->far, &QTcpSocket::connected, this, [this, raw] { forward(raw); });
    connect(raw->far, &QTcpSocket::readyRead, this, [this, raw] { forward(raw); });
    connect(raw->far, &QTcpSocket::disconnected, this, [this, raw] { farGone(raw); });
    connect(raw->far, &QTcpSocket::errorOccurred, this, [this, raw] { farGone(raw); });
    raw->far->connectToHost(target, targetPort);
}

void TcpFaultProxy::forward(Link *link)
{
    if (link->silent) {
        // Taken and thrown away, so that the sender sees its bytes go out.
        link->near->readAll();
        if (link->far)
            link->far->readAll();
        return;
    }
    if (link->far->state() != QAbstractSocket::ConnectedState)
        return; // the client's bytes wait in its socket until the target answers
    if (link->near->bytesAvailable() > 0)
        link->far->write(link->near->readAll());
    if (link->far->bytesAvailable() > 0)
        link->near->write(link->far->readAll());
}

void TcpFaultProxy::farGone(Link *link)
{
    // In a black hole the client learns nothing of the far side either.
    if (link->silent)
        return;
    drop(link);
}

void TcpFaultProxy::drop(Link *link)
{
    const auto found =
        std::find_if(links.begin(), links.end(), [link](const auto &owned) { return owned.get() == link; });
    if (found == links.end())
        return; // already dropped: abort() below can report once more
    const std::unique_ptr<Link> owned = std::move(*found);
    links.erase(found);
    for (QTcpSocket *socket : {owned->near, owned->far}) {
        if (!socket)
            continue;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}
