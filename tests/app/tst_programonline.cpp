#include "FrameTestSupport.h"

#include "CommandIds.h"
#include "MeterLine.h"
#include "MeterSimProcess.h"
#include "PortNames.h"
#include "SerialLink.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>

namespace {

// The addresses of the logged requests for the live value, in order.
QList<int> polledAddresses(const QList<MeterSimProcess::Request> &requests)
{
    QList<int> addresses;
    for (const auto &request : requests) {
        if (request.function == 3 && request.reg == 200)
            addresses << request.address;
    }
    return addresses;
}

// Median interval between consecutive requests, in milliseconds.
double medianIntervalMs(const QList<MeterSimProcess::Request> &requests)
{
    QList<double> intervals;
    for (qsizetype i = 1; i < requests.size(); ++i)
        intervals << (requests[i].usec - requests[i - 1].usec) / 1000.0;
    if (intervals.isEmpty())
        return 0;
    std::sort(intervals.begin(), intervals.end());
    return intervals[intervals.size() / 2];
}

bool cyclesThrough(const QList<int> &addresses, int first, int last)
{
    // The first poll may be discarded and repeated; from the first wrap on
    // the order is strict.
    const qsizetype start = addresses.indexOf(first);
    if (start < 0)
        return false;
    for (qsizetype i = start; i < addresses.size(); ++i) {
        if (addresses[i] != first + int((i - start) % (last - first + 1)))
            return false;
    }
    return true;
}

} // namespace

class TestProgramOnline : public QObject {
    Q_OBJECT

private slots:
    void main_window_polls_the_simulated_meters()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.set(QStringLiteral("MeterConfig"), QStringLiteral("samplingtime"), QStringLiteral("200"));
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("1-5")}),
                 qPrintable(sim.errorText()));
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());

        QSet<QString> seen;
        const QRegularExpression readText(QStringLiteral("Current address of meter read is (\\d\\d) #$"));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                const auto match = readText.match(frame->statusText());
                if (match.hasMatch())
                    seen.insert(match.captured(1));
                return seen.size() == 5;
            }(),
            60000);
        QCOMPARE(seen, (QSet<QString>{"01", "02", "03", "04", "05"}));
        // The first answer after the poll starts is discarded; the next round
        // stores every meter's value.
        const auto &values = frame->line().liveValues().values();
        QTRY_VERIFY_WITH_TIMEOUT(
            std::all_of(values.begin() + 1, values.begin() + 6, [](double value) { return value != -500.0; }),
            60000);

        QVERIFY(sim.waitForRequests(12));
        const QList<MeterSimProcess::Request> requests = sim.requests();
        QVERIFY(cyclesThrough(polledAddresses(requests), 1, 5));
        qInfo("median interval between polls: %.1f ms (poll period 200 ms)", medianIntervalMs(requests));

        // The line is held exclusively while the window lives and free after.
        SerialLink other(PortNames([&](int) { return sim.devicePath(); }));
        QCOMPARE(other.OpenPort(QStringLiteral("COM1")), 0);
        fixture.application.reset();
        QCOMPARE(other.OpenPort(QStringLiteral("COM1")), 1);
    }

    void main_window_reads_all_parameters_of_a_meter()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("1-5")}),
                 qPrintable(sim.errorText()));
        CMainFrame *frame = fixture.start();
        QVERIFY(sim.waitForRequests(1));
        // The value panel's context menu picks the meter, then sends 32790.
        frame->line().selectMeter(3);
        frame->onCommand(CommandId::ReadAllParameters);
        QVERIFY(frame->progressShown());
        // A second command while the read runs only shows its progress.
        frame->onCommand(CommandId::ReadAllParameters);
        QVERIFY(frame->progressShown());
        // Type 1 of the supplied database: 34 parameters, the first "Set
        // Value" with one decimal place and the simulator's default 500.
        QTRY_COMPARE_WITH_TIMEOUT(frame->lastParameters().parameterCount, 34, 60000);
        QCOMPARE(frame->lastParameters().names[0], QStringLiteral("Set Value"));
        QCOMPARE(frame->lastParameters().values[0], QStringLiteral("50.0"));
        QVERIFY(!frame->progressShown());
        QVERIFY(fixture.prompts.shown.isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().timerActive(TimerId::PollTimer), 60000);
    }

    void termination_signal_closes_the_program_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void termination_signal_closes_the_program()
    {
        QFETCH(int, signal);
        FrameFixture fixture;
        // Read as language 1, written back at exit as "1".
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1st"));
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path()}), qPrintable(sim.errorText()));

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORVANE_HOME"), fixture.home.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QCoreApplication::applicationDirPath() + QStringLiteral("/quorvane"), QStringList());
        QVERIFY(program.waitForStarted(30000));
        // Polling has begun once the simulator sees requests.
        QVERIFY(sim.waitForRequests(3, 60000));

        ::kill(static_cast<pid_t>(program.processId()), signal);
        QVERIFY(program.waitForFinished(60000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("Programme"), QStringLiteral("Lang")),
                 QStringLiteral("1"));
        // The port was closed: the line can be taken again at once.
        SerialLink other(PortNames([&](int) { return sim.devicePath(); }));
        QCOMPARE(other.OpenPort(QStringLiteral("COM1")), 1);
    }
};

QTEST_MAIN(TestProgramOnline)
#include "tst_programonline.moc"
