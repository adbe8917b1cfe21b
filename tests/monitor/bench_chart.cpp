// The cost of one set of samples on the real-time chart: 64 curves on a
// chart 1600 pixels wide, measured after 10 and after 100 000 earlier sets to
// show that the cost does not grow with the history; then the cost of a
// resize, which redraws the picture from the kept samples. Run by hand:
// QT_QPA_PLATFORM=offscreen bench_chart [height [device pixel ratio]]
#include "BenchTools.h"
#include "RealtimeChart.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int kCurves = 64;
constexpr int kWidth = 1600;

// Feeds `sets` sample sets of slowly moving values and returns the wall
// time of each call in nanoseconds.
QList<qint64> feed(RealtimeChart &chart, int sets, int &phase)
{
    std::vector<double> values(kCurves);
    QList<qint64> costs;
    costs.reserve(sets);
    QElapsedTimer clock;
    for (int s = 0; s < sets; ++s, ++phase) {
        for (int i = 0; i < kCurves; ++i)
            values[i] = 50.0 + 45.0 * std::sin((phase + i * 7) * 0.05);
        clock.start();
        chart.addSamples(values);
        costs << clock.nsecsElapsed();
    }
    return costs;
}

void report(const char *when, const QList<qint64> &costs)
{
    qint64 sum = 0;
    for (qint64 c : costs)
        sum += c;
    std::printf("%-28s median %.3f ms, mean %.3f ms, max %.3f ms per set of %d samples\n", when,
                BenchTools::medianOf(costs) / 1e6, double(sum) / costs.size() / 1e6,
                *std::max_element(costs.begin(), costs.end()) / 1e6, kCurves);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int height = argc > 1 ? std::max(100, atoi(argv[1])) : 700;
    QWidget parent;
    parent.resize(kWidth + 20, height + 20);
    auto *chart = new RealtimeChart(&parent);
    chart->create(QRect(0, 0, kWidth, height));
    parent.show();
    chart->setRange(0.0, 100.0);
    std::printf("chart %dx%d, step %d, picture %dx%d device pixels\n", kWidth, height, chart->step(),
                chart->image().width(), chart->image().height());

    int phase = 0;
    feed(*chart, 10, phase);
    report("after 10 sets:", feed(*chart, 1000, phase));
    const qint64 cpuStart = BenchTools::cpuMicroseconds();
    feed(*chart, 100000 - 1010, phase);
    const qint64 cpu = BenchTools::cpuMicroseconds() - cpuStart;
    report("after 100 000 sets:", feed(*chart, 1000, phase));
    std::printf("CPU over the 98 990 sets between: %.3f ms per set\n", cpu / 1000.0 / (100000 - 1010));

    QList<qint64> resizes;
    QElapsedTimer clock;
    for (int i = 0; i < 200; ++i) {
        clock.start();
        chart->resize(i % 2 ? kWidth : kWidth * 3 / 4, height);
        resizes << clock.nsecsElapsed();
    }
    std::printf("resize between %d and %d wide: median %.3f ms, max %.3f ms\n", kWidth * 3 / 4, kWidth,
                BenchTools::medianOf(resizes) / 1e6, *std::max_element(resizes.begin(), resizes.end()) / 1e6);
    return 0;
}
