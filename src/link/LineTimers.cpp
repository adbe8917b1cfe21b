#include "LineTimers.h"

#include <QTimerEvent>

void LineTimers::start(int id, int periodMs)
{
    stop(id);
    // Precise timers: the period is also the answer time-out, and a coarse
    // timer may fire up to 5 % early.
    const int qtId = startTimer(qMax(periodMs, 0), Qt::PreciseTimer);
    if (qtId == 0)
        return;
    running.insert(id, qtId);
    periods.insert(id, periodMs);
}

void LineTimers::stop(int id)
{
    const auto found = running.constFind(id);
    if (found == running.constEnd())
        return;
    killTimer(found.value());
    running.erase(found);
    periods.remove(id);
}

void LineTimers::stopAll()
{
    const QList<int> ids = running.keys();
    for (int id : ids)
        stop(id);
}

void LineTimers::timerEvent(QTimerEvent *event)
{
    const int id = running.key(event->timerId(), 0);
    if (id != 0)
        emit timeout(id);
}
