// The scan window on a line over a pseudo-terminal to the meter simulator:
// what it finds at which setting, how a scan is cancelled or refused, the
// finds as text and as a file, and the register additions.
#include "DataDirectory.h"
#include "LineScanWindow.h"
#include "LineUnderTest.h"
#include "MeterRegister.h"
#include "MeterSimProcess.h"
#include "RegisterTexts.h"
#include "ScanResults.h"
#include "ScanTexts.h"
#include "SettingsFile.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;

enum Column { Address, Baud, Parity, DataBits, StopBits, Answer, Response, Value };

std::optional<ParameterMenu> noMenus(int)
{
    return std::nullopt;
}

} // namespace

class TestLineScanWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<LineUnderTest> rig;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SettingsFile> settings;
    PortSettings port = LineUnderTest::port();
    RecordingPrompts prompts;
    QList<PortSettings> reopened;
    bool watched = false;
    std::unique_ptr<LineScanWindow> window;

    // The line runs at 9600 8N1 and polls meters 3 to 5; the register and
    // the settings file live in a directory of the test's own.
    bool start(const QStringList &simArguments)
    {
        sim = std::make_unique<MeterSimProcess>();
        if (!sim->start(simArguments))
            return false;
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), noMenus, 3, 5, 200);
        home = std::make_unique<QTemporaryDir>();
        QFile::copy(DataDirectory::defaultsPath() + QStringLiteral("/qlvmdata.db"),
                    home->filePath(QStringLiteral("qlvmdata.db")));
        QFile::setPermissions(home->filePath(QStringLiteral("qlvmdata.db")),
                              QFile::ReadOwner | QFile::WriteOwner);
        settings = std::make_unique<SettingsFile>(home->filePath(QStringLiteral("qlvmsys.dll")));
        prompts.clear();
        prompts.answer = true;
        watched = false;
        LineScanWindow::Seams seams;
        seams.typeName = [](int) { return QStringLiteral("TC"); };
        seams.refused = [this] {
            if (watched)
                prompts.error(QStringLiteral("watched"), QString());
            return watched;
        };
        seams.registerDirectory = home->path();
        reopened.clear();
        seams.reopenLine = [this](const PortSettings &chosen) { reopened << chosen; };
        if (!rig->open())
            return false;
        window = std::make_unique<LineScanWindow>(*rig->line, rig->meters, port, *settings, seams,
                                                  rig->language, prompts);
        window->show();
        return true;
    }

    template <typename T> T *child(const char *name)
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }

    // Addresses 0..last at the bauds and stop bits given (stop-bits index 0
    // or 2), no parity.
    void choose(int last, const QList<int> &bauds, const QList<int> &stopBits)
    {
        child<QSpinBox>("fromSpin")->setValue(0);
        child<QSpinBox>("toSpin")->setValue(last);
        auto *list = child<QListWidget>("baudList");
        for (int row = 0; row < list->count(); ++row)
            list->item(row)->setCheckState(bauds.contains(list->item(row)->text().toInt()) ? Qt::Checked
                                                                                           : Qt::Unchecked);
        child<QCheckBox>("parity0")->setChecked(true);
        child<QCheckBox>("parity1")->setChecked(false);
        child<QCheckBox>("parity2")->setChecked(false);
        child<QCheckBox>("stopBits0")->setChecked(stopBits.contains(0));
        child<QCheckBox>("stopBits2")->setChecked(stopBits.contains(2));
    }

    bool scanToEnd()
    {
        child<QPushButton>("startButton")->click();
        return window->scanning() && QTest::qWaitFor([this] { return !window->scanning(); }, kDeadlineMs);
    }

    QString cell(int row, Column column) const { return window->resultsModel()->item(row, column)->text(); }

    // The process value the simulator last answered for `address`, as the
    // table shows it.
    QString answeredValue(int address)
    {
        QString shown;
        for (const MeterSimProcess::ProcessValue &value : sim->processValues())
            if (value.address == address)
                shown = QString::number(value.tenths / 10.0, 'f', 1);
        return shown;
    }

private slots:
    void cleanup()
    {
        window.reset();
        rig.reset();
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
        settings.reset();
        home.reset();
    }

    void theMetersAreFoundAtTheirOwnSettingOnly()
    {
        QVERIFY(start({"--addresses", "3-7", "--silent", "4-6", "--baud", "19200", "--stop-bits", "2",
                       "--strict-line"}));
        QCOMPARE(window->windowTitle(), QStringLiteral("Scan the Line"));
        choose(9, {9600, 19200}, {0, 2});
        QVERIFY(scanToEnd());
        QCOMPARE(window->resultsModel()->rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(cell(row, Address), row == 0 ? QStringLiteral("3") : QStringLiteral("7"));
            QCOMPARE(cell(row, Baud), QStringLiteral("19200"));
            QCOMPARE(cell(row, Parity), QStringLiteral("N"));
            QCOMPARE(cell(row, DataBits), QStringLiteral("8"));
            QCOMPARE(cell(row, StopBits), QStringLiteral("2"));
            QCOMPARE(cell(row, Answer), QStringLiteral("normal"));
            QVERIFY(cell(row, Response).toInt() >= 0);
            QCOMPARE(cell(row, Value), answeredValue(cell(row, Address).toInt()));
        }
        // The line's own setting first, then the others in the order of the lists.
        QCOMPARE(window->settingSummaries(),
                 QStringList({"nothing found at 9600 8N1", "nothing found at 9600 8N2",
                              "nothing found at 19200 8N1", "2 meter(s) found at 19200 8N2"}));
        QCOMPARE(window->statusText(), kScanDone.text(1).arg(2));
        auto *bar = window->findChild<QProgressBar *>(QStringLiteral("progressBar"));
        QCOMPARE(bar->value(), 40);
        QCOMPARE(bar->maximum(), 40);
        QVERIFY(child<QLabel>("progressLabel")->text().startsWith(QStringLiteral("40 / 40 candidates done")));
        QCOMPARE(prompts.shown.size(), 0);

        // The texts follow the language, the finds stay.
        rig->language.set(0);
        QCOMPARE(window->windowTitle(), QStringLiteral("扫描仪表"));
        QCOMPARE(window->resultsModel()->headerData(Address, Qt::Horizontal).toString(),
                 QStringLiteral("地址"));
        QCOMPARE(cell(1, Answer), QStringLiteral("正常"));
        QCOMPARE(window->settingSummaries().last(), QStringLiteral("在 19200 8N2 发现 2 台仪表"));
        QCOMPARE(child<QPushButton>("startButton")->text(), QStringLiteral("开始扫描(&S)"));
        QCOMPARE(window->statusText(), kScanDone.text(0).arg(2));
    }

    void theFindsAreCopiedAndSavedWithTheirHeader()
    {
        QVERIFY(start({"--addresses", "2-5", "--silent", "3-4", "--value", "2=-123", "--value", "5=4567"}));
        choose(6, {9600}, {0});
        QVERIFY(scanToEnd());
        const QStringList lines = window->tableText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0],
                 QStringLiteral("Address\tBaud\tParity\tData bits\tStop bits\tAnswer\tResponse (ms)\tValue"));
        QVERIFY(lines[1].startsWith(QStringLiteral("2\t9600\tN\t8\t1\tnormal\t")));
        QVERIFY(lines[1].endsWith(QStringLiteral("\t-12.3")));
        QVERIFY(lines[2].endsWith(QStringLiteral("\t456.7")));

        const QString path = home->filePath(QStringLiteral("scan.csv"));
        QVERIFY(window->saveCsv(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> rows = bytes.mid(3).split('\n');
        QCOMPARE(rows[0].trimmed(),
                 QByteArray("Address,Baud,Parity,Data bits,Stop bits,Answer,Response (ms),Value"));
        QVERIFY(rows[1].startsWith("2,9600,N,8,1,normal,"));
        QVERIFY(rows[2].trimmed().endsWith(",456.7"));

        // A file that cannot be written is told, and nothing is left behind.
        const QString blocked = home->filePath(QStringLiteral("no/such/dir/scan.csv"));
        QVERIFY(!window->saveCsv(blocked));
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Error), 1);
        QVERIFY(prompts.lastText().startsWith(QStringLiteral("%1 cannot be written").arg(blocked)));
    }

    void aMeterAnsweringWithAnExceptionIsFoundWithItsCode()
    {
        QVERIFY(start({"--addresses", "3-7", "--silent", "4-6", "--refuse", "7"}));
        choose(9, {9600}, {0});
        QVERIFY(scanToEnd());
        QCOMPARE(window->resultsModel()->rowCount(), 2);
        QCOMPARE(cell(0, Answer), QStringLiteral("normal"));
        QCOMPARE(cell(1, Address), QStringLiteral("7"));
        QCOMPARE(cell(1, Answer), QStringLiteral("exception 04"));
        QCOMPARE(cell(1, Value), QString());
        QVERIFY(window->finds()[1].exception);
    }

    // The simulator hears only the scan (19200 8N2); the line polls at its
    // own 9600 8N1 again once the scan has ended, unheard.
    void cancelEndsTheScanAtOnce()
    {
        QVERIFY(start({"--addresses", "0-63", "--baud", "19200", "--stop-bits", "2", "--strict-line"}));
        choose(63, {19200}, {2});
        child<QPushButton>("startButton")->click();
        QVERIFY(window->scanning());
        QVERIFY(sim->waitForRequests(5, kDeadlineMs));
        QSignalSpy polls(rig->line.get(), &MeterLine::pollJudged);
        child<QPushButton>("cancelButton")->click();
        QVERIFY(!window->scanning());
        const qsizetype heard = sim->requests().size();
        QCOMPARE(window->statusText(), kScanCancelled.text(1).arg(window->finds().size()));
        QVERIFY(child<QPushButton>("startButton")->isEnabled());
        QVERIFY(!child<QPushButton>("cancelButton")->isEnabled());
        // Monitoring is back; the probe under way was the last the meters heard.
        QTRY_VERIFY_WITH_TIMEOUT(polls.size() >= 3, kDeadlineMs);
        QVERIFY(sim->requests().size() <= heard + 1);
        QVERIFY(sim->requests().size() < 64);
    }

    void aScanThatCannotStartIsToldAndNothingIsSent_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("told");
        QTest::newRow("no baud rate ticked") << "baud" << kScanNoBaud.text(1);
        QTest::newRow("no parity ticked") << "parity" << kScanNoParity.text(1);
        QTest::newRow("no stop bits ticked") << "stopBits" << kScanNoStopBits.text(1);
        QTest::newRow("range upside down") << "range" << kScanBadRange.text(1);
        QTest::newRow("port closed") << "closed" << kScanNotOpen.text(1);
        QTest::newRow("line watched elsewhere") << "watched" << QStringLiteral("watched");
    }
    void aScanThatCannotStartIsToldAndNothingIsSent()
    {
        QFETCH(QString, input);
        QFETCH(QString, told);
        QVERIFY(start({"--addresses", "3"}));
        choose(9, {9600}, {0});
        if (input == "baud")
            choose(9, {}, {0});
        else if (input == "parity")
            child<QCheckBox>("parity0")->setChecked(false);
        else if (input == "stopBits")
            choose(9, {9600}, {});
        else if (input == "range")
            child<QSpinBox>("fromSpin")->setValue(10);
        else if (input == "closed")
            rig->line->close();
        else
            watched = true;
        QSignalSpy polls(rig->line.get(), &MeterLine::pollJudged);
        QVERIFY(!window->start());
        QVERIFY(!window->scanning());
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Error), 1);
        QCOMPARE(prompts.lastText(), told);
        QVERIFY(window->finds().isEmpty());
        QVERIFY(!child<QPushButton>("useConfigButton")->isEnabled());
        // An open line goes on polling as before.
        if (input != "closed")
            QTRY_VERIFY_WITH_TIMEOUT(polls.size() >= 2, kDeadlineMs);
    }

    // The register holds 0..3 and 8; it takes new meters after its last one.
    void theRegisterTakesTheMissingMetersInAddressOrder()
    {
        QVERIFY(start({"--addresses", "3-9", "--silent", "4-6,8"}));
        {
            MeterRegister meters(prompts, home->path());
            for (int address : {0, 1, 2, 3, 8}) {
                MeterRecord record = ScanResults::recordFor(address, QStringLiteral("Old"));
                record.installPosition = QStringLiteral("Pos %1").arg(address);
                QVERIFY(meters.append(record));
            }
        }
        choose(9, {9600}, {0});
        QVERIFY(scanToEnd());
        QCOMPARE(ScanResults::addressesOf(window->finds()), QList<int>({3, 7, 9}));
        QVERIFY(child<QPushButton>("addRegisterButton")->isEnabled());

        QCOMPARE(window->addToRegister(), 1);
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Question), 1);
        QCOMPARE(prompts.shown[0].text, kRegisterAskAdd.text(1));
        // Meter 7 would come after 8: told, not added.
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Warning), 1);
        QVERIFY(prompts.lastText().contains(kScanOutOfOrder.text(1).arg(7)));
        const MeterRegister after(prompts, home->path());
        QCOMPARE(after.records().size(), 6);
        QCOMPARE(after.records().last(), ScanResults::recordFor(9, QStringLiteral("TC")));
        QCOMPARE(after.find(3)->installPosition, QStringLiteral("Pos 3"));
        QCOMPARE(after.find(3)->meterType, QStringLiteral("Old"));
        QVERIFY(!after.find(7));

        // Nothing is left to add; a No adds nothing either.
        prompts.clear();
        QCOMPARE(window->addToRegister(), 0);
        QVERIFY(window->statusText().startsWith(kScanNoneToAdd.text(1)));
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Question), 0);
    }

    // A meter heard at every setting (the simulator not strict): the
    // setting of the selected find is taken, else that of the first.
    void theConfigurationTakesTheSettingOfTheSelectedFind_data()
    {
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("baudIndex");
        QTest::newRow("nothing selected: the first find") << -1 << 9600 << 11;
        QTest::newRow("a find at 19200 selected") << 1 << 19200 << 13;
    }
    void theConfigurationTakesTheSettingOfTheSelectedFind()
    {
        QFETCH(int, selectedRow);
        QFETCH(int, baud);
        QFETCH(int, baudIndex);
        QVERIFY(start({"--addresses", "6"}));
        choose(9, {9600, 19200}, {0});
        QVERIFY(scanToEnd());
        QCOMPARE(window->resultsModel()->rowCount(), 2);
        QCOMPARE(cell(1, Baud), QStringLiteral("19200"));
        if (selectedRow >= 0)
            window->findChild<QTableView *>(QStringLiteral("resultsTable"))->selectRow(selectedRow);
        QVERIFY(window->useAsConfiguration());
        QCOMPARE(reopened.size(), 1);
        QCOMPARE(reopened[0].baudText, QString::number(baud));
        QCOMPARE(reopened[0].portText, port.portText);
        const QList<QPair<QString, int>> expected{
            {"CommConfig/baudrate", baudIndex}, {"CommConfig/baudratevalue", baud},
            {"CommConfig/stopbits", 0},         {"CommConfig/comname", port.portNumber},
            {"MeterConfig/metertype", 5},       {"MeterConfig/samplingtime", 200},
            {"MeterConfig/singleormulti", 1},   {"MeterConfig/startaddress", 6},
            {"MeterConfig/endaddress", 6},      {"MeterConfig/meteramount", 1}};
        for (const auto &[key, value] : expected)
            QCOMPARE(settings->ReadInt(key.section('/', 0, 0), key.section('/', 1)), value);
        // The line follows the configuration: it polls meter 6 alone now.
        QCOMPARE(rig->meters.values().startaddress, 6);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void aDeclinedAdditionStoresNothing()
    {
        QVERIFY(start({"--addresses", "0-1"}));
        choose(3, {9600}, {0});
        QVERIFY(scanToEnd());
        prompts.answer = false;
        QCOMPARE(window->addToRegister(), 0);
        QCOMPARE(prompts.count(RecordingPrompts::Kind::Question), 1);
        QVERIFY(MeterRegister(prompts, home->path()).records().isEmpty());
    }
};

QTEST_MAIN(TestLineScanWindow)
#include "tst_linescanwindow.moc"
