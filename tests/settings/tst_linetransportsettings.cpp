#include "LineTransportSettings.h"
#include "SettingsFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(LineTransportSettings::Kind)

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
        const QString path = dir.filePath(QStringLiteral("qlvmsys.dll"));
        QFile written(path);
        QVERIFY(written.open(QIODevice::WriteOnly));
        written.write(file);
        written.close();

        const LineTransportSettings line = LineTransportSettings::read(SettingsFile(path));
        QCOMPARE(line.kind, kind);
        QCOMPARE(line.host, host);
        QCOMPARE(int(line.port), port);
        QCOMPARE(line.valid, valid);
        QCOMPARE(line.invalidValue, invalidValue);
    }
};

QTEST_GUILESS_MAIN(TestLineTransportSettings)
#include "tst_linetransportsettings.moc"
