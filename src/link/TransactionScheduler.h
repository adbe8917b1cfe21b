#pragma once

#include "LineEvent.h"
#include "LineFrame.h"
#include "LiveValueTable.h"
#include "ModbusFrame.h"
#include "ParameterData.h"
#include "ParameterTransfer.h"

#include <QObject>
#include <QtGlobal>

#include <array>

class RequestChannel;
class SchedulerHost;

// The timer-driven engine of the line. Four line timers carry four
// activities (poll, probe, read all parameters, write parameters); each tick
// sends at most one request, and the timer period is the answer time-out: a
// tick that finds the previous answer still awaited counts the line as
// interrupted. Accepted answers land in the LiveValueTable, with the health
// of every meter. What happens is reported as typed events, in no language.
// Everything runs on the thread of the line's timers.
//
// In the fast cycle monitoring is paced by the line instead of the poll
// period: the poll timer waits the silence interval after an answer and then
// the answer time-out after the next request, so a poll follows the last one
// as soon as its transaction has ended. Every other rule stays as it is.
class TransactionScheduler : public QObject {
    Q_OBJECT

public:
    // What the line is doing: the activity of the running line timer.
    enum class Activity { Idle, Monitoring, Probing, Reading, Writing };
    // How monitoring is paced: one poll per tick of the poll period, or the
    // fast cycle.
    enum class Cycle { Period, Fast };

    TransactionScheduler(RequestChannel &link, SchedulerHost &host, LiveValueTable &values,
                         ParameterMenuSource menus, QObject *parent = nullptr);

    // The configured meters (MeterConfig startaddress/endaddress); the next
    // poll goes to the start address.
    void setAddressRange(int startAddress, int endAddress);
    // The poll period (MeterConfig samplingtime), brought into 200..1000 ms;
    // the next start of the poll takes it.
    void setSamplingTime(int ms);
    int samplingTime() const { return samplingPeriod; }
    // The fast cycle waits `silenceMs` after an answer before the next poll
    // and counts an answer missing after `answerTimeoutMs`; the next start
    // of the poll takes it.
    void setCycle(Cycle mode, int silenceMs = 0, int answerTimeoutMs = 0);
    Cycle cycle() const { return pollCycle; }

    // The port has just been configured: nothing is awaited, polling starts.
    void startMonitoring();
    // Starts timer `id` and makes its activity the one answers are used for;
    // the first read answer after it is discarded, being possibly a late
    // answer of the previous activity. The poll timer's period is brought
    // into 200..1000 ms; in the fast cycle it is the silence interval.
    void StartTimer(int id, int periodMs);
    void onTimer(int id);
    // The receive dispatch, called with the buffer of each ReadResponse.
    void onAnswer(const ReceiveBuffer &buffer);

    // Reads all parameters of the meter at `address`, with the menu of
    // `meterType`. False (nothing starts) while a read or write runs, or when
    // the type has no parameters (reported).
    bool readAllParameters(int address, int meterType);
    // Reads parameters first..first + count - 1 only (count -1: to the end
    // of the menu), for `requester`, whose number the run's events and the
    // reading carry.
    bool readParameters(int address, int meterType, int requester, int first = 0, int count = -1);
    // From the parameter dialog: checks and scales the list, then stops the
    // poll and starts the write run (timer 4, 400 ms) to the meter of the
    // last read. False, and nothing starts, when a value is refused
    // (reported).
    bool startWrite(const ParameterWriteList &list);
    // Writes register values as they are, for `requester`, to the meter
    // read last.
    bool startWriteRun(const WriteRun &run, int requester);
    // Ends a running read or write at once, the request under way left to
    // die, and resumes monitoring; false when none runs.
    bool cancelRun();
    int runRequester() const { return requester; }
    // Stops the four line timers and abandons a running read or write (the
    // port is closed or reopened).
    void stopAll();

    Activity activity() const;
    // A read or write run is on (its progress window is up).
    bool transferRunning() const { return progressShown; }
    // The meter the parameters were last read from; writes go to it.
    int writeAddress() const { return writeTarget; }
    int parameterCount() const { return transfer.parameterCount(); }

signals:
    void happened(const LineEvent &event);
    // The progress of a read or write run: started over 0..high, moved to a
    // position, ended.
    void progressStarted(LineRun run, int high);
    void progressMoved(LineRun run, int position);
    void progressEnded();
    // A read of all parameters is complete.
    void parametersRead(const ParameterReading &reading);
    // For a traffic monitor, and emitted only while connected: how the
    // answer just received was judged, and the end of an answer time that
    // found the request to `address` unanswered.
    void answerJudged(LineFrame::Kind kind);
    void answerMissing(int address);
    // How each monitoring request ended, for whoever publishes every poll.
    // Emitted only while connected.
    void pollJudged(const PollOutcome &outcome);

private:
    void poll();
    void pollAfterSilence();
    int firstPollAfter(int periodMs) const;
    void probe();
    void readStep();
    void finishRead();
    void refuseRead(int exceptionCode);
    void writeStep();
    void sendWrite();
    void finishWrite();
    void refuseWrite(LineEvent::What why, int exceptionCode);
    void endWriteRun();
    void abandonRun(LineEvent event);
    LineEvent aboutWriteEntry(LineEvent::What what, int entry) const;
    bool handleTransferAnswer(int answeredTimer, const ReceiveBuffer &buffer);
    void countHealth(int answeredTimer, const ReceiveBuffer &buffer, const ParsedResponse &answer);
    // `raw` is the value of a good answer, the code of an exception.
    void tellPollOutcome(int answeredTimer, PollOutcome::Quality quality, qint16 raw = 0, int address = -1);
    LineFrame::Kind judge(int answeredTimer, const ReceiveBuffer &buffer, const ParsedResponse &answer) const;
    void moveMonitoringOn(int asked);
    void storeAnswer(const ParsedResponse &answer);
    void sendRead(int address, int reg, int timerId);
    void report(LineEvent event);
    void startLineTimer(int id, int periodMs);
    void stopLineTimer(int id);
    void openProgress(LineRun run, int high);
    void moveProgress(LineRun run, int position);
    void closeProgress();
    int following(int address) const;
    int withinRange(int address) const;

    RequestChannel &link;
    SchedulerHost &host;
    LiveValueTable &live;
    ParameterTransfer transfer;

    int awaitingAnswer = 0;
    // The timer last started through StartTimer: what an accepted answer is
    // used for.
    int receiveMode = 0;
    int skipNextAnswer = 0;
    int nextAddress = 0;
    int readIndex = 0;
    int readEnd = 0;   // the position after the last one a read asks for
    int readFirst = 0; // the first position it asks for
    int requester = 0; // of the run under way
    int writeIndex = 0;
    int writeFirstStep = 1;
    int writeCount = 0;
    quint8 writeTarget = 0;
    int startAddress = 0;
    int endAddress = 63;
    int samplingPeriod = 300;
    Cycle pollCycle = Cycle::Period;
    int silenceGapMs = 0;
    int answerTimeout = 0;
    // Register values of the last read of all parameters, by position.
    std::array<qint16, MaxParameters> parameterValues{};
    WriteRun writeList;
    std::array<bool, 5> running{}; // by timer id
    bool progressShown = false;
    // Which timer's tick sent the request whose answer is awaited, and to
    // whom; an answer is judged by the request it answers.
    int requestTimer = 0;
    int askedAddress = 0;
    bool missCounted = false;
    // The meter that answered last while monitoring or probing; monitoring
    // resumes with it after an interruption.
    int answeredAddress = 0;
    ModbusRequest lastWrite{};
};
