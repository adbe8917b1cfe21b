#include "ServiceConfig.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

// The example of the README, comments and all.
const QByteArray kExample = R"(; the plant's lines
[Broker]
host=127.0.0.1        ; required
port=1884
site=plant
keepalive=10          ; seconds
[Line north]          ; one section per line; the name is the topic level
transport=serial      ; serial | rtu-tcp | modbus-tcp
device=/dev/ttyUSB0   ; serial: device path
baud=19200
parity=E              ; N | E | O
databits=8
stopbits=1
first=1
last=8
metertype=5
cycle=fast            ; period | fast
period=200
commloss=5
history=/var/lib/quorvane/north.db
[Line south-2]
transport=modbus-tcp
host=gateway.plant
)";

std::optional<ServiceConfig> parse(const QByteArray &text, ServiceConfig::Error &error)
{
    return ServiceConfig::parse(text, QStringLiteral("/etc/quorvane/plant.ini"), error);
}

} // namespace

class TestServiceConfig : public QObject {
    Q_OBJECT

private slots:
    void readsEveryKey()
    {
        ServiceConfig::Error error;
        const auto config = parse(kExample, error);
        QVERIFY2(config, qPrintable(error.text()));
        QCOMPARE(config->broker.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(config->broker.port, quint16(1884));
        QCOMPARE(config->broker.site, QStringLiteral("plant"));
        QCOMPARE(config->lines.size(), 2);

        const ServiceConfig::Line &north = config->lines[0];
        QCOMPARE(north.name, QStringLiteral("north"));
        QCOMPARE(north.device, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(north.setup.transport.kind, LineTransportSettings::Kind::Serial);
        QCOMPARE(north.setup.port.baudValue(), 19200);
        QCOMPARE(north.setup.port.parityIndex, 2);
        QCOMPARE(north.setup.port.stopBitsIndex, 0);
        QCOMPARE(north.first, 1);
        QCOMPARE(north.last, 8);
        QCOMPARE(north.meterType, 5);
        QCOMPARE(north.setup.cycle.cycle, CycleSettings::Cycle::Fast);
        QCOMPARE(north.historyPath, QStringLiteral("/var/lib/quorvane/north.db"));
        QCOMPARE(north.commLossAfter, 5);

        // Keys left out keep the defaults; the gateway's port is Modbus TCP's.
        const ServiceConfig::Line &south = config->lines[1];
        QCOMPARE(south.name, QStringLiteral("south-2"));
        QCOMPARE(south.setup.transport.kind, LineTransportSettings::Kind::ModbusTcp);
        QCOMPARE(south.setup.transport.host, QStringLiteral("gateway.plant"));
        QCOMPARE(south.setup.transport.port, LineTransportSettings::kModbusTcpDefaultPort);
        QCOMPARE(south.setup.port.baudValue(), 9600);
        QCOMPARE(south.setup.port.stopBitsIndex, 2);
        QCOMPARE(south.setup.cycle.cycle, CycleSettings::Cycle::Period);
        QVERIFY(south.historyPath.isEmpty());
        QCOMPARE(south.commLossAfter, LineAlarms::DefaultCommLossAfter);
    }

    void passwordFromAFile()
    {
        QTemporaryDir dir;
        QFile secret(dir.filePath(QStringLiteral("secret")));
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("s3cr;et\nsecond line\n");
        secret.close();
        ServiceConfig::Error error;
        const auto config =
            parse("[Broker]\nhost=b\nusername=line\npasswordfile=" + secret.fileName().toUtf8() +
                      "\n[Line a]\ndevice=/dev/ttyS0\n",
                  error);
        QVERIFY2(config, qPrintable(error.text()));
        QCOMPARE(config->broker.username, QStringLiteral("line"));
        QCOMPARE(config->broker.password, QStringLiteral("s3cr;et"));
    }

    // The example installed beside the unit is the README's, with an empty
    // cafile= for a broker without TLS.
    void acceptsTheInstalledExample()
    {
        ServiceConfig::Error error;
        const auto config = ServiceConfig::read(QStringLiteral(QUORVANE_LINED_EXAMPLE), error);
        QVERIFY2(config, qPrintable(error.text()));
        QVERIFY(config->broker.caFile.isEmpty());
        QCOMPARE(config->lines.size(), 1);
        QCOMPARE(config->lines[0].name, QStringLiteral("north"));
        QCOMPARE(config->lines[0].historyPath, QStringLiteral("/var/lib/quorvane/north.db"));
    }

    // Each refusal names the file, the line, the section, the key and the
    // value, and says what is wrong.
    void refusesWhatMeansNothing_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const QByteArray broker = "[Broker]\nhost=b\n";
        const QByteArray line = "[Line a]\ndevice=/dev/ttyS0\n";
        QTest::newRow("baud") << broker + line + "baud=96000\n"
                              << "/etc/quorvane/plant.ini:5: [Line a] baud=96000: not a baud rate (1200 ... 115200)";
        QTest::newRow("parity") << broker + line + "parity=X ; none\n"
                                << "/etc/quorvane/plant.ini:5: [Line a] parity=X: not N, E or O";
        QTest::newRow("address") << broker + line + "last=64\n"
                                 << "/etc/quorvane/plant.ini:5: [Line a] last=64: not a whole number from 0 to 63";
        QTest::newRow("range") << broker + line + "first=9\nlast=3\n"
                               << "/etc/quorvane/plant.ini:3: [Line a] first=9 is above last=3";
        QTest::newRow("transport") << broker + line + "transport=udp\n"
                                   << "/etc/quorvane/plant.ini:5: [Line a] transport=udp: not serial, rtu-tcp or "
                                      "modbus-tcp";
        QTest::newRow("a watched line is none of the service's")
            << broker + line + "transport=broker\n"
            << "/etc/quorvane/plant.ini:5: [Line a] transport=broker: not serial, rtu-tcp or modbus-tcp";
        QTest::newRow("network without host")
            << broker + "[Line a]\ntransport=rtu-tcp\n"
            << "/etc/quorvane/plant.ini:3: [Line a] host= is required for a network transport";
        QTest::newRow("serial without device") << broker + "[Line a]\nbaud=9600\n"
                                               << "/etc/quorvane/plant.ini:3: [Line a] device= is required for "
                                                  "transport=serial";
        QTest::newRow("period") << broker + line + "period=50\n"
                                << "/etc/quorvane/plant.ini:5: [Line a] period=50: not a whole number from 200 to 1000";
        QTest::newRow("comm loss below 0")
            << broker + line + "commloss=-1\n"
            << "/etc/quorvane/plant.ini:5: [Line a] commloss=-1: not a whole number from 0 to 1000";
        QTest::newRow("comm loss not a number")
            << broker + line + "commloss=three\n"
            << "/etc/quorvane/plant.ini:5: [Line a] commloss=three: not a whole number from 0 to 1000";
        QTest::newRow("misspelt key") << broker + line + "baudrate=9600\n"
                                      << "/etc/quorvane/plant.ini:5: [Line a] baudrate=9600: unknown key";
        QTest::newRow("key twice") << broker + line + "device=/dev/ttyS1\n"
                                   << "/etc/quorvane/plant.ini:5: [Line a] device=/dev/ttyS1: given twice";
        QTest::newRow("line name") << broker + "[Line a/b]\ndevice=/dev/ttyS0\n"
                                   << "/etc/quorvane/plant.ini:3: [Line a/b] the line's name is not a topic level "
                                      "(letters, digits, - _ .)";
        QTest::newRow("line twice") << broker + line + line
                                    << "/etc/quorvane/plant.ini:5: [Line a] a line of this name is given twice";
        QTest::newRow("unknown section") << broker + "[Lines]\n"
                                         << "/etc/quorvane/plant.ini:3: [Lines] unknown section (Broker or Line NAME)";
        QTest::newRow("broker port") << "[Broker]\nhost=b\nport=0\n" + line
                                     << "/etc/quorvane/plant.ini:3: [Broker] port=0: not a whole number from 1 to "
                                        "65535";
        QTest::newRow("broker host") << "[Broker]\nport=1883\n" + line
                                     << "/etc/quorvane/plant.ini:1: [Broker] host= is required";
        QTest::newRow("site") << "[Broker]\nhost=b\nsite=plant/#\n" + line
                              << "/etc/quorvane/plant.ini:3: [Broker] site=plant/#: not a topic level (letters, "
                                 "digits, - _ .)";
        QTest::newRow("no broker") << line << "/etc/quorvane/plant.ini: [Broker] section missing";
        QTest::newRow("no line") << broker << "/etc/quorvane/plant.ini: no line: add a section [Line NAME]";
        QTest::newRow("key before a section") << "host=b\n" + broker + line
                                              << "/etc/quorvane/plant.ini:1: not key=value in a section: host=b";
        QTest::newRow("not UTF-8") << QByteArray("[Broker]\nhost=\xff\xfe\n") + line
                                   << "/etc/quorvane/plant.ini: not UTF-8 text";
    }

    void refusesWhatMeansNothing()
    {
        QFETCH(QByteArray, text);
        ServiceConfig::Error error;
        QVERIFY(!parse(text, error));
        QTEST(error.text(), "message");
    }

    void aMissingFileIsNamed()
    {
        ServiceConfig::Error error;
        QVERIFY(!ServiceConfig::read(QStringLiteral("/nonexistent/plant.ini"), error));
        QVERIFY2(error.text().startsWith(QStringLiteral("/nonexistent/plant.ini: cannot be read: ")),
                 qPrintable(error.text()));
    }
};

QTEST_GUILESS_MAIN(TestServiceConfig)
#include "tst_serviceconfig.moc"
