#include "LineRig.h"

#include "CommandIds.h"

#include <QTimerEvent>

LineRig::LineRig(const QString &device, const QString &dataDirectory, int meterType)
    : link(PortNames([device](int) { return device; })), directory(dataDirectory), type(meterType)
{
    connect(&link, &SerialLink::answerReady, this, &LineRig::onAnswer);
}

bool LineRig::startMonitoring(int startAddress, int endAddress, int samplingMs)
{
    if (!link.OpenPort(QStringLiteral("COM1")) || !link.Configure(9600, 8, 0, 0))
        return false;
    scheduler.setAddressRange(startAddress, endAddress);
    scheduler.setSamplingTime(samplingMs);
    scheduler.awaitingAnswer = 0;
    scheduler.StartTimer(TimerId::PollTimer, scheduler.samplingTime());
    return true;
}

void LineRig::startTimer(int id, int periodMs)
{
    stopTimer(id);
    qtTimerOf[id] = QObject::startTimer(periodMs, Qt::PreciseTimer);
}

void LineRig::stopTimer(int id)
{
    if (qtTimerOf.contains(id))
        killTimer(qtTimerOf.take(id));
}

void LineRig::timerEvent(QTimerEvent *event)
{
    const int id = qtTimerOf.key(event->timerId(), 0);
    if (id == 0)
        return;
    QElapsedTimer handler;
    handler.start();
    scheduler.onTimer(id);
    account(handler);
}

void LineRig::onAnswer()
{
    QElapsedTimer handler;
    handler.start();
    scheduler.onAnswer(link.ReadResponse());
    account(handler);
}

void LineRig::account(const QElapsedTimer &handler)
{
    longestHandlerUsec = std::max(longestHandlerUsec, handler.nsecsElapsed() / 1000);
}
