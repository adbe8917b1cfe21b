// How long the history chart takes to show 8 meters: reading the reduced
// columns and painting them, for the last day and for the whole history of a
// file written by bench_history --keep DIR. Run by hand:
// QT_QPA_PLATFORM=offscreen bench_historychart DIR/qlvmhist.db
#include "BenchTools.h"
#include "HistoryChartWindow.h"
#include "HistoryPlot.h"
#include "HistoryStore.h"
#include "Language.h"
#include "MeterConfiguration.h"
#include "RecordingPrompts.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_historychart FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const HistoryStore store(path);
    if (!store.isOpen()) {
        std::fprintf(stderr, "%s\n", qPrintable(store.errorText(1)));
        return 1;
    }
    Language language(1);
    RecordingPrompts prompts;
    MeterConfiguration meters;
    meters.set({1, 1, 200, 2, 0, 63, 64});
    HistoryChartWindow window(path, meters, language, prompts);
    window.resize(1840, 900);
    window.show();
    QApplication::processEvents();
    std::printf("plot %d columns, meters %d\n", window.plot()->plotRect().width(),
                int(window.chosenMeters().size()));

    const qint64 last = store.lastMsecs();
    const qint64 first = store.firstMsecs();
    const struct {
        const char *name;
        qint64 from;
    } spans[] = {{"last day", last - 24 * 3600 * 1000LL}, {"whole history", first}};
    for (const auto &span : spans) {
        QList<qint64> costs;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer clock;
            clock.start();
            // Not visible to the coalescing timer: read and paint at once.
            window.hide();
            window.showSpan(span.from, last);
            window.show();
            window.plot()->repaint();
            costs << clock.elapsed();
        }
        std::printf("%-14s %.1f days: median %.0f ms to read and draw\n", span.name,
                    double(last - span.from) / 86400000.0, BenchTools::medianOf(costs));
    }
    return 0;
}
