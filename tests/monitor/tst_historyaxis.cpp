#include "HistoryAxis.h"

#include <QTest>

using namespace HistoryAxis;

namespace {
constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
} // namespace

class TestHistoryAxis : public QObject {
    Q_OBJECT

private slots:
    void time_steps_are_clock_steps_data()
    {
        QTest::addColumn<qint64>("span");
        QTest::addColumn<qint64>("step");
        QTest::newRow("a minute in 8") << kMinute << qint64(10 * 1000);
        QTest::newRow("an hour in 8") << kHour << 10 * kMinute;
        QTest::newRow("a day in 8") << kDay << 3 * kHour;
        QTest::newRow("a week in 8") << 7 * kDay << kDay;
        QTest::newRow("30 days in 8") << 30 * kDay << 7 * kDay;
        QTest::newRow("a year in 8") << 365 * kDay << 7 * kDay * 7;
    }
    void time_steps_are_clock_steps()
    {
        QFETCH(qint64, span);
        QFETCH(qint64, step);
        QCOMPARE(timeStep(span, 8), step);
    }

    void time_ticks_fall_on_local_whole_steps()
    {
        // 10:07 to 13:00 local time at UTC+8, hourly.
        const qint64 offset = 8 * kHour;
        const qint64 from = 2 * kHour + 7 * kMinute;
        const QList<qint64> ticks = timeTicks(from, 5 * kHour, kHour, offset);
        QCOMPARE(ticks, (QList<qint64>{3 * kHour, 4 * kHour, 5 * kHour}));
        // Days start at local midnight: 16:00 UTC at UTC+8.
        QCOMPARE(timeTicks(0, 2 * kDay, kDay, offset), (QList<qint64>{16 * kHour, 16 * kHour + kDay}));
        QVERIFY(timeTicks(5, 1, kHour, 0).isEmpty());
    }

    void value_ticks_are_round_numbers()
    {
        QCOMPARE(valueStep(0.0, 100.0, 8), 20.0);
        QCOMPARE(valueStep(-3.2, 7.9, 5), 5.0);
        QCOMPARE(valueStep(250.0, 251.3, 6), 0.5);
        QCOMPARE(valueTicks(-3.2, 7.9, 5.0), (QList<double>{0.0, 5.0}));
        QCOMPARE(valueTicks(-10.0, 10.0, 10.0), (QList<double>{-10.0, 0.0, 10.0}));
        QVERIFY(valueTicks(1.0, 0.0, 1.0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestHistoryAxis)
#include "tst_historyaxis.moc"
