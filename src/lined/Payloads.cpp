#include "Payloads.h"

#include "LiveValueTable.h"
#include "ModbusFrame.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace Payloads {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString qualityName(PollOutcome::Quality quality)
{
    switch (quality) {
    case PollOutcome::Quality::NoAnswer:
        return QStringLiteral("no-answer");
    case PollOutcome::Quality::BadFrame:
        return QStringLiteral("crc");
    case PollOutcome::Quality::Exception:
        return QStringLiteral("exception");
    case PollOutcome::Quality::Ok:
        break;
    }
    return QStringLiteral("ok");
}

constexpr AlarmKind kAlarmKinds[] = {AlarmKind::High, AlarmKind::Low, AlarmKind::Comm};

// The alarm whose time the payload gives: the most recent of those that
// are active, or else of those waiting for their acknowledgement.
const AlarmState *mostRecent(const MeterAlarms &alarms)
{
    const AlarmState *recent = nullptr;
    for (const bool active : {true, false}) {
        for (AlarmKind kind : kAlarmKinds) {
            const AlarmState &state = alarms[kind];
            if ((active ? state.active : state.unacknowledged) &&
                (!recent || state.sinceMs > recent->sinceMs))
                recent = &state;
        }
        if (recent)
            return recent;
    }
    return nullptr;
}

} // namespace

QString isoTime(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QByteArray onlineState(const ServiceConfig::Line &line, const QString &version)
{
    return compact({
        {"online", true},
        {"version", version},
        {"transport", LineTransportSettings::kindName(line.setup.transport.kind)},
        {"first", line.first},
        {"last", line.last},
        {"cycle", line.setup.cycle.cycle == CycleSettings::Cycle::Fast ? "fast" : "period"},
    });
}

QByteArray offlineState()
{
    return compact({{"online", false}});
}

QByteArray value(const PollOutcome &outcome, qint64 seq)
{
    const bool hasValue = outcome.quality == PollOutcome::Quality::Ok;
    // The live value is the register in tenths, as the panels show it.
    QJsonObject object{
        {"v", hasValue ? QJsonValue(outcome.raw / 10.0) : QJsonValue()},
        {"raw", hasValue ? QJsonValue(outcome.raw) : QJsonValue()},
        {"ts", isoTime(outcome.time)},
        {"q", qualityName(outcome.quality)},
        {"seq", seq},
    };
    if (outcome.quality == PollOutcome::Quality::Exception)
        object.insert("code", outcome.exceptionCode);
    return compact(object);
}

QByteArray meta(const MeterRecord &record)
{
    return compact({
        {"position", record.installPosition},
        {"meterType", record.meterType},
        {"name", record.name},
    });
}

QByteArray history(const QList<Outbox::Sample> &samples)
{
    QJsonArray rows;
    for (const Outbox::Sample &sample : samples)
        rows.append(QJsonArray{sample.seq, sample.address, sample.msecs,
                               sample.tenths ? QJsonValue(*sample.tenths) : QJsonValue()});
    return compact({
        {"from", samples.isEmpty() ? 0 : samples.first().seq},
        {"to", samples.isEmpty() ? 0 : samples.last().seq},
        {"samples", rows},
    });
}

std::optional<qint64> acknowledgedSeq(const QByteArray &payload)
{
    const QJsonValue seq = QJsonDocument::fromJson(payload).object().value("seq");
    if (!seq.isDouble() || seq.toDouble() < 0)
        return std::nullopt;
    return qint64(seq.toDouble());
}

QByteArray stats(const LiveValueTable &values, int first, int last, const QDateTime &when)
{
    QJsonArray meters;
    for (int address = first; address <= last; ++address) {
        const MeterHealth &health = values.health(address);
        const auto time = [](qint64 ms) { return ms < 0 ? QJsonValue() : QJsonValue(ms); };
        meters.append(QJsonObject{
            {"address", address},
            {"answers", health.answers},
            {"missing", health.missing},
            {"crc", health.garbage},
            {"exceptions", health.exceptions},
            {"lastMs", time(health.lastResponseMs)},
            {"averageMs", health.timedAnswers > 0 ? QJsonValue(double(health.totalResponseMs) / health.timedAnswers)
                                                  : QJsonValue()},
            {"maxMs", time(health.maxResponseMs)},
        });
    }
    return compact({{"ts", isoTime(when)}, {"meters", meters}});
}

QString eventName(LineEvent::What what)
{
    using What = LineEvent::What;
    switch (what) {
    case What::Interrupted:
        return QStringLiteral("interrupted");
    case What::Resumed:
        return QStringLiteral("resumed");
    case What::Answered:
        return QStringLiteral("answered");
    case What::NoParameters:
        return QStringLiteral("no-parameters");
    case What::ReadInterrupted:
        return QStringLiteral("read-interrupted");
    case What::ReadRefused:
        return QStringLiteral("read-refused");
    case What::NothingToWrite:
        return QStringLiteral("nothing-to-write");
    case What::ValueRefused:
        return QStringLiteral("value-refused");
    case What::WriteInterrupted:
        return QStringLiteral("write-interrupted");
    case What::WriteRefused:
        return QStringLiteral("write-refused");
    case What::WriteBadEcho:
        return QStringLiteral("write-bad-echo");
    case What::ParameterWritten:
        return QStringLiteral("parameter-written");
    case What::WriteDone:
        return QStringLiteral("write-done");
    case What::DeviceLost:
        return QStringLiteral("device-lost");
    case What::ConnectionLost:
        return QStringLiteral("connection-lost");
    case What::DeviceBack:
        return QStringLiteral("device-back");
    }
    return QString();
}

QByteArray event(const LineEvent &event, const QString &text)
{
    QJsonObject object{{"ts", isoTime(event.time)}, {"event", eventName(event.what)}, {"text", text}};
    if (event.address >= 0)
        object.insert("address", event.address);
    if (event.parameter >= 0)
        object.insert("parameter", event.parameter);
    if (event.exceptionCode != 0)
        object.insert("exceptionCode", event.exceptionCode);
    return compact(object);
}

QByteArray alarm(const MeterAlarms &alarms)
{
    QJsonArray active;
    QJsonArray unacknowledged;
    for (AlarmKind kind : kAlarmKinds) {
        if (alarms[kind].active)
            active.append(QLatin1String(alarmKindName(kind)));
        if (alarms[kind].unacknowledged)
            unacknowledged.append(QLatin1String(alarmKindName(kind)));
    }
    QJsonObject object{{"active", active}, {"unacknowledged", unacknowledged}};
    if (const AlarmState *recent = mostRecent(alarms)) {
        // An alarm brought back from the history file after a restart has
        // no time, value or limit of its own.
        if (recent->sinceMs > 0)
            object.insert("since", isoTime(QDateTime::fromMSecsSinceEpoch(recent->sinceMs)));
        if (recent->value)
            object.insert("value", *recent->value);
        if (recent->limit)
            object.insert("limit", *recent->limit);
    }
    return compact(object);
}

QByteArray alarmEvent(const AlarmEvent &event, const QString &text)
{
    QJsonObject object{
        {"ts", isoTime(QDateTime::fromMSecsSinceEpoch(event.ms))},
        {"event", QLatin1String(alarmEventName(event.what))},
        {"address", event.address},
        {"kind", QLatin1String(alarmKindName(event.kind))},
    };
    if (event.value)
        object.insert("value", *event.value);
    if (event.limit)
        object.insert("limit", *event.limit);
    object.insert("text", text);
    return compact(object);
}

std::optional<AlarmAcknowledgement> alarmAcknowledgement(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonValue address = document.object().value("address");
    const QJsonValue kind = document.object().value("kind");
    const double number = address.toDouble(-1);
    if (!address.isDouble() || number != std::floor(number) || number < 0 || number >= Modbus::MeterCount ||
        !kind.isString())
        return std::nullopt;
    AlarmAcknowledgement acknowledgement{int(number), std::nullopt};
    if (kind.toString() == QLatin1String("all"))
        return acknowledgement;
    acknowledgement.kind = alarmKindNamed(kind.toString());
    if (!acknowledgement.kind)
        return std::nullopt;
    return acknowledgement;
}

} // namespace Payloads
