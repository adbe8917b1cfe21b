#include "BrokerWatch.h"

#include "LiveValueTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>

#include <cmath>
#include <utility>

namespace {

// The line's topics, under the prefix: its retained state (with the
// service's last will), each meter's retained last poll, and the health of
// every meter every 10 s.
const QString kStateTopic = QStringLiteral("state");
const QString kValueTopics = QStringLiteral("meters/+/value");
const QString kStatsTopic = QStringLiteral("stats");

// The address in "meters/<address>/value"; nothing for any other topic or
// an address that cannot be a meter.
std::optional<int> valueAddress(QStringView rest)
{
    const QStringView head = u"meters/";
    const QStringView tail = u"/value";
    if (!rest.startsWith(head) || !rest.endsWith(tail) || rest.size() <= head.size() + tail.size())
        return std::nullopt;
    const QStringView digits = rest.mid(head.size(), rest.size() - head.size() - tail.size());
    bool ok = false;
    const int address = digits.toInt(&ok);
    if (!ok || !LiveValueTable::isMeter(address) || digits != QString::number(address))
        return std::nullopt;
    return address;
}

// A time of the stats as the table keeps it: -1 for null.
int milliseconds(const QJsonValue &value)
{
    return value.isDouble() ? int(std::lround(value.toDouble())) : -1;
}

} // namespace

BrokerWatch::BrokerWatch(LiveValueTable &liveValues, QObject *parent) : QObject(parent), values(liveValues) {}

BrokerWatch::~BrokerWatch() = default;

bool BrokerWatch::start(const LineTransportSettings &settings)
{
    stop();
    watched = settings;
    prefix = QStringLiteral("quorvane/v1/%1/%2/").arg(settings.site, settings.lineName);
    lastGood.fill(QDateTime());
    // What the table held came from elsewhere; the broker's retained
    // messages tell the watched line's values at once.
    for (int address = 0; address < Modbus::MeterCount; ++address)
        values.markNotAnswering(address);
    values.resetHealth();

    client = std::make_unique<BrokerClient>();
    connect(client.get(), &BrokerClient::connected, this, &BrokerWatch::onConnected);
    connect(client.get(), &BrokerClient::disconnected, this, &BrokerWatch::onDisconnected);
    connect(client.get(), &BrokerClient::refused, this,
            [this](int code) { report(WatchEvent::What::Refused, code); });
    connect(client.get(), &BrokerClient::messageReceived, this,
            [this](const QString &topic, const QByteArray &payload, bool) { onMessage(topic, payload); });
    client->subscribe(topic(kStateTopic), 1);
    client->subscribe(topic(kValueTopics), 0);
    client->subscribe(topic(kStatsTopic), 0);
    BrokerSettings broker;
    broker.host = settings.host;
    broker.port = settings.port;
    broker.keepAliveS = KeepAliveS;
    if (client->start(broker)) {
        lastFailure = {};
        return true;
    }
    lastFailure = client->failure();
    client.reset();
    return false;
}

void BrokerWatch::stop()
{
    client.reset();
    setLineState(std::nullopt);
}

void BrokerWatch::onConnected()
{
    report(WatchEvent::What::Connected);
}

void BrokerWatch::onDisconnected()
{
    // Nothing is known of the line until the broker is back with its state.
    setLineState(std::nullopt);
    report(WatchEvent::What::BrokerLost);
}

void BrokerWatch::onMessage(const QString &messageTopic, const QByteArray &payload)
{
    if (!messageTopic.startsWith(prefix))
        return;
    const QStringView rest = QStringView(messageTopic).mid(prefix.size());
    // A retained message cleared by hand comes empty, and a payload that is
    // no JSON object says nothing.
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    if (object.isEmpty())
        return;
    if (rest == kStateTopic)
        takeState(object);
    else if (rest == kStatsTopic)
        takeStats(object);
    else if (const std::optional<int> address = valueAddress(rest))
        takeValue(*address, object);
}

void BrokerWatch::takeState(const QJsonObject &state)
{
    const QJsonValue online = state.value(QLatin1String("online"));
    if (online.isBool())
        setLineState(online.toBool());
}

// The live value is the register in tenths scaled by 0.1, as the line
// stores it; "v" is the same value where "raw" is missing.
void BrokerWatch::takeValue(int address, const QJsonObject &value)
{
    const QString quality = value.value(QLatin1String("q")).toString();
    const QDateTime stamped =
        QDateTime::fromString(value.value(QLatin1String("ts")).toString(), Qt::ISODateWithMs);
    const QDateTime when = stamped.isValid() ? stamped.toLocalTime() : QDateTime::currentDateTime();
    if (quality == QLatin1String("no-answer")) {
        values.markNotAnswering(address);
        logFrame(LineFrame::noAnswer(address, when));
        return;
    }
    LineFrame frame;
    frame.time = when;
    frame.address = address;
    frame.function = Modbus::ReadHolding;
    frame.reg = Modbus::LiveValueRegister;
    if (quality == QLatin1String("exception")) {
        frame.kind = LineFrame::Kind::Exception;
        frame.function |= 0x80;
        frame.value = value.value(QLatin1String("code")).toInt();
        logFrame(frame);
        return;
    }
    if (quality == QLatin1String("crc")) {
        frame.kind = LineFrame::Kind::CrcError;
        logFrame(frame);
        return;
    }
    if (quality != QLatin1String("ok"))
        return;
    const QJsonValue raw = value.value(QLatin1String("raw"));
    const QJsonValue scaled = value.value(QLatin1String("v"));
    if (!raw.isDouble() && !scaled.isDouble())
        return;
    lastGood[address] = when;
    const int tenths = raw.isDouble() ? raw.toInt() : int(std::lround(scaled.toDouble() * 10));
    values.store(address, raw.isDouble() ? tenths * 0.1 : scaled.toDouble());
    frame.kind = LineFrame::Kind::Answer;
    frame.value = tenths;
    logFrame(frame);
}

void BrokerWatch::logFrame(const LineFrame &frame)
{
    if (isSignalConnected(QMetaMethod::fromSignal(&BrokerWatch::frameLogged)))
        emit frameLogged(frame);
}

// The service counts from its own start: counts lower than those held mean
// it started afresh, and so do the table's.
void BrokerWatch::takeStats(const QJsonObject &stats)
{
    const QJsonArray meters = stats.value(QLatin1String("meters")).toArray();
    QList<std::pair<int, MeterHealth>> taken;
    bool countedAfresh = false;
    for (const QJsonValue &entry : meters) {
        const QJsonObject meter = entry.toObject();
        const QJsonValue address = meter.value(QLatin1String("address"));
        if (!address.isDouble() || !LiveValueTable::isMeter(address.toInt()))
            continue;
        MeterHealth health;
        health.answers = meter.value(QLatin1String("answers")).toInt();
        health.missing = meter.value(QLatin1String("missing")).toInt();
        health.garbage = meter.value(QLatin1String("crc")).toInt();
        health.exceptions = meter.value(QLatin1String("exceptions")).toInt();
        health.lastResponseMs = milliseconds(meter.value(QLatin1String("lastMs")));
        health.maxResponseMs = milliseconds(meter.value(QLatin1String("maxMs")));
        // Only the average is published: it stands for every good answer.
        const QJsonValue average = meter.value(QLatin1String("averageMs"));
        if (average.isDouble() && health.answers > 0) {
            health.timedAnswers = health.answers;
            health.totalResponseMs = std::llround(average.toDouble() * health.answers);
        }
        if (health.answers > 0)
            health.lastGoodAnswer = lastGood[address.toInt()];
        const MeterHealth &held = values.health(address.toInt());
        countedAfresh = countedAfresh || health.answers < held.answers || health.missing < held.missing ||
                        health.garbage < held.garbage || health.exceptions < held.exceptions;
        taken.append({address.toInt(), health});
    }
    if (countedAfresh)
        values.resetHealth();
    for (const auto &[address, health] : taken)
        values.setHealth(address, health);
}

// An unknown state (nothing heard yet, or the broker lost) tells nothing; a
// line found offline is told, and so is its coming back.
void BrokerWatch::setLineState(std::optional<bool> state)
{
    const std::optional<bool> before = std::exchange(lineOnline, state);
    if (state == false && before != state)
        report(WatchEvent::What::LineOffline);
    else if (state == true && before == false)
        report(WatchEvent::What::LineOnline);
    if (before.value_or(false) != state.value_or(false))
        emit onlineChanged(online());
}

void BrokerWatch::report(WatchEvent::What what, int refusal)
{
    emit happened({what, watched.target(), watched.lineName, QDateTime::currentDateTime(), refusal});
}
