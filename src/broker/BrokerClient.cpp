#include "BrokerClient.h"

#include "BrokerSession.h"

#include <mosquitto.h>

#include <algorithm>

namespace {

// Message ids are 16 bits; every message waiting for its acknowledgement
// needs one of its own.
constexpr int kMaxInFlightLimit = 65535;

} // namespace

BrokerClient::BrokerClient(QObject *parent) : QObject(parent) {}

BrokerClient::~BrokerClient()
{
    stop();
}

void BrokerClient::setWill(const QString &topic, const QByteArray &payload, int qos, bool retain)
{
    will = {topic.toUtf8(), payload, qos, retain};
}

void BrokerClient::setMaxInFlight(int count)
{
    maxInFlight = std::clamp(count, 1, kMaxInFlightLimit);
}

bool BrokerClient::start(const BrokerSettings &settings)
{
    stop();
    session = Session::open(settings, will, subscriptions, this, sessionNumber, &lastFailure);
    return session != nullptr;
}

void BrokerClient::stop()
{
    if (!session)
        return;
    session->close();
    session.reset();
    // Reports of the ended session still queued are dropped from now on.
    ++sessionNumber;
    linked = false;
    awaitingAck.clear();
}

bool BrokerClient::publish(const QString &topic, const QByteArray &payload, int qos, bool retain,
                           int *messageId)
{
    if (!session || !linked)
        return false;
    if (qos > 0 && awaitingAck.size() >= maxInFlight)
        return false;
    int id = 0;
    if (!session->publish(topic.toUtf8(), payload, qos, retain, &id))
        return false;
    if (qos > 0)
        awaitingAck.insert(id);
    if (messageId)
        *messageId = id;
    return true;
}

QString BrokerClient::refusalText(int code)
{
    return QString::fromUtf8(mosquitto_connack_string(code));
}

bool BrokerClient::subscribe(const QString &topic, int qos)
{
    const Subscription subscription{topic.toUtf8(), qos};
    if (!Session::isValid(subscription))
        return false;
    Session::remember(subscriptions, subscription);
    if (session)
        session->subscribe(subscription);
    return true;
}

void BrokerClient::linkUp()
{
    linked = true;
    emit connected();
}

void BrokerClient::linkDown()
{
    linked = false;
    emit disconnected();
}

void BrokerClient::published(int messageId)
{
    // QoS 0 messages are reported too, when written; they were never counted.
    if (awaitingAck.remove(messageId))
        emit acknowledged(messageId);
}
