#pragma once

#include "ModbusFrame.h"
#include "ParameterData.h"
#include "ParameterTransfer.h"

#include <QtGlobal>

struct BiText;

#include <array>

class RequestChannel;
class SchedulerHost;

// The latest accepted monitoring answer: the meter and its live value
// (register 200 in tenths, scaled by 0.1).
struct LiveReading {
    int address = 0;
    double value = 0.0;
};

// The timer-driven engine of the line. Four timers of the main window carry
// four activities (poll, probe, read all parameters, write parameters); each
// tick sends at most one request, and the timer period is the answer
// time-out: a tick that finds the previous answer still awaited counts the
// line as interrupted. Everything runs on the GUI thread.
class TransactionScheduler {
public:
    TransactionScheduler(RequestChannel &link, SchedulerHost &host);

    // The configured meters (MeterConfig startaddress/endaddress); the next
    // poll goes to the start address.
    void setAddressRange(int startAddress, int endAddress);
    // The poll period (MeterConfig samplingtime), brought into 200..1000 ms.
    void setSamplingTime(int ms);
    int samplingTime() const { return samplingPeriod; }

    // Starts timer `id` and makes its activity the one answers are used for;
    // the first read answer after it is discarded, being possibly a late
    // answer of the previous activity. The poll timer's period is brought
    // into 200..1000 ms.
    void StartTimer(int id, int periodMs);
    void onTimer(int id);
    // The receive dispatch, called with the buffer of each ReadResponse.
    void onAnswer(const ReceiveBuffer &buffer);

    // Command 32790: reads all parameters of the meter at `address`.
    void readAllParameters(int address);
    // From the parameter dialog: checks and scales the list, then stops the
    // poll and starts the write run (timer 4, 400 ms). Nothing starts when a
    // value is refused.
    void startWrite(const ParameterWriteList &list);
    // Stops the four line timers and abandons a running read or write (the
    // port is closed or reopened).
    void stopAll();

    int awaitingAnswer = 0;
    int receiveMode = 0;
    int skipNextAnswer = 0;
    int nextAddress = 0;
    int readIndex = 0;
    int parameterCount = 2;
    int writeIndex = 0;
    int writeFirstStep = 1;
    int writeCount = 0;
    quint8 writeAddress = 0;
    int startAddress = 0;
    int endAddress = 63;
    // Register values of the last read of all parameters, by position.
    std::array<qint16, MaxParameters> parameterValues{};
    WriteRun writeList;

    // Live value of every meter; -500.0 marks a meter that did not answer.
    std::array<double, Modbus::MeterCount> LiveValueTable;
    LiveReading liveReading;

private:
    void poll();
    void probe();
    void readStep();
    void finishRead();
    void refuseRead();
    void writeStep();
    void sendWrite();
    void finishWrite();
    void refuseWrite(const BiText &message);
    void endWriteRun();
    QString writeEntryMessage(const BiText &message, int entry) const;
    bool handleTransferAnswer(int answeredTimer, const ReceiveBuffer &buffer);
    void moveMonitoringOn(int asked);
    void storeAnswer(const ParsedResponse &answer);
    void sendRead(int address, int reg, int timerId);
    void setStatus(const QString &message);
    int following(int address) const;
    int withinRange(int address) const;

    RequestChannel &link;
    SchedulerHost &host;
    ParameterTransfer transfer;
    int samplingPeriod = 300;
    // The meter type whose parameters were read last; a write uses its menu.
    int transferMeterType = 0;
    // Which timer's tick sent the request whose answer is awaited, and to
    // whom; an answer is judged by the request it answers.
    int requestTimer = 0;
    int askedAddress = 0;
    // The meter that answered last while monitoring or probing; monitoring
    // resumes with it after an interruption.
    int answeredAddress = 0;
    ModbusRequest lastWrite{};
};
