#include "BrokerSession.h"

#include <QFile>
#include <QMetaObject>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <limits>
#include <system_error>
#include <utility>

namespace {

using namespace std::chrono_literals;

// libmosquitto refuses keepalives of 1..4 s and above 16 bits.
constexpr int kMinKeepAliveS = 5;
constexpr int kMaxKeepAliveS = 65535;
// The longest wait of the network loop for traffic: how often it looks at
// the keepalive and at a stop request when nothing else wakes it.
constexpr int kLoopWaitMs = 1000;
// The pause before reconnect attempt n + 1 is 2^n s, at most 8 s.
constexpr int kMaxBackoffExponent = 3;
// After stop(): how long the DISCONNECT may take to go out, and how long
// close() waits for the thread before leaving it to finish alone.
constexpr auto kFlushTime = 1s;
constexpr int kFlushStepMs = 100;
constexpr auto kCloseWait = 2s;

} // namespace

std::shared_ptr<BrokerClient::Session> BrokerClient::Session::open(const BrokerSettings &settings,
                                                                   const Will &will,
                                                                   const QList<Subscription> &subscriptions,
                                                                   BrokerClient *client, quint64 number,
                                                                   BrokerFailure *failure)
{
    // Once per process; a function-local static is initialised by one
    // thread only.
    static const int library = mosquitto_lib_init();
    if (library != MOSQ_ERR_SUCCESS) {
        *failure = {BrokerFailure::Reason::LibraryError, {}, library};
        return nullptr;
    }
    std::shared_ptr<Session> session(new Session(client, number, subscriptions));
    *failure = session->configure(settings, will);
    if (*failure)
        return nullptr;
    try {
        session->thread = std::thread([session] { session->run(); });
    } catch (const std::system_error &error) {
        *failure = {BrokerFailure::Reason::LibraryError, QString::fromLocal8Bit(error.what()),
                    MOSQ_ERR_ERRNO};
        return nullptr;
    }
    return session;
}

BrokerClient::Session::Session(BrokerClient *client, quint64 number, const QList<Subscription> &subscriptions)
    : client(client), number(number), subscriptions(subscriptions)
{
}

BrokerClient::Session::~Session()
{
    if (handle)
        mosquitto_destroy(handle);
}

BrokerFailure BrokerClient::Session::configure(const BrokerSettings &settings, const Will &will)
{
    using Reason = BrokerFailure::Reason;
    if (settings.host.isEmpty() || settings.port == 0)
        return {Reason::NoAddress, settings.host + QLatin1Char(':') + QString::number(settings.port)};
    if (settings.keepAliveS != 0 &&
        (settings.keepAliveS < kMinKeepAliveS || settings.keepAliveS > kMaxKeepAliveS))
        return {Reason::KeepAliveOutOfRange, QString::number(settings.keepAliveS), MOSQ_ERR_INVAL};

    const QByteArray id = settings.clientId.toUtf8();
    // A clean session: the client renews its subscriptions itself.
    handle = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!handle) {
        if (errno == EINVAL)
            return {Reason::ClientIdRefused, settings.clientId, MOSQ_ERR_INVAL};
        return {Reason::LibraryError, {}, MOSQ_ERR_NOMEM};
    }
    // Our own thread runs the loop, so libmosquitto must lock as it does for
    // mosquitto_loop_start(), and queue what other threads send.
    mosquitto_threaded_set(handle, true);
    // Live values go out as they come: without this a small message waits
    // behind an unacknowledged larger one (a history batch) for the peer's
    // delayed acknowledgement, tens of milliseconds.
    mosquitto_int_option(handle, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_callback_set(handle, &Session::onConnect);
    mosquitto_disconnect_callback_set(handle, &Session::onDisconnect);
    mosquitto_publish_callback_set(handle, &Session::onPublish);
    mosquitto_message_callback_set(handle, &Session::onMessage);

    host = settings.host.toStdString();
    port = settings.port;
    keepAliveS = settings.keepAliveS;
    return applyOptions(settings, will);
}

BrokerFailure BrokerClient::Session::applyOptions(const BrokerSettings &settings, const Will &will)
{
    using Reason = BrokerFailure::Reason;
    if (!will.topic.isEmpty()) {
        const int result = mosquitto_will_set(handle, will.topic.constData(), int(will.payload.size()),
                                              will.payload.constData(), will.qos, will.retain);
        if (result != MOSQ_ERR_SUCCESS)
            return {Reason::WillRefused, QString::fromUtf8(will.topic), result};
    }
    if (!settings.username.isEmpty()) {
        const QByteArray user = settings.username.toUtf8();
        const QByteArray password = settings.password.toUtf8();
        const int result = mosquitto_username_pw_set(handle, user.constData(),
                                                     password.isEmpty() ? nullptr : password.constData());
        if (result != MOSQ_ERR_SUCCESS)
            return {Reason::CredentialsRefused, settings.username, result};
    }
    if (!settings.caFile.isEmpty()) {
        // libmosquitto opens the file here and refuses one it cannot read.
        const int result = mosquitto_tls_set(handle, QFile::encodeName(settings.caFile).constData(), nullptr,
                                             nullptr, nullptr, nullptr);
        if (result != MOSQ_ERR_SUCCESS)
            return {Reason::CaFileUnusable, settings.caFile, result};
    }
    return {};
}

bool BrokerClient::Session::isValid(const Subscription &subscription)
{
    return subscription.qos >= 0 && subscription.qos <= 2 &&
           mosquitto_sub_topic_check(subscription.topic.constData()) == MOSQ_ERR_SUCCESS;
}

void BrokerClient::Session::remember(QList<Subscription> &list, const Subscription &subscription)
{
    const auto same = std::find_if(list.begin(), list.end(),
                                   [&](const Subscription &s) { return s.topic == subscription.topic; });
    if (same == list.end())
        list.append(subscription);
    else
        same->qos = subscription.qos;
}

// The network thread. The first connect and every reconnect block here, in
// name lookup and TCP connect, never on the client's thread.
void BrokerClient::Session::run()
{
    int result = mosquitto_connect(handle, host.c_str(), port, keepAliveS);
    while (!stopRequested()) {
        if (result == MOSQ_ERR_SUCCESS)
            result = mosquitto_loop(handle, kLoopWaitMs, 1);
        else if (pause())
            result = mosquitto_reconnect(handle);
    }
    if (result == MOSQ_ERR_SUCCESS)
        leave();
    std::lock_guard lock(mutex);
    finished = true;
    wake.notify_all();
}

// Waits before the next connect attempt, 1, 2, 4, then 8 s; false when a
// stop request ends the wait.
bool BrokerClient::Session::pause()
{
    const auto delay = std::chrono::seconds(1 << std::min(failedAttempts, kMaxBackoffExponent));
    ++failedAttempts;
    std::unique_lock lock(mutex);
    return !wake.wait_for(lock, delay, [this] { return stopping; });
}

// A connection is open at the stop: the DISCONNECT goes out before the
// socket closes, so that the broker drops the will. A connection that
// takes nothing any more is given up after kFlushTime.
void BrokerClient::Session::leave()
{
    mosquitto_disconnect(handle);
    const auto deadline = std::chrono::steady_clock::now() + kFlushTime;
    while (mosquitto_loop(handle, kFlushStepMs, 1) == MOSQ_ERR_SUCCESS &&
           std::chrono::steady_clock::now() < deadline) {
    }
}

bool BrokerClient::Session::stopRequested()
{
    std::lock_guard lock(mutex);
    return stopping;
}

bool BrokerClient::Session::publish(const QByteArray &topic, const QByteArray &payload, int qos, bool retain,
                                    int *messageId)
{
    if (payload.size() > std::numeric_limits<int>::max())
        return false;
    {
        // The client's view lags behind the network thread; a message given
        // to a lost connection would be kept by libmosquitto outside the
        // in-flight count.
        std::lock_guard lock(mutex);
        if (!linkUp)
            return false;
    }
    return mosquitto_publish(handle, messageId, topic.constData(), int(payload.size()), payload.constData(),
                             qos, retain) == MOSQ_ERR_SUCCESS;
}

void BrokerClient::Session::subscribe(const Subscription &subscription)
{
    // Under the lock, so that a subscription is sent either here or by the
    // renewal in onConnect(), never by neither.
    std::lock_guard lock(mutex);
    remember(subscriptions, subscription);
    if (linkUp)
        mosquitto_subscribe(handle, nullptr, subscription.topic.constData(), subscription.qos);
}

void BrokerClient::Session::close()
{
    {
        std::lock_guard lock(mutex);
        client = nullptr;
    }
    // Wakes the network loop, and queues the DISCONNECT when a connection
    // is open; leave() sends it again if a reconnect opened one since.
    mosquitto_disconnect(handle);
    std::unique_lock lock(mutex);
    stopping = true;
    wake.notify_all();
    const bool ended = wake.wait_for(lock, kCloseWait, [this] { return finished; });
    lock.unlock();
    if (ended)
        thread.join();
    else
        thread.detach();
}

// Queues `report` to run on the client's thread, unless close() has begun;
// the client drops it if it belongs to a session that has ended since.
template <typename Report> void BrokerClient::Session::post(Report report)
{
    std::lock_guard lock(mutex);
    if (!client)
        return;
    QMetaObject::invokeMethod(
        client,
        [target = client, from = number, report = std::move(report)] {
            if (target->sessionNumber == from)
                report(target);
        },
        Qt::QueuedConnection);
}

void BrokerClient::Session::onConnect(mosquitto *, void *self, int result)
{
    auto *session = static_cast<Session *>(self);
    // A refused connection (CONNACK with a reason) ends in onDisconnect()
    // like any failed attempt, and is tried again; the reason is told once,
    // not at every attempt.
    if (result != 0) {
        if (std::exchange(session->lastRefusal, result) != result)
            session->post([result](BrokerClient *client) { emit client->refused(result); });
        return;
    }
    session->failedAttempts = 0;
    session->lastRefusal = 0;
    {
        std::lock_guard lock(session->mutex);
        session->linkUp = true;
        for (const Subscription &subscription : std::as_const(session->subscriptions))
            mosquitto_subscribe(session->handle, nullptr, subscription.topic.constData(), subscription.qos);
    }
    session->post([](BrokerClient *client) { client->linkUp(); });
}

void BrokerClient::Session::onDisconnect(mosquitto *, void *self, int)
{
    auto *session = static_cast<Session *>(self);
    {
        // libmosquitto calls this for every failed attempt too; only the
        // end of an accepted connection is a loss.
        std::lock_guard lock(session->mutex);
        if (!std::exchange(session->linkUp, false))
            return;
    }
    session->post([](BrokerClient *client) { client->linkDown(); });
}

void BrokerClient::Session::onPublish(mosquitto *, void *self, int messageId)
{
    static_cast<Session *>(self)->post([messageId](BrokerClient *client) { client->published(messageId); });
}

void BrokerClient::Session::onMessage(mosquitto *, void *self, const mosquitto_message *message)
{
    const QString topic = QString::fromUtf8(message->topic);
    const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
    const bool retained = message->retain;
    static_cast<Session *>(self)->post([topic, payload, retained](BrokerClient *client) {
        emit client->messageReceived(topic, payload, retained);
    });
}
