#pragma once

#include "AlarmEvaluation.h"
#include "LineEvent.h"
#include "MeterRecord.h"
#include "Outbox.h"
#include "ServiceConfig.h"

#include <QByteArray>
#include <QDateTime>

class LiveValueTable;

// The JSON payloads the line service publishes: compact UTF-8 JSON that
// tools without code of ours can read (mosquitto_sub, Node-RED, Telegraf).
// Times are UTC in ISO 8601 with milliseconds.
namespace Payloads {

QString isoTime(const QDateTime &when);

// {"online":true,"version":…,"transport":…,"first":…,"last":…,"cycle":…}
QByteArray onlineState(const ServiceConfig::Line &line, const QString &version);
// {"online":false}: the last will, and what a clean stop leaves.
QByteArray offlineState();
// {"v":23.4,"raw":234,"ts":…,"q":"ok","seq":1234}; v and raw are null
// without a value; seq numbers the poll in the line's history.
QByteArray value(const PollOutcome &outcome, qint64 seq);
// {"position":…,"meterType":…,"name":…} of the meter's register entry.
QByteArray meta(const MeterRecord &record);
// {"from":seq,"to":seq,"samples":[[seq,address,ms,tenths|null],…]}
QByteArray history(const QList<Outbox::Sample> &samples);
// The seq of a consumer's {"seq":M}; nothing when the payload says none.
std::optional<qint64> acknowledgedSeq(const QByteArray &payload);
// The health of meters first..last: answers, missing, bad frames,
// exceptions and the response times.
QByteArray stats(const LiveValueTable &values, int first, int last, const QDateTime &when);
// What a message box of the program would say: {"ts":…,"event":…,"text":…}
// with the meter and the parameter when the event has them.
QByteArray event(const LineEvent &event, const QString &text);
// The event's name in the payload, e.g. "interrupted", "device-lost".
QString eventName(LineEvent::What what);

// The alarms of one meter as they stand:
// {"active":["high"],"unacknowledged":["high"],"since":…,"value":…,"limit":…};
// since, value and limit of the most recent active alarm, or of the most
// recent unacknowledged one when none is active, each left out when there
// is none. Both lists empty when all is clear and acknowledged.
QByteArray alarm(const MeterAlarms &alarms);
// A change of one alarm, on the topic of the line's events:
// {"ts":…,"event":"raised","address":3,"kind":"high","value":…,"limit":…,"text":…}.
QByteArray alarmEvent(const AlarmEvent &event, const QString &text);
// What a consumer acknowledges: {"address":3,"kind":"high"}, or "kind":"all"
// for every alarm of the meter (kind left empty then).
struct AlarmAcknowledgement {
    int address = 0;
    std::optional<AlarmKind> kind;

    bool operator==(const AlarmAcknowledgement &) const = default;
};
// Nothing when the payload is no such object: no JSON object, an address
// that is not a whole number from 0 to 63, a kind that is none of high, low,
// comm and all.
std::optional<AlarmAcknowledgement> alarmAcknowledgement(const QByteArray &payload);

} // namespace Payloads
