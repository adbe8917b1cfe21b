// Polls 64 simulated meters at the shortest poll period and reports how
// evenly the requests reach the line and how long the line work holds up the
// event loop. Run by hand: bench_poll [seconds]
#include "CommandIds.h"
#include "LineRig.h"
#include "MeterSimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

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

double medianOf(QList<qint64> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    MeterSimProcess sim;
    if (!sim.start({QStringLiteral("--addresses"), QStringLiteral("0-63")})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    QTemporaryDir dataDir;
    LineRig rig(sim.devicePath(), dataDir.path(), 1);
    if (!rig.startMonitoring(0, 63, 200)) {
        std::fprintf(stderr, "could not open %s\n", qPrintable(sim.devicePath()));
        return 1;
    }
    LoopLatency latency;
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    rig.stopTimer(TimerId::PollTimer);
    rig.stopTimer(TimerId::ProbeTimer);

    const QList<MeterSimProcess::Request> requests = sim.requests();
    QList<qint64> intervals;
    for (qsizetype i = 1; i < requests.size(); ++i)
        intervals.append(requests[i].usec - requests[i - 1].usec);
    int stored = 0;
    for (double value : rig.scheduler.LiveValueTable)
        stored += value != -500.0 && value != 0.0;
    std::printf("%d s, 64 meters at 200 ms: %lld requests, %d meters with a value, %lld interruptions\n",
                seconds, qlonglong(requests.size()), stored,
                qlonglong(rig.statusTexts.filter(QStringLiteral("interrupted")).size()));
    std::printf("interval between requests: median %.1f ms, worst %.1f ms\n", medianOf(intervals) / 1000.0,
                intervals.isEmpty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()) / 1000.0);
    std::printf("longest line handler %.2f ms; longest event loop gap (1 ms timer) %.2f ms\n",
                rig.longestHandlerUsec / 1000.0, latency.longestGapUsec / 1000.0);
    sim.stop();
    return 0;
}
