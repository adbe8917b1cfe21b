#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>

// Measures of the benchmarks that are run by hand.
namespace BenchTools {

// Measures how late a 1 ms timer fires: the longest the event loop was busy.
class LoopLatency : public QObject {
public:
    LoopLatency()
    {
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        connect(&tick, &QTimer::timeout, this, &LoopLatency::onTick);
        clock.start();
        tick.start();
    }
    qint64 longestGapUsec = 0;

private:
    void onTick()
    {
        const qint64 now = clock.nsecsElapsed() / 1000;
        longestGapUsec = std::max(longestGapUsec, now - last);
        last = now;
    }
    QTimer tick;
    QElapsedTimer clock;
    qint64 last = 0;
};

// User and system CPU time of this process.
inline qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

inline double medianOf(QList<qint64> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchTools
