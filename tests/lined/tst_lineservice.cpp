// The line service as a process of its own, between the meter simulator and
// a real mosquitto broker, watched by a subscriber of the test.
#include "BrokerClient.h"
#include "MeterRegister.h"
#include "MeterSimProcess.h"
#include "MosquittoProcess.h"
#include "RecordingPrompts.h"
#include "TcpFaultProxy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

constexpr int kDeadlineMs = 60000;
constexpr int kKeepAliveS = 5;

QString serviceProgram()
{
    return QStringLiteral(QUORVANE_LINED);
}

// Every message the subscriber got, the last one per topic.
struct Subscriber {
    BrokerClient client;
    QMap<QString, QByteArray> last;
    QMap<QString, int> count;

    bool start(quint16 port)
    {
        QObject::connect(&client, &BrokerClient::messageReceived,
                         [this](const QString &topic, const QByteArray &payload, bool) {
                             last[topic] = payload;
                             ++count[topic];
                         });
        BrokerSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = port;
        settings.keepAliveS = kKeepAliveS;
        settings.clientId = QStringLiteral("test-subscriber");
        return client.start(settings) && client.subscribe(QStringLiteral("quorvane/#"), 1);
    }
    QJsonObject json(const QString &topic) const { return QJsonDocument::fromJson(last.value(topic)).object(); }
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

    QByteArray plantConfig(quint16 brokerPort = 0) const
    {
        return "[Broker]\nhost=127.0.0.1\nport=" + QByteArray::number(brokerPort ? brokerPort : broker->port()) +
               "\nsite=plant\nkeepalive=" + QByteArray::number(kKeepAliveS) +
               "\n[Line north]\ntransport=serial\ndevice=" + sim->devicePath().toUtf8() +
               "\nbaud=9600\nparity=N\ndatabits=8\nstopbits=2\nfirst=1\nlast=3\nmetertype=5\ncycle=fast\n"
               "history=" + historyPath().toUtf8() + "\n";
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
        Subscriber watcher;
        QVERIFY(watcher.start(broker->port()));
        QVERIFY(startService());

        const QString prefix = QStringLiteral("quorvane/v1/plant/north/");
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
        QTRY_VERIFY_WITH_TIMEOUT(watcher.json(prefix + "event").value("event") == QStringLiteral("interrupted"),
                                 kDeadlineMs);
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
