#pragma once

#include "ModbusFrame.h"

#include <QDateTime>
#include <QObject>

#include <array>

// The latest accepted monitoring answer: the meter and its live value
// (register 200 in tenths, scaled by 0.1).
struct LiveReading {
    int address = 0;
    double value = 0.0;
};

// How one meter has been answering since the line was opened.
struct MeterHealth {
    int answers = 0;    // well-formed answers
    int missing = 0;    // requests whose answer did not come before the next tick
    int garbage = 0;    // answers with a bad CRC, a wrong length or a wrong function
    int exceptions = 0; // Modbus exception answers
    // From the request leaving the port to its answer being whole; -1 before
    // the first good answer.
    int lastResponseMs = -1;
    // The sum and the longest of those times over the good answers whose
    // time is known; the average is totalResponseMs / timedAnswers.
    qint64 totalResponseMs = 0;
    int timedAnswers = 0;
    int maxResponseMs = -1;
    QDateTime lastGoodAnswer; // null before the first good answer
};

// The live values of the 64 meters and the line health of each, written by
// the scheduler and read by every window that shows them. A meter found
// silent gets the value -500.0, the mark the chart draws at its lower limit;
// whether a meter answers is told by answering() alone, since a meter may
// truly read -500.0. Windows hold it by const reference and follow its
// signals; only the line changes it (or, while the line is closed, whoever
// watches it running elsewhere).
class LiveValueTable : public QObject {
    Q_OBJECT

public:
    static constexpr double NoAnswer = -500.0;

    explicit LiveValueTable(QObject *parent = nullptr);

    // The value of the meter at `address`; NoAnswer for an address that
    // cannot be a meter.
    double value(int address) const;
    double operator[](int address) const { return value(address); }
    const std::array<double, Modbus::MeterCount> &values() const { return table; }
    LiveReading liveReading() const { return reading; }
    // The health of the meter at `address`; all zero for an address that
    // cannot be a meter.
    const MeterHealth &health(int address) const;
    // Whether the meter at `address` answers: false while it is marked as
    // not answering (meters 0..24 start so, the probe marks a silent one),
    // true again from its next stored answer. False for an address that
    // cannot be a meter.
    bool answering(int address) const;

    // A monitoring answer was accepted: the value and the live reading.
    void store(int address, double value);
    // A meter was found silent by the probe.
    void markNotAnswering(int address);

    void countAnswer(int address, int responseMs, const QDateTime &when);
    void countMissing(int address);
    void countGarbage(int address);
    void countException(int address);
    // Forgets the health of every meter (a new line); the values stay.
    void resetHealth();
    // Takes the health of the meter at `address` as a whole, as a line
    // watched from elsewhere reports it.
    void setHealth(int address, const MeterHealth &health);

    static bool isMeter(int address) { return address >= 0 && address < Modbus::MeterCount; }

signals:
    void valueStored(int address, double value);
    void markedNotAnswering(int address);
    void healthChanged(int address);
    void healthReset();

private:
    template <typename Change> void changeHealth(int address, Change change);

    std::array<double, Modbus::MeterCount> table{};
    std::array<bool, Modbus::MeterCount> answeringNow{};
    std::array<MeterHealth, Modbus::MeterCount> meterHealth{};
    LiveReading reading;
};
