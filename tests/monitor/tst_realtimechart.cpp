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
    void resize(QSize size) { chart->resize(size); }
    qreal ratio() const { return chart->image().devicePixelRatio(); }
    // Logical width of the picture.
    int right() const { return int(chart->image().width() / ratio()); }
    QColor at(int x, int y) const
    {
        const qreal r = ratio();
        return chart->image().pixelColor(int(x * r + r / 2), int(y * r + r / 2));
    }
    int yOf(double value) const { return ChartScale::valueToY(value, 0.0, 100.0, chart->plotHeight()); }
    int step() const { return chart->step(); }
    int newest() const { return chart->newestX(); }
    // Whether any pixel of `colour` lies in the logical columns [from, to),
    // over the whole plot or its rows above `rows`.
    bool colourInColumns(const QColor &colour, int from, int to, int rows = -1) const
    {
        const QImage &image = chart->image();
        const qreal r = ratio();
        const int height = rows < 0 ? chart->plotHeight() : rows;
        for (int x = int(from * r); x < int(to * r); ++x)
            for (int y = 0; y < int(height * r); ++y)
                if (image.pixelColor(x, y) == colour)
                    return true;
        return false;
    }
    // The part of the picture the chart paints: right of the strip, as tall
    // as the plot.
    QImage shownPart() const
    {
        const QImage &image = chart->image();
        const int left = int(step() * ratio());
        return image.copy(left, 0, image.width() - left, int(chart->plotHeight() * ratio()));
    }
};

// Curve 0 (red) wanders between 60 and 95, curve 1 (green) between 25 and
// 40 and curve 2 (yellow) has no answer, along the bottom. Curve 2 is left
// out of sets 20 and 21; curve 3 (cyan) comes in at 50 from set 25 on. The
// set count passes the samples a curve keeps.
constexpr int kSets = 30;
constexpr int kGapFrom = 20;
constexpr int kGapTo = 22;
constexpr int kCyanFrom = 25;
constexpr double kCyanValue = 50.0;

double redValue(int set)
{
    return 60.0 + (set * 13) % 36;
}

double greenValue(int set)
{
    return 25.0 + (set * 7) % 16;
}

void feedKnownSets(ShownChart &shown)
{
    shown.chart->setLineColour(0, kRed);
    shown.chart->setLineColour(1, kGreen);
    shown.chart->setLineColour(2, kYellow);
    shown.chart->setLineColour(3, kCyan);
    for (int set = 0; set < kSets; ++set) {
        if (set >= kGapFrom && set < kGapTo)
            shown.add({redValue(set), greenValue(set)});
        else if (set < kCyanFrom)
            shown.add({redValue(set), greenValue(set), -500.0});
        else
            shown.add({redValue(set), greenValue(set), -500.0, kCyanValue});
    }
}

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

    void a_resize_redraws_the_curves_at_the_new_step_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("wider and taller") << QSize(900, 520);
        QTest::newRow("narrower and shorter") << QSize(300, 250);
        QTest::newRow("only shorter") << QSize(561, 220);
        QTest::newRow("maximised") << QSize(1900, 1000);
    }
    void a_resize_redraws_the_curves_at_the_new_step()
    {
        QFETCH(QSize, size);
        ShownChart shown;
        feedKnownSets(shown);
        shown.resize(size);
        QCOMPARE(shown.step(), size.width() / 11);
        QVERIFY(!shown.chart->restartPending());

        // Every sample still in view stands at its age times the new step,
        // at its height in the new plot.
        const int bottom = shown.chart->plotHeight() - 1;
        int inView = 0;
        for (int age = 0; shown.newest() + age * shown.step() < shown.right(); ++age, ++inView) {
            const int set = kSets - 1 - age;
            const int x = shown.newest() + age * shown.step();
            QCOMPARE(shown.at(x, shown.yOf(redValue(set))), kRed);
            QCOMPARE(shown.at(x, shown.yOf(greenValue(set))), kGreen);
            if (set < kGapFrom || set >= kGapTo)
                QCOMPARE(shown.at(x, bottom), kYellow);
            if (set >= kCyanFrom)
                QCOMPARE(shown.at(x, shown.yOf(kCyanValue)), kCyan);
        }
        QVERIFY2(inView >= 10, qPrintable(QString::number(inView)));
        // Where curve 2 was left out it is still missing: between the point
        // of the set before the gap and the end of the segment after it.
        // It came back level, joined to the height it had before the gap.
        const int beforeGap = shown.newest() + (kSets - kGapFrom) * shown.step();
        if (beforeGap <= shown.right())
            QVERIFY(!shown.colourInColumns(kYellow, beforeGap - 2 * shown.step() + 3, beforeGap - 2));
        const int afterGap = shown.newest() + (kSets - 1 - kGapTo) * shown.step();
        QVERIFY(shown.colourInColumns(kYellow, afterGap + 2, afterGap + shown.step() - 2));
        QVERIFY(!shown.colourInColumns(kYellow, afterGap + 2, afterGap + shown.step() - 2, bottom - 2));
        // Curve 3 began with a dot, joined to nothing before it.
        const int cyanFirst = shown.newest() + (kSets - 1 - kCyanFrom) * shown.step();
        QVERIFY(!shown.colourInColumns(kCyan, cyanFirst + 3, shown.right()));

        // The next set joins the last one at the new step.
        shown.add({90.0, 30.0, -500.0, kCyanValue});
        const int previousY = shown.yOf(redValue(kSets - 1));
        QCOMPARE(shown.at((shown.newest() + 2 * shown.step()) / 2, (shown.yOf(90.0) + previousY) / 2), kRed);
        QCOMPARE(shown.at(shown.newest() + shown.step(), previousY), kRed);
    }

    void resizing_back_restores_the_picture_data()
    {
        QTest::addColumn<QList<QSize>>("sizes");
        QTest::newRow("wider and back") << QList<QSize>{{900, 520}};
        QTest::newRow("narrower and back") << QList<QSize>{{300, 250}};
        QTest::newRow("maximised, restored, shorter and back") << QList<QSize>{{1900, 1000}, {561, 300}};
        QTest::newRow("too small for a picture and back") << QList<QSize>{{40, 30}};
    }
    void resizing_back_restores_the_picture()
    {
        QFETCH(QList<QSize>, sizes);
        ShownChart shown;
        feedKnownSets(shown);
        const QImage before = shown.shownPart();
        const QSize original = shown.chart->size();
        for (const QSize &size : sizes)
            shown.resize(size);
        shown.resize(original);
        QCOMPARE(shown.shownPart(), before);
    }

    void the_narrowest_step_keeps_every_sample_in_view()
    {
        // No frame, no margins and a step of one pixel: the most steps a
        // plot can span, every set overlapping the next.
        ShownChart shown;
        shown.chart->setFrameStyle(QFrame::NoFrame);
        shown.chart->setMargins(0, 0, 0, 0);
        shown.resize(QSize(21, 120));
        QCOMPARE(shown.step(), 1);
        shown.chart->redrawGrid();
        feedKnownSets(shown);
        const QImage before = shown.shownPart();
        shown.resize(QSize(600, 400));
        shown.resize(QSize(21, 120));
        QCOMPARE(shown.shownPart(), before);
    }

    void a_restart_stays_a_restart_across_a_resize_data()
    {
        QTest::addColumn<bool>("newRange");
        QTest::newRow("new range") << true;
        QTest::newRow("grid redrawn") << false;
    }
    void a_restart_stays_a_restart_across_a_resize()
    {
        QFETCH(bool, newRange);
        ShownChart shown;
        feedKnownSets(shown);
        if (newRange)
            shown.chart->setRange(0.0, 100.0);
        else
            shown.chart->redrawGrid();
        // What was plotted before the restart does not come back.
        shown.resize(QSize(900, 520));
        QVERIFY(shown.chart->restartPending());
        QVERIFY(!shown.colourInColumns(kRed, 0, shown.right()));

        shown.add({20.0});
        shown.add({80.0});
        shown.resize(QSize(700, 450));
        QVERIFY(!shown.chart->restartPending());
        const int first = shown.newest() + shown.step();
        QCOMPARE(shown.at(first, shown.yOf(20.0)), kRed);
        QCOMPARE(shown.at(shown.newest(), shown.yOf(80.0)), kRed);
        // The first set after the restart is a dot: nothing right of it.
        QVERIFY(!shown.colourInColumns(kRed, first + 3, shown.right()));
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
