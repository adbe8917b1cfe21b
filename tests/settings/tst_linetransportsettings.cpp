#include "LineTransportSettings.h"
#include "SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(LineTransportSettings::Kind)
Q_DECLARE_METATYPE(LineTransportSettings::EntryFault)

namespace {

// A settings file of `text` in `dir`, by its path.
QString settingsFile(const QTemporaryDir &dir, const QByteArray &text)
{
    const QString path = dir.filePath(QStringLiteral("qlvmsys.dll"));
    QFile written(path);
    if (written.open(QIODevice::WriteOnly | QIODevice::Truncate))
        written.write(text);
    return path;
}

} // namespace

class TestLineTransportSettings : public QObject {
    Q_OBJECT

private slots:
    void read_data()
    {
        using Kind = LineTransportSettings::Kind;
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("invalidValue");

        QTest::newRow("no section is the serial port")
            << QByteArray("[CommConfig]\ncomname=1\n") << Kind::Serial << QString() << 0 << true << QString();
        QTest::newRow("serial named") << QByteArray("[Line]\ntransport=serial\n") << Kind::Serial << QString()
                                      << 0 << true << QString();
        QTest::newRow("rtu-tcp without a port is port 4001")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=10.0.0.7\n") << Kind::RtuTcp
            << QStringLiteral("10.0.0.7") << 4001 << true << QString();
        QTest::newRow("modbus-tcp without a port is port 502")
            << QByteArray("[line]\nTRANSPORT=Modbus-TCP\nHost=gw.plant\n") << Kind::ModbusTcp
            << QStringLiteral("gw.plant") << 502 << true << QString();
        QTest::newRow("a port given is taken")
            << QByteArray("[Line]\ntransport=modbus-tcp\nhost=127.0.0.1\ntcpport=1502\n") << Kind::ModbusTcp
            << QStringLiteral("127.0.0.1") << 1502 << true << QString();
        QTest::newRow("an unknown transport is not valid")
            << QByteArray("[Line]\ntransport=rs485\n") << Kind::Serial << QString() << 0 << false
            << QStringLiteral("transport=rs485");
        QTest::newRow("a network transport without a host is not valid")
            << QByteArray("[Line]\ntransport=rtu-tcp\n") << Kind::RtuTcp << QString() << 4001 << false
            << QStringLiteral("host=");
        QTest::newRow("a port outside 1..65535 is not valid")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=h\ntcpport=70000\n") << Kind::RtuTcp
            << QStringLiteral("h") << 4001 << false << QStringLiteral("tcpport=70000");
        QTest::newRow("a port that is no number is not valid")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=h\ntcpport=x1\n") << Kind::RtuTcp
            << QStringLiteral("h") << 4001 << false << QStringLiteral("tcpport=x1");
    }

    // transport=broker: the broker's host and port, the site and the line,
    // with the keys of the other transports left alone.
    void readBroker_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("invalidValue");
        const auto row = [](const char *name, const char *file, const char *target, const char *site,
                            const char *line, bool valid, const char *invalidValue) {
            QTest::newRow(name) << QByteArray(file) << QString::fromLatin1(target)
                                << QString::fromLatin1(site) << QString::fromLatin1(line) << valid
                                << QString::fromLatin1(invalidValue);
        };
        row("without a port and a site: 1883 and plant",
            "[Line]\ntransport=broker\nbroker=mq.plant\nline=north\n", "mq.plant:1883", "plant", "north",
            true, "");
        row("every key, in any case",
            "[LINE]\nTransport=BROKER\nBroker=10.0.0.9\nBrokerPort=8883\nSite=works-2\n"
            "Line=line_1.a\n",
            "10.0.0.9:8883", "works-2", "line_1.a", true, "");
        row("the device server's host and port are not the broker's",
            "[Line]\ntransport=broker\nhost=ns1\ntcpport=x\nbroker=mq\nline=north\n", "mq:1883", "plant",
            "north", true, "");
        row("no broker", "[Line]\ntransport=broker\nhost=ns1\nline=north\n", ":1883", "plant", "north", false,
            "broker=");
        row("no line", "[Line]\ntransport=broker\nbroker=mq\n", "mq:1883", "plant", "", false, "line=");
        row("a line that is two topic levels", "[Line]\ntransport=broker\nbroker=mq\nline=north/2\n",
            "mq:1883", "plant", "north/2", false, "line=north/2");
        row("a wildcard for a site", "[Line]\ntransport=broker\nbroker=mq\nsite=+\nline=north\n", "mq:1883",
            "+", "north", false, "site=+");
        row("an empty site", "[Line]\ntransport=broker\nbroker=mq\nsite=\nline=north\n", "mq:1883", "",
            "north", false, "site=");
        row("a port past 65535, told first", "[Line]\ntransport=broker\nbrokerport=65536\nline=a b\n",
            ":1883", "plant", "a b", false, "brokerport=65536");
    }
    void readBroker()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, target);
        QFETCH(QString, site);
        QFETCH(QString, line);
        QFETCH(bool, valid);
        QFETCH(QString, invalidValue);
        QTemporaryDir dir;
        const LineTransportSettings read = LineTransportSettings::read(SettingsFile(settingsFile(dir, file)));
        QCOMPARE(read.kind, LineTransportSettings::Kind::Broker);
        QVERIFY(read.watched());
        QVERIFY(!read.networked());
        QCOMPARE(read.target(), target);
        QCOMPARE(read.site, site);
        QCOMPARE(read.lineName, line);
        QCOMPARE(read.valid, valid);
        QCOMPARE(read.invalidValue, invalidValue);
    }

    void read()
    {
        QFETCH(QByteArray, file);
        QFETCH(LineTransportSettings::Kind, kind);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, valid);
        QFETCH(QString, invalidValue);
        QTemporaryDir dir;
        const LineTransportSettings line = LineTransportSettings::read(SettingsFile(settingsFile(dir, file)));
        QCOMPARE(line.kind, kind);
        QCOMPARE(line.host, host);
        QCOMPARE(int(line.port), port);
        QCOMPARE(line.valid, valid);
        QCOMPARE(line.invalidValue, invalidValue);
    }

    // What the port dialog confirms is what the line reads back, and the
    // section's other keys stay as they were.
    void write_data()
    {
        using Kind = LineTransportSettings::Kind;
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("a device server joins the cycle and time-out")
            << QByteArray("[Line]\ncycle=fast\ntimeout=80\n") << Kind::RtuTcp << QStringLiteral("10.0.0.7")
            << 4001
            << QByteArray("[Line]\ncycle=fast\ntimeout=80\ntransport=rtu-tcp\nhost=10.0.0.7\ntcpport=4001\n");
        QTest::newRow("a gateway takes the device server's place")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=old\ncycle=fast\n") << Kind::ModbusTcp
            << QStringLiteral("fe80::1") << 1502
            << QByteArray("[Line]\ntransport=modbus-tcp\nhost=fe80::1\ncycle=fast\ntcpport=1502\n");
        QTest::newRow("the serial port leaves the server's host and port")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=ns1\ntcpport=4002\n") << Kind::Serial << QString()
            << 0 << QByteArray("[Line]\ntransport=serial\nhost=ns1\ntcpport=4002\n");
        QTest::newRow("the broker leaves the server's host and port")
            << QByteArray("[Line]\ntransport=rtu-tcp\nhost=ns1\ntcpport=4002\n") << Kind::Broker
            << QStringLiteral("mq.plant") << 1883
            << QByteArray(
                   "[Line]\ntransport=broker\nhost=ns1\ntcpport=4002\nbroker=mq.plant\nbrokerport=1883\n"
                   "site=works\nline=north\n");
        QTest::newRow("a device server leaves the broker's keys")
            << QByteArray("[Line]\ntransport=broker\nbroker=mq\nline=north\n") << Kind::RtuTcp
            << QStringLiteral("ns1") << 4001
            << QByteArray("[Line]\ntransport=rtu-tcp\nbroker=mq\nline=north\nhost=ns1\ntcpport=4001\n");
    }
    void write()
    {
        QFETCH(QByteArray, file);
        QFETCH(LineTransportSettings::Kind, kind);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QByteArray, written);
        QTemporaryDir dir;
        SettingsFile settings(settingsFile(dir, file));
        LineTransportSettings line;
        line.kind = kind;
        line.host = host;
        line.port = quint16(port);
        line.site = QStringLiteral("works");
        line.lineName = QStringLiteral("north");
        QVERIFY(line.write(settings));
        QFile stored(settings.path());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), written);
        const LineTransportSettings read = LineTransportSettings::read(settings);
        QCOMPARE(read.kind, kind);
        QVERIFY(read.valid);
        if (line.networked() || line.watched())
            QCOMPARE(read.target(), line.target());
        if (line.watched()) {
            QCOMPARE(read.site, line.site);
            QCOMPARE(read.lineName, line.lineName);
        }
    }

    // Host, port, site and line as typed into the port dialog.
    void entry_data()
    {
        using Kind = LineTransportSettings::Kind;
        using Fault = LineTransportSettings::EntryFault;
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("line");
        QTest::addColumn<Fault>("fault");
        const auto row = [](const char *name, Kind kind, const QString &host, const char *port, Fault fault,
                            const char *site = "", const char *line = "") {
            QTest::newRow(name) << kind << host << QString::fromLatin1(port) << QString::fromLatin1(site)
                                << QString::fromLatin1(line) << fault;
        };
        row("an address, blanks around", Kind::RtuTcp, " 192.168.1.10 ", " 4001 ", Fault::None);
        row("an IPv6 address", Kind::ModbusTcp, "fe80::1", "65535", Fault::None);
        row("a name with '-' and '_'", Kind::RtuTcp, "nport_5110-a.plant", "1", Fault::None);
        row("the serial port takes neither", Kind::Serial, "", "x", Fault::None);
        row("blanks for a host", Kind::ModbusTcp, "   ", "502", Fault::HostMissing);
        row("a space in the host, told before the port", Kind::RtuTcp, "plant gw", "0", Fault::HostNotValid);
        row("an address past 255", Kind::RtuTcp, "192.168.1.300", "4001", Fault::HostNotValid);
        row("a number for a host", Kind::RtuTcp, "4001", "4001", Fault::HostNotValid);
        row("a host the settings file would cut", Kind::RtuTcp, QString(64, QLatin1Char('a')), "4001",
            Fault::HostNotValid);
        row("no port", Kind::RtuTcp, "gw", "", Fault::PortNotValid);
        row("a signed port", Kind::ModbusTcp, "gw", "+502", Fault::PortNotValid);
        row("a device server takes no site or line", Kind::RtuTcp, "gw", "4001", Fault::None, "a/b", "+");
        row("a broker with site and line, blanks around", Kind::Broker, "mq.plant", "1883", Fault::None,
            " works-2 ", " line_1.a ");
        row("a broker's host is checked as a server's", Kind::Broker, "", "1883", Fault::HostMissing, "plant",
            "north");
        row("a broker's port too, before the site", Kind::Broker, "mq", "0", Fault::PortNotValid, "a b",
            "north");
        row("a site with a space", Kind::Broker, "mq", "1883", Fault::SiteNotValid, "plant 2", "north");
        row("no site", Kind::Broker, "mq", "1883", Fault::SiteNotValid, " ", "north");
        row("no line", Kind::Broker, "mq", "1883", Fault::LineNotValid, "plant", "");
        row("a wildcard for a line", Kind::Broker, "mq", "1883", Fault::LineNotValid, "plant", "#");
        row("a line with a level below", Kind::Broker, "mq", "1883", Fault::LineNotValid, "plant", "north/1");
        row("a line past what the settings file keeps", Kind::Broker, "mq", "1883", Fault::LineNotValid,
            "plant", "nnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnnn");
        row("letters beyond ASCII", Kind::Broker, "mq", "1883", Fault::LineNotValid, "plant", "北区");
    }
    void entry()
    {
        QFETCH(LineTransportSettings::Kind, kind);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, site);
        QFETCH(QString, line);
        QFETCH(LineTransportSettings::EntryFault, fault);
        const LineTransportSettings::Entry entry =
            LineTransportSettings::fromEntry(kind, host, port, site, line);
        QCOMPARE(entry.fault, fault);
        if (fault == LineTransportSettings::EntryFault::None &&
            (entry.line.networked() || entry.line.watched()))
            QCOMPARE(entry.line.target(), host.trimmed() + QLatin1Char(':') + port.trimmed());
        if (fault == LineTransportSettings::EntryFault::None && entry.line.watched()) {
            QCOMPARE(entry.line.site, site.trimmed());
            QCOMPARE(entry.line.lineName, line.trimmed());
        }
    }
};

QTEST_GUILESS_MAIN(TestLineTransportSettings)
#include "tst_linetransportsettings.moc"
