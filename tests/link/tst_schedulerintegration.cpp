#include "CommandIds.h"
#include "LineRig.h"
#include "MeterSimProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

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

QString shownAs(const MenuRow &row)
{
    return row.dot == 1 ? QString::number(row.registerValue / 10.0, 'f', 1)
                        : QString::number(row.registerValue);
}

QStringList firstValues(const ParameterDisplay &display)
{
    return QStringList(display.values.begin(), display.values.begin() + display.parameterCount);
}

} // namespace

class TestSchedulerIntegration : public QObject {
    Q_OBJECT

    QTemporaryDir dataDir;
    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<LineRig> rig;

    bool startLine(const QStringList &simArguments)
    {
        sim = std::make_unique<MeterSimProcess>();
        if (!sim->start(simArguments + QStringList{"--system-db", suppliedSystemDatabase(), "--meter-type",
                                                   QString::number(kMeterType)})) {
            qWarning() << sim->errorText();
            return false;
        }
        rig = std::make_unique<LineRig>(sim->devicePath(), dataDir.path(), kMeterType);
        return rig->startMonitoring(1, 5, 200);
    }

    bool allStoredSince(const QList<int> &meters, double mark)
    {
        for (int meter : meters) {
            if (rig->scheduler.LiveValueTable[meter] == mark)
                return false;
        }
        return true;
    }

    // Reads all parameters of `meter` and returns what would be shown.
    std::optional<ParameterDisplay> readAll(int meter)
    {
        const qsizetype before = rig->shown.size();
        const qsizetype prompts = rig->recordedPrompts.shown.size();
        rig->scheduler.readAllParameters(meter);
        if (!QTest::qWaitFor(
                [&] { return rig->shown.size() > before || rig->recordedPrompts.shown.size() > prompts; },
                kDeadlineMs) ||
            rig->shown.size() == before)
            return std::nullopt;
        return rig->shown.last();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dataDir.isValid());
        QVERIFY2(QFile::copy(suppliedSystemDatabase(), dataDir.filePath("qlvmsys.db")),
                 qPrintable(suppliedSystemDatabase()));
        QVERIFY(suppliedMenu(kMeterType).size() >= 4);
    }

    void cleanup()
    {
        rig.reset();
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
    }

    void everyMeterLandsInTheLiveValues()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        constexpr double mark = 12345.0;
        for (int meter = 1; meter <= 5; ++meter)
            rig->scheduler.LiveValueTable[meter] = mark;
        QTRY_VERIFY_WITH_TIMEOUT(allStoredSince({1, 2, 3, 4, 5}, mark), kDeadlineMs);
        for (int meter = 1; meter <= 5; ++meter)
            QVERIFY(qAbs(rig->scheduler.LiveValueTable[meter]) < 3276.8);
        QVERIFY(rig->recordedPrompts.shown.isEmpty());
        for (const MeterSimProcess::Request &request : sim->requests()) {
            QVERIFY(request.address >= 1 && request.address <= 5);
            QCOMPARE(request.reg, 200);
        }
    }

    void silentMeterIsMarkedAndTheLineRecovers()
    {
        QVERIFY(startLine({"--addresses", "1-5", "--silent", "3"}));
        rig->scheduler.LiveValueTable[3] = 1.0;
        QTRY_VERIFY_WITH_TIMEOUT(rig->scheduler.LiveValueTable[3] == -500.0, kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(rig->statusTexts.filter("Communication is reconnected!").size() >= 1,
                                 kDeadlineMs);
        // After the interruption every other meter is polled and stored again.
        constexpr double mark = 12345.0;
        for (int meter : {1, 2, 4, 5})
            rig->scheduler.LiveValueTable[meter] = mark;
        QTRY_VERIFY_WITH_TIMEOUT(allStoredSince({1, 2, 4, 5}, mark), kDeadlineMs);
        QCOMPARE(rig->scheduler.LiveValueTable[3], -500.0);
        QVERIFY(rig->statusTexts.filter("Communication is interrupted!").size() >= 1);
        QVERIFY(rig->recordedPrompts.shown.isEmpty());
    }

    void readAllShowsTheMeterValuesByTheMenu()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        const QList<MenuRow> menu = suppliedMenu(kMeterType);
        const std::optional<ParameterDisplay> display = readAll(2);
        QVERIFY2(display, qPrintable(rig->recordedPrompts.lastText()));
        QCOMPARE(display->parameterCount, menu.size());
        for (int k = 0; k < menu.size(); ++k) {
            QCOMPARE(display->names[k], menu[k].caption);
            QCOMPARE(display->values[k], shownAs(menu[k]));
        }
        QCOMPARE(rig->scheduler.writeAddress, 2);
        // Monitoring has resumed.
        const qsizetype requests = sim->requests().size();
        QVERIFY(sim->waitForRequests(requests + 3, kDeadlineMs));
        QCOMPARE(sim->requests().last().reg, 200);
    }

    void writtenValuesReachTheMeter()
    {
        QVERIFY(startLine({"--addresses", "1-5"}));
        QList<MenuRow> menu = suppliedMenu(kMeterType);
        QVERIFY(readAll(4));
        // Position 0 has one decimal place, position 3 none.
        QCOMPARE(menu[0].dot, 1);
        QCOMPARE(menu[3].dot, 0);
        ParameterWriteList list;
        list.count = 2;
        list.index = {0, 3};
        list.value = {123.4, -7};
        rig->scheduler.startWrite(list);
        QTRY_VERIFY_WITH_TIMEOUT(!rig->recordedPrompts.shown.isEmpty(), kDeadlineMs);
        QCOMPARE(rig->recordedPrompts.lastText(), QStringLiteral("Write completely!"));

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
};

QTEST_GUILESS_MAIN(TestSchedulerIntegration)
#include "tst_schedulerintegration.moc"
