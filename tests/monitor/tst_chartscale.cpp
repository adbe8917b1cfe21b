#include "ChartScale.h"

#include <QTest>

#include <limits>

using namespace ChartScale;

class TestChartScale : public QObject {
    Q_OBJECT

private slots:
    void step_follows_the_creation_width_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("step");
        QTest::newRow("561") << 561 << 51;
        QTest::newRow("560") << 560 << 50;
        QTest::newRow("1600") << 1600 << 145;
        QTest::newRow("narrower than eleven") << 10 << 0;
    }
    void step_follows_the_creation_width()
    {
        QFETCH(int, width);
        QFETCH(int, step);
        QCOMPARE(stepFor(width), step);
    }

    void geometry_of_plot_and_picture()
    {
        const Margins margins;
        QCOMPARE(plotHeight(460, margins), 420);
        QCOMPARE(imageSize(51, QSize(561, 460), margins), QSize(562, 460));
        QCOMPARE(newestX(51, 3), 52);
        QCOMPARE(majorLineY(3, 400, 10), 120);
        QCOMPARE(majorLineY(10, 400, 10), 400);
        QCOMPARE(minorLineY(7, 400, 10), 56);
        QCOMPARE(minorLineY(49, 420, 10), 411);
    }

    void labels_run_from_upper_to_lower_data()
    {
        QTest::addColumn<double>("lower");
        QTest::addColumn<double>("upper");
        QTest::addColumn<int>("divisions");
        QTest::addColumn<QStringList>("labels");
        QTest::newRow("0..100 in 10")
            << 0.0 << 100.0 << 10 << QStringList{"100.0", "90.0", "80.0", "70.0", "60.0", "50.0",
                                                 "40.0",  "30.0", "20.0", "10.0", "0.0"};
        QTest::newRow("-50..50 in 4")
            << -50.0 << 50.0 << 4 << QStringList{"50.0", "25.0", "0.0", "-25.0", "-50.0"};
        QTest::newRow("-273.15..5000 in 2")
            << -273.15 << 5000.0 << 2 << QStringList{"5000.0", "2363.4", "-273.1"};
    }
    void labels_run_from_upper_to_lower()
    {
        QFETCH(double, lower);
        QFETCH(double, upper);
        QFETCH(int, divisions);
        QFETCH(QStringList, labels);
        QStringList texts;
        for (int i = 0; i <= divisions; ++i)
            texts << labelText(i, lower, upper, divisions);
        QCOMPARE(texts, labels);
        // Each label sits just below its grid line.
        QCOMPARE(labelTop(0, 400, divisions), 10);
        QCOMPARE(labelTop(divisions, 400, divisions), 410);
    }

    void values_outside_the_range_are_drawn_at_its_edges_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("drawn");
        QTest::addColumn<int>("y");
        QTest::newRow("inside") << 50.0 << 50.0 << 200;
        QTest::newRow("upper limit") << 100.0 << 100.0 << 0;
        QTest::newRow("lower limit") << 0.0 << 0.0 << 400;
        QTest::newRow("above the upper limit") << 150.0 << 100.0 << 0;
        QTest::newRow("below the lower limit") << -20.0 << 0.0 << 400;
        QTest::newRow("no answer") << -500.0 << 0.0 << 400;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 0.0 << 400;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 100.0 << 0;
        // (100 - 33.3) / 100 * 400 = 266.8, truncated.
        QTest::newRow("truncated") << 33.3 << 33.3 << 266;
    }
    void values_outside_the_range_are_drawn_at_its_edges()
    {
        QFETCH(double, value);
        QFETCH(double, drawn);
        QFETCH(int, y);
        const double clamped = clampToRange(value, 0.0, 100.0);
        QCOMPARE(clamped, drawn);
        QCOMPARE(valueToY(clamped, 0.0, 100.0, 400), y);
    }

    void an_empty_range_draws_at_the_bottom()
    {
        QCOMPARE(valueToY(50.0, 50.0, 50.0, 400), 400);
        QCOMPARE(labelText(0, 50.0, 50.0, 0), QStringLiteral("50.0"));
    }
};

QTEST_APPLESS_MAIN(TestChartScale)
#include "tst_chartscale.moc"
