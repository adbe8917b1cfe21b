#include "MeterLine.h"

#include "CommandIds.h"
#include "MeterConfiguration.h"
#include "ModbusTcpTransport.h"
#include "RtuTcpTransport.h"
#include "SettingsFile.h"

#include <QMetaMethod>

#include <algorithm>
#include <memory>
#include <utility>

MeterLine::MeterLine(PortNames portNames, const MeterConfiguration &meterConfiguration,
                     ParameterMenuSource menus, const QString &name, QObject *parent)
    : QObject(parent), meters(meterConfiguration), lineName(name), link(std::move(portNames)),
      scheduler(link, *this, values, std::move(menus))
{
    reopenTimer.setInterval(ReopenPeriodMs);
    connect(&timers, &LineTimers::timeout, this, &MeterLine::onTick);
    // Queued: the scheduler's answer handling (and whatever it sets off)
    // never runs inside the port's readyRead, which Qt does not deliver
    // again until that returns.
    connect(&link, &SerialLink::answerReady, this, &MeterLine::deliverAnswer, Qt::QueuedConnection);
    connect(&link, &SerialLink::deviceLost, this, &MeterLine::onDeviceLost);
    connect(&reopenTimer, &QTimer::timeout, this, &MeterLine::tryReopen);
    retryTimer.setSingleShot(true);
    connect(&link, &SerialLink::transportConnected, this, &MeterLine::onConnected);
    connect(&retryTimer, &QTimer::timeout, this, &MeterLine::tryReconnect);
    connect(&meters, &MeterConfiguration::changed, this, &MeterLine::followConfiguration);

    connect(&scheduler, &TransactionScheduler::happened, this, &MeterLine::happened);
    connect(&scheduler, &TransactionScheduler::progressStarted, this, &MeterLine::progressStarted);
    connect(&scheduler, &TransactionScheduler::progressMoved, this, &MeterLine::progressMoved);
    connect(&scheduler, &TransactionScheduler::progressEnded, this, &MeterLine::progressEnded);
    connect(&scheduler, &TransactionScheduler::parametersRead, this, &MeterLine::parametersRead);

    followConfiguration();
    scheduler.setSamplingTime(meters.values().samplingtime);
}

MeterLine::~MeterLine()
{
    close();
}

LineOpenResult MeterLine::open(const PortSettings &settings)
{
    const SettingsFile file;
    return open(LineSetup{settings, LineTransportSettings::read(file), CycleSettings::read(file)});
}

LineOpenResult MeterLine::open(const LineSetup &setup)
{
    close();
    port = setup.port;
    transportSettings = setup.transport;
    cycleSettings = setup.cycle;
    values.resetHealth();
    if (!transportSettings.valid)
        return {LineOpenResult::Status::OpenFailed,
                {PortFailure::Reason::NoDevice, transportSettings.invalidValue}};
    // A watched line is polled elsewhere: nothing here stands for it.
    if (transportSettings.watched())
        return {LineOpenResult::Status::OpenFailed,
                {PortFailure::Reason::NoDevice, QStringLiteral("transport=broker")}};
    if (transportSettings.networked())
        return openNetwork();
    if (!link.OpenPort(port.portText))
        return {LineOpenResult::Status::OpenFailed, link.failure()};
    // A port that opens but refuses the line settings (a rate or a stop-bit
    // count the device cannot do) must not leave the line dead in silence.
    if (!configure())
        return {LineOpenResult::Status::ConfigureFailed, link.failure()};
    followCycle();
    scheduler.startMonitoring();
    return {};
}

void MeterLine::close()
{
    reopenTimer.stop();
    retryTimer.stop();
    // Every activity stops with the port, not only polling: a probe, a read
    // or a write run would otherwise go on writing to the closed line.
    scheduler.stopAll();
    link.ClosePort();
    // After the port: a scan's end resumes monitoring only on an open line.
    if (scanning())
        lineScan->cancel();
}

bool MeterLine::configure()
{
    return link.Configure(port.baudValue(), port.dataBits, port.parityIndex, port.stopBitsIndex);
}

// The fast cycle leaves 3.5 character times between a whole answer and the
// next request, the gap that separates frames on the wire. The link's longer
// silence interval is only needed to end an answer that stopped half-way.
void MeterLine::followCycle()
{
    const int gapMs =
        SerialLink::frameGapMs(port.baudValue(), port.dataBits, port.parityIndex != 0, port.stopBitsIndex);
    if (cycleSettings.cycle == CycleSettings::Cycle::Fast)
        scheduler.setCycle(TransactionScheduler::Cycle::Fast, gapMs, cycleSettings.answerTimeoutMs(port));
    else
        scheduler.setCycle(TransactionScheduler::Cycle::Period);
}

void MeterLine::selectMeter(int address)
{
    selected = address;
}

bool MeterLine::readAllParameters(int address)
{
    return !scanning() && scheduler.readAllParameters(address, meters.values().metertype);
}

bool MeterLine::startWrite(const ParameterWriteList &list)
{
    return !scanning() && scheduler.startWrite(list);
}

bool MeterLine::readParameters(int address, int requester, int first, int count)
{
    return !scanning() && scheduler.readParameters(address, meterType(), requester, first, count);
}

bool MeterLine::startWriteRun(const WriteRun &run, int requester)
{
    return !scanning() && scheduler.startWriteRun(run, requester);
}

ScanSetting MeterLine::ownSetting() const
{
    return {port.baudValue(), port.dataBits, port.parityIndex, port.stopBitsIndex};
}

LineScan *MeterLine::startScan(ScanPlan plan, ScanRefusal *why)
{
    ScanRefusal refusal = ScanRefusal::None;
    if (transportSettings.networked())
        plan.settings = {ownSetting()};
    plan.dropRepeatedSettings();
    if (!isOpen() || reopening())
        refusal = ScanRefusal::NotOpen;
    else if (scanning())
        refusal = ScanRefusal::Scanning;
    else if (scheduler.transferRunning())
        refusal = ScanRefusal::RunOn;
    else if (plan.problem() != ScanPlan::Problem::None)
        refusal = ScanRefusal::BadPlan;
    if (why)
        *why = refusal;
    if (refusal != ScanRefusal::None)
        return nullptr;
    scheduler.stopAll();
    // The scan before may be the one whose end signal is being delivered.
    if (lineScan)
        lineScan.release()->deleteLater();
    lineScan = std::make_unique<LineScan>(link, std::move(plan));
    connect(lineScan.get(), &LineScan::ended, this, &MeterLine::endScan);
    lineScan->start();
    return lineScan.get();
}

// The line gets its own settings back and monitoring starts afresh; a line
// that lost its device resumes once the device is back.
void MeterLine::endScan(ScanEnd end)
{
    if (end == ScanEnd::LineLost || !link.isOpen())
        return;
    if (!configure()) {
        link.ClosePort();
        onDeviceLost();
        return;
    }
    followCycle();
    scheduler.startMonitoring();
}

int MeterLine::meterType() const
{
    return meters.values().metertype;
}

void MeterLine::onTick(int id)
{
    // At the end of a write's answer time a lone copy of it is the meter's
    // answer; and an answer that is whole but whose queued delivery has not
    // come round yet still counts as in time.
    if (id == TimerId::WriteTimer)
        link.settle();
    const bool answeredAtTick = link.hasAnswer();
    deliverAnswer();
    // In the fast cycle that answer has started the silence before the next
    // poll, which a tick of its own ends.
    if (answeredAtTick && id == TimerId::PollTimer && scheduler.cycle() == TransactionScheduler::Cycle::Fast)
        return;
    scheduler.onTimer(id);
}

void MeterLine::deliverAnswer()
{
    // A scan takes its answers itself.
    if (!scanning() && link.hasAnswer())
        scheduler.onAnswer(link.ReadResponse());
}

void MeterLine::onDeviceLost()
{
    scheduler.stopAll();
    if (scanning())
        lineScan->lineLost();
    // Every failed attempt to connect ends in a loss: the line says once
    // that it is lost, and again when it is back.
    if (transportSettings.networked()) {
        if (!std::exchange(lostAnnounced, true))
            report(LineEvent::What::ConnectionLost);
        scheduleRetry();
        return;
    }
    report(LineEvent::What::DeviceLost);
    reopenTimer.start();
}

void MeterLine::tryReopen()
{
    if (!link.OpenPort(port.portText))
        return;
    if (!configure()) {
        link.ClosePort();
        return;
    }
    reopenTimer.stop();
    report(LineEvent::What::DeviceBack);
    scheduler.startMonitoring();
}

LineOpenResult MeterLine::openNetwork()
{
    const LineTransportSettings &server = transportSettings;
    std::unique_ptr<Transport> transport;
    if (server.kind == LineTransportSettings::Kind::ModbusTcp)
        transport = std::make_unique<ModbusTcpTransport>(server.host, server.port);
    else
        transport = std::make_unique<RtuTcpTransport>(server.host, server.port);
    link.setTransport(std::move(transport));
    retryDelayMs = FirstRetryMs;
    lostAnnounced = false;
    if (!link.openTransport())
        return {LineOpenResult::Status::OpenFailed, link.failure()};
    return {};
}

// The device server's serial side is set up on the server itself: the line
// settings only time the frames, and the connection takes them once it is up.
void MeterLine::onConnected()
{
    retryTimer.stop();
    retryDelayMs = FirstRetryMs;
    if (!configure()) {
        link.ClosePort();
        scheduleRetry();
        return;
    }
    if (std::exchange(lostAnnounced, false))
        report(LineEvent::What::DeviceBack);
    followCycle();
    scheduler.startMonitoring();
}

void MeterLine::report(LineEvent::What what)
{
    LineEvent event(what);
    event.time = now();
    emit happened(event);
}

void MeterLine::scheduleRetry()
{
    retryTimer.start(retryDelayMs);
    emit reconnectScheduled(retryDelayMs);
    retryDelayMs = std::min(2 * retryDelayMs, LastRetryMs);
}

void MeterLine::tryReconnect()
{
    // A refused or broken connection comes back as a loss, which schedules
    // the next attempt.
    if (!link.openTransport())
        scheduleRetry();
}

void MeterLine::followConfiguration()
{
    const auto &config = meters.values();
    scheduler.setAddressRange(config.startaddress, config.endaddress);
}

void MeterLine::connectNotify(const QMetaMethod &signal)
{
    if (signal == QMetaMethod::fromSignal(&MeterLine::frameLogged))
        followFrames(true);
    // The scheduler judges each poll for a receiver only: without one the
    // poll path takes no time stamp for it.
    if (signal == QMetaMethod::fromSignal(&MeterLine::pollJudged) && !pollsFollowed)
        pollsFollowed = connect(&scheduler, &TransactionScheduler::pollJudged, this, &MeterLine::pollJudged);
}

// Qt calls this with the line's connection lock held, where asking for the
// receivers left would wait on that lock: the look waits for the event loop.
void MeterLine::disconnectNotify(const QMetaMethod &)
{
    if (!framesFollowed())
        return;
    QMetaObject::invokeMethod(
        this, [this] { followFrames(isSignalConnected(QMetaMethod::fromSignal(&MeterLine::frameLogged))); },
        Qt::QueuedConnection);
}

void MeterLine::followFrames(bool follow)
{
    if (follow == framesFollowed())
        return;
    if (!follow) {
        for (const QMetaObject::Connection &source : std::as_const(frameSources))
            disconnect(source);
        frameSources.clear();
        heardAnswer.clear();
        return;
    }
    frameSources = {
        connect(&link, &SerialLink::requestWritten, this, &MeterLine::logRequest),
        connect(&link, &SerialLink::answerHeard, this, &MeterLine::logAnswerHeard),
        connect(&scheduler, &TransactionScheduler::answerJudged, this, &MeterLine::logAnswerJudged),
        connect(&scheduler, &TransactionScheduler::answerMissing, this, &MeterLine::logAnswerMissing),
    };
}

// A receiver that went away with its object may leave no disconnect
// notice; the first frame after it stops the reports.
bool MeterLine::framesWanted()
{
    if (isSignalConnected(QMetaMethod::fromSignal(&MeterLine::frameLogged)))
        return true;
    followFrames(false);
    return false;
}

void MeterLine::logRequest(const QByteArray &bytes)
{
    if (!framesWanted())
        return;
    heardAnswer.clear();
    const LineFrame frame = LineFrame::decoded(LineFrame::Kind::Request, bytes, now());
    askedRegister = frame.reg;
    emit frameLogged(frame);
}

void MeterLine::logAnswerHeard(const QByteArray &answer, const QByteArray &echo)
{
    if (!framesWanted())
        return;
    heardAt = now();
    heardAnswer = answer;
    if (!echo.isEmpty())
        emit frameLogged(LineFrame::decoded(LineFrame::Kind::EchoSkipped, echo, heardAt));
}

void MeterLine::logAnswerJudged(LineFrame::Kind kind)
{
    if (!framesWanted() || heardAnswer.isEmpty())
        return;
    emit frameLogged(
        LineFrame::decoded(kind, std::exchange(heardAnswer, QByteArray()), heardAt, askedRegister));
}

void MeterLine::logAnswerMissing(int address)
{
    if (!framesWanted())
        return;
    LineFrame frame = LineFrame::noAnswer(address, now());
    frame.reg = askedRegister;
    emit frameLogged(frame);
}
