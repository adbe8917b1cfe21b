#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
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

// Runs the event loop for `ms`. Unlike QTest::qWait, which sleeps up to
// 10 ms between rounds of events, the loop wakes at once for each event, so
// what it times is not held back by the wait itself.
inline void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// User and system CPU time of this process.
inline qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

// A line "<key>: <n> kB" of /proc/self/status in KiB (VmRSS, VmHWM, ...);
// -1 when there is none.
inline qint64 procStatusKiB(const char *key)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline double medianOf(QList<qint64> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace BenchTools
