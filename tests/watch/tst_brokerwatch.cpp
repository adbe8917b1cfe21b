// The watch of a line on a real mosquitto broker: what a publisher of the
// test puts on the line's topics, and what the line service publishes while
// it polls the meter simulator, lands in the live values.
#include "BrokerWatch.h"
#include "LiveValueTable.h"
#include "MeterSimProcess.h"
#include "MosquittoProcess.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

constexpr int kDeadlineMs = 60000;
const QString kLoopback = QStringLiteral("127.0.0.1");

LineTransportSettings brokerLine(quint16 port, const QString &line)
{
    LineTransportSettings settings;
    settings.kind = LineTransportSettings::Kind::Broker;
    settings.host = kLoopback;
    settings.port = port;
    settings.lineName = line;
    return settings;
}

QByteArray goodValue(int raw)
{
    return "{\"v\":" + QByteArray::number(raw / 10.0) + ",\"raw\":" + QByteArray::number(raw) +
           ",\"ts\":\"2024-05-01T08:00:00.000Z\",\"q\":\"ok\",\"seq\":1}";
}

// One meter's entry of the stats as the service writes it: the counts of
// answers, missing answers, bad frames and exceptions, and the times in ms,
// null when negative.
QString meterStats(int address, const QList<int> &counts, int lastMs, double averageMs, int maxMs)
{
    const auto time = [](double ms) { return ms < 0 ? QStringLiteral("null") : QString::number(ms); };
    return QStringLiteral(R"({"address":%1,"answers":%2,"missing":%3,"crc":%4,"exceptions":%5,)"
                          R"("lastMs":%6,"averageMs":%7,"maxMs":%8})")
        .arg(address)
        .arg(counts.value(0))
        .arg(counts.value(1))
        .arg(counts.value(2))
        .arg(counts.value(3))
        .arg(time(lastMs), time(averageMs), time(maxMs));
}

// A table watched on a line of its own, with a publisher of the test on the
// same broker.
class WatchedLine {
public:
    LiveValueTable values;
    BrokerWatch watch{values};
    BrokerClient publisher;
    QList<WatchEvent> events;

    bool start(quint16 port, const QString &line)
    {
        QObject::connect(&watch, &BrokerWatch::happened, &watch,
                         [this](const WatchEvent &event) { events.append(event); });
        BrokerSettings settings;
        settings.host = kLoopback;
        settings.port = port;
        settings.clientId = QStringLiteral("test-publisher-") + line;
        return publisher.start(settings) && watch.start(brokerLine(port, line)) &&
               QTest::qWaitFor([this] { return publisher.isConnected(); }, kDeadlineMs);
    }

    // The full topic of a row: under the line's prefix, or as it is when it
    // names a line itself; "%line" stands for this line's name.
    QString topicOf(const QString &rest) const
    {
        const QString topic = QString(rest).replace(QStringLiteral("%line"), watch.settings().lineName);
        return topic.startsWith(QLatin1String("quorvane/")) ? topic : watch.topic(topic);
    }
    bool publish(const QString &rest, const QByteArray &payload, bool retain = false)
    {
        return publisher.publish(topicOf(rest), payload, 0, retain);
    }
    // "topic payload": a message of a data row.
    bool publish(const QString &message)
    {
        return publish(message.section(QLatin1Char(' '), 0, 0),
                       message.section(QLatin1Char(' '), 1).toUtf8());
    }

    // Waits until the watch follows every topic of the line: the stats,
    // subscribed last, bring it a count of meter 63, then forgotten.
    bool synchronise()
    {
        const QString stats = QStringLiteral(R"({"ts":"2024-05-01T08:00:00.000Z","meters":[%1]})")
                                  .arg(meterStats(63, {1, 0, 0, 0}, -1, -1, -1));
        if (!publish(QStringLiteral("stats"), stats.toUtf8(), true) ||
            !QTest::qWaitFor([this] { return values.health(63).answers == 1; }, kDeadlineMs))
            return false;
        values.resetHealth();
        return true;
    }

    // Publishes a good value of meter 63 after what went before and waits
    // until it is stored: the messages before it have been taken by then.
    bool settle()
    {
        const int raw = ++settled;
        return publish(QStringLiteral("meters/63/value"), goodValue(raw)) &&
               QTest::qWaitFor([this, raw] { return values.answering(63) && values.value(63) == raw * 0.1; },
                               kDeadlineMs);
    }

private:
    int settled = 0;
};

} // namespace

class TestBrokerWatch : public QObject {
    Q_OBJECT

    std::unique_ptr<MosquittoProcess> broker;
    int lines = 0;

    // A line name no other case has used: retained messages stay apart.
    QString freshLine() { return QStringLiteral("line-%1").arg(++lines); }

private slots:
    void initTestCase()
    {
        broker = std::make_unique<MosquittoProcess>();
        QVERIFY2(broker->start(), qPrintable(broker->errorText()));
    }

    void cleanupTestCase()
    {
        if (broker)
            QVERIFY(broker->stop());
    }

    // What meter 5 shows after the row's messages, "topic payload" each.
    void values_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<double>("value");
        QTest::addColumn<bool>("answering");
        const QString ok = QStringLiteral("meters/5/value ") + QString::fromLatin1(goodValue(123));
        const double none = LiveValueTable::NoAnswer;
        QTest::newRow("a good value is the register in tenths scaled by 0.1")
            << QStringList{"meters/5/value " + QString::fromLatin1(goodValue(234))} << 234 * 0.1 << true;
        QTest::newRow("v stands in without raw")
            << QStringList{R"(meters/5/value {"v":-4.5,"q":"ok"})"} << -4.5 << true;
        QTest::newRow("no answer marks the meter")
            << QStringList{ok,
                           R"(meters/5/value {"v":null,"raw":null,"ts":"2024-05-01T08:00:01.000Z","q":"no-answer","seq":2})"}
            << none << false;
        QTest::newRow("a good value after none is stored again")
            << QStringList{R"(meters/5/value {"v":null,"raw":null,"q":"no-answer"})", ok} << 123 * 0.1
            << true;
        QTest::newRow("a bad frame leaves the value")
            << QStringList{ok, R"(meters/5/value {"v":null,"raw":null,"q":"crc"})"} << 123 * 0.1 << true;
        QTest::newRow("an exception leaves the value")
            << QStringList{ok, R"(meters/5/value {"v":null,"raw":null,"q":"exception"})"} << 123 * 0.1
            << true;
        QTest::newRow("a payload that is no JSON changes nothing")
            << QStringList{ok, QStringLiteral("meters/5/value 12.3")} << 123 * 0.1 << true;
        QTest::newRow("a good value without a number changes nothing")
            << QStringList{ok, R"(meters/5/value {"v":null,"q":"ok"})"} << 123 * 0.1 << true;
        QTest::newRow("until told, a meter does not answer") << QStringList{} << none << false;
        QTest::newRow("another line's meter is not this one")
            << QStringList{"quorvane/v1/plant/south/meters/5/value " + QString::fromLatin1(goodValue(99))}
            << none << false;
        QTest::newRow("a line of the same name at another site is not this one")
            << QStringList{"quorvane/v1/works/%line/meters/5/value " + QString::fromLatin1(goodValue(99))}
            << none << false;
        QTest::newRow("an address written otherwise is no meter of the line")
            << QStringList{"meters/05/value " + QString::fromLatin1(goodValue(99)),
                           "meters/64/value " + QString::fromLatin1(goodValue(99))}
            << none << false;
    }
    void values()
    {
        QFETCH(QStringList, messages);
        QFETCH(double, value);
        QFETCH(bool, answering);
        WatchedLine line;
        QVERIFY(line.start(broker->port(), freshLine()));
        QVERIFY(line.synchronise());
        for (const QString &message : messages)
            QVERIFY(line.publish(message));
        QVERIFY(line.settle());
        QCOMPARE(line.values.value(5), value);
        QCOMPARE(line.values.answering(5), answering);
    }

    // The health of meter 5 after the row's stats; the average is what the
    // statistics window computes from the table.
    void stats_data()
    {
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<int>>("counts"); // answers, missing, bad frames, exceptions
        QTest::addColumn<QList<int>>("times");  // last and longest ms, -1 when not known
        QTest::addColumn<double>("averageMs");  // -1 when not known
        QTest::addColumn<QString>("lastGood");  // local time, empty when none
        QTest::addColumn<int>("resets");
        const auto stats = [](const QStringList &meters) {
            return QStringLiteral(R"(stats {"ts":"2024-05-01T08:00:10.000Z","meters":[%1]})")
                .arg(meters.join(QLatin1Char(',')));
        };
        const QString first = meterStats(5, {10, 2, 1, 3}, 12, 11.5, 20);
        QTest::newRow("counts and times as published")
            << QStringList{stats({first})} << QList<int>{10, 2, 1, 3} << QList<int>{12, 20} << 11.5
            << QString() << 0;
        QTest::newRow("times unknown before the first answer")
            << QStringList{stats({meterStats(5, {0, 4, 0, 0}, -1, -1, -1)})} << QList<int>{0, 4, 0, 0}
            << QList<int>{-1, -1} << -1.0 << QString() << 0;
        QTest::newRow("a later report takes the earlier one's place")
            << QStringList{stats({first}), stats({meterStats(5, {15, 2, 1, 3}, 9, 11, 20)})}
            << QList<int>{15, 2, 1, 3} << QList<int>{9, 20} << 11.0 << QString() << 0;
        QTest::newRow("lower counts are a service started afresh")
            << QStringList{stats({first}), stats({meterStats(5, {4, 0, 0, 0}, 7, 8, 9)})}
            << QList<int>{4, 0, 0, 0} << QList<int>{7, 9} << 8.0 << QString() << 1;
        QTest::newRow("the last good answer is the time of the last good value")
            << QStringList{"meters/5/value " + QString::fromLatin1(goodValue(10)), stats({first})}
            << QList<int>{10, 2, 1, 3} << QList<int>{12, 20} << 11.5
            << QDateTime::fromString(QStringLiteral("2024-05-01T08:00:00.000Z"), Qt::ISODateWithMs)
                   .toLocalTime()
                   .toString(Qt::ISODateWithMs)
            << 0;
        QTest::newRow("a meter outside 0..63 is left out")
            << QStringList{stats({meterStats(64, {1, 0, 0, 0}, 5, 5, 5), QStringLiteral(R"({"address":"5"})"),
                                  meterStats(5, {3, 0, 0, 0}, 5, 5, 5)})}
            << QList<int>{3, 0, 0, 0} << QList<int>{5, 5} << 5.0 << QString() << 0;
    }
    void stats()
    {
        QFETCH(QStringList, messages);
        QFETCH(QList<int>, counts);
        QFETCH(QList<int>, times);
        QFETCH(double, averageMs);
        QFETCH(QString, lastGood);
        QFETCH(int, resets);
        WatchedLine line;
        QVERIFY(line.start(broker->port(), freshLine()));
        QVERIFY(line.synchronise());
        QSignalSpy reset(&line.values, &LiveValueTable::healthReset);
        QSignalSpy changed(&line.values, &LiveValueTable::healthChanged);
        for (const QString &message : messages)
            QVERIFY(line.publish(message));
        QVERIFY(line.settle());
        const MeterHealth &health = line.values.health(5);
        QCOMPARE((QList<int>{health.answers, health.missing, health.garbage, health.exceptions}), counts);
        QCOMPARE((QList<int>{health.lastResponseMs, health.maxResponseMs}), times);
        QCOMPARE(health.timedAnswers > 0 ? double(health.totalResponseMs) / health.timedAnswers : -1.0,
                 averageMs);
        QCOMPARE(health.lastGoodAnswer.toString(Qt::ISODateWithMs), lastGood);
        QCOMPARE(int(reset.count()), resets);
        QVERIFY(changed.contains(QVariantList{5}));
    }

    // The events after the connection for the row's states of the line, and
    // whether it is online at the end.
    void state_data()
    {
        using What = WatchEvent::What;
        QTest::addColumn<QStringList>("states");
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<bool>("online");
        const QString online = QStringLiteral(R"({"online":true,"version":"0.1.0","transport":"serial"})");
        const QString offline = QStringLiteral(R"({"online":false})");
        QTest::newRow("an online line adds nothing to the connection")
            << QStringList{online} << QList<int>{} << true;
        QTest::newRow("a line offline is told")
            << QStringList{offline} << QList<int>{int(What::LineOffline)} << false;
        QTest::newRow("offline, then back")
            << QStringList{online, offline, online}
            << QList<int>{int(What::LineOffline), int(What::LineOnline)} << true;
        QTest::newRow("the same state again is told once")
            << QStringList{offline, offline} << QList<int>{int(What::LineOffline)} << false;
        QTest::newRow("a state that says nothing is no state")
            << QStringList{QStringLiteral(R"({"version":"0.1.0"})"), QStringLiteral("online")} << QList<int>{}
            << false;
    }
    void state()
    {
        QFETCH(QStringList, states);
        QFETCH(QList<int>, events);
        QFETCH(bool, online);
        WatchedLine line;
        const QString name = freshLine();
        QVERIFY(line.start(broker->port(), name));
        QVERIFY(line.synchronise());
        QSignalSpy onlineChanged(&line.watch, &BrokerWatch::onlineChanged);
        for (const QString &state : states)
            QVERIFY(line.publish(QStringLiteral("state"), state.toUtf8()));
        QVERIFY(line.settle());
        QCOMPARE(line.events.size(), events.size() + 1);
        const WatchEvent connected = line.events.takeFirst();
        QCOMPARE(connected.what, WatchEvent::What::Connected);
        QCOMPARE(connected.broker, QStringLiteral("127.0.0.1:%1").arg(broker->port()));
        QCOMPARE(connected.line, name);
        QList<int> told;
        for (const WatchEvent &event : std::as_const(line.events)) {
            told << int(event.what);
            QCOMPARE(event.line, name);
        }
        QCOMPARE(told, events);
        QCOMPARE(line.watch.online(), online);
        if (online)
            QCOMPARE(onlineChanged.last().first().toBool(), true);
    }

    // A broker that wants a user name: the watch says it is refused.
    void a_refusing_broker_is_told()
    {
        MosquittoProcess closed;
        closed.setAnonymous(false);
        QVERIFY2(closed.start(), qPrintable(closed.errorText()));
        LiveValueTable values;
        BrokerWatch watch(values);
        QSignalSpy happened(&watch, &BrokerWatch::happened);
        QVERIFY(watch.start(brokerLine(closed.port(), QStringLiteral("north"))));
        QTRY_COMPARE_WITH_TIMEOUT(happened.count(), 1, kDeadlineMs);
        const auto event = happened.first().first().value<WatchEvent>();
        QCOMPARE(event.what, WatchEvent::What::Refused);
        QCOMPARE(event.refusal, 5);
        QVERIFY(!watch.connected());
    }

    // The whole way: the line service polls meters 1..4 of the simulator,
    // of which 3 is missing and 4 answers with exceptions, and the watch
    // shows the line as it goes, polls included, across a broker that dies
    // and comes back, until the service stops.
    void follows_the_line_service()
    {
        QTemporaryDir dir;
        MeterSimProcess sim;
        QVERIFY2(sim.start({"--addresses", "1-4", "--silent", "3", "--refuse", "4", "--value", "1=123",
                            "--value", "2=-45"}),
                 qPrintable(sim.errorText()));
        QFile config(dir.filePath(QStringLiteral("plant.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(
            "[Broker]\nhost=127.0.0.1\nport=" + QByteArray::number(broker->port()) +
            "\nsite=plant\nkeepalive=5\n[Line north]\ntransport=serial\ndevice=" + sim.devicePath().toUtf8() +
            "\nbaud=9600\nparity=N\ndatabits=8\nstopbits=2\nfirst=1\nlast=4\nmetertype=5\ncycle=fast\n"
            "history=" +
            dir.filePath(QStringLiteral("north.db")).toUtf8() + "\n");
        config.close();

        WatchedLine line;
        QVERIFY(line.start(broker->port(), QStringLiteral("north")));
        QSignalSpy marked(&line.values, &LiveValueTable::markedNotAnswering);
        std::map<int, LineFrame> lastFrame;
        QObject::connect(&line.watch, &BrokerWatch::frameLogged, &line.watch,
                         [&lastFrame](const LineFrame &frame) { lastFrame[frame.address] = frame; });
        QProcess service;
        service.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORVANE_HOME"), dir.path());
        service.setProcessEnvironment(environment);
        service.start(QStringLiteral(QUORVANE_LINED), {QStringLiteral("--config"), config.fileName()});
        QVERIFY(service.waitForStarted(kDeadlineMs));

        LiveValueTable &values = line.values;
        QTRY_VERIFY_WITH_TIMEOUT(line.watch.online(), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(
            values.answering(1) && values.answering(2) && marked.contains(QVariantList{3}), kDeadlineMs);
        QCOMPARE(values.value(1), 123 * 0.1);
        QCOMPARE(values.value(2), -45 * 0.1);
        QVERIFY(!values.answering(3));
        QTRY_VERIFY_WITH_TIMEOUT(lastFrame.size() == 4, kDeadlineMs);
        QCOMPARE(lastFrame[1].kind, LineFrame::Kind::Answer);
        QCOMPARE(lastFrame[1].reg, 200);
        QCOMPARE(lastFrame[2].value, -45);
        QVERIFY(std::abs(lastFrame[2].time.secsTo(QDateTime::currentDateTime())) < 60);
        QCOMPARE(lastFrame[3].kind, LineFrame::Kind::NoAnswer);
        QCOMPARE(lastFrame[4].kind, LineFrame::Kind::Exception);
        QCOMPARE(lastFrame[4].value, 4);
        // The stats come every 10 s.
        QTRY_VERIFY_WITH_TIMEOUT(values.health(1).answers > 0 && values.health(3).missing > 0, kDeadlineMs);
        QVERIFY(values.health(1).lastResponseMs >= 0);
        QVERIFY(values.health(1).lastGoodAnswer.isValid());
        QCOMPARE(values.health(3).answers, 0);

        // The broker dies and comes back: the watch says so, reconnects, and
        // the values go on.
        QVERIFY(broker->kill());
        QTRY_VERIFY_WITH_TIMEOUT(
            !line.events.isEmpty() && line.events.last().what == WatchEvent::What::BrokerLost, kDeadlineMs);
        QVERIFY(!line.watch.online());
        QVERIFY2(broker->restart(), qPrintable(broker->errorText()));
        QTRY_VERIFY_WITH_TIMEOUT(line.events.last().what == WatchEvent::What::Connected, kDeadlineMs);
        QSignalSpy stored(&values, &LiveValueTable::valueStored);
        QTRY_VERIFY_WITH_TIMEOUT(stored.contains(QVariantList{1, 123 * 0.1}), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(line.watch.online(), kDeadlineMs);

        // A clean stop of the service leaves the line offline.
        ::kill(pid_t(service.processId()), SIGTERM);
        QTRY_VERIFY_WITH_TIMEOUT(line.events.last().what == WatchEvent::What::LineOffline, kDeadlineMs);
        QVERIFY(!line.watch.online());
        QTRY_COMPARE_WITH_TIMEOUT(service.state(), QProcess::NotRunning, kDeadlineMs);
        QCOMPARE(service.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestBrokerWatch)
#include "tst_brokerwatch.moc"
