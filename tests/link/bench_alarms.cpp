// The cost of judging the alarms of one answer: samples of 64 meters with
// high and low limits, a deadband and a delay, through LineAlarms as the
// line reports them. Most values lie between the limits; every meter
// crosses a limit now and then and misses an answer now and then, so
// alarms are raised and cleared along the way. Run by hand:
// bench_alarms [millions of samples]
#include "LineAlarms.h"
#include "ModbusFrame.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qint64 kPollMs = 10; // a fast cycle on a quick line

// The value of meter `address` at poll `n`, in tenths: inside 10.0..100.0
// but for a stretch above the high limit every 997 polls of the meter and
// below the low limit every 1499.
qint16 tenthsAt(qint64 n, int address)
{
    const qint64 poll = n / Modbus::MeterCount + address * 37;
    if (poll % 997 < 20)
        return 1250;
    if (poll % 1499 < 20)
        return 50;
    return qint16(400 + poll % 300);
}

bool missesAt(qint64 n, int address)
{
    return (n / Modbus::MeterCount + address) % 2003 < 5;
}

struct Run {
    double nsPerSample = 0;
    qint64 events = 0;
};

// Feeds `samples` polls through `judge` and times them.
template <typename Judge> Run timeRun(qint64 samples, LineAlarms &alarms, Judge judge)
{
    qint64 events = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&alarms, &LineAlarms::happened, [&events](const AlarmEvent &) { ++events; });
    QElapsedTimer timer;
    timer.start();
    for (qint64 n = 0; n < samples; ++n)
        judge(n, int(n % Modbus::MeterCount));
    const qint64 elapsedNs = timer.nsecsElapsed();
    QObject::disconnect(counting);
    return {double(elapsedNs) / double(samples), events};
}

void setLimits(LineAlarms &alarms)
{
    AlarmLimits limits;
    limits.high = 100;
    limits.low = 10;
    limits.deadband = 1;
    limits.delaySec = 0.05;
    for (int address = 0; address < Modbus::MeterCount; ++address)
        alarms.setLimits(address, limits);
}

} // namespace

int main(int argc, char *argv[])
{
    // As the service does: a zone named once is not looked up again at
    // every conversion of a local time.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    const qint64 samples = qint64(argc > 1 ? std::max(1, std::atoi(argv[1])) : 10) * 1000000;
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();

    LineAlarms bySample;
    setLimits(bySample);
    const Run samplesRun = timeRun(samples, bySample, [&](qint64 n, int address) {
        const qint64 ms = startMs + n * kPollMs;
        bySample.judge(address, missesAt(n, address) ? AlarmSample::missing(ms)
                                                     : AlarmSample::of(ms, tenthsAt(n, address) / 10.0));
    });

    // As the line reports a poll: its local time as a QDateTime, turned into
    // ms by the judge; stepping that time is part of what is timed here.
    LineAlarms byPoll;
    setLimits(byPoll);
    PollOutcome outcome;
    outcome.time = QDateTime::currentDateTime();
    const Run pollsRun = timeRun(samples, byPoll, [&](qint64 n, int address) {
        outcome.address = address;
        outcome.quality = missesAt(n, address) ? PollOutcome::Quality::NoAnswer : PollOutcome::Quality::Ok;
        outcome.raw = tenthsAt(n, address);
        outcome.time = outcome.time.addMSecs(kPollMs);
        byPoll.judge(outcome);
    });

    // What stepping the poll's time costs alone, to tell it from the judge.
    QDateTime time = QDateTime::currentDateTime();
    QElapsedTimer stepping;
    stepping.start();
    for (qint64 n = 0; n < samples; ++n)
        time = time.addMSecs(kPollMs);
    const double steppingNs = double(stepping.nsecsElapsed()) / double(samples);
    volatile qint64 keep = time.toMSecsSinceEpoch();
    (void)keep;

    std::printf("%lld samples of 64 meters with limits:\n", qlonglong(samples));
    std::printf("  judge(address, sample): %.1f ns per sample, %lld alarm events\n", samplesRun.nsPerSample,
                qlonglong(samplesRun.events));
    std::printf("  judge(poll outcome):    %.1f ns per sample, %lld alarm events\n", pollsRun.nsPerSample,
                qlonglong(pollsRun.events));
    std::printf("  of which stepping the poll's local time: %.1f ns\n", steppingNs);
    return 0;
}
