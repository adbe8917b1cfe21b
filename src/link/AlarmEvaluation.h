#pragma once

#include <QList>
#include <QMetaType>
#include <QtGlobal>

#include <array>
#include <optional>

// The alarm limits of one meter: a high and a low limit (each optional) in
// the value's unit, a deadband the value must go back past before an alarm
// clears, and a delay the condition must hold before the alarm is raised.
struct AlarmLimits {
    std::optional<double> high;
    std::optional<double> low;
    double deadband = 0;
    double delaySec = 0;
    bool enabled = true;

    bool operator==(const AlarmLimits &) const = default;
};

enum class AlarmKind { High, Low, Comm };
inline constexpr int AlarmKindCount = 3;

// One alarm of one meter as it stands: active or not, acknowledged or
// not (an alarm that cleared before anyone acknowledged it stays
// unacknowledged), since when, and the value and limit that raised it.
struct AlarmState {
    bool active = false;
    bool unacknowledged = false;
    qint64 sinceMs = 0;
    std::optional<double> value;
    std::optional<double> limit;
    // A limit alarm waiting for its delay: when the condition began to hold.
    std::optional<qint64> pendingSinceMs;

    bool operator==(const AlarmState &) const = default;
};

// The alarms of one meter, and the answers it has missed in a row.
struct MeterAlarms {
    std::array<AlarmState, AlarmKindCount> kinds{};
    int missedInRow = 0;

    AlarmState &operator[](AlarmKind kind) { return kinds[std::size_t(kind)]; }
    const AlarmState &operator[](AlarmKind kind) const { return kinds[std::size_t(kind)]; }
    bool anyActive() const;
    bool anyUnacknowledged() const;
};

// A change of one alarm: raised, cleared or acknowledged, at `ms` (ms since
// the epoch), with the value and the limit concerned where there are some.
struct AlarmEvent {
    enum class What { Raised, Cleared, Acknowledged };

    qint64 ms = 0;
    int address = 0;
    AlarmKind kind = AlarmKind::High;
    What what = What::Raised;
    std::optional<double> value;
    std::optional<double> limit;

    bool operator==(const AlarmEvent &) const = default;
};

// What one poll of a meter brought: a value, an answer without one (an
// exception: the meter is there), or nothing (no answer or a bad frame).
struct AlarmSample {
    enum class Kind { Value, AnsweredWithoutValue, Missing };

    qint64 ms = 0;
    Kind kind = Kind::Value;
    double value = 0;

    static AlarmSample of(qint64 ms, double value) { return {ms, Kind::Value, value}; }
    static AlarmSample missing(qint64 ms) { return {ms, Kind::Missing, 0}; }
};

// Judges one sample of the meter at `address`: updates `state` and returns
// the alarms raised and cleared by it (comm, then high, then low).
// A value above the high limit (below the low limit) that has held for the
// delay raises the high (low) alarm; it clears once the value is back below
// high − deadband (above low + deadband). A missing answer neither raises
// nor clears a limit alarm; `commLossAfter` missing answers in a row (0:
// never) raise the comm alarm, the next answer clears it. A limit taken
// away, or alarms switched off for the meter, clears what they had raised.
QList<AlarmEvent> evaluateAlarms(MeterAlarms &state, const AlarmLimits &limits, int commLossAfter,
                                 int address, const AlarmSample &sample);

// The operator acknowledges the alarm: nothing when it was not waiting for
// that.
std::optional<AlarmEvent> acknowledgeAlarm(MeterAlarms &state, int address, AlarmKind kind, qint64 ms);

// "high", "low", "comm"; and back (nullopt for another text).
const char *alarmKindName(AlarmKind kind);
std::optional<AlarmKind> alarmKindNamed(QStringView name);
// "raised", "cleared", "acknowledged".
const char *alarmEventName(AlarmEvent::What what);

Q_DECLARE_METATYPE(AlarmEvent)
