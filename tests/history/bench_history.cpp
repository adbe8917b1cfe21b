// Size and speed of the value history, run by hand:
//   bench_history [--days N] [--keep DIR]
// Writes N days (default 30) of 64 meters polled round robin every 200 ms
// through HistoryStore::append in large batches, then reports the bytes on
// disk per value, the time to reduce the last day and the whole range of
// 8 meters into 1600 columns, and the CPU the recorder spends per value.

#include "BenchTools.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LiveValueTable.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

constexpr qint64 kDay = 24 * 60 * 60 * 1000;
constexpr qint64 kPollMs = 200;
constexpr int kBatch = 100000;

qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

// A slow sine per meter, in tenths as the meters give them.
double valueAt(qint64 msecs, int address)
{
    const double period = 3600000.0 * (1 + address % 7);
    return std::round(1000.0 * std::sin(2 * M_PI * double(msecs) / period) + address * 10.0) / 10.0;
}

double medianMs(const std::function<void()> &run)
{
    QList<qint64> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        run();
        times.append(clock.nsecsElapsed() / 1000);
    }
    return BenchTools::medianOf(times) / 1000.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("days"), QStringLiteral("Days of history to write."),
                      QStringLiteral("N"), QStringLiteral("30")});
    parser.addOption(
        {QStringLiteral("keep"), QStringLiteral("Write into DIR and keep it."), QStringLiteral("DIR")});
    parser.process(app);
    const int days = std::max(1, parser.value(QStringLiteral("days")).toInt());

    QTemporaryDir temporary;
    const QString dir =
        parser.isSet(QStringLiteral("keep")) ? parser.value(QStringLiteral("keep")) : temporary.path();
    const QString path = dir + QLatin1Char('/') + QLatin1String(HistoryRecorder::FileName);
    const qint64 end = QDateTime::currentMSecsSinceEpoch() / kPollMs * kPollMs - 60000;
    const qint64 begin = end - days * kDay;

    qint64 rows = 0;
    {
        HistoryStore store(path);
        if (!store.isOpen()) {
            std::fprintf(stderr, "cannot open %s: %s\n", qPrintable(path), qPrintable(store.errorText(1)));
            return 1;
        }
        QElapsedTimer clock;
        clock.start();
        QList<HistorySample> batch;
        batch.reserve(kBatch);
        for (qint64 t = begin; t < end; t += kPollMs) {
            const int address = int(rows % 64);
            // Now and then a meter is silent.
            const bool silent = rows % 997 == 0;
            batch.append({t, address, silent ? std::nullopt : std::optional<double>(valueAt(t, address))});
            ++rows;
            if (batch.size() == kBatch || t + kPollMs >= end) {
                if (!store.append(batch)) {
                    std::fprintf(stderr, "append failed: %s\n", qPrintable(store.errorText(1)));
                    return 1;
                }
                batch.clear();
            }
        }
        std::printf("wrote %lld values (%d days) in %.1f s, %.2f us a value\n", rows, days,
                    clock.elapsed() / 1000.0, clock.nsecsElapsed() / 1000.0 / double(rows));
    }
    std::printf("file size %lld bytes, %.2f bytes a value\n", fileSize(path), double(fileSize(path)) / rows);

    {
        HistoryStore store(path);
        const QList<int> eight{0, 9, 18, 27, 36, 45, 54, 63};
        const double lastDay = medianMs([&] { store.reduce(eight, end - kDay, end, 1600); });
        const double whole = medianMs([&] { store.reduce(eight, begin, end, 1600); });
        std::printf("reduce 8 meters into 1600 columns: last day %.1f ms, all %d days %.1f ms\n", lastDay,
                    days, whole);
    }

    {
        LiveValueTable table;
        HistoryRecorder recorder(table, dir);
        QSignalSpy purged(&recorder, &HistoryRecorder::purged);
        if (!recorder.start()) {
            std::fprintf(stderr, "recorder: %s\n", qPrintable(recorder.errorText(1)));
            return 1;
        }
        // The retention worker's first pass is not counted as recording.
        purged.wait(30000);
        // Five answers and the commit of them, as one second of polling.
        constexpr int kSeconds = 4000;
        const qint64 cpu = BenchTools::cpuMicroseconds();
        QElapsedTimer clock;
        clock.start();
        for (int s = 0; s < kSeconds; ++s) {
            for (int i = 0; i < 5; ++i) {
                const int address = (s * 5 + i) % 64;
                table.countAnswer(address, 20, QDateTime());
                table.store(address, valueAt(s * 1000 + i * 200, address));
            }
            recorder.flush();
        }
        const double values = kSeconds * 5.0;
        std::printf("recording: %.1f us CPU a value including its commit (%.1f us wall)\n",
                    (BenchTools::cpuMicroseconds() - cpu) / values, clock.nsecsElapsed() / 1000.0 / values);
    }
    return 0;
}
