#include "TransactionScheduler.h"

#include "AnswerAssembler.h"
#include "CommandIds.h"
#include "Language.h"
#include "LinkTexts.h"
#include "Prompts.h"
#include "RequestChannel.h"
#include "SchedulerHost.h"
#include "Texts.h"

#include <QMetaMethod>

#include <algorithm>
#include <utility>

namespace {

constexpr int kProbePeriod = 300;
constexpr int kReadAllPeriod = 300;
constexpr int kWritePeriod = 400;
constexpr int kShortestPoll = 200;
constexpr int kLongestPoll = 1000;

// A Modbus exception answer: address, function | 0x80, exception code and
// the CRC over those three bytes.
bool isExceptionAnswer(const ReceiveBuffer &buffer)
{
    if (!(buffer[1] & Modbus::ExceptionFlag))
        return false;
    const auto crc = Crc16(buffer.data(), 3);
    return crc[0] == buffer[3] && crc[1] == buffer[4];
}

// A meter confirms a write by echoing the request unchanged.
bool isEchoOf(const ReceiveBuffer &buffer, const ModbusRequest &request)
{
    return std::equal(request.begin(), request.end(), buffer.begin());
}

} // namespace

TransactionScheduler::TransactionScheduler(RequestChannel &link, SchedulerHost &host, LiveValueTable &values,
                                           const Language &language, ParameterMenuSource menus,
                                           QObject *parent)
    : QObject(parent), link(link), host(host), live(values), language(language),
      transfer(std::move(menus), host.prompts(), language)
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
        setStatus(kInterrupted.text(language.index()));
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
    setStatus(kReconnected.text(language.index()));
}

void TransactionScheduler::readStep()
{
    if (awaitingAnswer) {
        stopLineTimer(TimerId::ReadAllTimer);
        readIndex = 0;
        abandonRun(kInterrupted.text(language.index()));
        return;
    }
    if (readIndex >= transfer.parameterCount()) {
        finishRead();
        return;
    }
    // The progress runs over 2 × n steps, two per parameter.
    const int position = 2 * readIndex + 2;
    sendRead(nextAddress, (2 * readIndex) & 0xFF, TimerId::ReadAllTimer);
    moveProgress(kReadPercent.text(language.index()), position);
}

// A run cut off by a missing answer: its progress window goes, the probe
// looks for the line, and the user is told why.
void TransactionScheduler::abandonRun(const QString &message)
{
    closeProgress();
    StartTimer(TimerId::ProbeTimer, kProbePeriod);
    host.prompts().error(message, kCaptionError.text(language.index()));
}

void TransactionScheduler::finishRead()
{
    stopLineTimer(TimerId::ReadAllTimer);
    closeProgress();
    writeTarget = static_cast<quint8>(nextAddress & 0xFF);
    const ParameterDisplay display = transfer.LoadParameterDisplay(parameterValues);
    StartTimer(TimerId::PollTimer, samplingPeriod);
    readIndex = 0;
    emit parametersRead(display);
}

void TransactionScheduler::refuseRead()
{
    const int position = readIndex;
    stopLineTimer(TimerId::ReadAllTimer);
    closeProgress();
    readIndex = 0;
    // The meter still answers: monitoring goes on.
    StartTimer(TimerId::PollTimer, samplingPeriod);
    const int lang = language.index();
    host.prompts().error(kReadRefused.text(lang).arg(position + 1).arg(transfer.caption(position)),
                         kCaptionError.text(lang));
}

void TransactionScheduler::writeStep()
{
    if (awaitingAnswer) {
        const int unanswered = writeFirstStep ? -1 : writeIndex - 1;
        const QString text = unanswered >= 0 ? writeEntryMessage(kWriteInterrupted, unanswered)
                                             : kInterrupted.text(language.index());
        endWriteRun();
        // The probe starts by marking the meter that did not answer.
        if (unanswered >= 0)
            nextAddress = writeTarget;
        abandonRun(text);
        return;
    }
    if (writeFirstStep) {
        writeFirstStep = 0;
        openProgress(kWritePercent.text(language.index()), writeCount);
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
    moveProgress(kWritePercent.text(language.index()), position);
}

void TransactionScheduler::finishWrite()
{
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    const int lang = language.index();
    host.prompts().info(kWriteComplete.text(lang), kCaptionSuccess.text(lang));
}

void TransactionScheduler::refuseWrite(const BiText &message)
{
    const QString text = writeEntryMessage(message, writeIndex - 1);
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    host.prompts().error(text, kCaptionError.text(language.index()));
}

void TransactionScheduler::endWriteRun()
{
    stopLineTimer(TimerId::WriteTimer);
    closeProgress();
    writeIndex = 0;
    writeFirstStep = 1;
    requestTimer = 0;
}

QString TransactionScheduler::writeEntryMessage(const BiText &message, int entry) const
{
    const int position = writeList.entries[entry].index;
    return message.text(language.index()).arg(position + 1).arg(transfer.caption(position));
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
    setStatus(QString::asprintf(kMeterRead.text(language.index()).toUtf8().constData(), answer.address));
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
    const bool goodRead = answeredTimer != TimerId::WriteTimer && kind == LineFrame::Kind::Answer;
    if (kind == LineFrame::Kind::Answer)
        live.countAnswer(goodRead ? answer.address : askedAddress, link.lastResponseMs(), host.now());
    else if (kind == LineFrame::Kind::Exception)
        live.countException(askedAddress);
    else
        live.countGarbage(askedAddress);
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
    if (isExceptionAnswer(buffer))
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
    if (answeredTimer == TimerId::ReadAllTimer && isExceptionAnswer(buffer)) {
        // Like a read answer, the first one after the read started may be
        // a late answer to the poll before it.
        if (skipNextAnswer)
            skipNextAnswer = 0;
        else
            refuseRead();
        return true;
    }
    if (answeredTimer == TimerId::WriteTimer) {
        if (!isEchoOf(buffer, lastWrite))
            refuseWrite(isExceptionAnswer(buffer) ? kWriteRefused : kWriteBadEcho);
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
    } else if (receiveMode == TimerId::ReadAllTimer && readIndex < transfer.parameterCount()) {
        parameterValues[readIndex] = value;
        ++readIndex;
    }
}

bool TransactionScheduler::readAllParameters(int address, int meterType)
{
    if (progressShown || !transfer.loadMenu(meterType))
        return false;
    parameterValues.fill(0);
    stopLineTimer(TimerId::PollTimer);
    stopLineTimer(TimerId::ProbeTimer);
    stopLineTimer(TimerId::WriteTimer);
    readIndex = 0;
    awaitingAnswer = 0;
    nextAddress = address;
    StartTimer(TimerId::ReadAllTimer, kReadAllPeriod);
    openProgress(kReadPercent.text(language.index()), 2 * transfer.parameterCount());
    return true;
}

bool TransactionScheduler::startWrite(const ParameterWriteList &list)
{
    if (progressShown)
        return false;
    const std::optional<WriteRun> run = transfer.PrepareWriteList(list);
    if (!run)
        return false;
    writeList = *run;
    writeCount = run->count;
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

QString TransactionScheduler::stamped(const QDateTime &when, const QString &message)
{
    return when.toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss")) + QLatin1Char('\n') + message;
}

void TransactionScheduler::setStatus(const QString &message)
{
    emit statusText(stamped(host.now(), message));
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

void TransactionScheduler::openProgress(const QString &prefix, int high)
{
    progressShown = true;
    emit progressStarted(prefix, high);
}

void TransactionScheduler::moveProgress(const QString &prefix, int position)
{
    if (progressShown)
        emit progressMoved(prefix, position);
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
