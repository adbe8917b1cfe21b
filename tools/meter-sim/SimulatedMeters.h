#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <array>
#include <cstdint>

// A line of simulated process meters: turns one request frame into the bytes
// the addressed meter would send back.
//
// Register map of every meter: 200 is the process value in tenths (signed,
// slowly varying, a curve of its own per meter, or a fixed value); 2k for
// k = 0..49 is parameter k, which a write (0x06) changes and a read (0x03)
// returns. Any other register gets the exception answer 02 (illegal data
// address).
class SimulatedMeters {
public:
    static constexpr int ParameterCount = 50;
    static constexpr int ProcessValueRegister = 200;
    using Parameters = std::array<std::int16_t, ParameterCount>;

    SimulatedMeters(int firstAddress = 1, int lastAddress = 5);

    int firstAddress() const { return first; }
    int lastAddress() const { return last; }

    void setSilent(const QSet<int> &addresses) { silent = addresses; }
    void setBadCrc(const QSet<int> &addresses) { badCrc = addresses; }
    // Meters that answer every request with exception 04 (device failure).
    void setRefusing(const QSet<int> &addresses) { refusing = addresses; }
    // Meters whose parameters are locked: a write gets exception 04.
    void setReadOnly(const QSet<int> &addresses) { readOnly = addresses; }
    // Meters whose process value stays at the given tenths.
    void setFixedValues(const QHash<int, std::int16_t> &tenths) { fixedValues = tenths; }
    // The values every meter's parameters start from.
    void setParameterDefaults(const Parameters &values);
    void setParameter(int address, int k, std::int16_t value);
    // Meters that answer this many requests, then none.
    void setSilentAfter(const QHash<int, int> &counts) { answersLeft = counts; }
    std::int16_t parameter(int address, int k) const;

    // Process value of meter `address`, in tenths, `seconds` after the start.
    static std::int16_t processValue(int address, double seconds);

    // The answer to one 8-byte request with a valid CRC, `seconds` after the
    // start; empty when no meter answers (address outside the range, or a
    // silent meter).
    QByteArray answer(const QByteArray &request, double seconds);

    // Takes the whole requests (8 bytes with a valid CRC) from the front of
    // `pending`. Bytes that begin no valid frame are dropped one at a time, so
    // the line finds its way back after noise; an unfinished frame stays.
    static QList<QByteArray> takeRequests(QByteArray &pending);

private:
    bool answers(int address) const;
    // Counts down a meter's answers left; false once it has fallen silent.
    bool takeAnswer(int address);
    QByteArray readAnswer(int address, int reg, int quantity, double seconds) const;
    QByteArray writeAnswer(const QByteArray &request, int address, int reg, int value);
    static QByteArray exception(int address, int function, int code);

    int first;
    int last;
    QSet<int> silent;
    QSet<int> badCrc;
    QSet<int> refusing;
    QSet<int> readOnly;
    QHash<int, std::int16_t> fixedValues;
    QHash<int, int> answersLeft;
    // Parameters by address byte, so that any address 0..255 can be served.
    std::array<Parameters, 256> parameters{};
};
