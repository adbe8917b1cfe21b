// Photographs the program's windows on the meter simulator for the manual
// and the README. Run by hand under a real window system, for example:
// xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb shoot_screens OUTDIR LANG
// It writes OUTDIR/panels-5-LANG.png, panels-64-LANG.png, parameters-LANG.png,
// chart-LANG.png, chart-settings-LANG.png, chart-range-LANG.png, wizard-1-LANG.png,
// wizard-2-LANG.png, manager-LANG.png, meter-info-LANG.png, statistics-LANG.png,
// traffic-LANG.png, history-LANG.png, sets-compare-LANG.png and scan-LANG.png (LANG zh or en). A
// third argument takes one scene only (panels-5, panels-64, chart, register, diagnostics, scan, alarms).
#include "FrameTestSupport.h"

#include "CQuorvaneView.h"
#include "AlarmLimitsStore.h"
#include "AlarmsWindow.h"
#include "CommandIds.h"
#include "HistoryChartWindow.h"
#include "HistoryStore.h"
#include "LineScanWindow.h"
#include "LineStatisticsWindow.h"
#include "MeterManager.h"
#include "MeterSimProcess.h"
#include "ParameterSetsWindow.h"
#include "SetStore.h"
#include "MonitoringPanel.h"
#include "PvSvPanel.h"
#include "TrafficMonitorWindow.h"
#include "StoreFixtures.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QTreeWidget>
#include <QWizard>

#include <cmath>

#include <cstdio>

namespace {

struct Scene {
    enum Kind { Panels, PanelsAndParameters, Chart, Register, Diagnostics, Scan, Alarms };
    QString name;
    int first;
    int last;
    QStringList simOptions;
    Kind kind;
};

// Saves the modal dialog that `open` brings up, then closes it.
void shootModal(const QString &file, const std::function<void()> &open)
{
    QTimer::singleShot(800, [file] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            dialog->grab().save(file);
            if (auto *box = qobject_cast<QDialog *>(dialog))
                box->reject();
        }
    });
    open();
}

// The real-time chart of all meters of the scene, plotted every 5 s for
// nine sets, then its two dialogs.
void shootChart(CMainFrame *frame, const QString &outDir, const QString &suffix)
{
    frame->onCommand(CommandId::RealtimeChart);
    MonitoringPanel *monitor = frame->view()->monitoringPanel();
    auto *tree = monitor->findChild<QTreeWidget *>(QStringLiteral("watchTree"));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tree->topLevelItem(i)->setCheckState(0, Qt::Checked);
    auto *unit = monitor->findChild<QComboBox *>(QStringLiteral("intervalUnit"));
    unit->setCurrentIndex(0);
    emit unit->activated(0);
    auto *start = monitor->findChild<QPushButton *>(QStringLiteral("startButton"));
    start->click();
    QTest::qWait(9 * 5000 + 500);
    frame->grab().save(QStringLiteral("%1/chart-%2.png").arg(outDir, suffix));
    start->click();
    shootModal(QStringLiteral("%1/chart-settings-%2.png").arg(outDir, suffix),
               [monitor] { monitor->findChild<QPushButton *>(QStringLiteral("chartOption"))->click(); });
    shootModal(QStringLiteral("%1/chart-range-%2.png").arg(outDir, suffix),
               [frame] { frame->onCommand(CommandId::ChartRange); });
}

const char *const kPositions[][2] = {
    {"1号锅炉出口", "Boiler 1 outlet"}, {"1号锅炉回水", "Boiler 1 return"},
    {"热交换器 A", "Heat exchanger A"}, {"冷却塔", "Cooling tower"},
    {"蒸汽总管", "Steam header"},
};

void fillRegister(const QString &path, int language, int count)
{
    const char *const types[] = {"TX-101", "TX-101", "TX-202", "TX-408", "TX-101"};
    const char *const ranges[] = {"0~400℃", "0~400℃", "0~1.6MPa", "0~100℃", "0~10MPa"};
    QStringList statements;
    for (int a = 0; a < count; ++a) {
        const QString position = a < 5 ? QString::fromUtf8(kPositions[a][language])
                                       : QStringLiteral("%1 %2").arg(language ? "Line" : "生产线").arg(a);
        statements << QStringLiteral("INSERT INTO YbGL (Yb_Id, Yb_Azwz, Yb_Type, Yb_Xh, Yb_Jddj, Yb_Clfw, "
                                     "Yb_Ccbh, Yb_Ccny) VALUES ('%1', '%2', '%3', 'PT100', '0.5', '%4', "
                                     "'S%5', '2024-03')")
                          .arg(a + (count == 5 ? 1 : 0))
                          .arg(position, QString::fromUtf8(types[a % 5]), QString::fromUtf8(ranges[a % 5]))
                          .arg(24031000 + a);
    }
    StoreFixtures::sql(path, statements);
}

// The wizard's two pages, the meter manager on the register and the
// information dialog of one meter.
void shootRegister(CMainFrame *frame, const QString &outDir, const QString &suffix)
{
    QTimer::singleShot(800, [outDir, suffix] {
        auto *wizard = qobject_cast<QWizard *>(QApplication::activeModalWidget());
        if (!wizard)
            return;
        wizard->grab().save(QStringLiteral("%1/wizard-1-%2.png").arg(outDir, suffix));
        wizard->next();
        QTimer::singleShot(300, wizard, [wizard, outDir, suffix] {
            wizard->grab().save(QStringLiteral("%1/wizard-2-%2.png").arg(outDir, suffix));
            wizard->reject();
        });
    });
    frame->onCommand(CommandId::MeterConfig);

    frame->onCommand(CommandId::MeterManager);
    MeterManager *manager = frame->view()->meterManager();
    manager->typeTree()->expandAll();
    manager->typeTree()->setCurrentItem(manager->typeTree()->topLevelItem(0));
    manager->meterList()->selectRow(2);
    QTest::qWait(300);
    frame->grab().save(QStringLiteral("%1/manager-%2.png").arg(outDir, suffix));
    shootModal(QStringLiteral("%1/meter-info-%2.png").arg(outDir, suffix),
               [manager] { manager->editMeter(); });
}

// A day of recorded values of meters 1..5 before the program starts, one
// every 12 s each, meter 4 silent for the last two hours.
void fillHistory(const QString &path)
{
    HistoryStore store(path);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    constexpr qint64 kDayMs = 24 * 3600 * 1000;
    QList<HistorySample> batch;
    for (qint64 t = now - kDayMs; t < now - 60000; t += 12000) {
        for (int a = 1; a <= 5; ++a) {
            const double hours = double(t - now) / 3600000.0;
            std::optional<double> value =
                std::round((a * 15.0 - 20.0 + (8.0 + a) * std::sin(hours * (0.4 + 0.1 * a) + a)) * 10.0) /
                10.0;
            if (a == 4 && t > now - 2 * 3600000)
                value.reset();
            batch.append({t + a * 40, a, value});
        }
        if (batch.size() > 5000) {
            store.append(batch);
            batch.clear();
        }
    }
    store.append(batch);
}

// The line statistics, the traffic monitor, the history chart of the last
// day and the comparison of a parameter set with a meter.
void shootDiagnostics(CMainFrame *frame, const QString &outDir, const QString &suffix, const QString &home)
{
    // A few rounds of the line first, so that the counts say something.
    QTest::qWait(6000);
    frame->onCommand(CommandId::LineStatistics);
    frame->lineStatistics()->resize(1240, 260);
    QTest::qWait(300);
    frame->lineStatistics()->grab().save(QStringLiteral("%1/statistics-%2.png").arg(outDir, suffix));
    frame->onCommand(CommandId::TrafficMonitor);
    frame->trafficMonitor()->resize(900, 420);
    QTest::qWait(4000);
    frame->trafficMonitor()->grab().save(QStringLiteral("%1/traffic-%2.png").arg(outDir, suffix));
    frame->onCommand(CommandId::HistoryChart);
    HistoryChartWindow *history = frame->historyChart();
    history->chooseRange(HistoryChartWindow::LastDay);
    QTest::qWait(800);
    history->grab().save(QStringLiteral("%1/history-%2.png").arg(outDir, suffix));

    // Meter 1's parameters kept as a set, compared with meter 2, which
    // differs in two of them.
    frame->onCommand(CommandId::DataBackup);
    ParameterSetsWindow *sets = frame->parameterSets();
    sets->resize(900, 600);
    const auto settled = [sets] { return QTest::qWaitFor([sets] { return !sets->busy(); }, 60000); };
    if (!sets->backup({1}) || !settled())
        return;
    const QList<ParameterSet> stored = SetStore(home).sets();
    if (stored.isEmpty())
        return;
    sets->selectSet(stored.first().id);
    if (!sets->compareWith(2) || !settled())
        return;
    QTest::qWait(300);
    sets->grab().save(QStringLiteral("%1/sets-compare-%2.png").arg(outDir, suffix));
}

// The scan window after a scan of addresses 0..9 at the line's own baud
// rate and at 19200, where the meters are, one answering with an exception.
void shootScan(CMainFrame *frame, const QString &outDir, const QString &suffix)
{
    frame->onCommand(CommandId::ScanLine);
    LineScanWindow *scan = frame->lineScan();
    scan->resize(760, 680);
    scan->findChild<QSpinBox *>(QStringLiteral("toSpin"))->setValue(9);
    auto *bauds = scan->findChild<QListWidget *>(QStringLiteral("baudList"));
    for (int row = 0; row < bauds->count(); ++row)
        if (bauds->item(row)->text() == QStringLiteral("19200"))
            bauds->item(row)->setCheckState(Qt::Checked);
    if (!scan->start() || !QTest::qWaitFor([scan] { return !scan->scanning(); }, 60000))
        return;
    QTest::qWait(300);
    scan->grab().save(QStringLiteral("%1/scan-%2.png").arg(outDir, suffix));
}

bool shoot(const Scene &scene, const QString &outDir, int language)
{
    const QString suffix = language ? QStringLiteral("en") : QStringLiteral("zh");
    FrameFixture fixture;
    fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(language));
    const int count = scene.last - scene.first + 1;
    fixture.setMeterRange(scene.first, scene.last, 200);
    fixture.set(QStringLiteral("ChartConfig"), QStringLiteral("MinValue"), QStringLiteral("-60"));
    fixture.set(QStringLiteral("ChartConfig"), QStringLiteral("MaxValue"), QStringLiteral("90"));
    fixture.set(QStringLiteral("ChartConfig"), QStringLiteral("BkColor"), QStringLiteral("15787228"));
    QFile::copy(StoreFixtures::builtDatabase(QStringLiteral("qlvmdata.db")),
                fixture.home.filePath(QStringLiteral("qlvmdata.db")));
    QFile::setPermissions(fixture.home.filePath(QStringLiteral("qlvmdata.db")),
                          QFile::ReadOwner | QFile::WriteOwner);
    fillRegister(fixture.home.filePath(QStringLiteral("qlvmdata.db")), language, count);
    if (scene.kind == Scene::Diagnostics)
        fillHistory(fixture.home.filePath(QStringLiteral("qlvmhist.db")));
    if (scene.kind == Scene::Alarms) {
        // Meter 2 above its high limit, 3 below its low limit, 5 silent.
        AlarmLimitsStore limits(fixture.home.path());
        AlarmLimits high;
        high.high = 100;
        AlarmLimits low;
        low.low = -10;
        limits.save(2, high);
        limits.save(3, low);
        fixture.set(QStringLiteral("Alarms"), QStringLiteral("commloss"), QStringLiteral("1"));
    }

    MeterSimProcess sim;
    QStringList options{QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                        QStringLiteral("%1-%2").arg(scene.first).arg(scene.last)};
    if (!sim.start(options + scene.simOptions)) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errorText()));
        return false;
    }
    CMainFrame *frame = fixture.start();
    frame->setGeometry(0, 0, 1024, 720);
    if (scene.kind == Scene::Chart || scene.kind == Scene::Register || scene.kind == Scene::Diagnostics ||
        scene.kind == Scene::Scan) {
        // Every meter answered once before the first set.
        QTest::qWait(3000);
        if (scene.kind == Scene::Chart)
            shootChart(frame, outDir, suffix);
        else if (scene.kind == Scene::Register) {
            shootRegister(frame, outDir, suffix);
            shootModal(QStringLiteral("%1/port-%2.png").arg(outDir, suffix),
                       [frame] { frame->onCommand(CommandId::CommConfig); });
        }
        else if (scene.kind == Scene::Scan)
            shootScan(frame, outDir, suffix);
        else
            shootDiagnostics(frame, outDir, suffix, fixture.home.path());
        fixture.application.reset();
        sim.stop();
        return true;
    }
    frame->onCommand(CommandId::MeterInterface);
    // One full pass over the meters, so that every panel has its value.
    QTest::qWait(std::max(3000, count * 200 + 1500));
    frame->grab().save(QStringLiteral("%1/%2-%3.png").arg(outDir, scene.name, suffix));
    if (scene.kind == Scene::Alarms) {
        frame->onCommand(CommandId::Alarms);
        frame->alarmsWindow()->resize(900, 560);
        QTest::qWait(2500);
        frame->alarmsWindow()->grab().save(QStringLiteral("%1/alarms-window-%2.png").arg(outDir, suffix));
    }
    if (scene.kind == Scene::PanelsAndParameters) {
        frame->line().selectMeter(scene.first + 2);
        frame->onCommand(CommandId::ReadAllParameters);
        const bool shown = QTest::qWaitFor(
            [&] {
                return frame->findChild<QDialog *>(QStringLiteral("ParameterDialog")) &&
                       frame->findChild<QDialog *>(QStringLiteral("ParameterDialog"))->isVisible();
            },
            30000);
        if (!shown) {
            std::fprintf(stderr, "the parameter dialog did not come\n");
            return false;
        }
        QTest::qWait(500);
        frame->findChild<QDialog *>(QStringLiteral("ParameterDialog"))
            ->grab()
            .save(QStringLiteral("%1/parameters-%2.png").arg(outDir, suffix));
    }
    fixture.application.reset();
    sim.stop();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: shoot_screens OUTDIR zh|en\n");
        return 2;
    }
    const QString outDir = QString::fromLocal8Bit(argv[1]);
    const int language = qstrcmp(argv[2], "en") == 0 ? 1 : 0;
    // A third argument picks one scene by name.
    const QString only = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    const QList<Scene> scenes{
        {QStringLiteral("panels-5"), 1, 5, {}, Scene::PanelsAndParameters},
        {QStringLiteral("panels-64"),
         0,
         63,
         {QStringLiteral("--silent"), QStringLiteral("13")},
         Scene::Panels},
        {QStringLiteral("chart"), 1, 5, {QStringLiteral("--silent"), QStringLiteral("4")}, Scene::Chart},
        {QStringLiteral("register"), 1, 5, {}, Scene::Register},
        {QStringLiteral("diagnostics"),
         1,
         5,
         {QStringLiteral("--silent"), QStringLiteral("4"), QStringLiteral("--bad-crc"), QStringLiteral("5"),
          QStringLiteral("--param"), QStringLiteral("2:1=250"), QStringLiteral("--param"), QStringLiteral("2:3=12")},
         Scene::Diagnostics},
        {QStringLiteral("alarms"),
         1,
         5,
         {QStringLiteral("--value"), QStringLiteral("2=1250"), QStringLiteral("--value"), QStringLiteral("3=-150"),
          QStringLiteral("--silent"), QStringLiteral("5")},
         Scene::Alarms},
        {QStringLiteral("scan"),
         1,
         5,
         {QStringLiteral("--refuse"), QStringLiteral("4"), QStringLiteral("--baud"), QStringLiteral("19200"),
          QStringLiteral("--stop-bits"), QStringLiteral("2"), QStringLiteral("--strict-line")},
         Scene::Scan},
    };
    for (const Scene &scene : scenes)
        if ((only.isEmpty() || scene.name == only) && !shoot(scene, outDir, language))
            return 1;
    return 0;
}
