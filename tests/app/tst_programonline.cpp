#include "FrameTestSupport.h"

#include "HistoryRecorder.h"
#include "HistoryStore.h"

#include "CEditGrid.h"
#include "CQuorvaneView.h"
#include "CommandIds.h"
#include "LineTimers.h"
#include "LiveValueTable.h"
#include "MeterLine.h"
#include "MeterManager.h"
#include "MeterRegisterModel.h"
#include "MeterSimProcess.h"
#include "ParameterDialog.h"
#include "PortNames.h"
#include "PvSvPanel.h"
#include "SerialLink.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QWizard>

#include <algorithm>
#include <csignal>
#include <optional>

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

// The texts of one column of the parameter table, rows 1 on.
QStringList columnTexts(CEditGrid *grid, int column)
{
    QStringList texts;
    for (int row = 0; row < grid->rowCount(); ++row)
        texts << grid->item(row, column)->text();
    return texts;
}

// Clicks the value cell of grid row `row` and types `text` over it, as the
// operator does, ending with Enter.
void typeIntoCell(CEditGrid *grid, int row, const QString &text)
{
    const QRect cell = grid->visualRect(grid->cellIndex(row, 2));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(grid, text.at(0).toLatin1());
    QTest::keyClicks(grid->cellEditor(), text.mid(1));
    QTest::keyClick(grid->cellEditor(), Qt::Key_Return);
    QCOMPARE(grid->item(row - 1, 2)->text(), text);
}

// The register writes among the requests, as {address, register, value}.
QList<QList<int>> writesOf(const QList<MeterSimProcess::Request> &requests)
{
    QList<QList<int>> writes;
    for (const auto &request : requests)
        if (request.function == 6)
            writes << QList<int>{request.address, request.reg, request.value};
    return writes;
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

    void operator_edits_a_meters_parameters_from_its_panel()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.set(QStringLiteral("MeterConfig"), QStringLiteral("samplingtime"), QStringLiteral("200"));
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("1-5")}),
                 qPrintable(sim.errorText()));
        CMainFrame *frame = fixture.start();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));

        // F2: one panel per configured meter, each showing its meter's value.
        QTest::keyClick(frame, Qt::Key_F2);
        CQuorvaneView *view = frame->view();
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterPanel);
        const LiveValueTable &live = frame->line().liveValues();
        for (int a = 1; a <= 5; ++a) {
            QVERIFY(view->panel(a) && view->panel(a)->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!view->panel(a)->valueText().isEmpty() &&
                                         view->panel(a)->valueText() == QString::asprintf("%.1f", live[a]),
                                     30000);
        }
        QVERIFY(!view->panel(0) && !view->panel(6));

        // Right-click panel 3# and choose "Read All Parameter".
        PvSvPanel *panel = view->panel(3);
        QCOMPARE(panel->windowTitle(), QStringLiteral("3#"));
        // Through the window, as a real click comes, so that the press turns
        // into a context menu request.
        QTest::mouseClick(frame->windowHandle(), Qt::RightButton, {}, panel->mapTo(frame, QPoint(20, 40)));
        auto *menu = panel->findChild<QMenu *>(QStringLiteral("panelMenu"));
        QTRY_VERIFY(menu->isVisible());
        QAction *readAll = menu->actions().at(0);
        QCOMPARE(readAll->text(), QStringLiteral("Read All Parameter"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(readAll).center());
        QTRY_VERIFY(frame->progressShown());

        // Meter 3's 34 parameters of type 1, formatted by the menu.
        QTRY_VERIFY_WITH_TIMEOUT(frame->parameterDialog() && frame->parameterDialog()->isVisible(), 60000);
        ParameterDialog *dialog = frame->parameterDialog();
        CEditGrid *grid = dialog->grid();
        const QStringList loaded = columnTexts(grid, 2);
        QCOMPARE(loaded.size(), 34);
        QCOMPARE(columnTexts(grid, 1).at(0), QStringLiteral("Set Value"));
        QCOMPARE(loaded.at(0), QStringLiteral("50.0"));
        for (const auto &request : sim.requests())
            if (request.function == 3 && request.reg != 200)
                QCOMPARE(request.address, 3);
        // A second read while the window is open is refused.
        frame->onCommand(CommandId::ReadAllParameters);
        QCOMPARE(fixture.prompts.lastText(),
                 QStringLiteral("Please click \"Back\"in the\"All Parameter\",then try again."));
        fixture.prompts.clear();

        // Two cells edited, then "Only Changed" (preselected) and Yes.
        typeIntoCell(grid, 1, QStringLiteral("61.5"));
        typeIntoCell(grid, 9, QStringLiteral("300"));
        const qsizetype before = sim.requests().size();
        std::optional<qsizetype> writesWhenDone;
        auto *writeButton = dialog->findChild<QPushButton *>(QStringLiteral("writeButton"));
        QTest::mouseClick(writeButton, Qt::LeftButton);
        // A second Write In while the first runs is refused before any
        // question: no Yes that would start nothing.
        QTRY_VERIFY(frame->progressShown());
        const qsizetype questions = fixture.prompts.count(RecordingPrompts::Kind::Question);
        QTest::mouseClick(writeButton, Qt::LeftButton);
        QCOMPARE(fixture.prompts.count(RecordingPrompts::Kind::Question), questions);
        QCOMPARE(fixture.prompts.lastText(),
                 QStringLiteral("A write is still running, please write again when it has ended."));
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                if (!writesWhenDone && fixture.prompts.count(RecordingPrompts::Kind::Info) > 0)
                    writesWhenDone = writesOf(sim.requests().mid(before)).size();
                return writesWhenDone.has_value();
            }(),
            30000);
        QCOMPARE(fixture.prompts.lastText(), QStringLiteral("Write completely!"));
        const QList<QList<int>> writes = writesOf(sim.requests().mid(before));
        QCOMPARE(writes, (QList<QList<int>>{{3, 0, 615}, {3, 16, 300}}));
        // The message came once the last write had reached the meter.
        QCOMPARE(*writesWhenDone, 2);
        QVERIFY(dialog->isVisible());

        // Read back: only those two parameters changed in the meter.
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("cancelButton")), Qt::LeftButton);
        QTRY_VERIFY(!frame->parameterDialogExists());
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().timerActive(TimerId::PollTimer), 30000);
        frame->onCommand(CommandId::ReadAllParameters);
        QTRY_VERIFY_WITH_TIMEOUT(frame->parameterDialog() && frame->parameterDialog()->isVisible(), 60000);
        QStringList expected = loaded;
        expected[0] = QStringLiteral("61.5");
        expected[8] = QStringLiteral("300");
        QCOMPARE(columnTexts(frame->parameterDialog()->grid(), 2), expected);
        QCOMPARE(fixture.prompts.count(RecordingPrompts::Kind::Error), 0);
    }

    void operator_widens_the_line_and_names_the_meters()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.setMeterRange(1, 5, 200);
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("0-9")}),
                 qPrintable(sim.errorText()));
        CMainFrame *frame = fixture.start();
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_F2);
        CQuorvaneView *view = frame->view();
        QVERIFY(view->panel(5) && !view->panel(6));

        // F4: the wizard, on to its second page, Multi 1..8, Finish.
        WhenModalShown wizard([](QDialog *dialog) {
            auto *sheet = qobject_cast<QWizard *>(dialog);
            QVERIFY(sheet);
            sheet->button(QWizard::NextButton)->click();
            sheet->findChild<QRadioButton *>(QStringLiteral("multi"))->click();
            auto *last = sheet->findChild<QComboBox *>(QStringLiteral("lastAddressList"));
            last->setCurrentIndex(last->findText(QStringLiteral("8")));
            emit last->activated(last->currentIndex());
            sheet->button(QWizard::FinishButton)->click();
        });
        QTest::keyClick(frame, Qt::Key_F4);
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("MeterConfig"), QStringLiteral("endaddress")),
                 QStringLiteral("8"));
        QCOMPARE(fixture.settings().ReadSetting(QStringLiteral("MeterConfig"), QStringLiteral("meteramount")),
                 QStringLiteral("8"));

        // Eight panels fill with the meters' values, without a restart.
        const LiveValueTable &live = frame->line().liveValues();
        for (int a = 1; a <= 8; ++a) {
            QVERIFY(view->panel(a) && view->panel(a)->isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(!view->panel(a)->valueText().isEmpty() &&
                                         view->panel(a)->valueText() == QString::asprintf("%.1f", live[a]),
                                     30000);
        }
        QSet<int> polled;
        for (const auto &request : sim.requests())
            if (request.function == 3 && request.reg == 200)
                polled.insert(request.address);
        QVERIFY(polled.contains(6) && polled.contains(7) && polled.contains(8));
        QVERIFY(!polled.contains(9));

        // Meters 0..2 added to the register with their positions; the
        // meter panel shows them as the panels' titles.
        frame->onCommand(CommandId::MeterManager);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterManager);
        for (int a = 0; a <= 2; ++a) {
            WhenModalShown add([a](QDialog *dialog) {
                QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("address"))->text(),
                         QString::number(a));
                dialog->findChild<QLineEdit *>(QStringLiteral("installPosition"))
                    ->setText(QStringLiteral("Pump %1").arg(a));
                dialog->findChild<QPushButton *>(QStringLiteral("confirmButton"))->click();
            });
            view->meterManager()->addMeter();
        }
        QCOMPARE(view->meterManager()->model()->rowCount(), 3);
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        QTest::keyClick(frame, Qt::Key_F2);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterPanel);
        QCOMPARE(view->panel(1)->position(), QStringLiteral("Pump 1"));
        QCOMPARE(view->panel(2)->position(), QStringLiteral("Pump 2"));
        QCOMPARE(view->panel(3)->position(), QString());
        QCOMPARE(fixture.prompts.count(RecordingPrompts::Kind::Error), 0);
    }

    void history_holds_what_the_meters_answered()
    {
        FrameFixture fixture;
        fixture.setMeterRange(1, 3, 200);
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("1-3")}),
                 qPrintable(sim.errorText()));
        fixture.start();
        QTRY_VERIFY_WITH_TIMEOUT(sim.processValues().size() >= 15, 20000);
        HistoryRecorder *recorder = fixture.application->history();
        QVERIFY(recorder && recorder->enabled());
        recorder->flush();
        const QList<MeterSimProcess::ProcessValue> answered = sim.processValues();

        // Meter by meter, the recorded values are the simulator's answers in
        // the order given, but for one still on its way and those the probe
        // got when the line opened (it reads the same register and keeps
        // nothing).
        const HistoryStore store(recorder->filePath());
        const QList<HistorySample> recorded =
            store.samples({1, 2, 3}, 0, QDateTime::currentMSecsSinceEpoch() + 1);
        for (int a = 1; a <= 3; ++a) {
            QList<int> expected;
            for (const auto &value : answered)
                if (value.address == a)
                    expected << value.tenths;
            QList<int> stored;
            for (const HistorySample &sample : recorded)
                if (sample.address == a && sample.value)
                    stored << int(std::lround(*sample.value * 10));
            qsizetype probed = 0;
            while (probed < 2 && !stored.isEmpty() && expected.mid(probed, stored.size()) != stored)
                ++probed;
            QVERIFY2(stored.size() >= expected.size() - probed - 1,
                     qPrintable(QStringLiteral("meter %1: %2 stored, %3 answered")
                                    .arg(a)
                                    .arg(stored.size())
                                    .arg(expected.size())));
            QCOMPARE(stored, expected.mid(probed, stored.size()));
        }
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
