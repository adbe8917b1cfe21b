#include "CommandIds.h"
#include "LineUnderTest.h"
#include "WriteLists.h"
#include "MeterSimProcess.h"
#include "SetStore.h"
#include "WriteLogger.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <memory>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 60000;
// A meter type of the supplied system database with a short menu.
constexpr int kMeterType = 5;

QString suppliedSystemDatabase()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvane/data/qlvmsys.db");
}

struct MenuRow {
    QString caption;
    int dot = 0;
    int registerValue = 0;
};

// The supplied menu of a meter type with the values a new meter holds, read
// straight from the database.
QList<MenuRow> suppliedMenu(int meterType)
{
    QList<MenuRow> menu;
    const QString connection = QStringLiteral("suppliedMenu");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(suppliedSystemDatabase());
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery q(db);
            q.prepare(
                QStringLiteral("SELECT ParaMenu_CaptionE, ParaMenu_Dot, ParaMenu_Default FROM YbParaMenu "
                               "WHERE ParaMenu_Type = ? ORDER BY ParaMenu_Cmd"));
            q.addBindValue(meterType);
            q.exec();
            while (q.next())
                menu.append({q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt()});
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return menu;
}

// The catalogue as the line sees it, over the supplied menu.
std::optional<ParameterMenu> suppliedMenuOf(int meterType)
{
    const QList<MenuRow> rows = suppliedMenu(meterType);
    ParameterMenu menu;
    menu.count = int(rows.size());
    for (int k = 0; k < rows.size(); ++k) {
        menu.captionE[k] = rows[k].caption;
        menu.oneDecimal[k] = rows[k].dot == 1;
    }
    return menu;
}

QString shownAs(const MenuRow &row)
{
    return row.dot == 1 ? QString::number(row.registerValue / 10.0, 'f', 1)
                        : QString::number(row.registerValue);
}

QStringList firstValues(const ParameterDisplay &display)
{
    return QStringList(display.values.begin(), display.values.begin() + display.parameterCount);
}

// A message box as the operator leaves it: open, its own event loop
// running, for `holdMs`, while the test watches what the line does.
class HoldingPrompts : public RecordingPrompts {
public:
    explicit HoldingPrompts(int holdMs) : holdMs(holdMs) {}

    void error(const QString &text, const QString &caption) override
    {
        RecordingPrompts::error(text, caption);
        hold();
    }
    void info(const QString &text, const QString &caption) override
    {
        RecordingPrompts::info(text, caption);
        hold();
    }

    std::function<void()> whileOpen; // run as the box opens
    std::function<void()> whenClosing;

private:
    void hold()
    {
        if (whileOpen)
            whileOpen();
        QEventLoop loop;
        QTimer::singleShot(holdMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (whenClosing)
            whenClosing();
    }
    int holdMs;
};

qint64 cpuMicroseconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000000 + usage.ru_utime.tv_usec +
           usage.ru_stime.tv_usec;
}

} // namespace

class TestMeterLine : public QObject {
    Q_OBJECT

    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<LineUnderTest> rig;
    // The data directory: without a settings file, so the line keeps its
    // defaults, unless a test writes one.
    QTemporaryDir home;

    bool startSim(const QStringList &arguments)
    {
        sim = std::make_unique<MeterSimProcess>();
        if (sim->start(arguments + QStringList{"--system-db", suppliedSystemDatabase(), "--meter-type",
                                               QString::number(kMeterType)}))
            return true;
        qWarning() << sim->errorText();
        return false;
    }

    bool startLine(const QStringList &simArguments, Prompts *prompts = nullptr, int pollMs = 200)
    {
        if (!startSim(simArguments))
            return false;
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), suppliedMenuOf, 1, 5, pollMs, prompts);
        return rig->open();
    }

    bool storedAgain(const QList<int> &meters)
    {
        for (int meter : meters) {
            if (!rig->storedSince.contains(meter))
                return false;
        }
        return true;
    }

    // Reads all parameters of `meter` and returns what would be shown.
    std::optional<ParameterDisplay> readAll(int meter)
    {
        const qsizetype before = rig->shown.size();
        const qsizetype prompts = rig->recorded.shown.size();
        if (!rig->line->readAllParameters(meter))
            return std::nullopt;
        if (!QTest::qWaitFor(
                [&] { return rig->shown.size() > before || rig->recorded.shown.size() > prompts; },
                kDeadlineMs) ||
            rig->shown.size() == before)
            return std::nullopt;
        return rig->shown.last();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(suppliedSystemDatabase()), qPrintable(suppliedSystemDatabase()));
        QVERIFY(suppliedMenu(kMeterType).size() >= 4);
        QVERIFY(home.isValid());
        qputenv("QUORVANE_HOME", home.path().toUtf8());
    }

    void cleanup()
    {
        rig.reset();
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
        QFile::remove(SettingsFile().path());
    }

    void everyMeterLandsInTheLiveValues()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain({1, 2, 3, 4, 5}), kDeadlineMs);
        for (int meter = 1; meter <= 5; ++meter)
            QVERIFY(qAbs(rig->values()[meter]) < 3276.8);
        QVERIFY(rig->recorded.shown.isEmpty());
        for (const MeterSimProcess::Request &request : sim->requests()) {
            QVERIFY(request.address >= 1 && request.address <= 5);
            QCOMPARE(request.reg, 200);
        }
    }

    // transport=broker: the line runs elsewhere and is watched, so the port
    // stays shut and the watch stores into the line's own live values.
    void aWatchedLineIsNotOpenedHere()
    {
        QVERIFY(startSim({"--addresses", "1-3"}));
        SettingsFile settings;
        QVERIFY(settings.WriteSetting(QStringLiteral("Line"), QStringLiteral("transport"),
                                      QStringLiteral("broker")));
        QVERIFY(settings.WriteSetting(QStringLiteral("Line"), QStringLiteral("broker"),
                                      QStringLiteral("127.0.0.1")));
        QVERIFY(
            settings.WriteSetting(QStringLiteral("Line"), QStringLiteral("line"), QStringLiteral("north")));
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), suppliedMenuOf, 1, 3, 200);
        const LineOpenResult opened = rig->line->open(LineUnderTest::port());
        QCOMPARE(opened.status, LineOpenResult::Status::OpenFailed);
        QCOMPARE(opened.failure.device, QStringLiteral("transport=broker"));
        QVERIFY(!rig->line->isOpen());
        for (int id : {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer, TimerId::WriteTimer})
            QVERIFY(!rig->line->timerActive(id));
        QVERIFY(!rig->line->reopening());
        QCOMPARE(&rig->line->watchedValues(), &rig->line->liveValues());
    }

    void silentMeterIsMarkedAndTheLineRecovers()
    {
        QVERIFY(startLine({"--addresses", "1-5", "--silent", "3"}));
        QSignalSpy marked(&rig->values(), &LiveValueTable::markedNotAnswering);
        QTRY_VERIFY_WITH_TIMEOUT(marked.contains(QVariantList{3}), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig->statusCount("Communication is reconnected!") >= 1, kDeadlineMs);
        // After the interruption every other meter is polled and stored again.
        rig->storedSince.clear();
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain({1, 2, 4, 5}), kDeadlineMs);
        QCOMPARE(rig->values()[3], -500.0);
        QVERIFY(rig->statusCount("Communication is interrupted!") >= 1);
        QVERIFY(rig->recorded.shown.isEmpty());
    }

    // One meter of each kind of trouble; the health of each tells which.
    void healthTellsTheMetersApart()
    {
        QVERIFY(startLine({"--addresses", "1-5", "--silent", "2", "--bad-crc", "3", "--refuse", "4"}));
        const LiveValueTable &values = rig->values();
        QTRY_VERIFY_WITH_TIMEOUT(values.health(1).answers >= 3 && values.health(2).missing >= 2 &&
                                     values.health(3).garbage >= 2 && values.health(4).exceptions >= 2 &&
                                     values.health(5).answers >= 3,
                                 kDeadlineMs);
        QCOMPARE(values.health(2).answers, 0);
        for (int meter : {3, 4}) {
            QCOMPARE(values.health(meter).answers, 0);
            QCOMPARE(values.health(meter).missing, 0);
            QVERIFY(values.health(meter).lastGoodAnswer.isNull());
        }
        for (int meter : {1, 5}) {
            const MeterHealth &health = values.health(meter);
            QCOMPARE(health.garbage + health.exceptions, 0);
            QVERIFY(health.lastResponseMs >= 0 && health.lastResponseMs < 200);
            QVERIFY(health.lastGoodAnswer.secsTo(QDateTime::currentDateTime()) < 60);
        }
        QVERIFY(!rig->storedSince.contains(2) && !rig->storedSince.contains(3) &&
                !rig->storedSince.contains(4));
        QCOMPARE(values[2], LiveValueTable::NoAnswer);

        // A new opening of the line starts the counts afresh.
        QVERIFY(rig->open());
        QCOMPARE(values.health(1).answers + values.health(2).missing, 0);
    }

    void readAllShowsTheMeterValuesByTheMenu()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        const QList<MenuRow> menu = suppliedMenu(kMeterType);
        const std::optional<ParameterDisplay> display = readAll(2);
        QVERIFY2(display, qPrintable(rig->recorded.lastText()));
        QCOMPARE(display->parameterCount, menu.size());
        for (int k = 0; k < menu.size(); ++k) {
            QCOMPARE(display->names[k], menu[k].caption);
            QCOMPARE(display->values[k], shownAs(menu[k]));
        }
        // Monitoring has resumed.
        const qsizetype requests = sim->requests().size();
        QVERIFY(sim->waitForRequests(requests + 3, kDeadlineMs));
        QCOMPARE(sim->requests().last().reg, 200);
    }

    void writtenValuesReachTheMeter()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        QTemporaryDir setsHome;
        SetStore sets(setsHome.path());
        WriteLogger logger(sets);
        logger.follow(*rig->line);
        QList<MenuRow> menu = suppliedMenu(kMeterType);
        QVERIFY(readAll(4));
        // Position 0 has one decimal place, position 3 none.
        QCOMPARE(menu[0].dot, 1);
        QCOMPARE(menu[3].dot, 0);
        QVERIFY(rig->line->startWrite(writeList({{0, 123.4}, {3, -7}})));
        QTRY_VERIFY_WITH_TIMEOUT(!rig->recorded.shown.isEmpty(), kDeadlineMs);
        QCOMPARE(rig->recorded.lastText(), QStringLiteral("Write completely!"));
        // Each write is in the write log, with the value the read found.
        const QList<WriteRecord> log = sets.writeLog();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].address, 4);
        QCOMPARE(log[0].k, 0);
        QCOMPARE(log[0].oldRaw, std::optional<qint16>(qint16(menu[0].registerValue)));
        QCOMPARE(log[0].newRaw, qint16(1234));
        QCOMPARE(log[0].result, WriteResult::Done);
        QCOMPARE(log[1].k, 3);
        QCOMPARE(log[1].oldRaw, std::optional<qint16>(qint16(menu[3].registerValue)));
        QCOMPARE(log[1].newRaw, qint16(-7));
        QCOMPARE(log[1].result, WriteResult::Done);

        menu[0].registerValue = 1234;
        menu[3].registerValue = -7;
        QStringList expected;
        for (const MenuRow &row : menu)
            expected.append(shownAs(row));
        const std::optional<ParameterDisplay> display = readAll(4);
        QVERIFY(display);
        QCOMPARE(firstValues(*display), expected);
        // Another meter keeps its own values.
        const std::optional<ParameterDisplay> other = readAll(5);
        QVERIFY(other);
        QCOMPARE(other->values[0], shownAs(suppliedMenu(kMeterType)[0]));
    }

    // On a 2-wire adapter every request comes back first; a meter that
    // answers 100 ms later must still be heard, whether it takes the write
    // or refuses it.
    void writeThroughAnEchoingAdapter_data()
    {
        QTest::addColumn<QStringList>("meterOptions");
        QTest::addColumn<QString>("message");
        QTest::newRow("accepted") << QStringList{} << QStringLiteral("Write completely!");
        QTest::newRow("refused") << QStringList{"--read-only", "2"}
                                 << QStringLiteral("The meter refused to write parameter No.1 \"%1\", "
                                                   "writing stopped!");
    }

    void writeThroughAnEchoingAdapter()
    {
        QFETCH(QStringList, meterOptions);
        QFETCH(QString, message);
        QVERIFY(startLine(QStringList{"--addresses", "1-5", "--echo", "--delay", "100"} + meterOptions,
                          nullptr, 300));
        QTemporaryDir setsHome;
        SetStore sets(setsHome.path());
        WriteLogger logger(sets);
        logger.follow(*rig->line);
        QVERIFY(readAll(2));
        QVERIFY(rig->line->startWrite(writeList({{0, 42.5}})));
        QTRY_VERIFY_WITH_TIMEOUT(!rig->recorded.shown.isEmpty(), kDeadlineMs);
        QCOMPARE(rig->recorded.shown.size(), 1);
        const QList<WriteRecord> log = sets.writeLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].newRaw, qint16(425));
        QCOMPARE(log[0].result, meterOptions.isEmpty() ? WriteResult::Done : WriteResult::Refused);
        QCOMPARE(log[0].exceptionCode, meterOptions.isEmpty() ? 0 : 4);
        if (message.contains(QLatin1String("%1")))
            message = message.arg(suppliedMenu(kMeterType)[0].caption);
        QCOMPARE(rig->recorded.lastText(), message);
        // The meter was never found silent.
        QCOMPARE(rig->statusCount("interrupted"), 0);
        QCOMPARE(rig->values().health(2).missing, 0);
    }

    // While a box that an answer or a tick caused stays open, the poll goes
    // on and its answers land.
    void anOpenBoxDoesNotStallTheLine_data()
    {
        QTest::addColumn<bool>("refusedRead");
        QTest::newRow("exception during a read of all parameters") << true;
        QTest::newRow("write completed") << false;
    }

    void anOpenBoxDoesNotStallTheLine()
    {
        QFETCH(bool, refusedRead);
        HoldingPrompts box(2000);
        QVERIFY(startLine({"--addresses", "1-5", "--refuse", "5"}, &box));
        qsizetype interruptionsBefore = 0;
        bool duringBox = false;
        box.whileOpen = [&] {
            duringBox = true;
            rig->storedSince.clear();
            interruptionsBefore = rig->statusCount("interrupted");
        };
        QSet<int> storedWhileOpen;
        box.whenClosing = [&] { storedWhileOpen = rig->storedSince; };
        if (refusedRead) {
            QVERIFY(rig->line->readAllParameters(5));
        } else {
            QVERIFY(readAll(2));
            QVERIFY(rig->line->startWrite(writeList({{1, 3}})));
        }
        QTRY_VERIFY_WITH_TIMEOUT(box.shown.size() == 1 && !storedWhileOpen.isEmpty(), kDeadlineMs);
        QVERIFY(duringBox);
        // Two seconds at 200 ms: every meter that answers was polled.
        QCOMPARE(storedWhileOpen, (QSet<int>{1, 2, 3, 4}));
        QCOMPARE(rig->statusCount("interrupted"), interruptionsBefore);
    }

    // The fast cycle over a line with real wire time: each request follows
    // the last answer, so the meters are refreshed far more often than the
    // one meter per 200 ms tick of the period cycle.
    void fastCycleRefreshesTheMetersFarMoreOften()
    {
        SettingsFile settings;
        QVERIFY(settings.WriteSetting(Setting::LineCycle, QStringLiteral("fast")));
        // Generous, so that a busy machine does not interrupt the line.
        QVERIFY(settings.WriteInt(Setting::LineTimeout, 300));
        QVERIFY(startSim({"--addresses", "1-8", "--wire-time"}));
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), suppliedMenuOf, 1, 8, 200);
        QVERIFY(rig->open());
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain({1, 2, 3, 4, 5, 6, 7, 8}), kDeadlineMs);

        constexpr int kAnswers = 80;
        QSignalSpy stored(&rig->values(), &LiveValueTable::valueStored);
        rig->storedSince.clear();
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(stored.size() >= kAnswers, kDeadlineMs);
        const double perSecond =
            1000.0 * double(stored.size()) / double(std::max<qint64>(clock.elapsed(), 1));
        qInfo("fast cycle: %.1f answers per second, the period cycle %d", perSecond, 1000 / 200);
        QVERIFY2(perSecond > 3 * (1000 / 200), qPrintable(QString::number(perSecond)));
        QVERIFY(storedAgain({1, 2, 3, 4, 5, 6, 7, 8}));
        for (const MeterSimProcess::Request &request : sim->requests()) {
            QVERIFY(request.address >= 1 && request.address <= 8);
            QCOMPARE(request.reg, 200);
        }
        QVERIFY(rig->recorded.shown.isEmpty());
    }

    // Two named lines in one process, each on its own simulator and each
    // with its own pacing: each has its own values and health, and losing
    // one line's device leaves the other polling.
    void twoSessionsRunIndependently()
    {
        MeterSimProcess northSim;
        MeterSimProcess southSim;
        QVERIFY(northSim.start({"--addresses", "1-3", "--value", "2=123"}));
        QVERIFY(southSim.start({"--addresses", "1-3", "--value", "2=-45"}));
        LineUnderTest north(northSim.devicePath(), suppliedMenuOf, 1, 3, 200, nullptr, QStringLiteral("north"));
        LineUnderTest south(southSim.devicePath(), suppliedMenuOf, 1, 2, 200, nullptr, QStringLiteral("south"));
        QCOMPARE(north.line->name(), QStringLiteral("north"));
        QCOMPARE(south.line->name(), QStringLiteral("south"));
        QVERIFY(north.open());
        LineSetup fast{LineUnderTest::port(), {}, {}};
        fast.cycle.cycle = CycleSettings::Cycle::Fast;
        QVERIFY(south.line->open(fast));

        QTRY_VERIFY_WITH_TIMEOUT(north.storedSince.size() == 3 && south.storedSince.size() == 2, kDeadlineMs);
        QCOMPARE(north.values()[2], 12.3);
        QCOMPARE(south.values()[2], -4.5);
        // South polls only meters 1 and 2, in the fast cycle: its meter 3
        // stays untouched, and its meters are answered far more often.
        QCOMPARE(south.values()[3], LiveValueTable::NoAnswer);
        QCOMPARE(south.values().health(3).answers, 0);
        QTRY_VERIFY_WITH_TIMEOUT(south.values().health(1).answers > 3 * north.values().health(1).answers,
                                 kDeadlineMs);

        QVERIFY(southSim.stop());
        QTRY_VERIFY_WITH_TIMEOUT(south.statusCount("The communication port is lost!") == 1, kDeadlineMs);
        north.storedSince.clear();
        QTRY_VERIFY_WITH_TIMEOUT(north.storedSince.size() == 3, kDeadlineMs);
        QVERIFY(north.line->isOpen());
        QCOMPARE(north.statusCount("The communication port is lost!"), 0);
        QVERIFY(north.recorded.shown.isEmpty() && south.recorded.shown.isEmpty());
        QVERIFY(northSim.stop());
    }

    // The adapter is pulled out and plugged back in: the simulator goes, and
    // a new one comes up under the same fixed device name.
    void theLineComesBackWithItsDevice()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB-rs485"));
        QVERIFY(startSim({"--addresses", "1-3", "--link", device}));
        rig = std::make_unique<LineUnderTest>(device, suppliedMenuOf, 1, 3, 200);
        QVERIFY(rig->open());
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain({1, 2, 3}), kDeadlineMs);

        // Qt warns of every read or write of a closed port.
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
                if (type == QtWarningMsg)
                    warnings << text;
            });
        // The hang-up itself tells that the device is gone: no tick writes to
        // it any more.
        qsizetype requestsAfterHangUp = 0;
        QObject watching;
        QObject::connect(rig->line.get(), &MeterLine::frameLogged, &watching, [&](const LineFrame &frame) {
            if (frame.kind == LineFrame::Kind::Request)
                ++requestsAfterHangUp;
        });
        const qint64 cpuAtHangUp = cpuMicroseconds();
        QVERIFY(sim->stop());
        QTRY_VERIFY_WITH_TIMEOUT(rig->statusCount("The communication port is lost!") == 1, kDeadlineMs);
        const qint64 cpuUntilLost = cpuMicroseconds() - cpuAtHangUp;
        QCOMPARE(requestsAfterHangUp, 0);
        QVERIFY(rig->line->reopening());
        for (int id : {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer, TimerId::WriteTimer})
            QVERIFY(!rig->line->timerActive(id));
        // Unplugged, the line costs next to nothing and writes nothing.
        const qint64 cpuBefore = cpuMicroseconds();
        QTest::qWait(2500);
        const qint64 cpuUsed = cpuMicroseconds() - cpuBefore;
        qInstallMessageHandler(previous);
        qInfo("CPU from the hang-up to the lost device: %.1f ms", cpuUntilLost / 1000.0);
        qInfo("CPU while unplugged: %.1f ms in 2.5 s", cpuUsed / 1000.0);
        QVERIFY2(cpuUsed < 250000, qPrintable(QString::number(cpuUsed)));
        QVERIFY(!rig->line->isOpen());
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));

        QVERIFY(startSim({"--addresses", "1-3", "--link", device}));
        rig->storedSince.clear();
        QElapsedTimer back;
        back.start();
        QTRY_VERIFY_WITH_TIMEOUT(storedAgain({1, 2, 3}), kDeadlineMs);
        qInfo("polling resumed after %lld ms", back.elapsed());
        QVERIFY(back.elapsed() < 3000 + 2 * 200 * 3);
        QCOMPARE(rig->statusCount("The communication port is open again"), 1);
        QVERIFY(!rig->line->reopening());
        QVERIFY(rig->recorded.shown.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMeterLine)
#include "tst_meterline.moc"
