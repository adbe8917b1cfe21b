// The line service polling 64 simulated meters in the fast cycle at 9600
// baud 8N2 (the simulator holding each answer for its wire time), publishing
// to a mosquitto broker on loopback, with a subscriber in this process.
// Reports the time from the last byte of a meter's answer leaving the
// simulator to its value message reaching the subscriber (median and 99th
// percentile), the service's CPU per answer, publishing included, and its
// memory. Run by hand: bench_lined [seconds]
#include "BenchTools.h"
#include "BrokerClient.h"
#include "MeterSimProcess.h"
#include "MosquittoProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

constexpr int kMeters = 64;
// 9600 baud, 8 data bits, no parity, 2 stop bits: 11 bits a character.
constexpr double kCharacterUsec = 11 * 1e6 / 9600;
// A read request and its answer: 8 and 7 characters.
constexpr int kTransactionCharacters = 8 + 7;

qint64 steadyUsec()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// utime + stime of a process, in microseconds.
qint64 processCpuUsec(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    const qint64 ticks = fields.value(11).toLongLong() + fields.value(12).toLongLong();
    return ticks * 1000000 / sysconf(_SC_CLK_TCK);
}

QByteArray statusField(qint64 pid, const QByteArray &name)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).simplified();
    return {};
}

struct Answer {
    qint64 usec = 0; // when the simulator computed it
    int value = 0;
};

// The "ANS <usec> <addr> <value>" lines of the simulator's log, per meter.
std::map<int, QList<Answer>> answersOf(const QString &log)
{
    std::map<int, QList<Answer>> answers;
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return answers;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 4 && f[0] == "ANS")
            answers[f[2].toInt()].append({f[1].toLongLong(), f[3].toInt()});
    }
    return answers;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 30;
    QTemporaryDir dir;
    MosquittoProcess broker;
    if (!broker.start()) {
        std::fprintf(stderr, "mosquitto: %s\n", qPrintable(broker.errorText()));
        return 1;
    }
    const QString log = dir.filePath(QStringLiteral("sim.log"));
    MeterSimProcess sim;
    if (!sim.start({"--addresses", "0-63", "--wire-time", "--log", log})) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    QFile config(dir.filePath(QStringLiteral("bench.ini")));
    config.open(QIODevice::WriteOnly);
    config.write("[Broker]\nhost=127.0.0.1\nport=" + QByteArray::number(broker.port()) +
                 "\n[Line bench]\ndevice=" + sim.devicePath().toUtf8() +
                 "\nbaud=9600\nstopbits=2\nfirst=0\nlast=63\ncycle=fast\nhistory=" +
                 dir.filePath(QStringLiteral("bench.db")).toUtf8() + "\n");
    config.close();

    // Arrivals of value messages with a value, per meter, on the steady clock.
    std::map<int, QList<std::pair<qint64, int>>> arrivals;
    BrokerClient subscriber;
    QObject::connect(&subscriber, &BrokerClient::messageReceived,
                     [&](const QString &topic, const QByteArray &payload, bool retained) {
                         const qint64 now = steadyUsec();
                         if (retained || !topic.endsWith(QLatin1String("/value")))
                             return;
                         const QJsonObject value = QJsonDocument::fromJson(payload).object();
                         if (value.value("q").toString() != QLatin1String("ok"))
                             return;
                         arrivals[topic.section(QLatin1Char('/'), -2, -2).toInt()].append(
                             {now, value.value("raw").toInt()});
                     });
    BrokerSettings settings;
    settings.host = QStringLiteral("127.0.0.1");
    settings.port = broker.port();
    subscriber.start(settings);
    subscriber.subscribe(QStringLiteral("quorvane/v1/plant/bench/meters/+/value"), 0);
    if (!QTest::qWaitFor([&] { return subscriber.isConnected(); }, 10000)) {
        std::fprintf(stderr, "the subscriber did not connect\n");
        return 1;
    }

    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVANE_HOME"), dir.path());
    service.setProcessEnvironment(environment);
    service.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    service.start(QStringLiteral(QUORVANE_LINED), {QStringLiteral("--config"), config.fileName()});
    service.waitForStarted();
    const qint64 pid = service.processId();

    // Settle, then measure.
    BenchTools::runEventLoopFor(3000);
    const auto answersBefore = answersOf(log);
    qsizetype before = 0;
    for (const auto &[address, list] : answersBefore)
        before += list.size();
    const qint64 cpuBefore = processCpuUsec(pid);
    BenchTools::runEventLoopFor(seconds * 1000);
    const qint64 cpuUsed = processCpuUsec(pid) - cpuBefore;
    const QByteArray rss = statusField(pid, "VmRSS");
    const QByteArray hwm = statusField(pid, "VmHWM");
    BenchTools::runEventLoopFor(500);
    service.terminate();
    service.waitForFinished();

    auto answers = answersOf(log);
    qsizetype after = 0;
    for (const auto &[address, list] : answers)
        after += list.size();
    // The simulator holds the answer for the wire time in whole milliseconds.
    const qint64 wireUsec = std::llround(kTransactionCharacters * kCharacterUsec / 1000) * 1000;
    QList<qint64> latencies;
    int mismatched = 0;
    for (const auto &[address, got] : arrivals) {
        const QList<Answer> &sent = answers[address];
        // The answers the service stored, in order; the first arrivals may
        // miss answers given before the subscriber listened.
        qsizetype offset = sent.size() - got.size();
        for (qsizetype i = 0; i < got.size(); ++i) {
            const qsizetype k = offset + i;
            if (k < 0 || k >= sent.size() || sent[k].value != got[i].second) {
                ++mismatched;
                continue;
            }
            latencies.append(got[i].first - (sent[k].usec + wireUsec));
        }
    }
    std::sort(latencies.begin(), latencies.end());
    const auto percentile = [&](double p) {
        return latencies.isEmpty() ? 0.0 : latencies[qsizetype(p * (latencies.size() - 1))] / 1000.0;
    };
    const qsizetype measured = after - before;
    std::printf("answers in %d s: %lld (%.1f/s)\n", seconds, qlonglong(measured), double(measured) / seconds);
    std::printf("answer's last byte to subscriber: median %.2f ms, p99 %.2f ms, max %.2f ms (%lld paired, "
                "%d unpaired)\n",
                percentile(0.5), percentile(0.99), percentile(1.0), qlonglong(latencies.size()), mismatched);
    std::printf("service CPU per answer: %.3f ms\n", measured ? cpuUsed / 1000.0 / measured : 0.0);
    std::printf("service memory: VmRSS %s, VmHWM %s\n", rss.constData(), hwm.constData());
    sim.stop();
    broker.stop();
    return 0;
}
