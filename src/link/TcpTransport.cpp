#include "TcpTransport.h"

#include <utility>

namespace {

PortFailure connectFailure(const QString &target, QAbstractSocket::SocketError error)
{
    using Reason = PortFailure::Reason;
    switch (error) {
    case QAbstractSocket::HostNotFoundError:
        return {Reason::HostNotFound, target};
    case QAbstractSocket::ConnectionRefusedError:
        return {Reason::ConnectionRefused, target};
    case QAbstractSocket::SocketTimeoutError:
        return {Reason::ConnectionTimedOut, target};
    default:
        return {Reason::Other, target, int(error)};
    }
}

} // namespace

TcpTransport::TcpTransport(const QString &serverHost, quint16 serverPort, QObject *parent)
    : Transport(parent), host(serverHost), port(serverPort)
{
    connectTimer.setSingleShot(true);
    connectTimer.setInterval(kDefaultConnectTimeoutMs);
    connect(&connectTimer, &QTimer::timeout, this, &TcpTransport::onConnectTimeout);
    connect(&socket, &QTcpSocket::connected, this, &TcpTransport::onConnected);
    connect(&socket, &QTcpSocket::readyRead, this, &TcpTransport::onReadyRead);
    connect(&socket, &QTcpSocket::errorOccurred, this, &TcpTransport::onSocketError);
    connect(&socket, &QTcpSocket::disconnected, this, &TcpTransport::onDisconnected);
}

TcpTransport::~TcpTransport()
{
    // The socket outlives the members its handlers use and aborts as it goes:
    // end the connection while they are still there, and unheard.
    disconnect(&socket, nullptr, this, nullptr);
    socket.abort();
}

bool TcpTransport::open()
{
    close();
    if (host.isEmpty() || port == 0) {
        failed = {PortFailure::Reason::NoDevice, target()};
        return false;
    }
    failed = {};
    active = true;
    resetStream();
    connectTimer.start();
    socket.connectToHost(host, port);
    return true;
}

bool TcpTransport::configure(const LineSettings &lineSettings)
{
    settings = lineSettings;
    if (isOpen())
        return true;
    failed = {PortFailure::Reason::NotConnected, target()};
    return false;
}

void TcpTransport::close()
{
    ++generation;
    active = false;
    connectTimer.stop();
    socket.abort();
    incoming.clear();
}

bool TcpTransport::isOpen() const
{
    return active && socket.state() == QAbstractSocket::ConnectedState;
}

QByteArray TcpTransport::takeBytes()
{
    return std::exchange(incoming, {});
}

void TcpTransport::discardInput()
{
    incoming.clear();
    discardStream(socket.readAll());
}

bool TcpTransport::inputPending() const
{
    return socket.bytesAvailable() > 0;
}

QString TcpTransport::target() const
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

bool TcpTransport::send(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    return socket.write(bytes) == bytes.size();
}

void TcpTransport::deliver(const QByteArray &rtuBytes)
{
    if (rtuBytes.isEmpty())
        return;
    incoming += rtuBytes;
    emit bytesArrived();
}

void TcpTransport::onConnected()
{
    connectTimer.stop();
    // Requests are single small frames: send each at once instead of
    // waiting for more to fill a segment.
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    emit connected();
}

void TcpTransport::onReadyRead()
{
    const QByteArray bytes = socket.readAll();
    if (active && !bytes.isEmpty())
        received(bytes);
}

void TcpTransport::onSocketError(QAbstractSocket::SocketError error)
{
    // The connect timer runs until the connection is up.
    if (connectTimer.isActive())
        fail(connectFailure(target(), error));
    else
        fail({PortFailure::Reason::ConnectionLost, target(), int(error)});
}

void TcpTransport::onDisconnected()
{
    fail({PortFailure::Reason::ConnectionLost, target(), int(QAbstractSocket::RemoteHostClosedError)});
}

void TcpTransport::onConnectTimeout()
{
    fail({PortFailure::Reason::ConnectionTimedOut, target()});
}

void TcpTransport::fail(const PortFailure &failure)
{
    if (!active)
        return;
    failed = failure;
    close();
    // Reported from the event loop, after the socket has finished the
    // notification that brought the failure, so that a handler may reopen.
    const quint64 closedAs = generation;
    QTimer::singleShot(0, this, [this, closedAs] {
        if (generation == closedAs)
            emit lost();
    });
}
