// The scan window as the Tools menu opens it, on the program's own line to
// the meter simulator: the finds taken as the configuration are stored and
// polled at once.
#include "FrameTestSupport.h"

#include "CommandIds.h"
#include "LineScanWindow.h"
#include "MeterSimProcess.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int kDeadlineMs = 60000;

} // namespace

class TestLineScanFrame : public QObject {
    Q_OBJECT

private slots:
    // The program runs at 9600 8N1 on meters 0..1; the meters, 3 and 7,
    // hear only 19200 8N2.
    void theFindsBecomeTheConfigurationWithoutARestart()
    {
        MeterSimProcess sim;
        QVERIFY(sim.start({"--addresses", "3-7", "--silent", "4-6", "--baud", "19200", "--stop-bits", "2",
                           "--strict-line"}));
        FrameFixture fixture;
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), sim.devicePath());
        fixture.set(QStringLiteral("CommConfig"), QStringLiteral("stopbits"), QStringLiteral("0"));
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.setMeterRange(0, 1, 200);
        CMainFrame *frame = fixture.start();
        QVERIFY(frame);
        QVERIFY(frame->line().isOpen());
        QVERIFY(!frame->lineScan());
        frame->onCommand(CommandId::ScanLine);
        LineScanWindow *window = frame->lineScan();
        QVERIFY(window);
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), kDeadlineMs);
        QCOMPARE(window->windowTitle(), QStringLiteral("Scan the Line"));
        // The inputs start at the line's own setting.
        auto *bauds = window->findChild<QListWidget *>(QStringLiteral("baudList"));
        QCOMPARE(bauds->item(11)->checkState(), Qt::Checked);
        QVERIFY(window->findChild<QCheckBox *>(QStringLiteral("stopBits0"))->isChecked());
        QVERIFY(!window->findChild<QCheckBox *>(QStringLiteral("stopBits2"))->isChecked());

        window->findChild<QSpinBox *>(QStringLiteral("toSpin"))->setValue(9);
        bauds->item(13)->setCheckState(Qt::Checked);
        window->findChild<QCheckBox *>(QStringLiteral("stopBits2"))->setChecked(true);
        QVERIFY(!window->findChild<QPushButton *>(QStringLiteral("useConfigButton"))->isEnabled());
        QVERIFY(window->start());
        QTRY_VERIFY_WITH_TIMEOUT(!window->scanning(), kDeadlineMs);
        QCOMPARE(window->finds().size(), 2);
        const qsizetype heardInScan = sim.requests().size();

        fixture.prompts.clear();
        window->findChild<QPushButton *>(QStringLiteral("useConfigButton"))->click();
        QCOMPARE(fixture.prompts.shown.size(), 0);
        const SettingsFile stored = fixture.settings();
        const QList<QPair<QString, QString>> expected{
            {"CommConfig/comname", "1"},         {"CommConfig/baudrate", "13"},
            {"CommConfig/bytesize", "8"},        {"CommConfig/parity", "0"},
            {"CommConfig/stopbits", "2"},        {"CommConfig/baudratevalue", "19200"},
            {"MeterConfig/metertype", "1"},      {"MeterConfig/channels", "1"},
            {"MeterConfig/samplingtime", "200"}, {"MeterConfig/singleormulti", "2"},
            {"MeterConfig/startaddress", "3"},   {"MeterConfig/endaddress", "7"},
            {"MeterConfig/meteramount", "5"}};
        for (const auto &[key, value] : expected)
            QCOMPARE(stored.ReadSetting(key.section('/', 0, 0), key.section('/', 1)), value);
        QCOMPARE(frame->portSettings().baudText, QStringLiteral("19200"));

        // The line polls the found meters at their setting, which is all
        // the simulator hears.
        QVERIFY(frame->line().isOpen());
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().liveValues().health(3).answers > 0 &&
                                     frame->line().liveValues().health(7).answers > 0,
                                 kDeadlineMs);
        QSet<int> polled;
        const QList<MeterSimProcess::Request> requests = sim.requests();
        for (qsizetype i = heardInScan; i < requests.size(); ++i)
            polled.insert(requests[i].address);
        QVERIFY(polled.contains(3));
        QVERIFY(polled.contains(7));
        QVERIFY(window->statusText().startsWith(QStringLiteral("19200 8N2 with the addresses 3..7")));
        fixture.application.reset();
        QVERIFY(sim.stop());
    }
};

QTEST_MAIN(TestLineScanFrame)
#include "tst_linescanframe.moc"
