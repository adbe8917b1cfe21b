#include "FrameBytes.h"
#include "ModbusFrame.h"
#include "SimOptions.h"
#include "SimulatedMeters.h"

#include <QTest>

namespace {

// The check bytes of the frame with the last one inverted.
QByteArray withWrongCrc(const QByteArray &frame)
{
    QByteArray wrong = withCrc(frame);
    wrong[wrong.size() - 1] = char(~wrong.back());
    return wrong;
}

QByteArray request(int address, int function, int reg, int value)
{
    const ModbusRequest frame = BuildRequest(address, function, reg, value);
    return QByteArray(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
}

SimulatedMeters::Parameters tenfold()
{
    SimulatedMeters::Parameters values{};
    for (int k = 0; k < SimulatedMeters::ParameterCount; ++k)
        values[std::size_t(k)] = std::int16_t(10 * k);
    return values;
}

} // namespace

class TestSimulatedMeters : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void writeChangesOnlyThatMeter();
    void processValuesDifferByMeterAndVaryInTime();
    void requestsAreFoundInNoise();
    void addressLists_data();
    void addressLists();
};

void TestSimulatedMeters::answers_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("parameter 5 of meter 5") << request(5, 3, 10, 0) << withCrc(hex("0503020032"));
    QTest::newRow("last parameter, register 98") << request(1, 3, 98, 0) << withCrc(hex("01030201ea"));
    QTest::newRow("a write is answered by its copy") << request(2, 6, 4, -1) << request(2, 6, 4, -1);
    QTest::newRow("odd register is no register") << request(1, 3, 7, 0) << withCrc(hex("018302"));
    QTest::newRow("register 100 is no register") << request(1, 3, 100, 0) << withCrc(hex("018302"));
    QTest::newRow("register 200 cannot be written") << request(1, 6, 200, 5) << withCrc(hex("018602"));
    QTest::newRow("two registers at once are refused")
        << withCrc(hex("0103000a0002")) << withCrc(hex("018303"));
    QTest::newRow("other functions are refused") << withCrc(hex("0104000a0001")) << withCrc(hex("018401"));
    QTest::newRow("address outside the range is silent") << request(6, 3, 200, 0) << QByteArray();
    QTest::newRow("silent meter is silent") << request(3, 3, 10, 0) << QByteArray();
    QTest::newRow("meter 4 answers with a wrong CRC")
        << request(4, 3, 10, 0) << withWrongCrc(hex("0403020032"));
}

void TestSimulatedMeters::answers()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    SimulatedMeters meters(1, 5);
    meters.setParameterDefaults(tenfold());
    meters.setSilent({3});
    meters.setBadCrc({4});
    QCOMPARE(meters.answer(request, 0.0).toHex(), answer.toHex());
}

void TestSimulatedMeters::writeChangesOnlyThatMeter()
{
    SimulatedMeters meters(0, 63);
    meters.setParameterDefaults(tenfold());
    meters.answer(request(0, 6, 20, -300), 0.0);
    QCOMPARE(meters.parameter(0, 10), -300);
    QCOMPARE(meters.parameter(1, 10), 100);
    QCOMPARE(meters.answer(request(0, 3, 20, 0), 0.0), withCrc(hex("000302fed4")));
}

void TestSimulatedMeters::processValuesDifferByMeterAndVaryInTime()
{
    bool negative = false;
    for (int address = 0; address < 64; ++address) {
        const std::int16_t now = SimulatedMeters::processValue(address, 10.0);
        QVERIFY(now != SimulatedMeters::processValue(address, 20.0));
        QVERIFY(std::abs(now) < 1000);
        negative = negative || now < 0;
        if (address > 0)
            QVERIFY(now != SimulatedMeters::processValue(address - 1, 10.0));
    }
    QVERIFY(negative);
}

void TestSimulatedMeters::requestsAreFoundInNoise()
{
    const QByteArray first = request(1, 3, 200, 0);
    const QByteArray second = request(2, 6, 8, 9);
    QByteArray pending = hex("ff0103") + first + hex("00") + second + second.left(5);
    const QList<QByteArray> found = SimulatedMeters::takeRequests(pending);
    QCOMPARE(found, (QList<QByteArray>{first, second}));
    QCOMPARE(pending, second.left(5));
}

void TestSimulatedMeters::addressLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<int>>("addresses");
    QTest::newRow("range") << "1-5" << true << QList<int>{1, 2, 3, 4, 5};
    QTest::newRow("single address") << "0" << true << QList<int>{0};
    QTest::newRow("list with a range") << "2,7-8" << true << QList<int>{2, 7, 8};
    QTest::newRow("empty") << "" << true << QList<int>{};
    QTest::newRow("reversed range") << "5-1" << false << QList<int>{};
    QTest::newRow("beyond one byte") << "250-300" << false << QList<int>{};
    QTest::newRow("not a number") << "x" << false << QList<int>{};
}

void TestSimulatedMeters::addressLists()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QList<int>, addresses);
    const auto parsed = SimOptions::parseAddresses(text);
    QCOMPARE(parsed.has_value(), valid);
    if (valid) {
        QList<int> sorted = parsed->values();
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(sorted, addresses);
    }
}

QTEST_GUILESS_MAIN(TestSimulatedMeters)
#include "tst_simulatedmeters.moc"
