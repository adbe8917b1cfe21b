#include "FrameBytes.h"
#include "LibModbusSlave.h"
#include "MeterSimProcess.h"
#include "ModbusFrame.h"
#include "PseudoTerminal.h"
#include "SerialLink.h"
#include "SimulatedMeters.h"

#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Generous: the machine runs several builds at once.
constexpr int kTimeoutMs = 20000;
// Long enough for the simulator's answer, short enough for the benchmark.
constexpr int kWriteAnswerTimeMs = 100;

// A buffer holds the frame, then zeros to the end.
bool holdsExactly(const ReceiveBuffer &buffer, const QByteArray &frame)
{
    const QByteArray all = bytesOf(buffer, qsizetype(buffer.size()));
    return all.left(frame.size()) == frame && all.mid(frame.size()).count('\0') == all.size() - frame.size();
}

// A link whose COM1 is the given device.
std::unique_ptr<SerialLink> linkOn(const QString &device)
{
    return std::make_unique<SerialLink>(PortNames([device](int n) { return n == 1 ? device : QString(); }));
}

} // namespace

class TestSerialLink : public QObject {
    Q_OBJECT

    // Opens COM1 on `device` at 9600 8N1.
    std::unique_ptr<SerialLink> openLink(const QString &device)
    {
        auto link = linkOn(device);
        if (link->OpenPort(QStringLiteral("COM1")) != 1 || link->Configure(9600, 8, 0, 0) != 1)
            return nullptr;
        return link;
    }

    // Writes a request and waits for its answer.
    static bool ask(SerialLink &link, int address, int function, int reg, int value, ReceiveBuffer *answer)
    {
        QSignalSpy ready(&link, &SerialLink::answerReady);
        link.WriteRequest(address, function, reg, value);
        // A lone copy of a write is its answer only once its answer time is
        // over, as the scheduler's next write tick decides; a second copy or
        // an exception decides at once.
        if (function == Modbus::WriteSingle && !ready.wait(kWriteAnswerTimeMs))
            (void)QTest::qWaitFor(
                [&] {
                    link.settle();
                    return !ready.isEmpty();
                },
                kTimeoutMs);
        if (ready.isEmpty() && !ready.wait(kTimeoutMs))
            return false;
        *answer = link.ReadResponse();
        return ready.count() == 1;
    }

    // The request as the peer on the pseudo-terminal receives it.
    static QByteArray receiveRequest(PseudoTerminal &pty)
    {
        QByteArray received;
        if (!QTest::qWaitFor([&] { return (received += pty.readAvailable()).size() >= 8; }, kTimeoutMs))
            return {};
        return received;
    }

    // The peer sends bytes and waits until they have reached the link's side.
    static bool deliver(PseudoTerminal &pty, const QByteArray &bytes)
    {
        return pty.write(bytes) && pty.waitSlaveReadable(kTimeoutMs);
    }

private slots:
    void portNames_data();
    void portNames();
    void openFailsForNamesThatAreNoPorts_data();
    void openFailsForNamesThatAreNoPorts();
    void secondOpenOfTheSameDeviceFails();
    void configureRefusesWhatThePortCannotDo_data();
    void configureRefusesWhatThePortCannotDo();
    void closeStopsTheLink();

    void simulatorAnswersReadsAndWrites();
    void simulatorWithEchoingAdapter();
    void simulatorSilentMeterGivesNoAnswer();
    void simulatorBadCrcIsStillAnAnswer();
    void simulatorExitsCleanlyAndLogsRequests();
    void simulatorTakesParameterDefaultsFromTheSystemDatabase_data();
    void simulatorTakesParameterDefaultsFromTheSystemDatabase();
    void simulatorPreparesADataDirectory();

    void libmodbusReadReturnsTheSlaveValue();
    void libmodbusWriteIsEchoed();
    void libmodbusExceptionAnswer();
    void libmodbusSilentForOtherAddresses();

    void frameInTwoPiecesIsReadWhole();
    void staleBytesDoNotCorruptTheNextAnswer_data();
    void staleBytesDoNotCorruptTheNextAnswer();
    void echoFollowedByAnswerYieldsTheAnswer_data();
    void echoFollowedByAnswerYieldsTheAnswer();
    void noAnswerWhileNoRequestIsOutstanding();
    void hangUpIsTheDeviceLost_data();
    void hangUpIsTheDeviceLost();
    void inputDroppedBeforeItIsReadIsNoHangUp();

    void benchmarkRoundTrip_data();
    void benchmarkRoundTrip();
};

void TestSerialLink::portNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("configured");
    QTest::addColumn<QString>("device");
    QTest::newRow("COM1 is the first serial port") << "COM1"
                                                   << ""
                                                   << "/dev/ttyS0";
    QTest::newRow("COM4 is the last serial port") << "COM4"
                                                  << ""
                                                  << "/dev/ttyS3";
    QTest::newRow("COM5 is the first USB adapter") << "COM5"
                                                   << ""
                                                   << "/dev/ttyUSB0";
    QTest::newRow("COM10 is the sixth USB adapter") << "COM10"
                                                    << ""
                                                    << "/dev/ttyUSB5";
    QTest::newRow("a configured device wins") << "COM2"
                                              << "/dev/pts/7"
                                              << "/dev/pts/7";
    QTest::newRow("the settings' missing-key text is no device") << "COM3"
                                                                 << "Error"
                                                                 << "/dev/ttyS2";
    QTest::newRow("COM0 is no port") << "COM0"
                                     << "/dev/pts/7"
                                     << "";
    QTest::newRow("COM11 is no port") << "COM11"
                                      << "/dev/pts/7"
                                      << "";
    QTest::newRow("COMError is no port") << "COMError"
                                         << "/dev/pts/7"
                                         << "";
    QTest::newRow("an empty name is no port") << ""
                                              << ""
                                              << "";
}

void TestSerialLink::portNames()
{
    QFETCH(QString, name);
    QFETCH(QString, configured);
    QFETCH(QString, device);
    const PortNames names([&](int) { return configured; });
    QCOMPARE(names.devicePath(name), device);
}

void TestSerialLink::openFailsForNamesThatAreNoPorts_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("COMError") << "COMError";
    QTest::newRow("COM0") << "COM0";
    QTest::newRow("COM11") << "COM11";
    QTest::newRow("a device that does not exist") << "COM2";
}

void TestSerialLink::openFailsForNamesThatAreNoPorts()
{
    QFETCH(QString, name);
    PseudoTerminal pty;
    QVERIFY(pty.open());
    SerialLink link(PortNames(
        [&](int n) { return n == 2 ? QStringLiteral("/dev/quorvane-no-such-device") : pty.slavePath(); }));
    QCOMPARE(link.OpenPort(name), 0);
    QVERIFY(!link.isOpen());
    QCOMPARE(link.runFlag.load(), 0);
}

void TestSerialLink::secondOpenOfTheSameDeviceFails()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto first = linkOn(pty.slavePath());
    auto second = linkOn(pty.slavePath());
    QCOMPARE(first->OpenPort(QStringLiteral("COM1")), 1);
    QCOMPARE(second->OpenPort(QStringLiteral("COM1")), 0);
    first->ClosePort();
    QCOMPARE(second->OpenPort(QStringLiteral("COM1")), 1);
}

void TestSerialLink::configureRefusesWhatThePortCannotDo_data()
{
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("result");
    // A pseudo-terminal carries 8 data bits without parity only.
    QTest::newRow("9600 8N2 is taken") << 9600 << 8 << 0 << 2 << 1;
    QTest::newRow("115200 8N1 is taken") << 115200 << 8 << 0 << 0 << 1;
    QTest::newRow("7 data bits the device cannot do are refused") << 9600 << 7 << 0 << 0 << 0;
    QTest::newRow("4 data bits are refused") << 9600 << 4 << 0 << 0 << 0;
    QTest::newRow("9 data bits are refused") << 9600 << 9 << 0 << 0 << 0;
    QTest::newRow("1.5 stop bits are refused") << 9600 << 8 << 0 << 1 << 0;
    QTest::newRow("parity index 5 is refused") << 9600 << 8 << 5 << 0 << 0;
    QTest::newRow("stop-bits index 3 is refused") << 9600 << 8 << 0 << 3 << 0;
    QTest::newRow("baud 0 is refused") << 0 << 8 << 0 << 0 << 0;
}

void TestSerialLink::configureRefusesWhatThePortCannotDo()
{
    QFETCH(int, baud);
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(int, result);
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = linkOn(pty.slavePath());
    QCOMPARE(link->Configure(9600, 8, 0, 0), 0); // not open yet
    QCOMPARE(link->OpenPort(QStringLiteral("COM1")), 1);
    QCOMPARE(link->Configure(baud, dataBits, parity, stopBits), result);
    QCOMPARE(link->runFlag.load(), result);
    QVERIFY(link->isOpen());
}

void TestSerialLink::closeStopsTheLink()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QCOMPARE(link->runFlag.load(), 1);
    link->ClosePort();
    QCOMPARE(link->runFlag.load(), 0);
    QVERIFY(!link->isOpen());
    // Writing on a closed link sends nothing and waits for nothing.
    link->WriteRequest(1, 3, 200, 0);
    QCOMPARE(link->requestOutstanding.load(), 0);
}

void TestSerialLink::simulatorAnswersReadsAndWrites()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("1-3")}), qPrintable(sim.errorText()));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    for (int address = 1; address <= 3; ++address) {
        QVERIFY(ask(*link, address, 3, 200, 0, &answer));
        const ParsedResponse value = ParseResponse(answer);
        QVERIFY(value.crcValid);
        QCOMPARE(value.address, address);
        QCOMPARE(value.function, 3);
        QVERIFY(holdsExactly(answer, bytesOf(answer, 7)));
        QVERIFY(std::abs(qint16(value.value)) <= 1000);
    }
    QVERIFY(ask(*link, 2, 6, 8, -123, &answer));
    QVERIFY(holdsExactly(answer, bytesOf(BuildRequest(2, 6, 8, -123))));
    QVERIFY(ask(*link, 2, 3, 8, 0, &answer));
    QCOMPARE(qint16(ParseResponse(answer).value), -123);
}

void TestSerialLink::simulatorWithEchoingAdapter()
{
    MeterSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--echo")}));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 4, 3, 200, 0, &answer));
    QVERIFY(ParseResponse(answer).crcValid);
    QCOMPARE(ParseResponse(answer).address, 4);
    QVERIFY(ask(*link, 4, 6, 6, 77, &answer));
    QVERIFY(holdsExactly(answer, bytesOf(BuildRequest(4, 6, 6, 77))));
    QVERIFY(ask(*link, 4, 3, 6, 0, &answer));
    QCOMPARE(ParseResponse(answer).value, 77);
    // A refused write: the echo, then the exception answer, which is what
    // counts.
    QVERIFY(ask(*link, 4, 6, 200, 1, &answer));
    QVERIFY(holdsExactly(answer, withCrc(hex("048602"))));
}

void TestSerialLink::simulatorSilentMeterGivesNoAnswer()
{
    MeterSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--silent"), QStringLiteral("2")}));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    link->WriteRequest(2, 3, 200, 0);
    QCOMPARE(link->requestOutstanding.load(), 1);
    QVERIFY(sim.waitForRequests(1));
    // The silent meter has had its request; the next meter's answer is the
    // first and only notification, and it is that meter's.
    link->WriteRequest(3, 3, 200, 0);
    QVERIFY(ready.wait(kTimeoutMs));
    QCOMPARE(ready.count(), 1);
    QCOMPARE(ParseResponse(link->ReadResponse()).address, 3);
}

void TestSerialLink::simulatorBadCrcIsStillAnAnswer()
{
    MeterSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--bad-crc"), QStringLiteral("5")}));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 5, 3, 200, 0, &answer));
    QCOMPARE(ParseResponse(answer).address, 5);
    QVERIFY(!ParseResponse(answer).crcValid);
}

void TestSerialLink::simulatorExitsCleanlyAndLogsRequests()
{
    MeterSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--addresses"), QStringLiteral("0-5")}));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 1, 3, 200, 0, &answer));
    QVERIFY(ask(*link, 0, 6, 98, 4660, &answer));
    QVERIFY(holdsExactly(answer, bytesOf(BuildRequest(0, 6, 98, 4660))));
    QVERIFY(sim.waitForRequests(2));
    const auto requests = sim.requests();
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests[0].address, 1);
    QCOMPARE(requests[0].function, 3);
    QCOMPARE(requests[0].reg, 200);
    QCOMPARE(requests[0].value, 1);
    QCOMPARE(requests[1].address, 0);
    QCOMPARE(requests[1].function, 6);
    QCOMPARE(requests[1].reg, 98);
    QCOMPARE(requests[1].value, 4660);
    QVERIFY(requests[1].usec > requests[0].usec);
    QVERIFY(sim.stop());
}

void TestSerialLink::simulatorTakesParameterDefaultsFromTheSystemDatabase_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("parameters"); // parameters 0, 1, 2 and 49
    QTest::newRow("rows of the chosen type; the later of two rows wins")
        << QStringList{QStringLiteral("--meter-type"), QStringLiteral("3")} << QList<int>{111, 0, 7, 0};
    QTest::newRow("meter type 1 without a type given") << QStringList{} << QList<int>{999, 0, 0, 0};
    QTest::newRow("a type without rows starts at 10 k")
        << QStringList{QStringLiteral("--meter-type"), QStringLiteral("4")} << QList<int>{0, 10, 20, 490};
}

void TestSerialLink::simulatorTakesParameterDefaultsFromTheSystemDatabase()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, parameters);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("system.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("defaults"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(
            q.exec(QStringLiteral("CREATE TABLE YbParaMenu (ID INTEGER PRIMARY KEY, ParaMenu_Type INTEGER, "
                                  "ParaMenu_Cmd INTEGER, ParaMenu_CaptionC TEXT, ParaMenu_CaptionE TEXT, "
                                  "ParaMenu_Dot INTEGER, ParaMenu_Default INTEGER)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO YbParaMenu VALUES (1, 3, 0, 'a', 'a', 0, 111), "
                                      "(2, 3, 2, 'b', 'b', 0, -5), (3, 3, 2, 'c', 'c', 1, 7), "
                                      "(4, 3, 50, 'd', 'd', 0, 5), (5, 1, 0, 'e', 'e', 0, 999)")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("defaults"));
    MeterSimProcess sim;
    QVERIFY(sim.start(arguments + QStringList{QStringLiteral("--system-db"), path}));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    const QList<int> registers{0, 2, 4, 98};
    for (qsizetype i = 0; i < registers.size(); ++i) {
        ReceiveBuffer answer;
        QVERIFY(ask(*link, 1, 3, registers[i], 0, &answer));
        QCOMPARE(qint16(ParseResponse(answer).value), parameters[i]);
    }
}

void TestSerialLink::simulatorPreparesADataDirectory()
{
    QTemporaryDir dir;
    MeterSimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--data-dir"), dir.path()}));
    for (const char *name : {"qlvmsys.dll", "qlvmsys.db", "qlvmdata.db"})
        QVERIFY2(QFile::exists(dir.filePath(QLatin1String(name))), name);
    QFile settings(dir.filePath(QStringLiteral("qlvmsys.dll")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    const QByteArray text = settings.readAll();
    const qsizetype ports = text.indexOf("[Ports]");
    QVERIFY(ports >= 0);
    QVERIFY(text.indexOf("\nCOM1=" + sim.devicePath().toLocal8Bit() + "\n", ports) > ports);
    QVERIFY(sim.stop());
}

void TestSerialLink::libmodbusReadReturnsTheSlaveValue()
{
    LibModbusSlave slave(17);
    slave.setRegister(200, std::uint16_t(-250));
    QString error;
    QVERIFY2(slave.start(&error), qPrintable(error));
    auto link = openLink(slave.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 17, 3, 200, 0, &answer));
    const ParsedResponse value = ParseResponse(answer);
    QVERIFY(value.crcValid);
    QCOMPARE(value.address, 17);
    QCOMPARE(qint16(value.value), -250);
    QVERIFY(holdsExactly(answer, withCrc(hex("110302ff06"))));
}

void TestSerialLink::libmodbusWriteIsEchoed()
{
    LibModbusSlave slave(63);
    QVERIFY(slave.start());
    auto link = openLink(slave.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 63, 6, 10, 1234, &answer));
    QVERIFY(holdsExactly(answer, bytesOf(BuildRequest(63, 6, 10, 1234))));
    QCOMPARE(slave.registerValue(10), 1234);
}

void TestSerialLink::libmodbusExceptionAnswer()
{
    LibModbusSlave slave(1);
    QVERIFY(slave.start());
    auto link = openLink(slave.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QVERIFY(ask(*link, 1, 3, 250, 0, &answer));
    QVERIFY(holdsExactly(answer, withCrc(hex("018302"))));
}

void TestSerialLink::libmodbusSilentForOtherAddresses()
{
    LibModbusSlave slave(9);
    QVERIFY(slave.start());
    auto link = openLink(slave.devicePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    link->WriteRequest(8, 3, 200, 0);
    QCOMPARE(link->requestOutstanding.load(), 1);
    // Waiting for something that must not happen: after a second nothing has
    // come, and the request is still outstanding for the scheduler to see.
    QVERIFY(!ready.wait(1000));
    QCOMPARE(link->requestOutstanding.load(), 1);
    QCOMPARE(slave.answered(), 0);
}

void TestSerialLink::frameInTwoPiecesIsReadWhole()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    link->WriteRequest(1, 3, 200, 0);
    QCOMPARE(receiveRequest(pty), hex("010300c8000105f4"));
    const QByteArray frame = hex("010302012cb809");
    QVERIFY(deliver(pty, frame.left(3)));
    QTRY_COMPARE_WITH_TIMEOUT(pty.pendingForSlave(), 0, kTimeoutMs); // the link has the first piece
    QCOMPARE(ready.count(), 0);
    QVERIFY(deliver(pty, frame.mid(3)));
    QVERIFY(ready.wait(kTimeoutMs));
    QVERIFY(holdsExactly(link->ReadResponse(), frame));
    QCOMPARE(ready.count(), 1);
}

void TestSerialLink::staleBytesDoNotCorruptTheNextAnswer_data()
{
    QTest::addColumn<QByteArray>("stale");
    QTest::addColumn<bool>("readByLinkFirst");
    QTest::newRow("late answer read while no request is outstanding") << hex("010302007bf867") << true;
    QTest::newRow("late answer still queued when the request goes out") << hex("010302007bf867") << false;
    QTest::newRow("noise read while no request is outstanding") << hex("ff00ee11") << true;
    QTest::newRow("noise still queued when the request goes out") << hex("ff00ee11") << false;
}

void TestSerialLink::staleBytesDoNotCorruptTheNextAnswer()
{
    QFETCH(QByteArray, stale);
    QFETCH(bool, readByLinkFirst);
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    QVERIFY(deliver(pty, stale));
    if (readByLinkFirst)
        QTRY_COMPARE_WITH_TIMEOUT(pty.pendingForSlave(), 0, kTimeoutMs);
    link->WriteRequest(2, 3, 200, 0);
    QCOMPARE(receiveRequest(pty), bytesOf(BuildRequest(2, 3, 200, 0)));
    QCOMPARE(ready.count(), 0);
    const QByteArray frame = withCrc(hex("02030201f4"));
    QVERIFY(deliver(pty, frame));
    QVERIFY(ready.wait(kTimeoutMs));
    QVERIFY(holdsExactly(link->ReadResponse(), frame));
}

void TestSerialLink::echoFollowedByAnswerYieldsTheAnswer_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("read") << 3 << withCrc(hex("0703020064"));
    // The copy of a write may be its answer or the adapter's echo: it stays
    // undecided past the silence, so a late exception is still heard.
    QTest::newRow("write refused late") << 6 << withCrc(hex("078602"));
}

void TestSerialLink::echoFollowedByAnswerYieldsTheAnswer()
{
    QFETCH(int, function);
    QFETCH(QByteArray, answer);
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    link->WriteRequest(7, function, 10, 0);
    const QByteArray request = receiveRequest(pty);
    QVERIFY(deliver(pty, request));
    QTRY_COMPARE_WITH_TIMEOUT(pty.pendingForSlave(), 0, kTimeoutMs);
    // However long the meter takes after the echo, the echo is no answer.
    QVERIFY(!ready.wait(3 * link->silenceMs()));
    const QByteArray frame = answer;
    QVERIFY(deliver(pty, frame));
    QVERIFY(ready.wait(kTimeoutMs));
    QVERIFY(holdsExactly(link->ReadResponse(), frame));
}

void TestSerialLink::noAnswerWhileNoRequestIsOutstanding()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    link->WriteRequest(1, 3, 200, 0);
    receiveRequest(pty);
    // The answer, then a second copy of it: one notification, one answer.
    const QByteArray frame = hex("010302012cb809");
    QVERIFY(deliver(pty, frame + frame));
    QVERIFY(ready.wait(kTimeoutMs));
    QCOMPARE(link->requestOutstanding.load(), 0);
    QVERIFY(holdsExactly(link->ReadResponse(), frame));
    QTRY_COMPARE_WITH_TIMEOUT(pty.pendingForSlave(), 0, kTimeoutMs);
    QVERIFY(deliver(pty, frame));
    QTRY_COMPARE_WITH_TIMEOUT(pty.pendingForSlave(), 0, kTimeoutMs);
    QCOMPARE(ready.count(), 1);
    QVERIFY(holdsExactly(link->ReadResponse(), QByteArray()));
}

// The adapter is pulled out: the device hangs up, stays readable and every
// read of it returns nothing. That is the device lost, told at once from the
// read side; no request has to fail first.
void TestSerialLink::hangUpIsTheDeviceLost_data()
{
    QTest::addColumn<bool>("simulator");
    QTest::newRow("the simulator exits") << true;
    QTest::newRow("the other side of a pseudo-terminal closes") << false;
}

void TestSerialLink::hangUpIsTheDeviceLost()
{
    QFETCH(bool, simulator);
    MeterSimProcess sim;
    PseudoTerminal pty;
    QVERIFY(simulator ? sim.start() : pty.open());
    auto link = openLink(simulator ? sim.devicePath() : pty.slavePath());
    QVERIFY(link);
    if (simulator) {
        ReceiveBuffer answer;
        QVERIFY(ask(*link, 1, 3, 200, 0, &answer));
    }
    auto *port = link->findChild<QSerialPort *>();
    QVERIFY(port);
    qsizetype errors = 0;
    connect(port, &QSerialPort::errorOccurred, this, [&](QSerialPort::SerialPortError error) {
        if (error != QSerialPort::NoError)
            ++errors;
    });
    QSignalSpy lost(link.get(), &SerialLink::deviceLost);

    if (simulator)
        QVERIFY(sim.stop());
    else
        pty.close();
    QVERIFY(lost.wait(kTimeoutMs));
    QCOMPARE(lost.count(), 1);
    QVERIFY(!link->isOpen());
    QCOMPARE(link->runFlag.load(), 0);
    // A hung-up device wakes the port up for as long as it stays open; before
    // the hang-up counted as lost, it reported thousands of read errors a
    // second.
    qInfo("errors reported by the port: %lld", qlonglong(errors));
    QVERIFY2(errors < 5, qPrintable(QString::number(errors)));
}

// Bytes that wait in the driver are dropped when a request goes out; when the
// request is written from a queued call (as the line delivers answers), the
// port may already have been told they are there and then reads nothing. The
// device is still there.
void TestSerialLink::inputDroppedBeforeItIsReadIsNoHangUp()
{
    PseudoTerminal pty;
    QVERIFY(pty.open());
    auto link = openLink(pty.slavePath());
    QVERIFY(link);
    QSignalSpy lost(link.get(), &SerialLink::deviceLost);
    QSignalSpy ready(link.get(), &SerialLink::answerReady);
    QVERIFY(deliver(pty, hex("ff00ee11")));
    QMetaObject::invokeMethod(
        link.get(), [&link] { link->WriteRequest(1, 3, 200, 0); }, Qt::QueuedConnection);
    QTRY_COMPARE_WITH_TIMEOUT(link->requestOutstanding.load(), 1, kTimeoutMs);
    QCOMPARE(receiveRequest(pty), bytesOf(BuildRequest(1, 3, 200, 0)));
    const QByteArray frame = hex("010302012cb809");
    QVERIFY(deliver(pty, frame));
    QVERIFY(ready.wait(kTimeoutMs));
    QVERIFY(holdsExactly(link->ReadResponse(), frame));
    QCOMPARE(lost.count(), 0);
    QVERIFY(link->isOpen());
}

// Request written to whole answer read, against the simulator: the part of a
// poll the link and the line take. Measured, not asserted. A write's answer
// is a copy of the write, so without an echo it is taken as the answer only
// when its answer time is over (100 ms here).
void TestSerialLink::benchmarkRoundTrip_data()
{
    QTest::addColumn<int>("function");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("read") << 3 << QStringList{};
    QTest::newRow("write") << 6 << QStringList{};
    QTest::newRow("read through an echoing adapter") << 3 << QStringList{QStringLiteral("--echo")};
    QTest::newRow("write through an echoing adapter") << 6 << QStringList{QStringLiteral("--echo")};
}

void TestSerialLink::benchmarkRoundTrip()
{
    QFETCH(int, function);
    QFETCH(QStringList, arguments);
    MeterSimProcess sim;
    QVERIFY(sim.start(arguments));
    auto link = openLink(sim.devicePath());
    QVERIFY(link);
    ReceiveBuffer answer;
    QBENCHMARK
    {
        QVERIFY(ask(*link, 1, function, 4, 100, &answer));
    }
    QCOMPARE(answer[1], function);
}

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
