#include "TransactionScheduler.h"

#include "AnswerAssembler.h"
#include "CommandIds.h"
#include "RequestChannel.h"
#include "SchedulerHost.h"

#include <QMetaMethod>

#include <algorithm>
#include <utility>

namespace {

constexpr int kProbePeriod = 300;
constexpr int kReadAllPeriod = 300;
constexpr int kWritePeriod = 400;
constexpr int kShortestPoll = 200;
constexpr int kLongestPoll = 1000;

// A meter confirms a write by echoing the request unchanged.
bool isEchoOf(const ReceiveBuffer &buffer, const ModbusRequest &request)
{
    return std::equal(request.begin(), request.end(), buffer.begin());
}

} // namespace

TransactionScheduler::TransactionScheduler(RequestChannel &link, SchedulerHost &host, LiveValueTable &values,
                                           ParameterMenuSource menus, QObject *parent)
    : QObject(parent), link(link), host(host), live(values), transfer(std::move(menus))
{
}

void TransactionScheduler::setAddressRange(int first, int last)
{
    // Only addresses with a live-value slot can be meters.
    startAddress = std::clamp(first, 0, Modbus::MeterCount - 1);
    endAddress = std::clamp(last, 0, Modbus::MeterCount - 1);
    nextAddress = startAddress;
    answeredAddress = startAddress;
}

void TransactionScheduler::setSamplingTime(int ms)
{
    samplingPeriod = std::clamp(ms, kShortestPoll, kLongestPoll);
}

void TransactionScheduler::setCycle(Cycle mode, int silenceMs, int answerTimeoutMs)
{
    pollCycle = mode;
    silenceGapMs = std::max(silenceMs, 0);
    answerTimeout = std::max(answerTimeoutMs, 1);
}

void TransactionScheduler::startMonitoring()
{
    awaitingAnswer = 0;
    StartTimer(TimerId::PollTimer, samplingPeriod);
}

TransactionScheduler::Activity TransactionScheduler::activity() const
{
    if (running[TimerId::WriteTimer])
        return Activity::Writing;
    if (running[TimerId::ReadAllTimer])
        return Activity::Reading;
    if (running[TimerId::ProbeTimer])
        return Activity::Probing;
    return running[TimerId::PollTimer] ? Activity::Monitoring : Activity::Idle;
}

void TransactionScheduler::StartTimer(int id, int periodMs)
{
    if (id == TimerId::PollTimer)
        periodMs = firstPollAfter(periodMs);
    startLineTimer(id, periodMs);
    skipNextAnswer = 1;
    receiveMode = id;
    // An answer from now on belongs to the request of a new activity.
    requestTimer = 0;
}

void TransactionScheduler::onTimer(int id)
{
    // A tick that finds its request unanswered counts one missing answer
    // for the meter asked, whatever the activity.
    if (awaitingAnswer && !missCounted) {
        live.countMissing(askedAddress);
        missCounted = true;
        if (isSignalConnected(QMetaMethod::fromSignal(&TransactionScheduler::answerMissing)))
            emit answerMissing(askedAddress);
        tellPollOutcome(requestTimer, PollOutcome::Quality::NoAnswer);
    }
    switch (id) {
    case TimerId::PollTimer:
        poll();
        break;
    case TimerId::ProbeTimer:
        probe();
        break;
    case TimerId::ReadAllTimer:
        readStep();
        break;
    case TimerId::WriteTimer:
        writeStep();
        break;
    default:
        stopLineTimer(id);
    }
}

void TransactionScheduler::poll()
{
    if (awaitingAnswer) {
        stopLineTimer(TimerId::PollTimer);
        startLineTimer(TimerId::ProbeTimer, kProbePeriod);
        LineEvent interrupted(LineEvent::What::Interrupted);
        interrupted.address = askedAddress;
        report(std::move(interrupted));
        return;
    }
    nextAddress = withinRange(nextAddress);
    sendRead(nextAddress, Modbus::LiveValueRegister, TimerId::PollTimer);
    // The fast cycle's next tick is the end of the answer time.
    if (pollCycle == Cycle::Fast)
        startLineTimer(TimerId::PollTimer, answerTimeout);
}

// In the fast cycle a transaction ends with its answer: the next poll goes
// out once the line has been quiet for the silence interval. Not while
// another activity has taken the line.
void TransactionScheduler::pollAfterSilence()
{
    if (pollCycle == Cycle::Fast && running[TimerId::PollTimer])
        startLineTimer(TimerId::PollTimer, silenceGapMs);
}

// The poll timer's first period when monitoring starts or resumes.
int TransactionScheduler::firstPollAfter(int periodMs) const
{
    return pollCycle == Cycle::Fast ? silenceGapMs : std::clamp(periodMs, kShortestPoll, kLongestPoll);
}

void TransactionScheduler::probe()
{
    if (awaitingAnswer) {
        live.markNotAnswering(nextAddress);
        nextAddress = following(nextAddress);
        sendRead(nextAddress, Modbus::LiveValueRegister, TimerId::ProbeTimer);
        return;
    }
    // The line answers again: monitoring resumes, storing its answers
    // whichever activity was interrupted, with the meter that answered.
    stopLineTimer(TimerId::ProbeTimer);
    startLineTimer(TimerId::PollTimer, firstPollAfter(samplingPeriod));
    receiveMode = TimerId::PollTimer;
    skipNextAnswer = 0;
    nextAddress = withinRange(answeredAddress);
    LineEvent resumed(LineEvent::What::Resumed);
    resumed.address = answeredAddress;
    report(std::move(resumed));
}

void TransactionScheduler::readStep()
{
    if (awaitingAnswer) {
        stopLineTimer(TimerId::ReadAllTimer);
        readIndex = 0;
        abandonRun(LineEvent(LineEvent::What::ReadInterrupted));
        return;
    }
    if (readIndex >= readEnd) {
        finishRead();
        return;
    }
    // The progress runs over 2 × n steps, two per parameter.
    const int position = 2 * (readIndex - readFirst) + 2;
    sendRead(nextAddress, (2 * readIndex) & 0xFF, TimerId::ReadAllTimer);
    moveProgress(LineRun::Read, position);
}

// A run cut off by a missing answer: its progress ends, the probe looks for
// the line, and the event says why.
void TransactionScheduler::abandonRun(LineEvent event)
{
    closeProgress();
    StartTimer(TimerId::ProbeTimer, kProbePeriod);
    report(std::move(event));
}

void TransactionScheduler::finishRead()
{
    stopLineTimer(TimerId::ReadAllTimer);
    closeProgress();
    writeTarget = static_cast<quint8>(nextAddress & 0xFF);
    ParameterReading reading = transfer.reading(writeTarget, parameterValues);
    reading.requester = requester;
    reading.first = readFirst;
    reading.count = readEnd - readFirst;
    StartTimer(TimerId::PollTimer, samplingPeriod);
    readIndex = 0;
    emit parametersRead(reading);
}

void TransactionScheduler::refuseRead(int exceptionCode)
{
    LineEvent refusal = transfer.aboutParameter(LineEvent::What::ReadRefused, readIndex);
    refusal.address = nextAddress;
    refusal.exceptionCode = exceptionCode;
    stopLineTimer(TimerId::ReadAllTimer);
    closeProgress();
    readIndex = 0;
    // The meter still answers: monitoring goes on.
    StartTimer(TimerId::PollTimer, samplingPeriod);
    report(std::move(refusal));
}

void TransactionScheduler::writeStep()
{
    if (awaitingAnswer) {
        const int unanswered = writeFirstStep ? -1 : writeIndex - 1;
        LineEvent interrupted = unanswered >= 0
                                    ? aboutWriteEntry(LineEvent::What::WriteInterrupted, unanswered)
                                    : LineEvent(LineEvent::What::WriteInterrupted);
        endWriteRun();
        // The probe starts by marking the meter that did not answer.
        if (unanswered >= 0)
            nextAddress = writeTarget;
        abandonRun(std::move(interrupted));
        return;
    }
    if (writeFirstStep) {
        writeFirstStep = 0;
        openProgress(LineRun::Write, writeCount);
    } else if (writeIndex >= writeCount) {
        // The last write has been echoed.
        finishWrite();
        return;
    }
    sendWrite();
}

void TransactionScheduler::sendWrite()
{
    const WriteEntry &entry = writeList.entries[writeIndex];
    const int reg = (2 * entry.index) & 0xFF;
    const int position = writeIndex + 1;
    lastWrite = BuildRequest(writeTarget, Modbus::WriteSingle, reg, entry.value);
    requestTimer = TimerId::WriteTimer;
    askedAddress = writeTarget;
    missCounted = false;
    awaitingAnswer = 1;
    ++writeIndex;
    link.WriteRequest(writeTarget, Modbus::WriteSingle, reg, entry.value);
    moveProgress(LineRun::Write, position);
}

void TransactionScheduler::finishWrite()
{
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    LineEvent done(LineEvent::What::WriteDone);
    done.address = writeTarget;
    report(std::move(done));
}

void TransactionScheduler::refuseWrite(LineEvent::What why, int exceptionCode)
{
    LineEvent refusal = aboutWriteEntry(why, writeIndex - 1);
    refusal.exceptionCode = exceptionCode;
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    report(std::move(refusal));
}

void TransactionScheduler::endWriteRun()
{
    stopLineTimer(TimerId::WriteTimer);
    closeProgress();
    writeIndex = 0;
    writeFirstStep = 1;
    requestTimer = 0;
}

LineEvent TransactionScheduler::aboutWriteEntry(LineEvent::What what, int entry) const
{
    LineEvent event = transfer.aboutParameter(what, writeList.entries[entry].index);
    event.address = writeTarget;
    event.value = writeList.entries[entry].value;
    return event;
}

void TransactionScheduler::onAnswer(const ReceiveBuffer &buffer)
{
    awaitingAnswer = 0;
    const int answeredTimer = std::exchange(requestTimer, 0);
    const ParsedResponse answer = ParseResponse(buffer);
    countHealth(answeredTimer, buffer, answer);
    if (answeredTimer == TimerId::PollTimer || answeredTimer == TimerId::ProbeTimer) {
        moveMonitoringOn(askedAddress);
        if (answeredTimer == TimerId::PollTimer)
            pollAfterSilence();
    } else if (handleTransferAnswer(answeredTimer, buffer))
        return;

    if (!answer.crcValid || answer.address >= Modbus::MeterCount)
        return;
    if (answer.function != Modbus::ReadHolding) {
        skipNextAnswer = 0;
        return;
    }
    LineEvent answered(LineEvent::What::Answered);
    answered.address = answer.address;
    answered.value = static_cast<qint16>(answer.value);
    report(std::move(answered));
    if (skipNextAnswer) {
        skipNextAnswer = 0;
        return;
    }
    storeAnswer(answer);
}

// The health of the meter asked: a good answer (a read answer with a valid
// CRC, which counts for the meter that sent it, or the echo of a write), an
// exception, or anything else as garbage. An answer to no request of ours
// counts for nobody.
void TransactionScheduler::countHealth(int answeredTimer, const ReceiveBuffer &buffer,
                                       const ParsedResponse &answer)
{
    const LineFrame::Kind kind = judge(answeredTimer, buffer, answer);
    if (isSignalConnected(QMetaMethod::fromSignal(&TransactionScheduler::answerJudged)))
        emit answerJudged(kind);
    if (answeredTimer == 0)
        return;
    switch (kind) {
    case LineFrame::Kind::Answer:
        tellPollOutcome(answeredTimer, PollOutcome::Quality::Ok, static_cast<qint16>(answer.value),
                        answer.address);
        break;
    case LineFrame::Kind::Exception:
        tellPollOutcome(answeredTimer, PollOutcome::Quality::Exception, buffer[2]);
        break;
    default:
        tellPollOutcome(answeredTimer, PollOutcome::Quality::BadFrame);
    }
    const bool goodRead = answeredTimer != TimerId::WriteTimer && kind == LineFrame::Kind::Answer;
    if (kind == LineFrame::Kind::Answer)
        live.countAnswer(goodRead ? answer.address : askedAddress, link.lastResponseMs(), host.now());
    else if (kind == LineFrame::Kind::Exception)
        live.countException(askedAddress);
    else
        live.countGarbage(askedAddress);
}

void TransactionScheduler::tellPollOutcome(int answeredTimer, PollOutcome::Quality quality, qint16 raw,
                                           int address)
{
    if (answeredTimer != TimerId::PollTimer && answeredTimer != TimerId::ProbeTimer)
        return;
    if (!isSignalConnected(QMetaMethod::fromSignal(&TransactionScheduler::pollJudged)))
        return;
    PollOutcome outcome{address < 0 ? askedAddress : address, quality, 0, host.now()};
    // An exception answer carries its code where a value would be.
    if (quality == PollOutcome::Quality::Exception)
        outcome.exceptionCode = raw;
    else
        outcome.raw = raw;
    emit pollJudged(outcome);
}

// A good read answer, the echo of a write run's write, an exception, a
// frame of a known function and length whose CRC is wrong, or else garbage. An answer
// to no request of ours is judged as a read answer, or as the echo of the
// last write.
LineFrame::Kind TransactionScheduler::judge(int answeredTimer, const ReceiveBuffer &buffer,
                                            const ParsedResponse &answer) const
{
    const bool write = answeredTimer == TimerId::WriteTimer;
    const bool goodRead =
        !write && answer.crcValid && answer.function == Modbus::ReadHolding && buffer[2] == 2;
    const bool goodEcho = (write || answeredTimer == 0) && isEchoOf(buffer, lastWrite);
    if (goodRead || goodEcho)
        return LineFrame::Kind::Answer;
    if (IsExceptionAnswer(buffer))
        return LineFrame::Kind::Exception;
    const std::size_t length = AnswerAssembler::expectedLength(buffer[1]);
    if (length > 2) {
        const auto crc = Crc16(buffer.data(), length - 2);
        if (crc[0] != buffer[length - 2] || crc[1] != buffer[length - 1])
            return LineFrame::Kind::CrcError;
    }
    return LineFrame::Kind::Garbage;
}

void TransactionScheduler::moveMonitoringOn(int asked)
{
    // Whatever the answer, the asked meter has had its turn; a meter that
    // answers garbage must not keep the others from being polled.
    nextAddress = following(asked);
    answeredAddress = asked;
}

bool TransactionScheduler::handleTransferAnswer(int answeredTimer, const ReceiveBuffer &buffer)
{
    if (answeredTimer == TimerId::ReadAllTimer && IsExceptionAnswer(buffer)) {
        // Like a read answer, the first one after the read started may be
        // a late answer to the poll before it.
        if (skipNextAnswer)
            skipNextAnswer = 0;
        else
            refuseRead(buffer[2]);
        return true;
    }
    if (answeredTimer == TimerId::WriteTimer) {
        if (isEchoOf(buffer, lastWrite))
            report(aboutWriteEntry(LineEvent::What::ParameterWritten, writeIndex - 1));
        else if (IsExceptionAnswer(buffer))
            refuseWrite(LineEvent::What::WriteRefused, buffer[2]);
        else
            refuseWrite(LineEvent::What::WriteBadEcho, 0);
        return true;
    }
    return false;
}

void TransactionScheduler::storeAnswer(const ParsedResponse &answer)
{
    const auto value = static_cast<qint16>(answer.value);
    if (receiveMode == TimerId::PollTimer) {
        live.store(answer.address, value * 0.1);
        nextAddress = following(answer.address);
        answeredAddress = answer.address;
    } else if (receiveMode == TimerId::ReadAllTimer && readIndex < readEnd) {
        parameterValues[readIndex] = value;
        ++readIndex;
    }
}

bool TransactionScheduler::readAllParameters(int address, int meterType)
{
    return readParameters(address, meterType, 0);
}

bool TransactionScheduler::readParameters(int address, int meterType, int asker, int first, int count)
{
    if (progressShown)
        return false;
    requester = asker;
    if (!transfer.loadMenu(meterType)) {
        LineEvent refusal(LineEvent::What::NoParameters);
        refusal.address = address;
        refusal.meterType = meterType;
        report(std::move(refusal));
        return false;
    }
    readFirst = std::clamp(first, 0, transfer.parameterCount());
    readEnd = count < 0 ? transfer.parameterCount() : std::clamp(readFirst + count, readFirst, transfer.parameterCount());
    parameterValues.fill(0);
    stopLineTimer(TimerId::PollTimer);
    stopLineTimer(TimerId::ProbeTimer);
    stopLineTimer(TimerId::WriteTimer);
    readIndex = readFirst;
    awaitingAnswer = 0;
    nextAddress = address;
    StartTimer(TimerId::ReadAllTimer, kReadAllPeriod);
    openProgress(LineRun::Read, 2 * (readEnd - readFirst));
    return true;
}

bool TransactionScheduler::startWrite(const ParameterWriteList &list)
{
    if (progressShown)
        return false;
    requester = 0;
    LineEvent refusal;
    const std::optional<WriteRun> run = transfer.PrepareWriteList(list, refusal);
    if (!run) {
        refusal.address = writeTarget;
        report(std::move(refusal));
        return false;
    }
    return startWriteRun(*run, 0);
}

bool TransactionScheduler::startWriteRun(const WriteRun &run, int asker)
{
    if (progressShown)
        return false;
    requester = asker;
    if (run.count <= 0) {
        LineEvent nothing(LineEvent::What::NothingToWrite);
        nothing.address = writeTarget;
        report(std::move(nothing));
        return false;
    }
    writeList = run;
    writeCount = run.count;
    writeIndex = 0;
    writeFirstStep = 1;
    // One activity at a time: a probe must not mix its requests into the run.
    stopLineTimer(TimerId::PollTimer);
    stopLineTimer(TimerId::ProbeTimer);
    startLineTimer(TimerId::WriteTimer, kWritePeriod);
    return true;
}

void TransactionScheduler::stopAll()
{
    for (int id : {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer, TimerId::WriteTimer})
        stopLineTimer(id);
    // A run cut off here is over; its progress window would otherwise stay
    // and keep every later read of all parameters from starting.
    closeProgress();
    readIndex = 0;
    writeIndex = 0;
    writeFirstStep = 1;
    awaitingAnswer = 0;
    requestTimer = 0;
}

void TransactionScheduler::sendRead(int address, int reg, int timerId)
{
    requestTimer = timerId;
    askedAddress = address;
    missCounted = false;
    awaitingAnswer = 1;
    link.WriteRequest(address, Modbus::ReadHolding, reg, 0);
}

void TransactionScheduler::report(LineEvent event)
{
    event.time = host.now();
    using What = LineEvent::What;
    switch (event.what) {
    case What::Interrupted:
    case What::Resumed:
    case What::Answered:
    case What::DeviceLost:
    case What::ConnectionLost:
    case What::DeviceBack:
        break;
    default:
        event.requester = requester;
    }
    emit happened(event);
}

bool TransactionScheduler::cancelRun()
{
    if (!progressShown)
        return false;
    stopLineTimer(TimerId::ReadAllTimer);
    endWriteRun();
    readIndex = 0;
    // An answer to the request under way is the run's, not a poll's.
    StartTimer(TimerId::PollTimer, samplingPeriod);
    return true;
}

void TransactionScheduler::startLineTimer(int id, int periodMs)
{
    host.startTimer(id, periodMs);
    if (id > 0 && id < int(running.size()))
        running[id] = true;
}

void TransactionScheduler::stopLineTimer(int id)
{
    host.stopTimer(id);
    if (id > 0 && id < int(running.size()))
        running[id] = false;
}

void TransactionScheduler::openProgress(LineRun run, int high)
{
    progressShown = true;
    emit progressStarted(run, high);
}

void TransactionScheduler::moveProgress(LineRun run, int position)
{
    if (progressShown)
        emit progressMoved(run, position);
}

void TransactionScheduler::closeProgress()
{
    if (std::exchange(progressShown, false))
        emit progressEnded();
}

int TransactionScheduler::following(int address) const
{
    const int next = address + 1;
    return next > endAddress || next < startAddress ? startAddress : next;
}

int TransactionScheduler::withinRange(int address) const
{
    return address < startAddress || address > endAddress ? startAddress : address;
}
