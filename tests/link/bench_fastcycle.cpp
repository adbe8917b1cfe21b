// Polls 64 simulated meters in the fast cycle at 9600 baud 8N2, with the
// simulator holding each answer for its wire time, and reports how long it
// takes until every meter has a fresh value, how many frames went wrong,
// the answers per second and the CPU spent per answer. Run by hand:
// bench_fastcycle [seconds [serial|rtu-tcp]]
// "serial" (the default) opens the simulator's pseudo-terminal as the serial
// port; "rtu-tcp" puts ser2net in front of it (raw TCP on a free loopback
// port) and reaches it through section "Line" (transport=rtu-tcp), as a
// serial device server would be reached. The CPU is this process's only:
// ser2net's and the simulator's are not counted.
#include "BenchTools.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "Ser2NetProcess.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

using namespace BenchTools;

namespace {

constexpr int kMeters = 64;

// The times in which every meter had a new value stored, one after another.
class RefreshRounds : public QObject {
public:
    explicit RefreshRounds(const LiveValueTable &values)
    {
        connect(&values, &LiveValueTable::valueStored, this, &RefreshRounds::onStored);
        clock.start();
    }
    QList<qint64> roundsUsec;
    qsizetype stored = 0;

private:
    void onStored(int address, double)
    {
        ++stored;
        refreshed.insert(address);
        if (refreshed.size() < kMeters)
            return;
        const qint64 now = clock.nsecsElapsed() / 1000;
        roundsUsec.append(now - roundStart);
        roundStart = now;
        refreshed.clear();
    }
    QElapsedTimer clock;
    qint64 roundStart = 0;
    QSet<int> refreshed;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    const QByteArray transport = argc > 2 ? QByteArray(argv[2]) : QByteArray("serial");
    if (transport != "serial" && transport != "rtu-tcp") {
        std::fprintf(stderr, "usage: bench_fastcycle [seconds [serial|rtu-tcp]]\n");
        return 2;
    }
    const bool overTcp = transport == "rtu-tcp";
    QTemporaryDir home;
    qputenv("QUORVANE_HOME", home.path().toUtf8());
    SettingsFile settings;
    if (!settings.WriteSetting(Setting::LineCycle, QStringLiteral("fast"))) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(settings.path()));
        return 1;
    }
    // The simulator's request log goes to a file: collecting it from its
    // stderr would cost this process CPU while it is measured.
    MeterSimProcess sim;
    if (!sim.start({QStringLiteral("--addresses"), QStringLiteral("0-63"), QStringLiteral("--baud"),
                    QStringLiteral("9600"), QStringLiteral("--stop-bits"), QStringLiteral("2"),
                    QStringLiteral("--wire-time"), QStringLiteral("--log"),
                    home.filePath(QStringLiteral("requests.log"))})) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    // ser2net's serial side is 9600 8N2 as well; the line settings below
    // only time the frames then.
    Ser2NetProcess ser2net;
    if (overTcp) {
        const quint16 tcpPort = Ser2NetProcess::freePort();
        if (tcpPort == 0 || !ser2net.start(sim.devicePath(), tcpPort)) {
            std::fprintf(stderr, "ser2net did not start: %s\n", qPrintable(ser2net.errorText()));
            return 1;
        }
        if (!settings.WriteSetting(Setting::LineTransport, QStringLiteral("rtu-tcp")) ||
            !settings.WriteSetting(Setting::LineHost, QStringLiteral("127.0.0.1")) ||
            !settings.WriteInt(Setting::LineTcpPort, tcpPort)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(settings.path()));
            return 1;
        }
    }
    LineUnderTest rig(sim.devicePath(), {}, 0, kMeters - 1, 200);
    int reconnects = 0;
    QObject::connect(rig.line.get(), &MeterLine::reconnectScheduled, [&reconnects](int) { ++reconnects; });
    PortSettings port = LineUnderTest::port();
    port.stopBitsIndex = 2;
    if (!rig.line->open(port)) {
        std::fprintf(
            stderr, "could not open %s\n",
            qPrintable(overTcp ? QStringLiteral("127.0.0.1:%1").arg(ser2net.port()) : sim.devicePath()));
        return 1;
    }
    // The first round warms up (its first answer is discarded); the
    // measurement starts after it.
    std::unique_ptr<RefreshRounds> rounds;
    qint64 cpuStart = 0;
    QElapsedTimer measured;
    QTimer::singleShot(2000, Qt::PreciseTimer, &app, [&] {
        rounds = std::make_unique<RefreshRounds>(rig.values());
        cpuStart = cpuMicroseconds();
        measured.start();
    });
    QTimer::singleShot(2000 + seconds * 1000, Qt::PreciseTimer, &app, &QCoreApplication::quit);
    app.exec();
    const qint64 cpuUsed = cpuMicroseconds() - cpuStart;
    const qint64 elapsedMs = measured.elapsed();
    rig.line->close();

    MeterHealth total;
    for (int meter = 0; meter < kMeters; ++meter) {
        const MeterHealth &health = rig.values().health(meter);
        total.answers += health.answers;
        total.missing += health.missing;
        total.garbage += health.garbage;
        total.exceptions += health.exceptions;
    }
    // The first round started with the measurement, in the middle of a cycle.
    QList<qint64> whole = rounds->roundsUsec.mid(1);
    const qsizetype answers = rounds->stored;
    std::printf("%d s, 64 meters at 9600 8N2 with wire time, fast cycle, %s: %lld answers stored, "
                "%lld interruptions, %d reconnects\n",
                seconds, overTcp ? "rtu-tcp through ser2net" : "serial", qlonglong(answers),
                qlonglong(rig.statusCount("interrupted")), reconnects);
    std::printf("every meter refreshed in: median %.3f s, worst %.3f s (%lld rounds; goal under 1.8 s)\n",
                medianOf(whole) / 1e6,
                whole.isEmpty() ? 0.0 : *std::max_element(whole.begin(), whole.end()) / 1e6,
                qlonglong(whole.size()));
    std::printf("frame errors (bad CRC or garbage): %d, exceptions %d, missing answers %d (goal 0)\n",
                total.garbage, total.exceptions, total.missing);
    std::printf("answers per second: %.1f\n",
                elapsedMs > 0 ? 1000.0 * double(answers) / double(elapsedMs) : 0.0);
    std::printf("CPU: %.3f ms per answer (%.1f ms of CPU in %.1f s)\n",
                answers > 0 ? cpuUsed / 1000.0 / double(answers) : 0.0, cpuUsed / 1000.0, elapsedMs / 1000.0);
    ser2net.stop();
    sim.stop();
    return 0;
}
