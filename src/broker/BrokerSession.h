#pragma once

#include "BrokerClient.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct mosquitto;
struct mosquitto_message;

// One run of a BrokerClient, from start() to stop(): the libmosquitto
// handle and the thread that connects it, runs its network loop and
// reconnects after a loss. libmosquitto's callbacks run on that thread;
// they hand what they learn to the client as queued calls on the client's
// thread, and stop doing so once close() has begun.
//
// The client and the thread own the session together, so that a thread
// stuck in a blocking connect (a name lookup, an unanswered SYN) can be
// left to end by itself after close() has returned.
class BrokerClient::Session {
public:
    // A configured handle with its thread running, or nullptr with the
    // reason in `failure`. Reports go to `client`, tagged with `number`.
    static std::shared_ptr<Session> open(const BrokerSettings &settings, const Will &will,
                                         const QList<Subscription> &subscriptions, BrokerClient *client,
                                         quint64 number, BrokerFailure *failure);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    // False for a malformed filter or QoS, which libmosquitto would refuse.
    static bool isValid(const Subscription &subscription);
    // Adds `subscription` to `list`, or changes the QoS of the same filter.
    static void remember(QList<Subscription> &list, const Subscription &subscription);

    // True when libmosquitto took the message; `messageId` is its id.
    bool publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain, int *messageId);
    // Subscribes now when connected, and after every reconnect.
    void subscribe(const Subscription &subscription);
    // Stops the reports, disconnects cleanly and ends the thread: waits for
    // it a moment at most, then leaves it to finish alone.
    void close();

private:
    Session(BrokerClient *client, quint64 number, const QList<Subscription> &subscriptions);
    BrokerFailure configure(const BrokerSettings &settings, const Will &will);
    BrokerFailure applyOptions(const BrokerSettings &settings, const Will &will);
    void run();
    bool pause();
    void leave();
    bool stopRequested();
    template <typename Report> void post(Report report);

    static void onConnect(mosquitto *, void *self, int result);
    static void onDisconnect(mosquitto *, void *self, int reason);
    static void onPublish(mosquitto *, void *self, int messageId);
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message);

    mosquitto *handle = nullptr;
    std::string host;
    int port = 0;
    int keepAliveS = 0;
    std::thread thread;
    int failedAttempts = 0; // since the last accepted connection; network thread only
    int lastRefusal = 0;    // the broker's last refusal since then; network thread only

    std::mutex mutex; // guards what follows
    std::condition_variable wake;
    BrokerClient *client; // nullptr once close() has begun
    const quint64 number;
    QList<Subscription> subscriptions;
    bool linkUp = false;
    bool stopping = false;
    bool finished = false;
};
