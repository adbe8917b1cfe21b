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
        QVERIFY(line.write(settings));
        QFile stored(settings.path());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), written);
        const LineTransportSettings read = LineTransportSettings::read(settings);
        QCOMPARE(read.kind, kind);
        if (line.networked())
            QCOMPARE(read.target(), line.target());
    }

    // Host and port as typed into the port dialog.
    void entry_data()
    {
        using Kind = LineTransportSettings::Kind;
        using Fault = LineTransportSettings::EntryFault;
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<Fault>("fault");
        const auto row = [](const char *name, Kind kind, const QString &host, const char *port, Fault fault) {
            QTest::newRow(name) << kind << host << QString::fromLatin1(port) << fault;
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
    }
    void entry()
    {
        QFETCH(LineTransportSettings::Kind, kind);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(LineTransportSettings::EntryFault, fault);
        const LineTransportSettings::Entry entry = LineTransportSettings::fromEntry(kind, host, port);
        QCOMPARE(entry.fault, fault);
        if (fault == LineTransportSettings::EntryFault::None && entry.line.networked())
            QCOMPARE(entry.line.target(), host.trimmed() + QLatin1Char(':') + port.trimmed());
    }
};

QTEST_GUILESS_MAIN(TestLineTransportSettings)
#include "tst_linetransportsettings.moc"
