#include "AlarmEvaluation.h"

#include <QStringView>

#include <algorithm>

namespace {

struct Judged {
    QList<AlarmEvent> &events;
    int address;
    qint64 ms;

    void raise(AlarmState &state, AlarmKind kind, std::optional<double> value, std::optional<double> limit)
    {
        state.active = true;
        state.unacknowledged = true;
        state.sinceMs = ms;
        state.value = value;
        state.limit = limit;
        state.pendingSinceMs.reset();
        events << AlarmEvent{ms, address, kind, AlarmEvent::What::Raised, value, limit};
    }

    // The alarm stays unacknowledged until someone acknowledges it.
    void clear(AlarmState &state, AlarmKind kind, std::optional<double> value, std::optional<double> limit)
    {
        state.active = false;
        state.pendingSinceMs.reset();
        events << AlarmEvent{ms, address, kind, AlarmEvent::What::Cleared, value, limit};
    }

    void limit(AlarmState &state, AlarmKind kind, std::optional<double> limit, const AlarmLimits &limits,
               double value)
    {
        if (!limit) {
            if (state.active)
                clear(state, kind, value, state.limit);
            state.pendingSinceMs.reset();
            return;
        }
        const bool high = kind == AlarmKind::High;
        if (state.active) {
            const bool back = high ? value < *limit - limits.deadband : value > *limit + limits.deadband;
            if (back)
                clear(state, kind, value, limit);
            return;
        }
        const bool beyond = high ? value > *limit : value < *limit;
        if (!beyond) {
            state.pendingSinceMs.reset();
            return;
        }
        if (!state.pendingSinceMs)
            state.pendingSinceMs = ms;
        if (double(ms - *state.pendingSinceMs) >= limits.delaySec * 1000.0)
            raise(state, kind, value, limit);
    }
};

} // namespace

bool MeterAlarms::anyActive() const
{
    return std::any_of(kinds.begin(), kinds.end(), [](const AlarmState &s) { return s.active; });
}

bool MeterAlarms::anyUnacknowledged() const
{
    return std::any_of(kinds.begin(), kinds.end(), [](const AlarmState &s) { return s.unacknowledged; });
}

QList<AlarmEvent> evaluateAlarms(MeterAlarms &state, const AlarmLimits &limits, int commLossAfter,
                                 int address, const AlarmSample &sample)
{
    QList<AlarmEvent> events;
    Judged judged{events, address, sample.ms};
    AlarmState &comm = state[AlarmKind::Comm];
    if (sample.kind == AlarmSample::Kind::Missing) {
        ++state.missedInRow;
        if (limits.enabled && commLossAfter > 0 && state.missedInRow >= commLossAfter && !comm.active)
            judged.raise(comm, AlarmKind::Comm, std::nullopt, std::nullopt);
    } else {
        state.missedInRow = 0;
        if (comm.active)
            judged.clear(comm, AlarmKind::Comm, std::nullopt, std::nullopt);
    }
    if (!limits.enabled) {
        for (AlarmKind kind : {AlarmKind::Comm, AlarmKind::High, AlarmKind::Low}) {
            if (state[kind].active)
                judged.clear(state[kind], kind, std::nullopt, state[kind].limit);
            state[kind].pendingSinceMs.reset();
        }
        return events;
    }
    if (sample.kind != AlarmSample::Kind::Value)
        return events;
    judged.limit(state[AlarmKind::High], AlarmKind::High, limits.high, limits, sample.value);
    judged.limit(state[AlarmKind::Low], AlarmKind::Low, limits.low, limits, sample.value);
    return events;
}

std::optional<AlarmEvent> acknowledgeAlarm(MeterAlarms &state, int address, AlarmKind kind, qint64 ms)
{
    AlarmState &alarm = state[kind];
    if (!alarm.unacknowledged)
        return std::nullopt;
    alarm.unacknowledged = false;
    return AlarmEvent{ms, address, kind, AlarmEvent::What::Acknowledged, alarm.value, alarm.limit};
}

const char *alarmKindName(AlarmKind kind)
{
    switch (kind) {
    case AlarmKind::High:
        return "high";
    case AlarmKind::Low:
        return "low";
    case AlarmKind::Comm:
        break;
    }
    return "comm";
}

std::optional<AlarmKind> alarmKindNamed(QStringView name)
{
    for (AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Comm})
        if (name == QLatin1String(alarmKindName(kind)))
            return kind;
    return std::nullopt;
}

const char *alarmEventName(AlarmEvent::What what)
{
    switch (what) {
    case AlarmEvent::What::Raised:
        return "raised";
    case AlarmEvent::What::Cleared:
        return "cleared";
    case AlarmEvent::What::Acknowledged:
        break;
    }
    return "acknowledged";
}
