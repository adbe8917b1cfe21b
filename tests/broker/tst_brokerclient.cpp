#include "BrokerClient.h"
#include "FullListener.h"
#include "MosquittoProcess.h"
#include "TcpFaultProxy.h"
#include "WillClient.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTcpSocket>
#include <QTimer>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kTimeoutMs = 30000;
// libmosquitto's shortest keepalive; a dead connection is noticed within
// about twice this.
constexpr int kKeepAliveS = 5;
// What the will may take beyond 1.5 × keepalive: the broker's own reading
// of the dead socket, on a loaded machine.
constexpr int kWillSlackMs = 5000;
// A call that returns without waiting for the network takes far less.
constexpr qint64 kNonBlockingMs = 500;
// stop() waits about 2 s at most for the network thread; one that hangs
// waits for a TCP time-out (minutes) or the 8 s reconnect pause.
constexpr qint64 kStopMs = 5000;

const QString kLoopback = QStringLiteral("127.0.0.1");

BrokerSettings settingsFor(quint16 port, const QString &clientId = {})
{
    BrokerSettings settings;
    settings.host = kLoopback;
    settings.port = port;
    settings.keepAliveS = kKeepAliveS;
    settings.clientId = clientId;
    return settings;
}

bool waitConnected(const BrokerClient &client)
{
    return QTest::qWaitFor([&] { return client.isConnected(); }, kTimeoutMs);
}

// CPU time of the whole process, all threads, user and system.
qint64 processCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000 +
           (qint64(usage.ru_utime.tv_usec) + usage.ru_stime.tv_usec) / 1000;
}

struct Received {
    QString topic;
    QByteArray payload;
    bool retained = false;
};

// A second client that subscribes to a filter and keeps what it receives.
class Watcher {
public:
    Watcher()
    {
        QObject::connect(&client, &BrokerClient::messageReceived, &client,
                         [this](const QString &topic, const QByteArray &payload, bool retained) {
                             received.append({topic, payload, retained});
                         });
    }

    bool watch(quint16 port, const QString &filter)
    {
        return client.subscribe(filter, 1) && client.start(settingsFor(port)) && waitConnected(client);
    }

    bool has(const QByteArray &payload) const
    {
        return std::any_of(received.cbegin(), received.cend(),
                           [&](const Received &message) { return message.payload == payload; });
    }

    BrokerClient client;
    QList<Received> received;
};

// Collects a child's standard output until it holds `line`.
bool waitForLine(QProcess &process, const QByteArray &line)
{
    QByteArray seen;
    return QTest::qWaitFor(
        [&] {
            seen += process.readAllStandardOutput();
            return seen.contains(line + '\n');
        },
        kTimeoutMs);
}

QSet<int> idsOf(const QSignalSpy &acknowledged)
{
    QSet<int> ids;
    for (const QList<QVariant> &arguments : acknowledged)
        ids.insert(arguments.at(0).toInt());
    return ids;
}


} // namespace

class TestBrokerClient : public QObject {
    Q_OBJECT

private slots:
    void retainedMessageReachesALaterSubscriberUnchanged_data()
    {
        QTest::addColumn<int>("qos");
        QTest::newRow("QoS 0: taken, never acknowledged") << 0;
        QTest::newRow("QoS 1: acknowledged by PUBACK") << 1;
        QTest::newRow("QoS 2: acknowledged by PUBCOMP") << 2;
    }

    void retainedMessageReachesALaterSubscriberUnchanged()
    {
        QFETCH(int, qos);
        MosquittoProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        BrokerClient publisher;
        QSignalSpy acknowledged(&publisher, &BrokerClient::acknowledged);
        QVERIFY(publisher.start(settingsFor(broker.port())));
        QVERIFY(waitConnected(publisher));

        const QString topic = QStringLiteral("quorvane/line/1/meter/3");
        const QByteArray payload =
            QStringLiteral(R"({"name":"一号线 3 号表 流量","value":12.5,"unit":"m³/h","alarm":"高报警"})")
                .toUtf8();
        int messageId = -1;
        QVERIFY(publisher.publish(topic, payload, qos, true, &messageId));
        QCOMPARE(publisher.unacknowledged(), qos > 0 ? 1 : 0);
        // The broker handles one connection's messages in order: once it has
        // acknowledged this marker, the message above is retained.
        int markerId = -1;
        QVERIFY(publisher.publish(QStringLiteral("quorvane/marker"), "marker", 1, false, &markerId));
        QTRY_VERIFY_WITH_TIMEOUT(idsOf(acknowledged).contains(markerId) &&
                                     (qos == 0 || idsOf(acknowledged).contains(messageId)),
                                 kTimeoutMs);
        const QSet<int> expected = qos > 0 ? QSet<int>{messageId, markerId} : QSet<int>{markerId};
        QCOMPARE(idsOf(acknowledged), expected);
        QCOMPARE(publisher.unacknowledged(), 0);

        Watcher watcher;
        QVERIFY(watcher.watch(broker.port(), QStringLiteral("quorvane/line/#")));
        QTRY_COMPARE_WITH_TIMEOUT(watcher.received.size(), 1, kTimeoutMs);
        QCOMPARE(watcher.received.at(0).topic, topic);
        QCOMPARE(watcher.received.at(0).payload, payload);
        QVERIFY(watcher.received.at(0).retained);
    }

    void willIsPublishedOnlyWhenTheClientDies_data()
    {
        QTest::addColumn<bool>("killed");
        QTest::newRow("process killed: the broker publishes the will") << true;
        QTest::newRow("clean stop: the broker drops the will") << false;
    }

    void willIsPublishedOnlyWhenTheClientDies()
    {
        QFETCH(bool, killed);
        MosquittoProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        const QString topic = QStringLiteral("quorvane/service/status");
        const QString clientId = QStringLiteral("quorvane-will-client");
        Watcher watcher;
        QVERIFY(watcher.watch(broker.port(), topic));

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QStringLiteral(QUORVANE_WILL_CLIENT), {QString::number(broker.port()), topic, clientId});
        QVERIFY2(child.waitForStarted(kTimeoutMs), qPrintable(child.errorString()));
        QVERIFY(waitForLine(child, "ready"));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.has(kOnline), kTimeoutMs);

        if (killed) {
            QElapsedTimer sinceKill;
            sinceKill.start();
            child.kill();
            QVERIFY(child.waitForFinished(kTimeoutMs));
            QTRY_VERIFY_WITH_TIMEOUT(watcher.has(kOffline), kWillClientKeepAliveS * 1500 + kWillSlackMs);
            qInfo("will published %lld ms after the kill", sinceKill.elapsed());
            return;
        }

        child.closeWriteChannel();
        QVERIFY(child.waitForFinished(kTimeoutMs));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        // The broker logs how the client left, and publishes a will right
        // then if it left without DISCONNECT.
        const QByteArray clean = "Client " + clientId.toUtf8() + " disconnected.";
        const QByteArray unclean = "Client " + clientId.toUtf8() + " closed its connection.";
        QTRY_VERIFY_WITH_TIMEOUT(broker.output().contains(clean) || broker.output().contains(unclean),
                                 kTimeoutMs);
        QVERIFY2(broker.output().contains(clean), broker.output().constData());
        Watcher late;
        QVERIFY(late.watch(broker.port(), topic));
        QTRY_COMPARE_WITH_TIMEOUT(late.received.size(), 1, kTimeoutMs);
        QCOMPARE(late.received.at(0).payload, kOnline);
        QVERIFY(!watcher.has(kOffline));
    }

    void brokerKilledAndRestartedIsRejoinedWithItsSubscriptions()
    {
        MosquittoProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        Watcher subscriber;
        QSignalSpy connected(&subscriber.client, &BrokerClient::connected);
        QSignalSpy disconnected(&subscriber.client, &BrokerClient::disconnected);
        QVERIFY(subscriber.watch(broker.port(), QStringLiteral("quorvane/restart/#")));

        QVERIFY(broker.kill());
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, kTimeoutMs);
        QVERIFY(!subscriber.client.isConnected());
        QVERIFY(!subscriber.client.publish(QStringLiteral("quorvane/restart/x"), "lost", 1, false));

        QVERIFY2(broker.restart(), qPrintable(broker.errorText()));
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, kTimeoutMs);
        QCOMPARE(disconnected.count(), 1);

        // The restarted broker knows no subscription: only the client's
        // renewal makes this arrive. Retained, so that it arrives however
        // the renewal and this publication cross.
        BrokerClient publisher;
        QVERIFY(publisher.start(settingsFor(broker.port())));
        QVERIFY(waitConnected(publisher));
        QVERIFY(publisher.publish(QStringLiteral("quorvane/restart/after"), "after restart", 1, true));
        QTRY_VERIFY_WITH_TIMEOUT(subscriber.has("after restart"), kTimeoutMs);
    }

    void cutConnectionIsOneLossHoweverManyAttemptsFail()
    {
        MosquittoProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        TcpFaultProxy proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost, broker.port()));
        BrokerClient client;
        QSignalSpy connected(&client, &BrokerClient::connected);
        QSignalSpy disconnected(&client, &BrokerClient::disconnected);
        QSignalSpy acknowledged(&client, &BrokerClient::acknowledged);
        QVERIFY(client.start(settingsFor(proxy.port())));
        QVERIFY(waitConnected(client));

        proxy.cut();
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, kTimeoutMs);
        // Each attempt gets through TCP and is closed at once: libmosquitto
        // reports each one as a disconnection of its own.
        QTRY_VERIFY_WITH_TIMEOUT(proxy.turnedAway() >= 2, kTimeoutMs);
        QCOMPARE(disconnected.count(), 1);
        QCOMPARE(connected.count(), 1);

        proxy.pass();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, kTimeoutMs);
        QCOMPARE(disconnected.count(), 1);
        int messageId = -1;
        QVERIFY(client.publish(QStringLiteral("quorvane/cut"), "after the cut", 1, false, &messageId));
        QTRY_VERIFY_WITH_TIMEOUT(idsOf(acknowledged).contains(messageId), kTimeoutMs);
    }

    // A broker that wants a user refuses every attempt: told once with its
    // code, not at each attempt, and tried again until it lets the client in.
    void refusalIsToldOnceAndTriedAgain()
    {
        MosquittoProcess broker;
        broker.setAnonymous(false);
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        BrokerClient client;
        QSignalSpy connected(&client, &BrokerClient::connected);
        QSignalSpy refused(&client, &BrokerClient::refused);
        QVERIFY(client.start(settingsFor(broker.port())));
        QTRY_VERIFY_WITH_TIMEOUT(broker.output().count("not authorised") >= 2, kTimeoutMs);
        QCOMPARE(refused.count(), 1);
        QCOMPARE(refused.first().first().toInt(), 5);
        QVERIFY(!BrokerClient::refusalText(5).isEmpty());
        QCOMPARE(connected.count(), 0);

        broker.setAnonymous(true);
        QVERIFY2(broker.restart(), qPrintable(broker.errorText()));
        QVERIFY(waitConnected(client));
        QCOMPARE(refused.count(), 1);
    }

    void absentBrokerIsWaitedForWithoutBlockingOrSpinning()
    {
        const quint16 port = MosquittoProcess::freePort();
        BrokerClient client;
        BrokerClient stopped;
        QSignalSpy connected(&client, &BrokerClient::connected);
        QElapsedTimer call;
        call.start();
        QVERIFY(client.start(settingsFor(port)));
        qInfo("start() with no broker took %lld ms", call.elapsed());
        QVERIFY(!client.failure());
        QVERIFY(stopped.start(settingsFor(port)));

        // A timer on the client's thread keeps ticking through the first
        // reconnect attempts (after 1 and 2 s), and the process stays idle.
        QTimer ticker;
        ticker.setInterval(50);
        int ticks = 0;
        qint64 longestGapMs = 0;
        QElapsedTimer sinceTick;
        connect(&ticker, &QTimer::timeout, this, [&] {
            ++ticks;
            longestGapMs = std::max(longestGapMs, sinceTick.restart());
        });
        const qint64 cpuBefore = processCpuMs();
        QElapsedTimer wall;
        wall.start();
        sinceTick.start();
        ticker.start();
        QVERIFY(QTest::qWaitFor([&] { return ticks >= 70; }, kTimeoutMs));
        const qint64 cpuMs = processCpuMs() - cpuBefore;
        const qint64 wallMs = wall.elapsed();
        ticker.stop();
        qInfo("waiting for the broker: %lld ms CPU in %lld ms, longest tick gap %lld ms", cpuMs, wallMs,
              longestGapMs);
        QVERIFY2(cpuMs * 4 < wallMs, "the process is busy while it waits for the broker");
        QVERIFY2(longestGapMs < 1000, "the client's thread was held up");
        QCOMPARE(connected.count(), 0);
        QVERIFY(!client.isConnected());
        QVERIFY(!client.publish(QStringLiteral("quorvane/absent"), "nobody", 0, false));

        call.restart();
        stopped.stop();
        qInfo("stop() with no broker took %lld ms", call.elapsed());
        QVERIFY(call.elapsed() < kStopMs);

        MosquittoProcess broker;
        QVERIFY2(broker.start(port), qPrintable(broker.errorText()));
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 1, kTimeoutMs);
        QVERIFY(client.isConnected());
    }

    void hangingConnectLeavesTheCallerFree()
    {
        FullListener listener;
        const quint16 port = listener.port();
        QVERIFY(port != 0);
        BrokerClient client;
        QElapsedTimer call;
        call.start();
        QVERIFY(client.start(settingsFor(port)));
        qInfo("start() towards an unanswered SYN took %lld ms", call.elapsed());
        QVERIFY(call.elapsed() < kNonBlockingMs);
        QVERIFY(!client.publish(QStringLiteral("quorvane/hanging"), "nobody", 1, false));

        // The network thread is still in its connect: stop() leaves it to
        // end by itself.
        call.restart();
        client.stop();
        qInfo("stop() during the connect took %lld ms", call.elapsed());
        QVERIFY(call.elapsed() < kStopMs);
    }

    void blackHoleBoundsWhatWaitsAndIsSurvived()
    {
        MosquittoProcess broker;
        QVERIFY2(broker.start(), qPrintable(broker.errorText()));
        Watcher watcher;
        QVERIFY(watcher.watch(broker.port(), QStringLiteral("quorvane/hole/#")));
        TcpFaultProxy proxy;
        QVERIFY(proxy.listen(QHostAddress::LocalHost, broker.port()));
        BrokerClient client;
        client.setMaxInFlight(5);
        QSignalSpy connected(&client, &BrokerClient::connected);
        QSignalSpy disconnected(&client, &BrokerClient::disconnected);
        QSignalSpy acknowledged(&client, &BrokerClient::acknowledged);
        QVERIFY(client.start(settingsFor(proxy.port())));
        QVERIFY(waitConnected(client));

        proxy.blackHole();
        QElapsedTimer sinceHole;
        sinceHole.start();
        QSet<int> sent;
        qint64 slowestMs = 0;
        auto timedPublish = [&](const QByteArray &payload, int qos) {
            QElapsedTimer call;
            call.start();
            int messageId = -1;
            const bool taken = client.publish(QStringLiteral("quorvane/hole/") + QString::fromLatin1(payload),
                                              payload, qos, false, &messageId);
            slowestMs = std::max(slowestMs, call.elapsed());
            if (taken && qos > 0)
                sent.insert(messageId);
            return taken;
        };
        for (const QByteArray payload : {"m1", "m2", "m3", "m4", "m5"})
            QVERIFY(timedPublish(payload, 1));
        // Still connected as far as the client knows: the bound refuses this.
        QVERIFY(client.isConnected());
        QVERIFY(!timedPublish("m6", 1));
        QCOMPARE(client.unacknowledged(), 5);
        QVERIFY(timedPublish("q0", 0));
        qInfo("slowest publish() into the black hole: %lld ms", slowestMs);
        QVERIFY(slowestMs < kNonBlockingMs);

        // The keepalive finds the connection dead: its ping goes unanswered.
        QTRY_COMPARE_WITH_TIMEOUT(disconnected.count(), 1, kTimeoutMs);
        qInfo("loss noticed %lld ms into the black hole", sinceHole.elapsed());
        QVERIFY(sinceHole.elapsed() < 3 * kKeepAliveS * 1000);
        QVERIFY(!client.publish(QStringLiteral("quorvane/hole/m7"), "m7", 1, false));

        proxy.pass();
        QTRY_COMPARE_WITH_TIMEOUT(connected.count(), 2, kTimeoutMs);
        // libmosquitto sends the five again on the new connection.
        QTRY_COMPARE_WITH_TIMEOUT(client.unacknowledged(), 0, kTimeoutMs);
        QCOMPARE(idsOf(acknowledged), sent);
        QCOMPARE(disconnected.count(), 1);
        QVERIFY(timedPublish("after", 1));
        QTRY_VERIFY_WITH_TIMEOUT(watcher.has("after"), kTimeoutMs);
        for (const QByteArray payload : {"m1", "m2", "m3", "m4", "m5"})
            QVERIFY2(watcher.has(payload), payload.constData());

        proxy.blackHole();
        QElapsedTimer call;
        call.start();
        client.stop();
        qInfo("stop() into the black hole took %lld ms", call.elapsed());
        QVERIFY(call.elapsed() < kStopMs);
    }

    void refusedSettingsFailStart_data()
    {
        QTest::addColumn<QString>("caFile");
        QTest::addColumn<int>("keepAliveS");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("willTopic");
        QTest::addColumn<BrokerFailure::Reason>("reason");
        QTest::addColumn<QString>("detail");
        const QString missing = QStringLiteral("/nonexistent/quorvane/ca.pem");
        QTest::newRow("CA file that does not exist")
            << missing << 10 << kLoopback << QString() << BrokerFailure::Reason::CaFileUnusable << missing;
        QTest::newRow("keepalive under libmosquitto's 5 s")
            << QString() << 2 << kLoopback << QString() << BrokerFailure::Reason::KeepAliveOutOfRange
            << QStringLiteral("2");
        QTest::newRow("no host") << QString() << 10 << QString() << QString()
                                 << BrokerFailure::Reason::NoAddress << QStringLiteral(":1883");
        QTest::newRow("will on a wildcard topic")
            << QString() << 10 << kLoopback << QStringLiteral("quorvane/+/status")
            << BrokerFailure::Reason::WillRefused << QStringLiteral("quorvane/+/status");
    }

    void refusedSettingsFailStart()
    {
        QFETCH(QString, caFile);
        QFETCH(int, keepAliveS);
        QFETCH(QString, host);
        QFETCH(QString, willTopic);
        QFETCH(BrokerFailure::Reason, reason);
        QFETCH(QString, detail);
        BrokerSettings settings;
        settings.host = host;
        settings.caFile = caFile;
        settings.keepAliveS = keepAliveS;
        BrokerClient client;
        if (!willTopic.isEmpty())
            client.setWill(willTopic, kOffline, 1, true);
        QVERIFY(!client.start(settings));
        QCOMPARE(client.failure().reason, reason);
        QCOMPARE(client.failure().detail, detail);
        QVERIFY(!client.isConnected());
        QVERIFY(!client.publish(QStringLiteral("quorvane/refused"), "x", 0, false));
    }
};

QTEST_GUILESS_MAIN(TestBrokerClient)
#include "tst_brokerclient.moc"
