#include "FrameBytes.h"
#include "FullListener.h"
#include "LibModbusTcpServer.h"
#include "MeterSimProcess.h"
#include "ModbusFrame.h"
#include "ModbusTcpTransport.h"
#include "RtuTcpTransport.h"
#include "Ser2NetProcess.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

namespace {

// Generous: the machine runs several builds at once.
constexpr int kTimeoutMs = 20000;
constexpr qsizetype kReadAnswerSize = 7;
const QString kLoopback = QStringLiteral("127.0.0.1");

// The process values (tenths) the meters behind the servers hold.
const QList<std::pair<int, qint16>> kMeterValues{{1, 1234}, {2, -56}, {3, 0}, {4, 7890}};

QByteArray readRequest(int address)
{
    return bytesOf(BuildRequest(address, Modbus::ReadHolding, Modbus::LiveValueRegister, 0));
}

// The RTU answer of a meter to a read of one register.
QByteArray readAnswer(int address, qint16 value)
{
    QByteArray frame;
    frame.append(char(address));
    frame.append(char(Modbus::ReadHolding));
    frame.append(char(2));
    frame.append(char(quint16(value) >> 8));
    frame.append(char(quint16(value) & 0xFF));
    return withCrc(frame);
}

// An MBAP header and PDU as a gateway sends them.
QByteArray adu(quint16 transaction, const QByteArray &unitAndPdu, quint16 protocol = 0)
{
    QByteArray bytes;
    for (const quint16 word : {transaction, protocol, quint16(unitAndPdu.size())}) {
        bytes.append(char(word >> 8));
        bytes.append(char(word & 0xFF));
    }
    return bytes + unitAndPdu;
}

// The gateway's answer to `request` (an ADU), with the RTU answer's unit id
// and PDU; `transactionOffset` gives it another request's id.
QByteArray aduAnswer(const QByteArray &request, const QByteArray &rtuAnswer, int transactionOffset = 0)
{
    const auto transaction = quint16(((quint8(request[0]) << 8) | quint8(request[1])) + transactionOffset);
    return adu(transaction, rtuAnswer.chopped(2));
}

// Gathers what the transport hands on until `size` bytes are there.
QByteArray collect(Transport &transport, qsizetype size)
{
    QByteArray got;
    (void)QTest::qWaitFor(
        [&] {
            got += transport.takeBytes();
            return got.size() >= size;
        },
        kTimeoutMs);
    return got;
}

// Opens the transport and waits until it is connected.
bool connectTransport(Transport &transport)
{
    QSignalSpy connected(&transport, &Transport::connected);
    return transport.open() && (connected.count() > 0 || connected.wait(kTimeoutMs)) && transport.isOpen();
}

// Reads register 200 of `address` through the transport: the answer as
// parsed, or an address of -1 when none came whole.
ParsedResponse ask(Transport &transport, int address)
{
    transport.discardInput();
    if (!transport.writeFrame(readRequest(address)))
        return {-1};
    const QByteArray answer = collect(transport, kReadAnswerSize);
    if (answer.size() != kReadAnswerSize)
        return {-1};
    return ParseResponse(bufferOf(answer));
}

std::unique_ptr<TcpTransport> makeTransport(const QString &kind, quint16 port)
{
    if (kind == QLatin1String("modbus-tcp"))
        return std::make_unique<ModbusTcpTransport>(kLoopback, port);
    return std::make_unique<RtuTcpTransport>(kLoopback, port);
}

// A device server or gateway whose every byte the test writes: takes
// connections on loopback, keeps what the last client sent, and sends what
// the test tells it to, when the test tells it to.
class ScriptedPeer : public QObject {
public:
    ScriptedPeer()
    {
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++accepted;
                client = socket;
                connect(socket, &QTcpSocket::readyRead, this,
                        [this, socket] { received += socket->readAll(); });
            }
        });
    }

    bool listen(quint16 port = 0) { return server.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return server.serverPort(); }
    int connections() const { return accepted; }

    // The next `size` bytes the client sent, once they are there.
    QByteArray take(qsizetype size)
    {
        if (!QTest::qWaitFor([&] { return received.size() >= size; }, kTimeoutMs))
            return {};
        const QByteArray bytes = received.left(size);
        received.remove(0, size);
        return bytes;
    }

    bool send(const QByteArray &bytes)
    {
        return client && client->write(bytes) == bytes.size() && client->flush();
    }

private:
    QTcpServer server;
    QPointer<QTcpSocket> client;
    QByteArray received;
    int accepted = 0;
};


} // namespace

class TestTcpTransports : public QObject {
    Q_OBJECT

    // Meters 1..4 of the simulator behind ser2net on a free port.
    bool startMetersBehindSer2net(MeterSimProcess &sim, Ser2NetProcess &ser2net)
    {
        QStringList arguments{QStringLiteral("--addresses"), QStringLiteral("1-4")};
        for (const auto &[address, tenths] : kMeterValues)
            arguments << QStringLiteral("--value") << QStringLiteral("%1=%2").arg(address).arg(tenths);
        if (!sim.start(arguments)) {
            qWarning() << sim.errorText();
            return false;
        }
        if (!ser2net.start(sim.devicePath(), Ser2NetProcess::freePort())) {
            qWarning() << ser2net.errorText();
            return false;
        }
        return true;
    }

    static void addTransportKinds()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("rtu-tcp") << QStringLiteral("rtu-tcp");
        QTest::newRow("modbus-tcp") << QStringLiteral("modbus-tcp");
    }

    static void verifyMeters(Transport &transport)
    {
        for (const auto &[address, tenths] : kMeterValues) {
            const ParsedResponse answer = ask(transport, address);
            QCOMPARE(answer.address, address);
            QCOMPARE(answer.function, int(Modbus::ReadHolding));
            QVERIFY(answer.crcValid);
            QCOMPARE(qint16(answer.value), tenths);
        }
    }

private slots:
    void rtuTcpReadsMetersThroughSer2net()
    {
        MeterSimProcess sim;
        Ser2NetProcess ser2net;
        QVERIFY(startMetersBehindSer2net(sim, ser2net));
        RtuTcpTransport transport(kLoopback, ser2net.port());
        QVERIFY(connectTransport(transport));
        QVERIFY(transport.configure(LineSettings{}));
        QCOMPARE(transport.target(), QStringLiteral("127.0.0.1:%1").arg(ser2net.port()));
        verifyMeters(transport);
        QVERIFY(sim.waitForRequests(kMeterValues.size()));
    }

    void rtuTcpLateAnswerIsDiscardedBeforeTheNextRequest()
    {
        MeterSimProcess sim;
        Ser2NetProcess ser2net;
        QVERIFY(startMetersBehindSer2net(sim, ser2net));
        RtuTcpTransport transport(kLoopback, ser2net.port());
        QVERIFY(connectTransport(transport));
        // Meter 1's answer arrives but is never taken: stale when meter 2 is
        // asked.
        QSignalSpy arrived(&transport, &Transport::bytesArrived);
        QVERIFY(transport.writeFrame(readRequest(1)));
        QVERIFY(arrived.wait(kTimeoutMs));
        QVERIFY(QTest::qWaitFor([&] { return sim.processValues().size() == 1; }, kTimeoutMs));
        transport.discardInput();
        QVERIFY(!transport.inputPending());
        QVERIFY(transport.writeFrame(readRequest(2)));
        QCOMPARE(collect(transport, kReadAnswerSize), readAnswer(2, -56));
    }

    void rtuTcpAnswerInTwoSegmentsIsWholeAfterBoth()
    {
        ScriptedPeer server;
        QVERIFY(server.listen());
        RtuTcpTransport transport(kLoopback, server.port());
        QVERIFY(connectTransport(transport));
        // Bytes from before the request are thrown away.
        QSignalSpy arrived(&transport, &Transport::bytesArrived);
        QVERIFY(server.send(hex("55aa55")));
        QVERIFY(arrived.wait(kTimeoutMs));
        transport.discardInput();
        QVERIFY(transport.writeFrame(readRequest(9)));
        QCOMPARE(server.take(8), readRequest(9));
        const QByteArray answer = readAnswer(9, 321);
        arrived.clear();
        QVERIFY(server.send(answer.left(3)));
        QVERIFY(arrived.wait(kTimeoutMs));
        QCOMPARE(transport.takeBytes(), answer.left(3));
        QVERIFY(server.send(answer.mid(3)));
        QCOMPARE(collect(transport, answer.size() - 3), answer.mid(3));
    }

    void refusedAtStart_data() { addTransportKinds(); }

    // Nothing listens: lost once, no retry of its own, and a later open()
    // connects.
    void refusedAtStart()
    {
        QFETCH(QString, kind);
        const quint16 port = Ser2NetProcess::freePort();
        const auto transport = makeTransport(kind, port);
        QSignalSpy connected(transport.get(), &Transport::connected);
        QSignalSpy lost(transport.get(), &Transport::lost);
        QVERIFY(transport->open());
        QVERIFY(lost.wait(kTimeoutMs));
        QCOMPARE(transport->failure().reason, PortFailure::Reason::ConnectionRefused);
        QCOMPARE(transport->failure().device, QStringLiteral("127.0.0.1:%1").arg(port));
        QVERIFY(!transport->isOpen());
        QVERIFY(!transport->writeFrame(readRequest(1)));
        QVERIFY(!transport->configure(LineSettings{}));
        QCoreApplication::processEvents();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(connected.count(), 0);

        // It does not retry by itself: a server that comes up later sees
        // exactly the one connection of the next open().
        ScriptedPeer server;
        QVERIFY(server.listen(port));
        QVERIFY(connectTransport(*transport));
        QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 1, kTimeoutMs);
        QCOMPARE(transport->failure().reason, PortFailure::Reason::None);
        QCOMPARE(lost.count(), 1);
    }

    void unansweredConnectTimesOut_data() { addTransportKinds(); }

    // The server never completes the connection: lost once at the time-out.
    void unansweredConnectTimesOut()
    {
        QFETCH(QString, kind);
        FullListener listener;
        const quint16 port = listener.port();
        QVERIFY(port != 0);
        const auto transport = makeTransport(kind, port);
        transport->setConnectTimeout(300);
        QSignalSpy connected(transport.get(), &Transport::connected);
        QSignalSpy lost(transport.get(), &Transport::lost);
        QVERIFY(transport->open());
        QVERIFY(lost.wait(kTimeoutMs));
        QCOMPARE(transport->failure().reason, PortFailure::Reason::ConnectionTimedOut);
        QVERIFY(!transport->isOpen());
        QCoreApplication::processEvents();
        QCOMPARE(lost.count(), 1);
        QCOMPARE(connected.count(), 0);
    }

    void rtuTcpServerKilledIsLostOnceAndReopens()
    {
        MeterSimProcess sim;
        Ser2NetProcess ser2net;
        QVERIFY(startMetersBehindSer2net(sim, ser2net));
        const quint16 port = ser2net.port();
        RtuTcpTransport transport(kLoopback, port);
        QVERIFY(connectTransport(transport));
        QCOMPARE(ask(transport, 1).address, 1);

        QSignalSpy lost(&transport, &Transport::lost);
        QVERIFY(ser2net.kill());
        QVERIFY(lost.wait(kTimeoutMs));
        QCOMPARE(transport.failure().reason, PortFailure::Reason::ConnectionLost);
        QVERIFY(!transport.isOpen());
        QCoreApplication::processEvents();
        QCOMPARE(lost.count(), 1);

        Ser2NetProcess restarted;
        QVERIFY2(restarted.start(sim.devicePath(), port), qPrintable(restarted.errorText()));
        QVERIFY(connectTransport(transport));
        verifyMeters(transport);
        QCOMPARE(lost.count(), 1);
    }

    void modbusTcpReadsUnitsFromLibmodbus()
    {
        LibModbusTcpServer gateway;
        for (const auto &[unit, tenths] : kMeterValues)
            gateway.setRegister(unit, Modbus::LiveValueRegister, quint16(tenths));
        QString error;
        QVERIFY2(gateway.start(0, &error), qPrintable(error));
        ModbusTcpTransport transport(kLoopback, gateway.port());
        QVERIFY(connectTransport(transport));
        verifyMeters(transport);
        QCOMPARE(transport.transactionId(), quint16(kMeterValues.size()));
        QCOMPARE(gateway.answered(), kMeterValues.size());
    }

    void modbusTcpGatewayNoAnswerIsDroppedAndReported()
    {
        LibModbusTcpServer gateway;
        gateway.setRegister(1, Modbus::LiveValueRegister, 1234);
        QString error;
        QVERIFY2(gateway.start(0, &error), qPrintable(error));
        ModbusTcpTransport transport(kLoopback, gateway.port());
        QVERIFY(connectTransport(transport));
        QSignalSpy noAnswer(&transport, &ModbusTcpTransport::gatewayNoAnswer);
        QSignalSpy arrived(&transport, &Transport::bytesArrived);
        QVERIFY(transport.writeFrame(readRequest(5)));
        QVERIFY(noAnswer.wait(kTimeoutMs));
        QCOMPARE(noAnswer.count(), 1);
        QCOMPARE(noAnswer.first().at(0).toInt(), 5);
        QCOMPARE(noAnswer.first().at(1).toInt(), int(ModbusTcpTransport::GatewayTargetFailed));
        QCOMPARE(arrived.count(), 0);
        QVERIFY(transport.takeBytes().isEmpty());
        QVERIFY(transport.isOpen());
        QCOMPARE(ask(transport, 1).value, quint16(1234));
    }

    void modbusTcpWireFormat_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("read of register 200 of meter 7: MBAP with unit id 7, PDU without CRC")
            << readRequest(7) << hex("0001 0000 0006 07 03 00c8 0001");
        QTest::newRow("write of 0x1234 to register 4 of meter 63")
            << bytesOf(BuildRequest(63, Modbus::WriteSingle, 4, 0x1234))
            << hex("0001 0000 0006 3f 06 0004 1234");
    }

    void modbusTcpWireFormat()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, wire);
        ScriptedPeer gateway;
        QVERIFY(gateway.listen());
        ModbusTcpTransport transport(kLoopback, gateway.port());
        QVERIFY(connectTransport(transport));
        // A frame with a broken CRC is refused and never reaches the wire.
        QByteArray broken = frame;
        broken[broken.size() - 1] = char(broken.back() ^ 0x01);
        QVERIFY(!transport.writeFrame(broken));
        QVERIFY(transport.writeFrame(frame));
        QCOMPARE(gateway.take(wire.size()), wire);
    }

    void modbusTcpAnswers_data()
    {
        QTest::addColumn<QString>("script");
        QTest::newRow("late answer with another transaction id is dropped, the right one handed on")
            << QStringLiteral("late");
        QTest::newRow("answer split inside the header is whole after both segments")
            << QStringLiteral("split");
        QTest::newRow("broken header drops the buffer, the next answer is read") << QStringLiteral("broken");
    }

    void modbusTcpAnswers()
    {
        QFETCH(QString, script);
        ScriptedPeer gateway;
        QVERIFY(gateway.listen());
        ModbusTcpTransport transport(kLoopback, gateway.port());
        QVERIFY(connectTransport(transport));
        QSignalSpy late(&transport, &ModbusTcpTransport::lateAnswerDropped);
        QSignalSpy broken(&transport, &ModbusTcpTransport::streamBroken);
        QSignalSpy arrived(&transport, &Transport::bytesArrived);

        QVERIFY(transport.writeFrame(readRequest(3)));
        QByteArray request = gateway.take(12);
        const QByteArray answer = readAnswer(3, -321);
        if (script == QLatin1String("late")) {
            QVERIFY(gateway.send(aduAnswer(request, readAnswer(3, 111), 1) + aduAnswer(request, answer)));
            QCOMPARE(collect(transport, answer.size()), answer);
            QCOMPARE(late.count(), 1);
            QCOMPARE(late.first().at(0).toInt(), int(transport.transactionId()) + 1);
        } else if (script == QLatin1String("split")) {
            const QByteArray whole = aduAnswer(request, answer);
            QVERIFY(gateway.send(whole.left(4)));
            QTRY_VERIFY_WITH_TIMEOUT(transport.inputPending(), kTimeoutMs);
            QCOMPARE(arrived.count(), 0);
            QVERIFY(gateway.send(whole.mid(4)));
            QCOMPARE(collect(transport, answer.size()), answer);
            QCOMPARE(arrived.count(), 1);
        } else {
            QVERIFY(gateway.send(adu(transport.transactionId(), answer.chopped(2), 5)));
            QVERIFY(broken.wait(kTimeoutMs));
            QVERIFY(transport.takeBytes().isEmpty());
            QVERIFY(transport.writeFrame(readRequest(3)));
            request = gateway.take(12);
            QVERIFY(gateway.send(aduAnswer(request, answer)));
            QCOMPARE(collect(transport, answer.size()), answer);
        }
        QVERIFY(!transport.inputPending());
        QVERIFY(transport.isOpen());
    }
};

QTEST_GUILESS_MAIN(TestTcpTransports)
#include "tst_tcptransports.moc"
