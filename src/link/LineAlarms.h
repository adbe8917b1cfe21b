#pragma once

#include "AlarmEvaluation.h"
#include "LineEvent.h"
#include "ModbusFrame.h"

#include <QList>
#include <QObject>

#include <array>
#include <functional>

class MeterLine;

// The alarms of the meters of one line, judged on every poll the line
// reports: the same for the desktop and the line service, which only show
// and keep what this reports. Limits and the comm-loss count come from
// whoever owns the line (the alarm table of the data database); the
// alarms start afresh, apart from the ones still waiting for their
// acknowledgement, which restoreUnacknowledged() brings back after a
// restart.
class LineAlarms : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultCommLossAfter = 3;
    // Milliseconds since the epoch, for acknowledgements.
    using Clock = std::function<qint64()>;

    explicit LineAlarms(Clock clock = nullptr, QObject *parent = nullptr);

    // Judges every poll of `line` from now on.
    void follow(const MeterLine &line);

    void setLimits(int address, const AlarmLimits &limits);
    const AlarmLimits &limits(int address) const;
    // Missing answers in a row that raise the comm alarm; 0 switches it off.
    void setCommLossAfter(int count);
    int commLossAfter() const { return commLoss; }
    // Alarms left unacknowledged when the program last ended: they wait for
    // their acknowledgement again (no event), and show as inactive until a
    // value raises them.
    void restoreUnacknowledged(const QList<std::pair<int, AlarmKind>> &alarms);

    // Judges one poll as the line reported it.
    void judge(const PollOutcome &outcome);
    // Judges one sample; for the poll above and for tests and benchmarks.
    void judge(int address, const AlarmSample &sample);
    // False when the alarm was not waiting for an acknowledgement.
    bool acknowledge(int address, AlarmKind kind);
    // Acknowledges every waiting alarm; how many there were.
    int acknowledgeAll();

    const MeterAlarms &alarms(int address) const;
    int activeCount() const;
    int unacknowledgedCount() const;

signals:
    // An alarm was raised, cleared or acknowledged.
    void happened(const AlarmEvent &event);
    // The alarms of the meter at `address` changed (after happened()).
    void changed(int address);

private:
    Clock clock;
    std::array<AlarmLimits, Modbus::MeterCount> meterLimits{};
    std::array<MeterAlarms, Modbus::MeterCount> meters{};
    int commLoss = DefaultCommLossAfter;
};
