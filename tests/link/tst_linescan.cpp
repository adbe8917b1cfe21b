#include "LineUnderTest.h"
#include "MeterSimProcess.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;

std::optional<ParameterMenu> fiveParameters(int)
{
    ParameterMenu menu;
    menu.count = 5;
    return menu;
}

ScanSetting setting(int baud, int stopBitsIndex)
{
    return {baud, 8, 0, stopBitsIndex};
}

// What a scan told, collected from its signals.
struct ScanRecord {
    QList<ScanFind> finds;
    QList<ScanSettingResult> settings;
    QList<int> progress;
    std::optional<ScanEnd> end;

    explicit ScanRecord(LineScan *scan)
    {
        QObject::connect(scan, &LineScan::found, [this](const ScanFind &find) { finds << find; });
        QObject::connect(scan, &LineScan::settingDone,
                         [this](const ScanSettingResult &result) { settings << result; });
        QObject::connect(scan, &LineScan::progressed, [this](int done, int, qint64) { progress << done; });
        QObject::connect(scan, &LineScan::ended, [this](ScanEnd how) { end = how; });
    }
    bool waitForEnd()
    {
        return QTest::qWaitFor([this] { return end.has_value(); }, kDeadlineMs);
    }
};

} // namespace

// The scan against the meter simulator over a pseudo-terminal. With
// --strict-line the simulator hears only requests sent at its own baud rate
// and stop bits, as meters on a real line do.
class TestLineScan : public QObject {
    Q_OBJECT

private slots:
    void findsExactlyTheMetersAtTheirSetting();
    void exceptionAnswerIsAFind();
    void lineGetsItsSettingsBackAfterTheScan();
    void cancelStopsWithinOneProbe();
    void refusedWhileReadingOrUnusable();
};

void TestLineScan::findsExactlyTheMetersAtTheirSetting()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("3-7"), QStringLiteral("--silent"),
                        QStringLiteral("4-6"), QStringLiteral("--baud"), QStringLiteral("19200"),
                        QStringLiteral("--stop-bits"), QStringLiteral("2"), QStringLiteral("--strict-line"),
                        QStringLiteral("--value"), QStringLiteral("7=-125")}),
             qPrintable(sim.errorText()));
    LineUnderTest line(sim.devicePath(), fiveParameters, 0, 0, 200);
    QVERIFY(line.open());

    ScanPlan plan;
    plan.firstAddress = 0;
    plan.lastAddress = 9;
    plan.settings = {setting(9600, 0), setting(19200, 0), setting(9600, 2), setting(19200, 2)};
    LineScan *scan = line.line->startScan(plan);
    QVERIFY(scan);
    QVERIFY(line.line->scanning());
    // Reads wait until the scan is over.
    QVERIFY(!line.line->readAllParameters(3));
    ScanRecord record(scan);
    QVERIFY(record.waitForEnd());

    QCOMPARE(*record.end, ScanEnd::Done);
    QCOMPARE(record.finds.size(), 2);
    QCOMPARE(record.finds[0].address, 3);
    QCOMPARE(record.finds[1].address, 7);
    for (const ScanFind &find : record.finds) {
        QCOMPARE(find.setting, setting(19200, 2));
        QVERIFY(!find.exception);
        QVERIFY(find.responseMs >= 0);
    }
    QCOMPARE(record.finds[1].raw, qint16(-125));
    // Each setting once, in the plan's order, the three silent ones told.
    QCOMPARE(record.settings.size(), 4);
    const QList<int> foundPerSetting{record.settings[0].found, record.settings[1].found,
                                     record.settings[2].found, record.settings[3].found};
    QCOMPARE(foundPerSetting, (QList<int>{0, 0, 0, 2}));
    QCOMPARE(record.progress.size(), plan.candidateCount());
    QCOMPARE(record.progress.last(), 40);
    QVERIFY(!line.line->scanning());
}

void TestLineScan::exceptionAnswerIsAFind()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("1-2"), QStringLiteral("--refuse"),
                        QStringLiteral("2")}),
             qPrintable(sim.errorText()));
    LineUnderTest line(sim.devicePath(), fiveParameters, 1, 2, 200);
    QVERIFY(line.open());
    ScanPlan plan;
    plan.firstAddress = 0;
    plan.lastAddress = 3;
    plan.settings = {line.line->ownSetting()};
    ScanRecord record(line.line->startScan(plan));
    QVERIFY(record.waitForEnd());
    QCOMPARE(record.finds.size(), 2);
    QCOMPARE(record.finds[0].address, 1);
    QVERIFY(!record.finds[0].exception);
    QCOMPARE(record.finds[1].address, 2);
    QVERIFY(record.finds[1].exception);
    QVERIFY(record.finds[1].exceptionCode != 0);
}

// A scan that tried only other settings leaves the line at its own: the
// meter, deaf to anything else, is polled again.
void TestLineScan::lineGetsItsSettingsBackAfterTheScan()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("5"), QStringLiteral("--strict-line")}),
             qPrintable(sim.errorText()));
    LineUnderTest line(sim.devicePath(), fiveParameters, 5, 5, 200);
    QVERIFY(line.open());
    QTRY_VERIFY_WITH_TIMEOUT(line.storedSince.contains(5), kDeadlineMs);

    ScanPlan plan;
    plan.firstAddress = 4;
    plan.lastAddress = 6;
    plan.settings = {setting(19200, 2)};
    ScanRecord record(line.line->startScan(plan));
    QVERIFY(record.waitForEnd());
    QVERIFY(record.finds.isEmpty());
    QCOMPARE(record.settings.size(), 1);
    QCOMPARE(record.settings[0].found, 0);

    line.storedSince.clear();
    QTRY_VERIFY_WITH_TIMEOUT(line.storedSince.contains(5), kDeadlineMs);
    QCOMPARE(line.line->activity(), TransactionScheduler::Activity::Monitoring);
}

// Cancel leaves the probe under way unanswered and sends no other: the
// next request on the line is monitoring's.
void TestLineScan::cancelStopsWithinOneProbe()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("60")}), qPrintable(sim.errorText()));
    LineUnderTest line(sim.devicePath(), fiveParameters, 60, 60, 200);
    QVERIFY(line.open());
    ScanPlan plan;
    plan.firstAddress = 0;
    plan.lastAddress = 59;
    plan.settings = {line.line->ownSetting()};
    LineScan *scan = line.line->startScan(plan);
    QVERIFY(scan);
    ScanRecord record(scan);
    QTRY_VERIFY_WITH_TIMEOUT(record.progress.size() >= 3, kDeadlineMs);
    MeterLine::ScanRefusal why = MeterLine::ScanRefusal::None;
    QVERIFY(!line.line->startScan(plan, &why));
    QCOMPARE(why, MeterLine::ScanRefusal::Scanning);

    scan->cancel();
    QCOMPARE(*record.end, ScanEnd::Cancelled);
    const int probed = int(record.progress.size());
    QVERIFY(sim.waitForRequests(1, kDeadlineMs));
    QTRY_VERIFY_WITH_TIMEOUT(!sim.requests().isEmpty() && sim.requests().last().address == 60, kDeadlineMs);
    QList<int> scanned;
    for (const MeterSimProcess::Request &request : sim.requests())
        if (request.address < 60)
            scanned << request.address;
    // The probes counted, and at most the one under way at the cancel.
    QVERIFY2(scanned.size() <= probed + 1,
             qPrintable(QStringLiteral("%1 probes sent, %2 ended").arg(scanned.size()).arg(probed)));
    QCOMPARE(scanned.first(), 0);
    QVERIFY(line.line->readAllParameters(60));
}

void TestLineScan::refusedWhileReadingOrUnusable()
{
    MeterSimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--addresses"), QStringLiteral("1")}), qPrintable(sim.errorText()));
    LineUnderTest line(sim.devicePath(), fiveParameters, 1, 1, 200);
    ScanPlan plan;
    plan.settings = {setting(9600, 0)};
    MeterLine::ScanRefusal why = MeterLine::ScanRefusal::None;
    QVERIFY(!line.line->startScan(plan, &why));
    QCOMPARE(why, MeterLine::ScanRefusal::NotOpen);

    QVERIFY(line.open());
    QVERIFY(line.line->readAllParameters(1));
    QVERIFY(!line.line->startScan(plan, &why));
    QCOMPARE(why, MeterLine::ScanRefusal::RunOn);
    QVERIFY(line.line->cancelRun());

    plan.lastAddress = 64;
    QVERIFY(!line.line->startScan(plan, &why));
    QCOMPARE(why, MeterLine::ScanRefusal::BadPlan);
    plan.lastAddress = 63;
    plan.settings.clear();
    QVERIFY(!line.line->startScan(plan, &why));
    QCOMPARE(why, MeterLine::ScanRefusal::BadPlan);
    QCOMPARE(line.line->activity(), TransactionScheduler::Activity::Monitoring);
}

QTEST_GUILESS_MAIN(TestLineScan)
#include "tst_linescan.moc"
