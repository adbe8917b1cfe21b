#include "LineScan.h"

#include "SerialLink.h"

#include <algorithm>
#include <cmath>

double ScanSetting::frameMs() const
{
    const int bitsPerCharacter = 1 + dataBits + (parityIndex != 0 ? 1 : 0) + (stopBitsIndex == 0 ? 1 : 2);
    return 8 * 1000.0 * bitsPerCharacter / std::max(baud, 1);
}

QString ScanSetting::shortName() const
{
    const char parity = "NOEMS"[std::clamp(parityIndex, 0, 4)];
    return QStringLiteral("%1 %2%3%4")
        .arg(baud)
        .arg(dataBits)
        .arg(QLatin1Char(parity))
        .arg(stopBitsIndex == 0 ? 1 : 2);
}

int ScanPlan::candidateCount() const
{
    return int(settings.size()) * std::max(0, lastAddress - firstAddress + 1);
}

int ScanPlan::timeoutFor(const ScanSetting &setting) const
{
    if (timeoutMs > 0)
        return timeoutMs;
    return BaseTimeoutMs + int(std::ceil(2 * setting.frameMs()));
}

ScanPlan::Problem ScanPlan::problem() const
{
    if (firstAddress < 0 || lastAddress >= Modbus::MeterCount || firstAddress > lastAddress)
        return Problem::BadRange;
    if (timeoutMs != -1 && (timeoutMs < 1 || timeoutMs > 10000))
        return Problem::BadTimeout;
    return settings.isEmpty() ? Problem::NoSetting : Problem::None;
}

void ScanPlan::dropRepeatedSettings()
{
    QList<ScanSetting> once;
    for (const ScanSetting &setting : std::as_const(settings))
        if (!once.contains(setting))
            once.append(setting);
    settings = once;
}

LineScan::LineScan(SerialLink &serialLink, ScanPlan plan, QObject *parent)
    : QObject(parent), link(serialLink), scanPlan(std::move(plan))
{
    answerTimer.setSingleShot(true);
    answerTimer.setTimerType(Qt::PreciseTimer);
    gapTimer.setSingleShot(true);
    gapTimer.setTimerType(Qt::PreciseTimer);
    connect(&answerTimer, &QTimer::timeout, this, &LineScan::nextCandidate);
    connect(&gapTimer, &QTimer::timeout, this, &LineScan::probe);
    // Queued, as for monitoring: the answer is taken from the event loop,
    // never inside the port's notification.
    connect(&link, &SerialLink::answerReady, this, &LineScan::onAnswer, Qt::QueuedConnection);
}

void LineScan::start()
{
    active = true;
    settingIndex = 0;
    address = scanPlan.firstAddress;
    candidatesDone = 0;
    foundAtSetting = 0;
    settingApplied = false;
    foundSoFar.clear();
    clock.start();
    if (scanPlan.problem() != ScanPlan::Problem::None) {
        finish(ScanEnd::Done);
        return;
    }
    probe();
}

void LineScan::cancel()
{
    if (active)
        finish(ScanEnd::Cancelled);
}

void LineScan::lineLost()
{
    if (active)
        finish(ScanEnd::LineLost);
}

// Sends the probe of the current candidate, setting the line first when
// the candidate starts a setting.
void LineScan::probe()
{
    if (!active)
        return;
    const ScanSetting &setting = scanPlan.settings.at(settingIndex);
    if (!settingApplied) {
        const LineSettings line = setting.lineSettings();
        // A setting the port refuses (a rate the adapter cannot do) finds
        // nothing; its candidates are passed over.
        settingApplied = true;
        if (!link.Configure(line.baud, line.dataBits, line.parityIndex, line.stopBitsIndex)) {
            candidatesDone += scanPlan.lastAddress - address;
            address = scanPlan.lastAddress;
            nextCandidate();
            return;
        }
    }
    link.WriteRequest(address, Modbus::ReadHolding, Modbus::LiveValueRegister, 1);
    answerTimer.start(scanPlan.timeoutFor(setting));
}

void LineScan::onAnswer()
{
    if (!active || !link.hasAnswer() || !answerTimer.isActive())
        return;
    const int responseMs = link.lastResponseMs();
    const ReceiveBuffer answer = link.ReadResponse();
    answerTimer.stop();
    const bool exception = IsExceptionAnswer(answer);
    // A late answer of the address before, or noise at a wrong setting, is
    // no meter at this address.
    if (answer[0] == address && (exception || IsGoodReadAnswer(answer))) {
        ScanFind find;
        find.setting = scanPlan.settings.at(settingIndex);
        find.address = address;
        find.exception = exception;
        find.exceptionCode = exception ? answer[2] : 0;
        find.raw = exception ? 0 : qint16(ParseResponse(answer).value);
        find.responseMs = responseMs;
        find.time = QDateTime::currentDateTime();
        foundSoFar.append(find);
        ++foundAtSetting;
        emit found(find);
        if (!active)
            return;
    }
    // The next request waits the silence that separates frames on the wire.
    const ScanSetting &setting = scanPlan.settings.at(settingIndex);
    const int gapMs = SerialLink::frameGapMs(setting.baud, setting.dataBits, setting.parityIndex != 0,
                                             setting.stopBitsIndex);
    if (!advance())
        return;
    gapTimer.start(gapMs);
}

void LineScan::nextCandidate()
{
    if (active && advance())
        probe();
}

// Counts the candidate just ended and moves to the next one; false when the
// scan has ended.
bool LineScan::advance()
{
    ++candidatesDone;
    emit progressed(candidatesDone, scanPlan.candidateCount(), remainingMs());
    if (!active)
        return false;
    if (address < scanPlan.lastAddress) {
        ++address;
        return true;
    }
    emit settingDone({scanPlan.settings.at(settingIndex), foundAtSetting});
    if (!active)
        return false;
    foundAtSetting = 0;
    settingApplied = false;
    address = scanPlan.firstAddress;
    if (++settingIndex < scanPlan.settings.size())
        return true;
    finish(ScanEnd::Done);
    return false;
}

void LineScan::finish(ScanEnd end)
{
    active = false;
    answerTimer.stop();
    gapTimer.stop();
    // What the probe under way still brings belongs to no request.
    if (link.hasAnswer())
        link.ReadResponse();
    emit ended(end);
}

qint64 LineScan::remainingMs() const
{
    const int left = scanPlan.candidateCount() - candidatesDone;
    if (candidatesDone > 0)
        return clock.elapsed() * left / candidatesDone;
    qint64 total = 0;
    for (const ScanSetting &setting : scanPlan.settings)
        total += qint64(scanPlan.timeoutFor(setting)) * (scanPlan.lastAddress - scanPlan.firstAddress + 1);
    return total;
}
