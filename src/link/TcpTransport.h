#pragma once

#include "Transport.h"

#include <QAbstractSocket>
#include <QTcpSocket>
#include <QTimer>

// The connection handling shared by the network transports: one TCP
// connection to host:port, opened without blocking, given up after a connect
// time-out, and reported lost once when the peer closes it or it breaks.
// Nothing here reconnects: the caller reopens (with its own backoff). A
// missing answer of a meter never closes the connection either.
//
// A subclass converts between RTU frames and its wire format through
// writeFrame() and received(); what it hands on with deliver() is what
// takeBytes() returns.
class TcpTransport : public Transport {
    Q_OBJECT

public:
    static constexpr int kDefaultConnectTimeoutMs = 5000;

    TcpTransport(const QString &host, quint16 port, QObject *parent = nullptr);
    ~TcpTransport() override;

    bool open() override;
    // Keeps the settings for the timing of frames; the device server's
    // serial side is set up on the server itself.
    bool configure(const LineSettings &settings) override;
    void close() override;
    bool isOpen() const override;

    QByteArray takeBytes() override;
    void discardInput() override;
    bool inputPending() const override;

    const PortFailure &failure() const override { return failed; }
    QString target() const override;

    const LineSettings &lineSettings() const { return settings; }
    void setConnectTimeout(int milliseconds) { connectTimer.setInterval(milliseconds); }

protected:
    // Writes wire bytes on the connection; false when it is not up or the
    // socket refused them.
    bool send(const QByteArray &bytes);
    // Hands RTU bytes on to the layer above and announces them.
    void deliver(const QByteArray &rtuBytes);
    // Wire bytes as they came off the socket, in order.
    virtual void received(const QByteArray &bytes) = 0;
    // A new connection starts: forget what belonged to the last one.
    virtual void resetStream() {}
    // discardInput() was called: what the subclass holds back is stale, and
    // so are the `unread` wire bytes taken off the socket with it.
    virtual void discardStream(const QByteArray &unread) { Q_UNUSED(unread); }

private:
    void onConnected();
    void onReadyRead();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnected();
    void onConnectTimeout();
    void fail(const PortFailure &failure);

    QString host;
    quint16 port = 0;
    QTcpSocket socket;
    QTimer connectTimer;
    LineSettings settings;
    PortFailure failed;
    QByteArray incoming;
    // An open() is in progress or its connection is up; a failure while this
    // is set is reported once, a failure after close() not at all.
    bool active = false;
    // Counts open() and close(), so that a lost() queued for an earlier
    // connection is not reported for a later one.
    quint64 generation = 0;
};
