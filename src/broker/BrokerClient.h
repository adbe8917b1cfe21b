#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>

// Where and how to reach the MQTT broker.
struct BrokerSettings {
    QString host;
    quint16 port = 1883;
    QString username; // empty: no credentials
    QString password;
    QString caFile; // PEM file of the certificate authority; set: TLS
    // Seconds without traffic after which the connection is checked; a dead
    // one is noticed within about twice this. 0 or 5..65535 (libmosquitto's
    // range); 0 turns the check off.
    int keepAliveS = 10;
    QString clientId; // empty: the library picks a random one
};

// Why start() refused the settings, as libmosquitto or the client found
// them; whoever shows it turns it into words.
struct BrokerFailure {
    enum class Reason {
        None,
        NoAddress,           // no host name, or port 0; detail: host:port
        KeepAliveOutOfRange, // detail: the seconds given
        ClientIdRefused,     // detail: the client id
        WillRefused,         // a bad topic or QoS of the will; detail: the topic
        CredentialsRefused,  // detail: the user name
        CaFileUnusable,      // the file does not exist or cannot be read; detail: its path
        LibraryError,        // libmosquitto failed otherwise (out of memory, no threads)
    };
    Reason reason = Reason::None;
    QString detail;
    int code = 0; // libmosquitto's error code, 0 when the client found the fault itself

    explicit operator bool() const { return reason != Reason::None; }
};

// A connection to an MQTT broker that keeps itself up: start() hands the
// settings to libmosquitto, whose network loop runs on a thread of its own,
// connects, and after a loss reconnects after 1, 2, 4, then every 8 s.
// Nothing on the caller's thread waits for the network. What happens on
// the network arrives as signals on the thread that owns the client.
class BrokerClient : public QObject {
    Q_OBJECT

public:
    explicit BrokerClient(QObject *parent = nullptr);
    ~BrokerClient() override;

    // The message the broker publishes for this client when the connection
    // breaks without a clean stop(). Takes effect at the next start().
    void setWill(const QString &topic, const QByteArray &payload, int qos, bool retain);
    // How many QoS 1 and 2 messages may wait for the broker's acknowledgement
    // before publish() refuses more (1..65535, 1000 by default). The caller
    // keeps what is refused; the client never holds more than this.
    void setMaxInFlight(int count);

    // Begins connecting, and stays connected until stop(); a running
    // connection is stopped first. False, with the reason in failure(), only
    // when libmosquitto refuses the settings; an unreachable broker is not a
    // failure here, it is tried again.
    bool start(const BrokerSettings &settings);
    // Disconnects cleanly (the broker drops the will) and ends the network
    // thread. Waits about 2 s at most: a DISCONNECT that cannot go out is
    // given up, and a thread stuck in a connect is left to end by itself.
    // Messages not yet acknowledged are forgotten (the caller still has
    // them). Emits no disconnected().
    void stop();

    bool isConnected() const { return linked; }
    BrokerFailure failure() const { return lastFailure; }

    // Hands a message to the broker connection; true when it was taken.
    // False when there is no connection, when `maxInFlight` QoS 1 or 2
    // messages are still unacknowledged, or when libmosquitto refuses the
    // message (a bad topic or QoS). `messageId` receives the id that
    // acknowledged() reports.
    bool publish(const QString &topic, const QByteArray &payload, int qos, bool retain,
                 int *messageId = nullptr);
    // QoS 1 and 2 messages published and not yet acknowledged by the broker.
    int unacknowledged() const { return int(awaitingAck.size()); }

    // Subscribes now if connected, and again after every reconnect. False
    // for a malformed topic filter or QoS.
    bool subscribe(const QString &topic, int qos);

    // libmosquitto's English words for a refusal code, for a log.
    static QString refusalText(int code);

signals:
    void connected();
    // The connection was lost: once per loss, however many attempts to
    // reconnect fail after it.
    void disconnected();
    // The broker refused the connection (its CONNACK code: 4 a wrong user
    // name or password, 5 not authorised, ...). Told once until the code
    // changes or a connection is accepted; the client keeps trying.
    void refused(int code);
    // The broker acknowledged the QoS 1 or 2 message with this id (PUBACK,
    // or PUBCOMP for QoS 2).
    void acknowledged(int messageId);
    void messageReceived(const QString &topic, const QByteArray &payload, bool retained);

private:
    class Session;
    struct Will {
        QByteArray topic; // empty: no will
        QByteArray payload;
        int qos = 0;
        bool retain = false;
    };
    struct Subscription {
        QByteArray topic; // UTF-8, as on the wire
        int qos = 0;
    };

    // Called on the owning thread with what the network thread reported.
    void linkUp();
    void linkDown();
    void published(int messageId);

    std::shared_ptr<Session> session;
    // Counts the sessions, so that a report of a stopped one that is still
    // queued is recognised and dropped.
    quint64 sessionNumber = 0;
    Will will;
    QList<Subscription> subscriptions;
    QSet<int> awaitingAck;
    int maxInFlight = 1000;
    bool linked = false;
    BrokerFailure lastFailure;
};
