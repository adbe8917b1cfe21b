// Scans a line of two meters at 9600 baud 8N1, the simulator holding each
// answer for its wire time and hearing only its own setting, and reports how
// long the scan of 64 addresses takes at one setting and at four (9600 and
// 19200 baud, one and two stop bits). Run by hand: bench_scan [rounds]
#include "LineUnderTest.h"
#include "MeterSimProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

// Runs one scan to its end; its time in ms and the meters found, or -1.
qint64 timeScan(MeterLine &line, const ScanPlan &plan, int *found)
{
    LineScan *scan = line.startScan(plan);
    if (!scan)
        return -1;
    QElapsedTimer clock;
    clock.start();
    bool ended = false;
    QObject::connect(scan, &LineScan::ended, [&ended] { ended = true; });
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    *found = int(scan->finds().size());
    return clock.elapsed();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 3;
    MeterSimProcess sim;
    if (!sim.start({QStringLiteral("--addresses"), QStringLiteral("17-42"), QStringLiteral("--silent"),
                    QStringLiteral("18-41"), QStringLiteral("--wire-time"), QStringLiteral("--strict-line"),
                    QStringLiteral("--log"), QStringLiteral("/dev/null")})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    LineUnderTest line(
        sim.devicePath(), [](int) { return std::optional<ParameterMenu>(); }, 17, 42, 200);
    if (!line.open())
        return 1;
    ScanPlan one;
    one.settings = {line.line->ownSetting()};
    ScanPlan four = one;
    four.settings = {{9600, 8, 0, 0}, {19200, 8, 0, 0}, {9600, 8, 0, 2}, {19200, 8, 0, 2}};
    std::printf("time-out at 9600 8N1: %d ms\n", one.timeoutFor(one.settings.first()));
    for (int round = 0; round < rounds; ++round) {
        int foundOne = 0;
        int foundFour = 0;
        const qint64 oneMs = timeScan(*line.line, one, &foundOne);
        const qint64 fourMs = timeScan(*line.line, four, &foundFour);
        std::printf("64 addresses, 1 setting: %lld ms (%d found); 4 settings: %lld ms (%d found)\n",
                    static_cast<long long>(oneMs), foundOne, static_cast<long long>(fourMs), foundFour);
    }
    return 0;
}
