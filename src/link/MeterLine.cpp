#include "MeterLine.h"

#include "CommandIds.h"
#include "Language.h"
#include "LinkTexts.h"
#include "MeterConfiguration.h"

#include <QMetaMethod>

#include <utility>

MeterLine::MeterLine(PortNames portNames, const MeterConfiguration &meterConfiguration, const Language &lang,
                     Prompts &shown, ParameterMenuSource menus, QObject *parent)
    : QObject(parent), meters(meterConfiguration), language(lang), deferred(shown),
      link(std::move(portNames)), scheduler(link, *this, values, lang, std::move(menus))
{
    reopenTimer.setInterval(ReopenPeriodMs);
    connect(&timers, &LineTimers::timeout, this, &MeterLine::onTick);
    // Queued: the scheduler's answer handling (and whatever it sets off)
    // never runs inside the port's readyRead, which Qt does not deliver
    // again until that returns.
    connect(&link, &SerialLink::answerReady, this, &MeterLine::deliverAnswer, Qt::QueuedConnection);
    connect(&link, &SerialLink::deviceLost, this, &MeterLine::onDeviceLost);
    connect(&reopenTimer, &QTimer::timeout, this, &MeterLine::tryReopen);
    connect(&meters, &MeterConfiguration::changed, this, &MeterLine::followConfiguration);

    connect(&scheduler, &TransactionScheduler::statusText, this, &MeterLine::statusText);
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
    close();
    port = settings;
    values.resetHealth();
    if (!link.OpenPort(port.portText))
        return {LineOpenResult::Status::OpenFailed, link.failure()};
    // A port that opens but refuses the line settings (a rate or a stop-bit
    // count the device cannot do) must not leave the line dead in silence.
    if (!configure())
        return {LineOpenResult::Status::ConfigureFailed, link.failure()};
    scheduler.startMonitoring();
    return {};
}

void MeterLine::close()
{
    reopenTimer.stop();
    // Every activity stops with the port, not only polling: a probe, a read
    // or a write run would otherwise go on writing to the closed line.
    scheduler.stopAll();
    link.ClosePort();
}

bool MeterLine::configure()
{
    return link.Configure(port.baudValue(), port.dataBits, port.parityIndex, port.stopBitsIndex);
}

void MeterLine::selectMeter(int address)
{
    selected = address;
}

bool MeterLine::readAllParameters(int address)
{
    return scheduler.readAllParameters(address, meters.values().metertype);
}

bool MeterLine::startWrite(const ParameterWriteList &list)
{
    return scheduler.startWrite(list);
}

void MeterLine::onTick(int id)
{
    // At the end of a write's answer time a lone copy of it is the meter's
    // answer; and an answer that is whole but whose queued delivery has not
    // come round yet still counts as in time.
    if (id == TimerId::WriteTimer)
        link.settle();
    deliverAnswer();
    scheduler.onTimer(id);
}

void MeterLine::deliverAnswer()
{
    if (link.hasAnswer())
        scheduler.onAnswer(link.ReadResponse());
}

void MeterLine::onDeviceLost()
{
    scheduler.stopAll();
    emit statusText(TransactionScheduler::stamped(now(), kPortLost.text(language.index())));
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
    emit statusText(TransactionScheduler::stamped(now(), kPortBack.text(language.index())));
    scheduler.startMonitoring();
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
