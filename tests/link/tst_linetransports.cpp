#include "LibModbusTcpServer.h"
#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "ModbusFrame.h"
#include "Ser2NetProcess.h"
#include "SettingsFile.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 60000;
// A server that comes back is polled again within this.
constexpr int kResumeMs = 10000;
constexpr int kPollMs = 200;

// The process values (tenths) of meters 1..4; address 5 has no meter.
const QList<std::pair<int, qint16>> kMeterValues{{1, 1234}, {2, -56}, {3, 0}, {4, 7890}};
constexpr int kMissingMeter = 5;

std::optional<ParameterMenu> noMenu(int)
{
    return std::nullopt;
}

// The meters behind a server: the meter simulator behind ser2net for
// rtu-tcp, a libmodbus gateway for modbus-tcp. Started, killed and started
// again on the same port.
class MeterServer {
public:
    MeterServer(const QString &kind, quint16 port)
        : modbusTcp(kind == QLatin1String("modbus-tcp")), port(port)
    {
        for (const auto &[unit, tenths] : kMeterValues)
            gateway.setRegister(unit, Modbus::LiveValueRegister, quint16(tenths));
    }

    bool start()
    {
        if (modbusTcp) {
            QString error;
            if (gateway.start(port, &error))
                return true;
            qWarning() << error;
            return false;
        }
        if (sim.process().state() == QProcess::NotRunning && !startSimulator())
            return false;
        ser2net = std::make_unique<Ser2NetProcess>();
        if (ser2net->start(sim.devicePath(), port))
            return true;
        qWarning() << ser2net->errorText();
        return false;
    }

    // As a crashed or powered-off server: the connection breaks.
    bool kill()
    {
        if (modbusTcp) {
            gateway.stop();
            return true;
        }
        return ser2net->kill();
    }

private:
    bool startSimulator()
    {
        QStringList arguments{QStringLiteral("--addresses"), QStringLiteral("1-4")};
        for (const auto &[address, tenths] : kMeterValues)
            arguments << QStringLiteral("--value") << QStringLiteral("%1=%2").arg(address).arg(tenths);
        if (sim.start(arguments))
            return true;
        qWarning() << sim.errorText();
        return false;
    }

    bool modbusTcp;
    quint16 port;
    LibModbusTcpServer gateway;
    MeterSimProcess sim;
    std::unique_ptr<Ser2NetProcess> ser2net;
};

} // namespace

class TestLineTransports : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    std::unique_ptr<LineUnderTest> rig;

    // Section "Line" of the settings file names the transport and the
    // server; the line reads it when it opens.
    static bool configureLine(const QString &kind, quint16 port)
    {
        SettingsFile settings;
        return settings.WriteSetting(Setting::LineTransport, kind) &&
               settings.WriteSetting(Setting::LineHost, QStringLiteral("127.0.0.1")) &&
               settings.WriteInt(Setting::LineTcpPort, port);
    }

    // A line over meters 1..5 on the transport `kind` to 127.0.0.1:`port`.
    void makeLine(const QString &kind, quint16 port)
    {
        QVERIFY(configureLine(kind, port));
        rig = std::make_unique<LineUnderTest>(QString(), noMenu, 1, kMissingMeter, kPollMs);
    }

    bool storedAgain() const
    {
        for (const auto &[meter, tenths] : kMeterValues) {
            if (!rig->storedSince.contains(meter))
                return false;
        }
        return true;
    }

    static void addKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rtu-tcp through ser2net") << QStringLiteral("rtu-tcp");
        QTest::newRow("modbus-tcp to a libmodbus gateway") << QStringLiteral("modbus-tcp");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("QUORVANE_HOME", home.path().toLocal8Bit());
    }

    void cleanup()
    {
        rig.reset();
        QFile::remove(SettingsFile().path());
    }

    void metersArePolledThroughTheTransport_data() { addKinds(); }

    // Meter 5 never answers: the line counts it missing and keeps the
    // connection.
    void metersArePolledThroughTheTransport()
    {
        QFETCH(QString, kind);
        const quint16 port = Ser2NetProcess::freePort();
        MeterServer meters(kind, port);
        QVERIFY(meters.start());
        makeLine(kind, port);
        QVERIFY(rig && rig->open());
        QSignalSpy reconnects(rig->line.get(), &MeterLine::reconnectScheduled);
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain() && rig->values().health(kMissingMeter).missing >= 2,
                                 kDeadlineMs);
        for (const auto &[meter, tenths] : kMeterValues)
            QCOMPARE(rig->values()[meter], tenths * 0.1);
        QCOMPARE(rig->values()[kMissingMeter], LiveValueTable::NoAnswer);
        QVERIFY(rig->line->isOpen());
        QCOMPARE(rig->line->devicePath(), QStringLiteral("127.0.0.1:%1").arg(port));
        QCOMPARE(reconnects.count(), 0);
        QCOMPARE(rig->statusCount("The communication port is lost!"), 0);
        QVERIFY(rig->recorded.shown.isEmpty());
    }

    void refusedAtStartBacksOffUntilTheServerComesUp_data() { addKinds(); }

    void refusedAtStartBacksOffUntilTheServerComesUp()
    {
        QFETCH(QString, kind);
        const quint16 port = Ser2NetProcess::freePort();
        makeLine(kind, port);
        QVERIFY(rig);
        QList<qint64> attemptsFailedAt;
        QElapsedTimer clock;
        QObject::connect(rig->line.get(), &MeterLine::reconnectScheduled,
                         [&](int) { attemptsFailedAt << clock.elapsed(); });
        QSignalSpy reconnects(rig->line.get(), &MeterLine::reconnectScheduled);
        clock.start();
        QVERIFY(rig->open());
        QVERIFY(!rig->line->isOpen());

        // Each refusal waits twice as long as the one before: no spinning.
        QTRY_VERIFY_WITH_TIMEOUT(reconnects.count() >= 4, kDeadlineMs);
        QList<int> delays;
        for (const QList<QVariant> &scheduled : std::as_const(reconnects))
            delays << scheduled.at(0).toInt();
        QCOMPARE(delays.mid(0, 4), (QList<int>{500, 1000, 2000, 4000}));
        for (int k = 1; k < 4; ++k)
            QVERIFY2(attemptsFailedAt[k] - attemptsFailedAt[k - 1] >= delays[k - 1] * 9 / 10,
                     qPrintable(QString::number(attemptsFailedAt[k] - attemptsFailedAt[k - 1])));
        QVERIFY(rig->line->reopening());
        QCOMPARE(rig->statusCount("The communication port is lost! Reconnecting."), 1);
        QCOMPARE(rig->statusCount("every 2 s"), 0);
        QVERIFY(rig->storedSince.isEmpty());

        MeterServer meters(kind, port);
        QVERIFY(meters.start());
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain(), kDeadlineMs);
        QVERIFY(rig->line->isOpen());
        QVERIFY(!rig->line->reopening());
        QCOMPARE(rig->statusCount("The communication port is open again"), 1);
        QVERIFY(rig->recorded.shown.isEmpty());
    }

    void serverKilledMidRunIsPolledAgainWhenBack_data() { addKinds(); }

    void serverKilledMidRunIsPolledAgainWhenBack()
    {
        QFETCH(QString, kind);
        const quint16 port = Ser2NetProcess::freePort();
        MeterServer meters(kind, port);
        QVERIFY(meters.start());
        makeLine(kind, port);
        QVERIFY(rig && rig->open());
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain(), kDeadlineMs);

        QVERIFY(meters.kill());
        QTRY_VERIFY_WITH_TIMEOUT(rig->statusCount("The communication port is lost!") == 1, kDeadlineMs);
        QVERIFY(!rig->line->isOpen());
        QVERIFY(rig->line->reopening());

        QVERIFY(meters.start());
        rig->storedSince.clear();
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain(), kResumeMs);
        QCOMPARE(rig->statusCount("The communication port is lost!"), 1);
        QCOMPARE(rig->statusCount("The communication port is open again"), 1);
        QVERIFY(rig->recorded.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLineTransports)
#include "tst_linetransports.moc"
