#include "FrameBytes.h"
#include "ModbusFrame.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QTest>

namespace {

// The CRC register computed bit by bit, as a reference for the tables.
std::uint16_t bitwiseCrc(const QByteArray &data)
{
    std::uint16_t crc = 0xFFFF;
    for (char c : data) {
        crc ^= static_cast<std::uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

} // namespace

class TestModbusFrame : public QObject {
    Q_OBJECT

    QRandomGenerator random;

private slots:
    // The random cases differ from run to run; QUORVANE_TEST_SEED=<seed>
    // repeats the run whose seed was printed.
    void initTestCase()
    {
        const QByteArray given = qgetenv("QUORVANE_TEST_SEED");
        bool ok = false;
        const quint32 seed =
            given.isEmpty() ? quint32(QDateTime::currentMSecsSinceEpoch()) : given.toUInt(&ok);
        QVERIFY2(given.isEmpty() || ok, "QUORVANE_TEST_SEED is no number");
        random.seed(seed);
        qInfo("random seed %u (QUORVANE_TEST_SEED=%u repeats it)", seed, seed);
    }

    void crcCheckValue()
    {
        const QByteArray digits("123456789");
        const auto crc = Crc16(reinterpret_cast<const std::uint8_t *>(digits.constData()), 9);
        QCOMPARE(crc[0], 0x37);
        QCOMPARE(crc[1], 0x4B);
        const auto empty = Crc16(nullptr, 0);
        QCOMPARE(empty[0], 0xFF);
        QCOMPARE(empty[1], 0xFF);
    }

    void tablesAgreeWithBitwiseCrc()
    {
        for (int round = 0; round < 5000; ++round) {
            QByteArray data(int(random.bounded(0, 300)), Qt::Uninitialized);
            for (char &c : data)
                c = char(random.bounded(256));
            const std::uint16_t reference = bitwiseCrc(data);
            const auto crc =
                Crc16(reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
            QCOMPARE(crc[0], reference & 0xFF);
            QCOMPARE(crc[1], reference >> 8);
        }
    }

    void requests_data()
    {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("read register 200 of meter 1") << 1 << 3 << 200 << 0 << QByteArray("010300c8000105f4");
        QTest::newRow("write 100 into register 4 of meter 1")
            << 1 << 6 << 4 << 100 << QByteArray("010600040064c9e0");
        QTest::newRow("read parameter 5 of meter 5") << 5 << 3 << 10 << 0 << QByteArray("0503000a0001a58c");
        QTest::newRow("a read ignores the value") << 1 << 3 << 200 << 4660 << QByteArray("010300c8000105f4");
        QTest::newRow("register keeps its low 8 bits")
            << 1 << 3 << 0x1C8 << 0 << QByteArray("010300c8000105f4");
        QTest::newRow("address keeps its low 8 bits")
            << 0x101 << 3 << 200 << 0 << QByteArray("010300c8000105f4");
    }

    void requests()
    {
        QFETCH(int, address);
        QFETCH(int, function);
        QFETCH(int, reg);
        QFETCH(int, value);
        QFETCH(QByteArray, wire);
        QCOMPARE(bytesOf(BuildRequest(address, function, reg, value)).toHex(), wire);
    }

    void writeValuesAreSentAsTheirLow16Bits()
    {
        const ModbusRequest minusOne = BuildRequest(7, 6, 8, -1);
        QCOMPARE(minusOne[4], 0xFF);
        QCOMPARE(minusOne[5], 0xFF);
        const ModbusRequest wide = BuildRequest(7, 6, 8, 70000);
        QCOMPARE((wide[4] << 8) | wide[5], 70000 & 0xFFFF);
        const auto crc = Crc16(wide.data(), 6);
        QCOMPARE(wide[6], crc[0]);
        QCOMPARE(wide[7], crc[1]);
    }

    void responses_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<bool>("crcValid");
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("signedValue");
        QTest::newRow("answer of meter 1 with 300") << QByteArray("010302012cb809") << true << 1 << 3 << 300;
        QTest::newRow("wrong byte count with a right CRC is accepted")
            << QByteArray("0103050137") + crcHex("0103050137") << true << 1 << 3 << 311;
        QTest::newRow("negative value")
            << QByteArray("070302ff83") + crcHex("070302ff83") << true << 7 << 3 << -125;
        QTest::newRow("corrupted byte fails the CRC")
            << QByteArray("010302012db809") << false << 1 << 3 << 301;
        QTest::newRow("write echo never passes") << QByteArray("010600040064c9e0") << false << 1 << 6 << 100;
        QTest::newRow("exception answer never passes") << QByteArray("0183028c01") << false << 1 << 0x83 << 0;
        QTest::newRow("empty buffer") << QByteArray() << false << 0 << 0 << 0;
    }

    void responses()
    {
        QFETCH(QByteArray, wire);
        QFETCH(bool, crcValid);
        QFETCH(int, address);
        QFETCH(int, function);
        QFETCH(int, signedValue);
        const ParsedResponse r = ParseResponse(bufferOf(QByteArray::fromHex(wire)));
        QCOMPARE(r.crcValid, crcValid);
        QCOMPARE(r.address, address);
        QCOMPARE(r.function, function);
        if (crcValid)
            QCOMPARE(int(std::int16_t(r.value)), signedValue);
    }

private:
    static QByteArray crcHex(const QByteArray &hex)
    {
        const QByteArray raw = QByteArray::fromHex(hex);
        const auto crc =
            Crc16(reinterpret_cast<const std::uint8_t *>(raw.constData()), std::size_t(raw.size()));
        return QByteArray(reinterpret_cast<const char *>(crc.data()), 2).toHex();
    }
};

QTEST_GUILESS_MAIN(TestModbusFrame)
#include "tst_modbusframe.moc"
