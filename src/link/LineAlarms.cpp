#include "LineAlarms.h"

#include "MeterLine.h"

#include <QDateTime>

namespace {

bool isMeter(int address)
{
    return address >= 0 && address < Modbus::MeterCount;
}

} // namespace

LineAlarms::LineAlarms(Clock now, QObject *parent)
    : QObject(parent), clock(now ? std::move(now) : [] { return QDateTime::currentMSecsSinceEpoch(); })
{
}

void LineAlarms::follow(const MeterLine &line)
{
    connect(&line, &MeterLine::pollJudged, this, qOverload<const PollOutcome &>(&LineAlarms::judge));
}

void LineAlarms::setLimits(int address, const AlarmLimits &limits)
{
    if (isMeter(address))
        meterLimits[std::size_t(address)] = limits;
}

const AlarmLimits &LineAlarms::limits(int address) const
{
    static const AlarmLimits none;
    return isMeter(address) ? meterLimits[std::size_t(address)] : none;
}

void LineAlarms::setCommLossAfter(int count)
{
    commLoss = std::max(0, count);
}

void LineAlarms::restoreUnacknowledged(const QList<std::pair<int, AlarmKind>> &alarms)
{
    for (const auto &[address, kind] : alarms) {
        if (!isMeter(address))
            continue;
        meters[std::size_t(address)][kind].unacknowledged = true;
        emit changed(address);
    }
}

void LineAlarms::judge(const PollOutcome &outcome)
{
    const qint64 ms = outcome.time.isValid() ? outcome.time.toMSecsSinceEpoch() : clock();
    switch (outcome.quality) {
    case PollOutcome::Quality::Ok:
        judge(outcome.address, AlarmSample::of(ms, outcome.raw / 10.0));
        break;
    case PollOutcome::Quality::Exception:
        judge(outcome.address, AlarmSample{ms, AlarmSample::Kind::AnsweredWithoutValue, 0});
        break;
    case PollOutcome::Quality::NoAnswer:
    case PollOutcome::Quality::BadFrame:
        judge(outcome.address, AlarmSample::missing(ms));
        break;
    }
}

void LineAlarms::judge(int address, const AlarmSample &sample)
{
    if (!isMeter(address))
        return;
    const auto index = std::size_t(address);
    const QList<AlarmEvent> events =
        evaluateAlarms(meters[index], meterLimits[index], commLoss, address, sample);
    for (const AlarmEvent &event : events)
        emit happened(event);
    if (!events.isEmpty())
        emit changed(address);
}

bool LineAlarms::acknowledge(int address, AlarmKind kind)
{
    if (!isMeter(address))
        return false;
    const std::optional<AlarmEvent> event =
        acknowledgeAlarm(meters[std::size_t(address)], address, kind, clock());
    if (!event)
        return false;
    emit happened(*event);
    emit changed(address);
    return true;
}

int LineAlarms::acknowledgeAll()
{
    int count = 0;
    for (int address = 0; address < Modbus::MeterCount; ++address)
        for (AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Comm})
            count += acknowledge(address, kind) ? 1 : 0;
    return count;
}

const MeterAlarms &LineAlarms::alarms(int address) const
{
    static const MeterAlarms none;
    return isMeter(address) ? meters[std::size_t(address)] : none;
}

int LineAlarms::activeCount() const
{
    int count = 0;
    for (const MeterAlarms &meter : meters)
        for (const AlarmState &alarm : meter.kinds)
            count += alarm.active ? 1 : 0;
    return count;
}

int LineAlarms::unacknowledgedCount() const
{
    int count = 0;
    for (const MeterAlarms &meter : meters)
        for (const AlarmState &alarm : meter.kinds)
            count += alarm.unacknowledged ? 1 : 0;
    return count;
}
