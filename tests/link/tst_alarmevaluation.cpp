#include "AlarmEvaluation.h"

#include <QTest>

namespace {

// "0=101 1000=- 2000=99": values by time in ms, "-" for a missing answer,
// "x" for an exception answer.
QList<AlarmSample> samples(const QString &text)
{
    QList<AlarmSample> list;
    for (const QString &item : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QStringList parts = item.split(QLatin1Char('='));
        const qint64 ms = parts[0].toLongLong();
        if (parts[1] == QLatin1String("-"))
            list << AlarmSample::missing(ms);
        else if (parts[1] == QLatin1String("x"))
            list << AlarmSample{ms, AlarmSample::Kind::AnsweredWithoutValue, 0};
        else
            list << AlarmSample::of(ms, parts[1].toDouble());
    }
    return list;
}

// "1000 high raised": each event as time, kind and what happened.
QStringList told(const QList<AlarmEvent> &events)
{
    QStringList lines;
    for (const AlarmEvent &event : events)
        lines << QStringLiteral("%1 %2 %3")
                     .arg(event.ms)
                     .arg(QLatin1String(alarmKindName(event.kind)),
                          QLatin1String(alarmEventName(event.what)));
    return lines;
}

QStringList run(MeterAlarms &state, const AlarmLimits &limits, int commLossAfter, const QString &sequence)
{
    QList<AlarmEvent> events;
    for (const AlarmSample &sample : samples(sequence))
        events += evaluateAlarms(state, limits, commLossAfter, 7, sample);
    return told(events);
}

AlarmLimits highAt(double high, double deadband = 0, double delaySec = 0)
{
    AlarmLimits limits;
    limits.high = high;
    limits.deadband = deadband;
    limits.delaySec = delaySec;
    return limits;
}

} // namespace

Q_DECLARE_METATYPE(AlarmLimits)

class TestAlarmEvaluation : public QObject {
    Q_OBJECT

private slots:
    void sequences_data();
    void sequences();
    void limitsChangedWhileActive();
    void acknowledgement();
};

void TestAlarmEvaluation::sequences_data()
{
    QTest::addColumn<AlarmLimits>("limits");
    QTest::addColumn<int>("commLossAfter");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QStringList>("expected");

    AlarmLimits low;
    low.low = 10;
    low.deadband = 1;
    QTest::newRow("chattering without deadband")
        << highAt(100) << 0 << "0=99 1=101 2=99.9 3=100.1 4=99"
        << QStringList{"1 high raised", "2 high cleared", "3 high raised", "4 high cleared"};
    QTest::newRow("chattering inside the deadband")
        << highAt(100, 5) << 0 << "0=99 1=101 2=99 3=101 4=96 5=94.9"
        << QStringList{"1 high raised", "5 high cleared"};
    QTest::newRow("at the limit is not above it") << highAt(100) << 0 << "0=100 1=100" << QStringList{};
    QTest::newRow("low limit with deadband") << low << 0 << "0=9 1=10.5 2=11 3=11.5 4=9.5"
                                             << QStringList{"0 low raised", "3 low cleared", "4 low raised"};
    QTest::newRow("excursion shorter than the delay")
        << highAt(100, 0, 2) << 0 << "0=101 1000=105 1500=99 2500=101 4000=99" << QStringList{};
    QTest::newRow("excursion longer than the delay")
        << highAt(100, 0, 2) << 0 << "0=101 1000=105 1999=102 2000=101 3000=99"
        << QStringList{"2000 high raised", "3000 high cleared"};
    QTest::newRow("the delay starts afresh after a dip")
        << highAt(100, 0, 2) << 0 << "0=101 1000=99 1500=101 3000=101 3500=101"
        << QStringList{"3500 high raised"};
    QTest::newRow("a silent meter raises nothing else")
        << highAt(100) << 0 << "0=101 1000=- 2000=- 3000=- 4000=101" << QStringList{"0 high raised"};
    QTest::newRow("missing answers neither clear") << highAt(100, 0, 0) << 0 << "0=101 1000=- 2000=- 3000=99"
                                                   << QStringList{"0 high raised", "3000 high cleared"};
    QTest::newRow("the delay runs on over a missing answer")
        << highAt(100, 0, 2) << 0 << "0=101 1000=- 2000=101" << QStringList{"2000 high raised"};
    QTest::newRow("comm loss and recovery")
        << AlarmLimits{} << 3 << "0=5 1000=- 2000=- 3000=- 4000=- 5000=5 6000=- 7000=-"
        << QStringList{"3000 comm raised", "5000 comm cleared"};
    QTest::newRow("an exception answer is an answer") << AlarmLimits{} << 2 << "0=- 1000=- 2000=x 3000=-"
                                                      << QStringList{"1000 comm raised", "2000 comm cleared"};
    QTest::newRow("comm loss switched off")
        << AlarmLimits{} << 0 << "0=- 1000=- 2000=- 3000=-" << QStringList{};
    QTest::newRow("comm loss beside a limit alarm")
        << highAt(100) << 1 << "0=101 1000=- 2000=99"
        << QStringList{"0 high raised", "1000 comm raised", "2000 comm cleared", "2000 high cleared"};
}

void TestAlarmEvaluation::sequences()
{
    QFETCH(AlarmLimits, limits);
    QFETCH(int, commLossAfter);
    QFETCH(QString, sequence);
    QFETCH(QStringList, expected);
    MeterAlarms state;
    QCOMPARE(run(state, limits, commLossAfter, sequence), expected);
}

// The limits in force when a value comes decide: a higher limit clears the
// alarm at once, a limit taken away or alarms switched off clear theirs.
void TestAlarmEvaluation::limitsChangedWhileActive()
{
    MeterAlarms state;
    QCOMPARE(run(state, highAt(100), 0, "0=105"), QStringList{"0 high raised"});
    QCOMPARE(run(state, highAt(110), 0, "1=105"), QStringList{"1 high cleared"});
    QCOMPARE(run(state, highAt(100), 0, "2=105"), QStringList{"2 high raised"});
    QCOMPARE(state[AlarmKind::High].limit, std::optional<double>(100));
    QCOMPARE(run(state, AlarmLimits{}, 0, "3=105"), QStringList{"3 high cleared"});

    AlarmLimits off = highAt(100);
    QCOMPARE(run(state, off, 1, "4=105 5=-"), (QStringList{"4 high raised", "5 comm raised"}));
    off.enabled = false;
    QCOMPARE(run(state, off, 1, "6=105"), (QStringList{"6 comm cleared", "6 high cleared"}));
    QCOMPARE(run(state, off, 1, "7=- 8=200"), QStringList{});
    QVERIFY(!state.anyActive());
}

// An alarm waits for its acknowledgement even after it cleared; once
// acknowledged, only a new raise makes it wait again.
void TestAlarmEvaluation::acknowledgement()
{
    MeterAlarms state;
    QVERIFY(!acknowledgeAlarm(state, 7, AlarmKind::High, 0));
    run(state, highAt(100), 0, "0=105 1=95");
    QVERIFY(!state.anyActive());
    QVERIFY(state.anyUnacknowledged());
    const std::optional<AlarmEvent> ack = acknowledgeAlarm(state, 7, AlarmKind::High, 2);
    QVERIFY(ack);
    QCOMPARE(ack->what, AlarmEvent::What::Acknowledged);
    QCOMPARE(ack->value, std::optional<double>(105));
    QCOMPARE(ack->limit, std::optional<double>(100));
    QVERIFY(!state.anyUnacknowledged());
    QVERIFY(!acknowledgeAlarm(state, 7, AlarmKind::High, 3));

    run(state, highAt(100), 0, "4=105");
    QVERIFY(acknowledgeAlarm(state, 7, AlarmKind::High, 5));
    QVERIFY(state[AlarmKind::High].active);
    QVERIFY(!acknowledgeAlarm(state, 7, AlarmKind::Low, 5));
    QCOMPARE(alarmKindNamed(u"comm"), std::optional<AlarmKind>(AlarmKind::Comm));
    QCOMPARE(alarmKindNamed(u"HIGH"), std::nullopt);
}

QTEST_GUILESS_MAIN(TestAlarmEvaluation)
#include "tst_alarmevaluation.moc"
