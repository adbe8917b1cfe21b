// Records a steady stream of values through HistoryRecorder into the history
// file of the directory given, and prints each value once it has been handed
// over: "<msecs> <address> <tenths>" or "<msecs> <address> N" for a mark,
// and "C <values>" once the recorder has committed the values handed over
// before it. Runs until it is killed.

#include "HistoryRecorder.h"
#include "LiveValueTable.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: history_writer DIRECTORY [INTERVAL_MS]\n");
        return 2;
    }
    const int intervalMs = argc > 2 ? QByteArray(argv[2]).toInt() : 5;
    LiveValueTable values;
    HistoryRecorder recorder(values, QString::fromLocal8Bit(argv[1]));
    if (!recorder.start()) {
        std::fprintf(stderr, "cannot record: %s\n", qPrintable(recorder.errorText(1)));
        return 1;
    }
    QObject::connect(&recorder, &HistoryRecorder::committed, [](int committed) {
        std::printf("C %d\n", committed);
        std::fflush(stdout);
    });
    qint64 seq = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(intervalMs);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ++seq;
        const int address = int(seq % 64);
        if (seq % 10 == 0) {
            values.markNotAnswering(address);
            std::printf("%lld %d N\n", QDateTime::currentMSecsSinceEpoch(), address);
        } else {
            const int tenths = int((seq * 37) % 65536) - 32768;
            values.store(address, tenths / 10.0);
            std::printf("%lld %d %d\n", QDateTime::currentMSecsSinceEpoch(), address, tenths);
        }
        std::fflush(stdout);
    });
    tick.start();
    return app.exec();
}
