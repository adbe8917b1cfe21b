#pragma once

#include "ParameterData.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>

#include <array>

// What happened on a line, as the line reports it to whoever shows it: a
// window turns it into a status text or a message box in the operator's
// language, a service into a log line. The line itself knows no language.
struct LineEvent {
    enum class What {
        // Monitoring found its request to `address` unanswered: the line is
        // probed.
        Interrupted,
        // The meter at `address` answered the probe: monitoring resumes.
        Resumed,
        // A read answer came from `address`, its register value in `value`.
        Answered,
        // A read of all parameters: `meterType` has no parameter menu, so
        // nothing was read.
        NoParameters,
        // A read of all parameters lost its answer; the line is probed.
        ReadInterrupted,
        // The meter refused to read parameter `parameter` (exception code).
        ReadRefused,
        // A write list was empty.
        NothingToWrite,
        // The entered value `entered` of parameter `parameter` is not a
        // number or does not fit the register: nothing was written.
        ValueRefused,
        // A write run lost its answer at parameter `parameter` (-1: before
        // its first write was sent); the line is probed.
        WriteInterrupted,
        // The meter refused to write parameter `parameter` (exception code).
        WriteRefused,
        // The meter answered the write of parameter `parameter` with
        // something other than its echo.
        WriteBadEcho,
        // The meter echoed the write of parameter `parameter`: register
        // value `value` is written. Told for the write log; no message.
        ParameterWritten,
        // Every write of the run was echoed.
        WriteDone,
        // The serial port's device went away; it is tried every 2 s.
        DeviceLost,
        // The connection to the device server or gateway is lost or could
        // not be made; it is tried again after a growing pause.
        ConnectionLost,
        // The device or the connection is back and polling resumes.
        DeviceBack,
    };

    LineEvent() = default;
    explicit LineEvent(What happened) : what(happened) {}

    What what = What::Interrupted;
    QDateTime time;
    // Who started the read or write run the event belongs to: 0 for the
    // parameter dialog, another number for whoever asked with it.
    int requester = 0;
    int address = -1;
    // Position k of the parameter concerned (register 2 × k), -1 for none.
    int parameter = -1;
    int exceptionCode = 0;
    int meterType = 0;
    qint16 value = 0;
    double entered = 0;
    // The parameter's captions as the meter type's menu has them (Chinese,
    // English); empty outside the menu.
    QString captionC;
    QString captionE;
};

// How one monitoring request of a meter ended (a poll, or a probe while the
// line is interrupted): a read answer with its register value, no answer
// before the answer time ended, a frame whose CRC or shape is wrong, or a
// Modbus exception.
struct PollOutcome {
    enum class Quality { Ok, NoAnswer, BadFrame, Exception };

    int address = 0;
    Quality quality = Quality::Ok;
    qint16 raw = 0; // the register value, for Ok
    QDateTime time;
    int exceptionCode = 0; // the meter's exception code, for Exception
};

// The two runs that take the line from monitoring and show their progress.
enum class LineRun { Read, Write };

// A completed read of all parameters: the meter, the menu it was read with
// and the register value of every parameter of the menu, by position.
struct ParameterReading {
    int address = 0;
    ParameterMenu menu;
    std::array<qint16, MaxParameters> values{};
    int requester = 0; // who asked for the read (see LineEvent)
    // The parameters read: positions first..first + count - 1; the whole
    // menu unless only some were asked for.
    int first = 0;
    int count = 0;
};

Q_DECLARE_METATYPE(LineEvent)
Q_DECLARE_METATYPE(PollOutcome)
