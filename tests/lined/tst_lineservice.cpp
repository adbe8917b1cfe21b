// The line service as a process of its own, between the meter simulator and
// a real mosquitto broker, watched by a subscriber of the test.
#include "AlarmLimitsStore.h"
#include "BrokerClient.h"
#include "MeterRegister.h"
#include "MeterSimProcess.h"
#include "MosquittoProcess.h"
#include "Payloads.h"
#include "RecordingPrompts.h"
#include "TcpFaultProxy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

Q_DECLARE_METATYPE(MeterAlarms)

namespace {

constexpr int kDeadlineMs = 60000;
constexpr int kKeepAliveS = 5;

QString serviceProgram()
{
    return QStringLiteral(QUORVANE_LINED);
}

// Every message the subscriber got: the last one per topic, and all of
// them on the topics the test asks for.
struct Subscriber {
    BrokerClient client;
    QMap<QString, QByteArray> last;
    QMap<QString, int> count;
    QSet<QString> kept;
    QMap<QString, QList<QByteArray>> all;

    bool start(quint16 port)
    {
        QObject::connect(&client, &BrokerClient::messageReceived,
                         [this](const QString &topic, const QByteArray &payload, bool) {
                             last[topic] = payload;
                             ++count[topic];
                             if (kept.contains(topic))
                                 all[topic].append(payload);
                         });
        BrokerSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.keepAliveS = kKeepAliveS;
        settings.clientId = QStringLiteral("test-subscriber");
        return client.start(settings) && client.subscribe(QStringLiteral("quorvane/#"), 1);
    }
    QJsonObject json(const QString &topic) const { return QJsonDocument::fromJson(last.value(topic)).object(); }
    // Whether a message on `topic` had every field of `fields`.
    bool saw(const QString &topic, const QJsonObject &fields) const
    {
        const QStringList keys = fields.keys();
        for (const QByteArray &payload : all.value(topic)) {
            const QJsonObject object = QJsonDocument::fromJson(payload).object();
            if (std::all_of(keys.begin(), keys.end(),
                            [&](const QString &key) { return object.value(key) == fields.value(key); }))
                return true;
        }
        return false;
    }
};

// A consumer of the history topic that acknowledges, retained, everything
// it has without a gap, and notes any seq it got beyond a gap.
struct AckingConsumer {
    BrokerClient client;
    QString prefix;
    QSet<qint64> received;
    qint64 contiguous = 0; // every seq up to here was received
    qint64 highest = 0;
    qint64 lastValueSeq = 0; // of the last value message

    bool start(quint16 port, const QString &linePrefix)
    {
        prefix = linePrefix;
        QObject::connect(&client, &BrokerClient::messageReceived,
                         [this](const QString &topic, const QByteArray &payload, bool) {
                             if (topic.endsWith(QLatin1String("/value")))
                                 lastValueSeq = qint64(
                                     QJsonDocument::fromJson(payload).object().value("seq").toDouble());
                             if (topic != prefix + "history")
                                 return;
                             const QJsonArray samples =
                                 QJsonDocument::fromJson(payload).object().value("samples").toArray();
                             for (const QJsonValue &sample : samples) {
                                 const qint64 seq = qint64(sample.toArray().at(0).toDouble());
                                 received.insert(seq);
                                 highest = std::max(highest, seq);
                             }
                             while (received.contains(contiguous + 1))
                                 ++contiguous;
                             client.publish(prefix + "history/ack",
                                            QByteArray("{\"seq\":") + QByteArray::number(contiguous) + "}", 1,
                                            true);
                         });
        BrokerSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.keepAliveS = kKeepAliveS;
        settings.clientId = QStringLiteral("test-consumer");
        return client.start(settings) && client.subscribe(prefix + "history", 1) &&
               client.subscribe(prefix + "meters/+/value", 0);
    }
    // Every seq from 1 to at least `seq`, and none beyond a gap.
    bool hasEverythingUpTo(qint64 seq) const { return contiguous >= seq && highest == contiguous; }
};

// The longest pause between two requests the simulator received since
// `fromUsec`, in ms.
qint64 longestPauseMs(const QList<MeterSimProcess::Request> &requests, qint64 fromUsec)
{
    qint64 longest = 0;
    for (qsizetype i = 1; i < requests.size(); ++i)
        if (requests[i - 1].usec >= fromUsec)
            longest = std::max(longest, (requests[i].usec - requests[i - 1].usec) / 1000);
    return longest;
}

} // namespace

class TestLineService : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<MosquittoProcess> broker;
    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<QProcess> service;

    QString configPath() const { return dir.filePath(QStringLiteral("plant.ini")); }
    QString historyPath() const { return dir.filePath(QStringLiteral("north.db")); }

    bool writeConfig(const QByteArray &text)
    {
        QFile file(configPath());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    }

    QByteArray plantConfig(quint16 brokerPort = 0, const QString &history = QString(),
                           const QByteArray &moreKeys = QByteArray()) const
    {
        return "[Broker]\nhost=127.0.0.1\nport=" +
               QByteArray::number(brokerPort ? brokerPort : broker->port()) +
               "\nsite=plant\nkeepalive=" + QByteArray::number(kKeepAliveS) +
               "\n[Line north]\ntransport=serial\ndevice=" + sim->devicePath().toUtf8() +
               "\nbaud=9600\nparity=N\ndatabits=8\nstopbits=2\nfirst=1\nlast=3\nmetertype=5\ncycle=fast\n"
               "history=" +
               (history.isEmpty() ? historyPath() : history).toUtf8() + "\n" + moreKeys;
    }

    bool startService(QProcess::ProcessChannelMode channels = QProcess::ForwardedChannels)
    {
        service = std::make_unique<QProcess>();
        service->setProcessChannelMode(channels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORVANE_HOME"), dir.path());
        service->setProcessEnvironment(environment);
        service->start(serviceProgram(), {QStringLiteral("--config"), configPath()});
        return service->waitForStarted(kDeadlineMs);
    }

    bool signalService(int signalNumber)
    {
        return service && ::kill(pid_t(service->processId()), signalNumber) == 0;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        broker = std::make_unique<MosquittoProcess>();
        QVERIFY2(broker->start(), qPrintable(broker->errorText()));
    }

    void cleanup()
    {
        if (service && service->state() != QProcess::NotRunning) {
            service->kill();
            service->waitForFinished(kDeadlineMs);
        }
        service.reset();
        sim.reset();
    }

    void cleanupTestCase()
    {
        if (broker)
            QVERIFY(broker->stop());
    }

    // What the retained alarm topic of a meter says for the alarms as they
    // stand: the time, value and limit are those of the newest active alarm,
    // else of the newest one waiting for its acknowledgement.
    void alarmPayloadTellsWhatStands_data()
    {
        QTest::addColumn<MeterAlarms>("alarms");
        QTest::addColumn<QByteArray>("payload");
        const auto state = [](bool active, bool waiting, qint64 sinceMs, std::optional<double> value,
                              std::optional<double> limit) {
            AlarmState alarm;
            alarm.active = active;
            alarm.unacknowledged = waiting;
            alarm.sinceMs = sinceMs;
            alarm.value = value;
            alarm.limit = limit;
            return alarm;
        };
        MeterAlarms clear;
        QTest::newRow("all clear and acknowledged has empty lists")
            << clear << QByteArray(R"({"active":[],"unacknowledged":[]})");
        MeterAlarms high;
        high[AlarmKind::High] = state(true, true, 1000, 125, 100);
        QTest::newRow("a raised alarm waits for its acknowledgement")
            << high
            << QByteArray(R"({"active":["high"],"limit":100,"since":"1970-01-01T00:00:01.000Z",)"
                          R"("unacknowledged":["high"],"value":125})");
        MeterAlarms cleared;
        cleared[AlarmKind::Low] = state(false, true, 2000, -3.5, -2);
        QTest::newRow("a cleared alarm not acknowledged still tells its value")
            << cleared
            << QByteArray(R"({"active":[],"limit":-2,"since":"1970-01-01T00:00:02.000Z",)"
                          R"("unacknowledged":["low"],"value":-3.5})");
        MeterAlarms both;
        both[AlarmKind::Comm] = state(true, false, 5000, std::nullopt, std::nullopt);
        both[AlarmKind::High] = state(false, true, 9000, 125, 100);
        QTest::newRow("an active alarm comes before a newer cleared one")
            << both
            << QByteArray(
                   R"({"active":["comm"],"since":"1970-01-01T00:00:05.000Z","unacknowledged":["high"]})");
        MeterAlarms newest;
        newest[AlarmKind::High] = state(true, true, 4000, 125, 100);
        newest[AlarmKind::Comm] = state(true, true, 7000, std::nullopt, std::nullopt);
        QTest::newRow("of two active alarms the newer one gives the time")
            << newest
            << QByteArray(R"({"active":["high","comm"],"since":"1970-01-01T00:00:07.000Z",)"
                          R"("unacknowledged":["high","comm"]})");
        MeterAlarms restored;
        restored[AlarmKind::High].unacknowledged = true;
        QTest::newRow("an alarm restored after a restart has no time")
            << restored << QByteArray(R"({"active":[],"unacknowledged":["high"]})");
    }

    void alarmPayloadTellsWhatStands()
    {
        QFETCH(MeterAlarms, alarms);
        QTEST(Payloads::alarm(alarms), "payload");
    }

    // An acknowledgement names one meter and one kind, or all of its kinds;
    // anything else means nothing.
    void alarmAcknowledgementIsReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("kind"); // empty: all kinds
        QTest::newRow("high") << QByteArray(R"({"address":3,"kind":"high"})") << true << 3 << "high";
        QTest::newRow("comm, other fields ignored")
            << QByteArray(R"({"kind":"comm","address":63,"by":"operator"})") << true << 63 << "comm";
        QTest::newRow("all kinds of a meter")
            << QByteArray(R"({"address":0,"kind":"all"})") << true << 0 << "";
        QTest::newRow("not JSON") << QByteArray("ack 3 high") << false << 0 << "";
        QTest::newRow("empty") << QByteArray() << false << 0 << "";
        QTest::newRow("an array") << QByteArray(R"([3,"high"])") << false << 0 << "";
        QTest::newRow("no kind") << QByteArray(R"({"address":3})") << false << 0 << "";
        QTest::newRow("unknown kind") << QByteArray(R"({"address":3,"kind":"hot"})") << false << 0 << "";
        QTest::newRow("kind in capitals") << QByteArray(R"({"address":3,"kind":"HIGH"})") << false << 0 << "";
        QTest::newRow("no address") << QByteArray(R"({"kind":"high"})") << false << 0 << "";
        QTest::newRow("address as text")
            << QByteArray(R"({"address":"3","kind":"high"})") << false << 0 << "";
        QTest::newRow("address not whole")
            << QByteArray(R"({"address":2.5,"kind":"high"})") << false << 0 << "";
        QTest::newRow("address beyond 63")
            << QByteArray(R"({"address":64,"kind":"high"})") << false << 0 << "";
        QTest::newRow("address below 0") << QByteArray(R"({"address":-1,"kind":"high"})") << false << 0 << "";
    }

    void alarmAcknowledgementIsReadStrictly()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, valid);
        QFETCH(int, address);
        QFETCH(QString, kind);
        const std::optional<Payloads::AlarmAcknowledgement> read = Payloads::alarmAcknowledgement(payload);
        QCOMPARE(read.has_value(), valid);
        if (!valid)
            return;
        QCOMPARE(read->address, address);
        QCOMPARE(read->kind, kind.isEmpty() ? std::nullopt : alarmKindNamed(kind));
    }

    // What the meters answer is what the broker carries, meter by meter,
    // with each meter's register entry; a clean stop leaves the line offline
    // and its history written.
    void publishesEveryMeterAndStopsCleanly()
    {
        sim = std::make_unique<MeterSimProcess>();
        QVERIFY(sim->start({"--addresses", "1-2", "--value", "1=123", "--value", "2=-45"}));
        QVERIFY(writeConfig(plantConfig()));
        const QString registerFile = dir.filePath(QStringLiteral("qlvmdata.db"));
        QFile::remove(registerFile);
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/../share/quorvane/data/qlvmdata.db",
                            registerFile));
        QFile::setPermissions(registerFile, QFile::ReadOwner | QFile::WriteOwner);
        RecordingPrompts prompts;
        MeterRegister meters(prompts, dir.path(), 1);
        MeterRecord boiler;
        boiler.address = QStringLiteral("1");
        boiler.installPosition = QStringLiteral("锅炉 1");
        boiler.name = QStringLiteral("TC-1");
        QVERIFY(meters.append(boiler));
        const QString prefix = QStringLiteral("quorvane/v1/plant/north/");
        Subscriber watcher;
        watcher.kept = {prefix + "event"};
        QVERIFY(watcher.start(broker->port()));
        QVERIFY(startService());

        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(prefix + "state").value("online").toBool(), kDeadlineMs);
        const QJsonObject state = watcher.json(prefix + "state");
        QCOMPARE(state.value("transport").toString(), QStringLiteral("serial"));
        QCOMPARE(state.value("first").toInt(), 1);
        QCOMPARE(state.value("last").toInt(), 3);
        QCOMPARE(state.value("cycle").toString(), QStringLiteral("fast"));
        QVERIFY(!state.value("version").toString().isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(watcher.count.value(prefix + "meters/3/value") > 0 &&
                                     watcher.count.value(prefix + "meters/2/value") > 0,
                                 kDeadlineMs);
        const QJsonObject one = watcher.json(prefix + "meters/1/value");
        QCOMPARE(one.value("q").toString(), QStringLiteral("ok"));
        QCOMPARE(one.value("raw").toInt(), 123);
        QCOMPARE(one.value("v").toDouble(), 12.3);
        QVERIFY(one.value("ts").toString().endsWith(QLatin1Char('Z')));
        QCOMPARE(watcher.json(prefix + "meters/2/value").value("v").toDouble(), -4.5);
        // Meter 3 is not there: no value, and the line says it was interrupted.
        QCOMPARE(watcher.json(prefix + "meters/3/value").value("q").toString(), QStringLiteral("no-answer"));
        QVERIFY(watcher.json(prefix + "meters/3/value").value("v").isNull());
        QTRY_VERIFY_WITH_TIMEOUT(watcher.saw(prefix + "event", {{"event", "interrupted"}}), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(watcher.count.contains(prefix + "stats"), kDeadlineMs);
        QCOMPARE(watcher.json(prefix + "meters/1/meta").value("position").toString(), QStringLiteral("锅炉 1"));
        QCOMPARE(watcher.json(prefix + "meters/1/meta").value("name").toString(), QStringLiteral("TC-1"));
        // A meter entered in the register while the line runs.
        MeterRecord pump;
        pump.address = QStringLiteral("2");
        pump.installPosition = QStringLiteral("Pump");
        QVERIFY(meters.append(pump));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.json(prefix + "meters/2/meta").value("position").toString(),
                                  QStringLiteral("Pump"), kDeadlineMs);
        QCOMPARE(watcher.count.value(prefix + "meters/1/meta"), 1);

        QVERIFY(signalService(SIGTERM));
        QVERIFY(service->waitForFinished(kDeadlineMs));
        QCOMPARE(service->exitStatus(), QProcess::NormalExit);
        QCOMPARE(service->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.json(prefix + "state").value("online").toBool(true), false, kDeadlineMs);

        const QString connection = QStringLiteral("history");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(historyPath());
            QVERIFY(db.open());
            QSqlQuery count(QStringLiteral("SELECT COUNT(*) FROM sample"), db);
            QVERIFY(count.next());
            QVERIFY(count.value(0).toInt() > 0);
        }
        QSqlDatabase::removeDatabase(connection);
    }

    // A service that dies where it stands is marked offline by the broker
    // within one and a half keep-alive intervals.
    void aKilledServiceIsMarkedOffline()
    {
        sim = std::make_unique<MeterSimProcess>();
        QVERIFY(sim->start({"--addresses", "1-3"}));
        QVERIFY(writeConfig(plantConfig()));
        Subscriber watcher;
        QVERIFY(watcher.start(broker->port()));
        QVERIFY(startService());
        const QString state = QStringLiteral("quorvane/v1/plant/north/state");
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(state).value("online").toBool(), kDeadlineMs);

        QElapsedTimer sinceKill;
        sinceKill.start();
        QVERIFY(signalService(SIGKILL));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.json(state).value("online").toBool(true), false, kDeadlineMs);
        qInfo("offline %lld ms after the kill", sinceKill.elapsed());
        QVERIFY(sinceKill.elapsed() < 1500 * kKeepAliveS + 1000);
    }

    // A consumer that acknowledges gets every sample of the line, in order
    // and without a gap, across a broker that dies and comes back, a network
    // partition, and a service killed and started again; polling goes on
    // meanwhile.
    void everySampleReachesAnAckingConsumer()
    {
        sim = std::make_unique<MeterSimProcess>();
        QVERIFY(sim->start({"--addresses", "1-3", "--wire-time"}));
        TcpFaultProxy proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost, broker->port()));
        QVERIFY(writeConfig(plantConfig(proxy.port())));
        const QString prefix = QStringLiteral("quorvane/v1/plant/north/");
        AckingConsumer consumer;
        QVERIFY(consumer.start(broker->port(), prefix));
        QVERIFY(startService());
        QTRY_VERIFY_WITH_TIMEOUT(consumer.contiguous >= 50, kDeadlineMs);

        // The broker dies for a while.
        const qint64 outageFrom = sim->requests().last().usec;
        QVERIFY(broker->kill());
        QTest::qWait(10000);
        QVERIFY2(broker->restart(), qPrintable(broker->errorText()));
        qint64 reached = consumer.highest;
        QTRY_VERIFY_WITH_TIMEOUT(consumer.hasEverythingUpTo(reached + 100), kDeadlineMs);
        const qint64 pauseOverOutage = longestPauseMs(sim->requests(), outageFrom);
        qInfo("longest pause of polling over the broker outage: %lld ms", pauseOverOutage);
        QVERIFY(pauseOverOutage < 1000);

        // Packets dropped both ways for 20 s.
        const qint64 partitionFrom = sim->requests().last().usec;
        proxy.blackHole();
        QTest::qWait(20000);
        proxy.pass();
        reached = consumer.highest;
        QTRY_VERIFY_WITH_TIMEOUT(consumer.hasEverythingUpTo(reached + 100), kDeadlineMs);
        QVERIFY(longestPauseMs(sim->requests(), partitionFrom) < 1000);

        // The service dies where it stands and is started again: the numbers
        // go on and nothing the consumer has not acknowledged is lost.
        QVERIFY(signalService(SIGKILL));
        QVERIFY(service->waitForFinished(kDeadlineMs));
        reached = consumer.highest;
        consumer.lastValueSeq = 0;
        QVERIFY(startService());
        QTRY_VERIFY_WITH_TIMEOUT(consumer.lastValueSeq > 0, kDeadlineMs);
        QVERIFY(consumer.lastValueSeq > reached);
        QTRY_VERIFY_WITH_TIMEOUT(consumer.hasEverythingUpTo(reached + 100), kDeadlineMs);
    }

    // A value above its limit raises the meter's alarm, published retained
    // and as an event; a consumer's acknowledgement reaches the alarm, while
    // acknowledgements that mean nothing change nothing; limits changed in
    // the register apply at once; an alarm not acknowledged at a stop waits
    // again after the start; the history file keeps every change. Meters
    // that do not answer raise their comm alarm after the line's commloss=
    // count.
    void alarmsArePublishedAndAcknowledged()
    {
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("alarms")));
        const QString alarmDir = dir.filePath(QStringLiteral("alarms"));
        const QString history = alarmDir + QStringLiteral("/north.db");
        const QString registerFile = alarmDir + QStringLiteral("/qlvmdata.db");
        QVERIFY(QFile::copy(QCoreApplication::applicationDirPath() + "/../share/quorvane/data/qlvmdata.db",
                            registerFile));
        QFile::setPermissions(registerFile, QFile::ReadOwner | QFile::WriteOwner);
        AlarmLimitsStore limits(alarmDir);
        AlarmLimits above100;
        above100.high = 100;
        QVERIFY2(limits.save(3, above100), qPrintable(limits.errorText()));
        sim = std::make_unique<MeterSimProcess>();
        QVERIFY(sim->start({"--addresses", "3", "--value", "3=1250"}));
        QVERIFY(writeConfig(plantConfig(0, history, "commloss=2\n")));
        const QString prefix = QStringLiteral("quorvane/v1/plant/north/");
        const QString event = prefix + "event";
        const QString three = prefix + "meters/3/alarm";
        const QString one = prefix + "meters/1/alarm";
        Subscriber watcher;
        watcher.kept = {event};
        QVERIFY(watcher.start(broker->port()));
        QVERIFY(startService());

        const QJsonArray high{QStringLiteral("high")};
        const QJsonArray comm{QStringLiteral("comm")};
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(three).value("active") == high, kDeadlineMs);
        const QJsonObject raised = watcher.json(three);
        QCOMPARE(raised.value("unacknowledged"), QJsonValue(high));
        QCOMPARE(raised.value("value").toDouble(), 125.0);
        QCOMPARE(raised.value("limit").toDouble(), 100.0);
        QVERIFY(QDateTime::fromString(raised.value("since").toString(), Qt::ISODateWithMs).isValid());
        QTRY_VERIFY_WITH_TIMEOUT(
            watcher.saw(
                event,
                {{"event", "raised"}, {"address", 3}, {"kind", "high"}, {"value", 125}, {"limit", 100}}),
            kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(one).value("unacknowledged") == comm, kDeadlineMs);
        QVERIFY(watcher.saw(event, {{"event", "raised"}, {"address", 1}, {"kind", "comm"}}));

        // Published in order by one client, so once meter 1's acknowledgement
        // has come through, the ones before it have been judged.
        for (const QByteArray &meaningless :
             {QByteArray("ack 3"), QByteArray(R"({"address":3,"kind":"hot"})"),
              QByteArray(R"({"address":3})"), QByteArray(R"({"address":64,"kind":"high"})"),
              QByteArray(R"({"address":9,"kind":"high"})")})
            QVERIFY(watcher.client.publish(prefix + "alarm/ack", meaningless, 1, false));
        QVERIFY(watcher.client.publish(prefix + "alarm/ack", R"({"address":1,"kind":"all"})", 1, false));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(one).value("unacknowledged") == QJsonArray(), kDeadlineMs);
        QCOMPARE(watcher.json(one).value("active"), QJsonValue(comm));
        QCOMPARE(watcher.json(three).value("unacknowledged"), QJsonValue(high));
        QCOMPARE(service->state(), QProcess::Running);

        QVERIFY(watcher.client.publish(prefix + "alarm/ack", R"({"address":3,"kind":"high"})", 1, false));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(three).value("unacknowledged") == QJsonArray(), kDeadlineMs);
        QCOMPARE(watcher.json(three).value("active"), QJsonValue(high));
        QTRY_VERIFY_WITH_TIMEOUT(
            watcher.saw(event, {{"event", "acknowledged"}, {"address", 3}, {"kind", "high"}}), kDeadlineMs);

        // The limits are read again when the register changes: without its
        // limit the alarm clears, and the retained message says all is clear.
        const QJsonObject allClear{{"active", QJsonArray()}, {"unacknowledged", QJsonArray()}};
        QVERIFY(limits.remove(3));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.json(three), allClear, kDeadlineMs);
        QVERIFY(limits.save(3, above100));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(three).value("unacknowledged") == high, kDeadlineMs);

        // Left unacknowledged at a stop, the alarm waits again after the
        // start, though no limit raises it now.
        QVERIFY(signalService(SIGTERM));
        QVERIFY(service->waitForFinished(kDeadlineMs));
        QCOMPARE(service->exitCode(), 0);
        QVERIFY(limits.remove(3));
        QVERIFY(startService());
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(three).value("active") == QJsonArray(), kDeadlineMs);
        QCOMPARE(watcher.json(three).value("unacknowledged"), QJsonValue(high));
        QVERIFY(watcher.client.publish(prefix + "alarm/ack", R"({"address":3,"kind":"all"})", 1, false));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.json(three), allClear, kDeadlineMs);

        QVERIFY(signalService(SIGTERM));
        QVERIFY(service->waitForFinished(kDeadlineMs));
        QCOMPARE(service->exitCode(), 0);
        QMap<int, QStringList> changes;
        const QString connection = QStringLiteral("alarms");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(history);
            QVERIFY(db.open());
            QSqlQuery rows(QStringLiteral("SELECT address, kind, event FROM alarm_event ORDER BY ms, rowid"),
                           db);
            while (rows.next())
                changes[rows.value(0).toInt()]
                    << rows.value(1).toString() + QLatin1Char(' ') + rows.value(2).toString();
        }
        QSqlDatabase::removeDatabase(connection);
        QCOMPARE(changes.value(3), QStringList({"high raised", "high acknowledged", "high cleared",
                                                "high raised", "high acknowledged"}));
        // Meter 1 raises its comm alarm again after the restart.
        QCOMPARE(changes.value(1).mid(0, 2), QStringList({"comm raised", "comm acknowledged"}));
    }

    void aBadConfigurationEndsWithItsReason()
    {
        QVERIFY(writeConfig("[Broker]\nhost=127.0.0.1\n[Line north]\ndevice=/dev/ttyS0\nbaud=fast\n"));
        QVERIFY(startService(QProcess::SeparateChannels));
        QVERIFY(service->waitForFinished(kDeadlineMs));
        QCOMPARE(service->exitCode(), 2);
        QCOMPARE(QString::fromUtf8(service->readAllStandardError()).trimmed(),
                 "quorvane-lined: " + configPath() + ":5: [Line north] baud=fast: not a baud rate (1200 ... 115200)");
    }
};

QTEST_GUILESS_MAIN(TestLineService)
#include "tst_lineservice.moc"
