#pragma once

#include "ModbusFrame.h"
#include "Transport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QTimer>

class SerialLink;

// One combination of line settings a scan tries (the fields as LineSettings
// has them: parity index 0 none / 1 odd / 2 even, stop-bits index 0 one /
// 2 two).
struct ScanSetting {
    int baud = 9600;
    int dataBits = 8;
    int parityIndex = 0;
    int stopBitsIndex = 0;

    bool operator==(const ScanSetting &) const = default;
    LineSettings lineSettings() const { return {baud, dataBits, parityIndex, stopBitsIndex}; }
    // The time an 8-byte request takes on the wire at this setting, in ms.
    double frameMs() const;
    // "19200 8N2": the baud rate, data bits, parity letter and stop bits,
    // as the setting is written on the meters' labels in every language.
    QString shortName() const;
};

// What to scan: every address of the range at each setting, the settings in
// their order, each setting's whole range before the next setting.
struct ScanPlan {
    static constexpr int BaseTimeoutMs = 40;

    int firstAddress = 0;
    int lastAddress = Modbus::MeterCount - 1;
    QList<ScanSetting> settings;
    // The wait for an answer; -1 takes BaseTimeoutMs plus twice the frame
    // time at each setting.
    int timeoutMs = -1;

    int candidateCount() const;
    int timeoutFor(const ScanSetting &setting) const;
    // What makes the plan unusable: no setting to try, an address range
    // outside 0..63 or upside down, a time-out under 1 ms or over 10 s.
    enum class Problem { None, NoSetting, BadRange, BadTimeout };
    Problem problem() const;
    // Each setting once, in the order it first appears.
    void dropRepeatedSettings();
};

// A meter that answered the scan's probe: a read answer of register 200, or
// a Modbus exception (which proves a meter at that address and setting as
// well).
struct ScanFind {
    ScanSetting setting;
    int address = 0;
    bool exception = false;
    int exceptionCode = 0; // for an exception answer
    qint16 raw = 0;        // register 200, for a read answer
    int responseMs = -1;
    QDateTime time;
};

// How each setting ended: the meters found at it (0: nothing answered).
struct ScanSettingResult {
    ScanSetting setting;
    int found = 0;
};

enum class ScanEnd {
    Done,      // every candidate was probed
    Cancelled, // cancel() ended it
    LineLost,  // the port's device or the connection went away
};

// Probes candidate after candidate on the link: sets the link to the
// candidate's setting when it changes, asks register 200 of the address and
// waits for the answer or the scan time-out. Whatever answered with a whole
// frame of the right address (a read answer with a valid CRC or an
// exception) is found. Runs on the link's thread, without blocking; the
// owner keeps monitoring off while it runs and takes the link back when
// ended() has come.
class LineScan : public QObject {
    Q_OBJECT

public:
    LineScan(SerialLink &link, ScanPlan plan, QObject *parent = nullptr);

    // Starts with the first candidate.
    void start();
    // Stops at once, the probe under way left unanswered; ended(Cancelled)
    // is emitted before it returns.
    void cancel();
    // The link's device went away: ended(LineLost), before it returns.
    void lineLost();
    bool running() const { return active; }

    const ScanPlan &plan() const { return scanPlan; }
    int done() const { return candidatesDone; }
    const QList<ScanFind> &finds() const { return foundSoFar; }

signals:
    void found(const ScanFind &find);
    // `done` of `total` candidates are probed; `remainingMs` is the time
    // the rest will take at the pace so far (the time-outs of the rest
    // while nothing was probed yet).
    void progressed(int done, int total, qint64 remainingMs);
    void settingDone(const ScanSettingResult &result);
    void ended(ScanEnd end);

private:
    void probe();
    void onAnswer();
    void nextCandidate();
    bool advance();
    void finish(ScanEnd end);
    qint64 remainingMs() const;

    SerialLink &link;
    ScanPlan scanPlan;
    QTimer answerTimer;
    QTimer gapTimer;
    QElapsedTimer clock;
    QList<ScanFind> foundSoFar;
    int settingIndex = 0;
    int address = 0;
    int candidatesDone = 0;
    int foundAtSetting = 0;
    bool active = false;
    bool settingApplied = false;
};

Q_DECLARE_METATYPE(ScanFind)
