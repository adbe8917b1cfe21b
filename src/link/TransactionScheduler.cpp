#include "TransactionScheduler.h"

#include "CommandIds.h"
#include "LinkTexts.h"
#include "Prompts.h"
#include "RequestChannel.h"
#include "SchedulerHost.h"
#include "Texts.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kProbePeriod = 300;
constexpr int kReadAllPeriod = 300;
constexpr int kWritePeriod = 400;
constexpr int kShortestPoll = 200;
constexpr int kLongestPoll = 1000;
// The live value of a meter that did not answer.
constexpr double kNoAnswer = -500.0;
// Meters below this address start marked as not answering, the rest at 0.0.
constexpr int kFirstUnmarkedMeter = 25;

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

TransactionScheduler::TransactionScheduler(RequestChannel &link, SchedulerHost &host)
    : link(link), host(host), transfer(host)
{
    for (int address = 0; address < Modbus::MeterCount; ++address)
        LiveValueTable[address] = address < kFirstUnmarkedMeter ? kNoAnswer : 0.0;
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

void TransactionScheduler::StartTimer(int id, int periodMs)
{
    if (id == TimerId::PollTimer)
        periodMs = std::clamp(periodMs, kShortestPoll, kLongestPoll);
    host.startTimer(id, periodMs);
    skipNextAnswer = 1;
    receiveMode = id;
    // An answer from now on belongs to the request of a new activity.
    requestTimer = 0;
}

void TransactionScheduler::onTimer(int id)
{
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
        host.stopTimer(id);
    }
}

void TransactionScheduler::poll()
{
    if (awaitingAnswer) {
        host.stopTimer(TimerId::PollTimer);
        host.startTimer(TimerId::ProbeTimer, kProbePeriod);
        setStatus(kInterrupted.text(host.language()));
        return;
    }
    nextAddress = withinRange(nextAddress);
    sendRead(nextAddress, Modbus::LiveValueRegister, TimerId::PollTimer);
}

void TransactionScheduler::probe()
{
    if (awaitingAnswer) {
        if (nextAddress >= 0 && nextAddress < Modbus::MeterCount)
            LiveValueTable[nextAddress] = kNoAnswer;
        nextAddress = following(nextAddress);
        sendRead(nextAddress, Modbus::LiveValueRegister, TimerId::ProbeTimer);
        return;
    }
    // The line answers again: monitoring resumes, storing its answers
    // whichever activity was interrupted, with the meter that answered.
    host.stopTimer(TimerId::ProbeTimer);
    host.startTimer(TimerId::PollTimer, samplingPeriod);
    receiveMode = TimerId::PollTimer;
    skipNextAnswer = 0;
    nextAddress = withinRange(answeredAddress);
    setStatus(kReconnected.text(host.language()));
}

void TransactionScheduler::readStep()
{
    if (awaitingAnswer) {
        host.stopTimer(TimerId::ReadAllTimer);
        readIndex = 0;
        if (host.progressExists())
            host.destroyProgress();
        StartTimer(TimerId::ProbeTimer, kProbePeriod);
        const int language = host.language();
        host.prompts().error(kInterrupted.text(language), kCaptionError.text(language));
        return;
    }
    if (readIndex >= parameterCount) {
        finishRead();
        return;
    }
    // The progress runs over 2 × n steps, two per parameter.
    const int position = 2 * readIndex + 2;
    sendRead(nextAddress, (2 * readIndex) & 0xFF, TimerId::ReadAllTimer);
    host.setProgressText(kReadPercent.text(host.language()), position);
    host.setProgressPos(position);
}

void TransactionScheduler::finishRead()
{
    host.stopTimer(TimerId::ReadAllTimer);
    host.destroyProgress();
    writeAddress = static_cast<quint8>(nextAddress & 0xFF);
    const ParameterDisplay display =
        transfer.LoadParameterDisplay(transferMeterType, parameterCount, parameterValues);
    StartTimer(TimerId::PollTimer, samplingPeriod);
    readIndex = 0;
    host.showParameters(display);
}

void TransactionScheduler::refuseRead()
{
    const int position = readIndex;
    host.stopTimer(TimerId::ReadAllTimer);
    if (host.progressExists())
        host.destroyProgress();
    readIndex = 0;
    // The meter still answers: monitoring goes on.
    StartTimer(TimerId::PollTimer, samplingPeriod);
    const QString name = transfer.menuCaption(transferMeterType, position);
    const int language = host.language();
    host.prompts().error(kReadRefused.text(language).arg(position + 1).arg(name),
                         kCaptionError.text(language));
}

void TransactionScheduler::writeStep()
{
    if (awaitingAnswer) {
        const int unanswered = writeFirstStep ? -1 : writeIndex - 1;
        endWriteRun();
        // The probe starts by marking the meter that did not answer.
        if (unanswered >= 0)
            nextAddress = writeAddress;
        StartTimer(TimerId::ProbeTimer, kProbePeriod);
        const int language = host.language();
        const QString text =
            unanswered >= 0 ? writeEntryMessage(kWriteInterrupted, unanswered) : kInterrupted.text(language);
        host.prompts().error(text, kCaptionError.text(language));
        return;
    }
    if (writeFirstStep) {
        writeFirstStep = 0;
        host.createProgress();
        host.setProgressRange(0, writeCount);
        host.setProgressPos(0);
        host.setProgressText(kWritePercent.text(host.language()), 0);
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
    lastWrite = BuildRequest(writeAddress, Modbus::WriteSingle, reg, entry.value);
    requestTimer = TimerId::WriteTimer;
    awaitingAnswer = 1;
    ++writeIndex;
    link.WriteRequest(writeAddress, Modbus::WriteSingle, reg, entry.value);
    host.setProgressText(kWritePercent.text(host.language()), position);
    host.setProgressPos(position);
}

void TransactionScheduler::finishWrite()
{
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    const int language = host.language();
    host.prompts().info(kWriteComplete.text(language), kCaptionSuccess.text(language));
}

void TransactionScheduler::refuseWrite(const BiText &message)
{
    const int entry = writeIndex - 1;
    endWriteRun();
    StartTimer(TimerId::PollTimer, samplingPeriod);
    host.prompts().error(writeEntryMessage(message, entry), kCaptionError.text(host.language()));
}

void TransactionScheduler::endWriteRun()
{
    host.stopTimer(TimerId::WriteTimer);
    if (host.progressExists())
        host.destroyProgress();
    writeIndex = 0;
    writeFirstStep = 1;
    requestTimer = 0;
}

QString TransactionScheduler::writeEntryMessage(const BiText &message, int entry) const
{
    const int position = writeList.entries[entry].index;
    return message.text(host.language()).arg(position + 1).arg(transfer.caption(position));
}

void TransactionScheduler::onAnswer(const ReceiveBuffer &buffer)
{
    awaitingAnswer = 0;
    const int answeredTimer = std::exchange(requestTimer, 0);
    if (answeredTimer == TimerId::PollTimer || answeredTimer == TimerId::ProbeTimer)
        moveMonitoringOn(askedAddress);
    else if (handleTransferAnswer(answeredTimer, buffer))
        return;

    const ParsedResponse answer = ParseResponse(buffer);
    if (!answer.crcValid || answer.address >= Modbus::MeterCount)
        return;
    if (answer.function != Modbus::ReadHolding) {
        skipNextAnswer = 0;
        return;
    }
    setStatus(QString::asprintf(kMeterRead.text(host.language()).toUtf8().constData(), answer.address));
    if (skipNextAnswer) {
        skipNextAnswer = 0;
        return;
    }
    storeAnswer(answer);
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
        const double live = value * 0.1;
        LiveValueTable[answer.address] = live;
        liveReading = {answer.address, live};
        nextAddress = following(answer.address);
        answeredAddress = answer.address;
    } else if (receiveMode == TimerId::ReadAllTimer && readIndex < parameterCount) {
        parameterValues[readIndex] = value;
        ++readIndex;
    }
}

void TransactionScheduler::readAllParameters(int address)
{
    const int language = host.language();
    if (host.parameterDialogExists()) {
        host.prompts().error(kCloseParametersFirst.text(language), kCaptionError.text(language));
        return;
    }
    if (host.progressExists()) {
        host.createProgress();
        return;
    }
    const int meterType = host.meterType();
    const std::optional<int> count = transfer.loadParameterCount(meterType);
    if (!count)
        return;
    transferMeterType = meterType;
    parameterCount = *count;
    parameterValues.fill(0);
    host.stopTimer(TimerId::PollTimer);
    host.stopTimer(TimerId::ProbeTimer);
    host.stopTimer(TimerId::WriteTimer);
    readIndex = 0;
    awaitingAnswer = 0;
    nextAddress = address;
    StartTimer(TimerId::ReadAllTimer, kReadAllPeriod);
    host.createProgress();
    host.setProgressRange(0, 2 * parameterCount);
    host.setProgressPos(0);
    host.setProgressText(kReadPercent.text(language), 0);
}

void TransactionScheduler::startWrite(const ParameterWriteList &list)
{
    const std::optional<WriteRun> run = transfer.PrepareWriteList(transferMeterType, parameterCount, list);
    if (!run)
        return;
    writeList = *run;
    writeCount = run->count;
    writeIndex = 0;
    writeFirstStep = 1;
    // One activity at a time: a probe must not mix its requests into the run.
    host.stopTimer(TimerId::PollTimer);
    host.stopTimer(TimerId::ProbeTimer);
    host.startTimer(TimerId::WriteTimer, kWritePeriod);
}

void TransactionScheduler::stopAll()
{
    for (int id : {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer, TimerId::WriteTimer})
        host.stopTimer(id);
    // A run cut off here is over; its progress window would otherwise stay
    // and keep every later read of all parameters from starting.
    if (host.progressExists())
        host.destroyProgress();
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
    awaitingAnswer = 1;
    link.WriteRequest(address, Modbus::ReadHolding, reg, 0);
}

void TransactionScheduler::setStatus(const QString &message)
{
    host.setStatusText(host.now().toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss")) + QLatin1Char('\n') +
                       message);
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
