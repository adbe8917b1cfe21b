#include "ChartScale.h"
#include "RealtimeChart.h"

#include <QImage>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

namespace {

const QColor kRed{255, 0, 0};
const QColor kGreen{0, 255, 0};
const QColor kBlue{0, 0, 255};
const QColor kYellow{255, 255, 0};
const QColor kCyan{0, 255, 255};

// A chart created 561 pixels wide (a step of 51) on 0..100, fed by the
// tests; coordinates below are logical pixels, read from the picture at
// whatever device pixel ratio the screen has.
struct ShownChart {
    QWidget parent;
    RealtimeChart *chart = new RealtimeChart(&parent);

    ShownChart()
    {
        parent.resize(600, 420);
        chart->create(QRect(0, 0, 561, 400));
        parent.show();
        chart->setRange(0.0, 100.0);
    }

    void add(std::vector<double> values) { chart->addSamples(values); }
    qreal ratio() const { return chart->image().devicePixelRatio(); }
    QColor at(int x, int y) const
    {
        const qreal r = ratio();
        return chart->image().pixelColor(int(x * r + r / 2), int(y * r + r / 2));
    }
    int yOf(double value) const { return ChartScale::valueToY(value, 0.0, 100.0, chart->plotHeight()); }
    int step() const { return chart->step(); }
    int newest() const { return chart->newestX(); }
    // Whether any pixel of `colour` lies in the logical columns [from, to).
    bool colourInColumns(const QColor &colour, int from, int to) const
    {
        const QImage &image = chart->image();
        const qreal r = ratio();
        for (int x = int(from * r); x < int(to * r); ++x)
            for (int y = 0; y < int(chart->plotHeight() * r); ++y)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
};

} // namespace

class TestRealtimeChart : public QObject {
    Q_OBJECT

private slots:
    void picture_is_made_at_the_device_pixel_ratio()
    {
        ShownChart shown;
        QCOMPARE(shown.step(), 51);
        const QSize logical = ChartScale::imageSize(51, shown.chart->contentsRect().size(), {});
        QCOMPARE(shown.chart->image().size(), logical * shown.chart->devicePixelRatioF());
        QVERIFY(shown.chart->restartPending());
    }

    void newest_point_at_the_left_and_the_picture_moves_right_by_a_step()
    {
        ShownChart shown;
        shown.chart->setLineColour(0, kRed);
        shown.add({50.0});
        QVERIFY(!shown.chart->restartPending());
        QCOMPARE(shown.at(shown.newest(), shown.yOf(50.0)), kRed);
        const QImage first = shown.chart->image();

        shown.add({80.0});
        QCOMPARE(shown.at(shown.newest(), shown.yOf(80.0)), kRed);
        // The first point has travelled one step to the right.
        QCOMPARE(shown.at(shown.newest() + shown.step(), shown.yOf(50.0)), kRed);
        // Everything right of the new segment is the old picture, one step on.
        const qreal r = shown.ratio();
        const int from = int((shown.step() + 3) * r);
        const int width = int(first.width() - from - shown.step() * r);
        const int rows = int(shown.chart->plotHeight() * r);
        QCOMPARE(shown.chart->image().copy(from + int(shown.step() * r), 0, width, rows),
                 first.copy(from, 0, width, rows));
        // The segment joins the two points.
        QCOMPARE(shown.at((shown.newest() + 2 * shown.step()) / 2, (shown.yOf(50.0) + shown.yOf(80.0)) / 2),
                 kRed);
    }

    void each_curve_in_its_colour_and_out_of_range_values_at_the_edges()
    {
        ShownChart shown;
        const QList<QColor> colours{kRed, kGreen, kBlue, kYellow};
        for (int i = 0; i < colours.size(); ++i)
            shown.chart->setLineColour(i, colours[i]);
        shown.add({20.0, 50.0, 150.0, -500.0});
        shown.add({20.0, 50.0, 150.0, -500.0});
        const int middle = (shown.newest() + 2 * shown.step()) / 2;
        QCOMPARE(shown.at(middle, shown.yOf(20.0)), kRed);
        QCOMPARE(shown.at(middle, shown.yOf(50.0)), kGreen);
        // Above the upper limit: along the top edge; no answer: the bottom.
        QCOMPARE(shown.at(middle, 0), kBlue);
        QCOMPARE(shown.chart->sampleValue(2), 100.0);
        QCOMPARE(shown.at(middle, shown.chart->plotHeight() - 1), kYellow);
        QCOMPARE(shown.chart->sampleValue(3), 0.0);
    }

    void fewer_values_stop_the_curves_beyond_them()
    {
        ShownChart shown;
        const QList<QColor> colours{kRed, kGreen, kBlue, kYellow, kCyan};
        for (int i = 0; i < colours.size(); ++i)
            shown.chart->setLineColour(i, colours[i]);
        shown.add({10.0, 30.0, 50.0, 70.0, 90.0});
        shown.add({10.0, 30.0, 50.0, 70.0, 90.0});
        shown.add({15.0, 35.0, 55.0});
        QCOMPARE(shown.chart->curveCount(), 3);
        const int from = shown.step();
        const int to = 2 * shown.step() - 2;
        // The strip that every shift carries into view holds only the grid.
        for (const QColor &colour : colours)
            QVERIFY(!shown.colourInColumns(colour, 0, from));
        QVERIFY(shown.colourInColumns(kRed, from, to));
        QVERIFY(shown.colourInColumns(kGreen, from, to));
        QVERIFY(shown.colourInColumns(kBlue, from, to));
        QVERIFY(!shown.colourInColumns(kYellow, from, to));
        QVERIFY(!shown.colourInColumns(kCyan, from, to));
        // Their last segments have moved on.
        QVERIFY(shown.colourInColumns(kYellow, to, to + shown.step()));
    }

    void a_new_range_starts_each_curve_afresh()
    {
        ShownChart shown;
        shown.chart->setLineColour(0, kRed);
        shown.add({20.0});
        shown.add({20.0});
        // An ordinary set joins the previous point: red across the segment.
        QVERIFY(shown.colourInColumns(kRed, shown.newest() + 3, 2 * shown.step() - 2));

        shown.chart->setRange(0.0, 200.0);
        QVERIFY(shown.chart->restartPending());
        // The old picture is gone: black with the grid, no curve.
        QVERIFY(!shown.colourInColumns(kRed, 0, shown.chart->image().width() / int(shown.ratio())));
        shown.add({20.0});
        const int y = ChartScale::valueToY(20.0, 0.0, 200.0, shown.chart->plotHeight());
        QCOMPARE(shown.at(shown.newest(), y), kRed);
        // A dot, not a segment from the old height.
        QVERIFY(!shown.colourInColumns(kRed, shown.newest() + 3, 2 * shown.step()));
    }

    void lines_are_crisp_at_any_pixel_ratio()
    {
        ShownChart shown;
        shown.chart->setLineColour(0, kRed);
        shown.add({50.0});
        shown.add({50.0});
        // A vertical cut through a level segment: pure red for the pen's
        // width in device pixels, no blended rows around it.
        const QImage &image = shown.chart->image();
        const qreal r = shown.ratio();
        const int x = int((shown.newest() + 2 * shown.step()) / 2 * r);
        int red = 0;
        for (int y = 0; y < int(shown.chart->plotHeight() * r); ++y) {
            const QColor c = image.pixelColor(x, y);
            if (c == kRed)
                ++red;
            else
                QVERIFY2(c.red() == 0 || c.green() == c.red(), qPrintable(c.name()));
        }
        QCOMPARE(red, int(RealtimeChart::kLineWidth * r));
    }

    void grid_is_carried_in_by_the_shift()
    {
        ShownChart shown;
        const QColor grid{180, 180, 0};
        const int x = shown.step() * 3 + 1;
        const int yLine = ChartScale::majorLineY(5, shown.chart->plotHeight(), 10);
        const QColor before = shown.at(x, yLine);
        QCOMPARE(before, grid);
        for (int i = 0; i < 30; ++i)
            shown.add({});
        // The horizontal lines stay where they are after many shifts.
        QCOMPARE(shown.at(x, yLine), grid);
        QCOMPARE(shown.at(shown.chart->image().width() / int(shown.ratio()) - 2, yLine), grid);
    }
};

QTEST_MAIN(TestRealtimeChart)
#include "tst_realtimechart.moc"
