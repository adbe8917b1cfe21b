// Polls 64 simulated meters at the shortest poll period and reports how
// evenly the requests reach the line, how long the event loop is held up and
// how much CPU the program spends per request. Run by hand:
// bench_poll [seconds]
#include "BenchTools.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <cstdio>

using namespace BenchTools;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    MeterSimProcess sim;
    if (!sim.start({QStringLiteral("--addresses"), QStringLiteral("0-63")})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    LineUnderTest rig(sim.devicePath(), {}, 0, 63, 200);
    if (!rig.open()) {
        std::fprintf(stderr, "could not open %s\n", qPrintable(sim.devicePath()));
        return 1;
    }
    // The first half measures the event loop with a 1 ms timer; the second,
    // without that timer's own cost, the CPU per request.
    auto latency = std::make_unique<LoopLatency>();
    qint64 longestGapUsec = 0;
    qint64 cpuStart = 0;
    qsizetype requestsStart = 0;
    QTimer::singleShot(seconds * 500, &app, [&] {
        longestGapUsec = latency->longestGapUsec;
        latency.reset();
        cpuStart = cpuMicroseconds();
        requestsStart = sim.requests().size();
    });
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const qint64 cpuUsed = cpuMicroseconds() - cpuStart;
    rig.line->close();

    const QList<MeterSimProcess::Request> requests = sim.requests();
    QList<qint64> intervals;
    for (qsizetype i = 1; i < requests.size(); ++i)
        intervals.append(requests[i].usec - requests[i - 1].usec);
    int stored = 0;
    for (double value : rig.values().values())
        stored += value != -500.0 && value != 0.0;
    const qsizetype steady = requests.size() - requestsStart;
    std::printf("%d s, 64 meters at 200 ms: %lld requests, %d meters with a value, %lld interruptions\n",
                seconds, qlonglong(requests.size()), stored, qlonglong(rig.statusCount("interrupted")));
    std::printf("interval between requests: median %.1f ms, worst %.1f ms\n", medianOf(intervals) / 1000.0,
                intervals.isEmpty() ? 0.0 : *std::max_element(intervals.begin(), intervals.end()) / 1000.0);
    std::printf("longest event loop gap (1 ms timer) %.2f ms\n", longestGapUsec / 1000.0);
    std::printf("CPU in the steady state: %.3f ms per request (%lld requests, %.1f ms of CPU)\n",
                steady > 0 ? cpuUsed / 1000.0 / double(steady) : 0.0, qlonglong(steady), cpuUsed / 1000.0);
    sim.stop();
    return 0;
}
