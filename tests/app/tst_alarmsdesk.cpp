#include "FrameTestSupport.h"

#include "AlarmBeeper.h"
#include "AlarmLimitsDialog.h"
#include "AlarmLimitsStore.h"
#include "CQuorvaneView.h"
#include "CommandIds.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LineAlarms.h"
#include "MeterSimProcess.h"
#include "PvSvPanel.h"
#include "SettingsKeys.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

#include <limits>

namespace {

// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 60000;

void typeInto(QDialog *dialog, const char *field, const QString &text)
{
    auto *edit = dialog->findChild<QLineEdit *>(QString::fromLatin1(field));
    QVERIFY2(edit, field);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void clickOk(QDialog *dialog)
{
    auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttons"));
    QTest::mouseClick(buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

QString alarmPaneText(CMainFrame *frame)
{
    const auto *pane = frame->statusBar()->findChild<QLabel *>(QStringLiteral("alarmPane"));
    return pane ? pane->text() : QStringLiteral("<no alarm pane>");
}

QStringList alarmRows(const QString &home)
{
    const HistoryStore store(QDir(home).filePath(QString::fromLatin1(HistoryRecorder::FileName)));
    QStringList rows;
    for (const AlarmEvent &event : store.alarmEvents({}, 0, std::numeric_limits<qint64>::max()))
        rows << QStringLiteral("%1 %2 %3")
                    .arg(event.address)
                    .arg(QString::fromLatin1(alarmKindName(event.kind)),
                         QString::fromLatin1(alarmEventName(event.what)));
    return rows;
}

} // namespace

class TestAlarmsDesk : public QObject {
    Q_OBJECT

private slots:
    void refused_limits_name_the_field_and_store_nothing_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("high limit that is no number") << "high"
                                                      << "12a"
                                                      << "High limit: not a valid number.";
        QTest::newRow("low limit with a decimal comma") << "low"
                                                        << "1,5"
                                                        << "Low limit: not a valid number.";
        QTest::newRow("low limit not below the high one")
            << "low"
            << "100"
            << "Low limit: the low limit must be below the high limit.";
        QTest::newRow("negative deadband") << "deadband"
                                           << "-0.5"
                                           << "Deadband: must not be negative.";
        QTest::newRow("negative delay") << "delay"
                                        << "-2"
                                        << "Delay: must not be negative.";
    }
    void refused_limits_name_the_field_and_store_nothing()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        QTemporaryDir home;
        qputenv("QUORVANE_HOME", home.path().toUtf8());
        LineAlarms alarms;
        RecordingPrompts prompts;
        int applied = 0;
        AlarmLimitsDialog dialog(alarms, 4, 1, prompts, [&] { ++applied; });
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Alarm limits"));
        QCOMPARE(dialog.address(), 4);
        typeInto(&dialog, "high", QStringLiteral("100"));
        typeInto(&dialog, qPrintable(field), typed);
        dialog.findChild<QCheckBox *>(QStringLiteral("beep"))->setChecked(true);
        clickOk(&dialog);

        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(prompts.shown.first().text, message);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.findChild<QLineEdit *>(field)->text(), typed);
        QCOMPARE(applied, 0);
        const std::optional<QHash<int, AlarmLimits>> stored = AlarmLimitsStore(home.path()).load();
        QVERIFY(stored && stored->isEmpty());
        QCOMPARE(SettingsFile().ReadSetting(Setting::AlarmBeep), QStringLiteral("Error"));
        qunsetenv("QUORVANE_HOME");
    }

    // From the Tools menu: the limits go into table YbAlarm, the comm-loss
    // count and the beep into the settings file, and the line judges with
    // them at once.
    void limits_from_the_menu_are_stored_and_taken()
    {
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        QCOMPARE(alarmPaneText(frame), QStringLiteral("No alarms"));
        frame->line().selectMeter(7);
        QAction *item = fixture.menuItem(CommandId::EditAlarmLimits);
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Alarm &limits…"));

        bool seen = false;
        WhenModalShown edit([&](QDialog *dialog) {
            seen = true;
            QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("address"))->value(), 7);
            QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("commLoss"))->value(),
                     LineAlarms::DefaultCommLossAfter);
            typeInto(dialog, "high", QStringLiteral("80.5"));
            typeInto(dialog, "low", QStringLiteral("-3"));
            typeInto(dialog, "deadband", QStringLiteral("0.5"));
            typeInto(dialog, "delay", QStringLiteral("2"));
            auto *commLoss = dialog->findChild<QSpinBox *>(QStringLiteral("commLoss"));
            commLoss->setValue(5);
            dialog->findChild<QCheckBox *>(QStringLiteral("beep"))->setChecked(true);
            clickOk(dialog);
        });
        item->trigger();
        QVERIFY(seen);
        QVERIFY(fixture.prompts.shown.isEmpty());

        AlarmLimits expected;
        expected.high = 80.5;
        expected.low = -3;
        expected.deadband = 0.5;
        expected.delaySec = 2;
        const std::optional<QHash<int, AlarmLimits>> stored = AlarmLimitsStore(fixture.home.path()).load();
        QVERIFY(stored);
        QCOMPARE(stored->keys(), QList<int>{7});
        QVERIFY(stored->value(7) == expected);
        const LineAlarms &alarms = *fixture.application->alarms();
        QVERIFY(alarms.limits(7) == expected);
        QCOMPARE(alarms.commLossAfter(), 5);
        QCOMPARE(fixture.settings().ReadSetting(Setting::AlarmCommLoss), QStringLiteral("5"));
        QCOMPARE(fixture.settings().ReadSetting(Setting::AlarmBeep), QStringLiteral("1"));
    }

    // The beep sounds with an active alarm that waits for its
    // acknowledgement, only while switched on.
    void beep_follows_unacknowledged_active_alarms()
    {
        LineAlarms alarms([] { return qint64(1000); });
        AlarmLimits limits;
        limits.high = 100;
        alarms.setLimits(3, limits);
        int beeps = 0;
        AlarmBeeper beeper(alarms, [&] { ++beeps; });
        alarms.judge(3, AlarmSample::of(1000, 150));
        QCOMPARE(beeps, 0);
        QVERIFY(!beeper.beeping());

        beeper.setEnabled(true);
        QCOMPARE(beeps, 1);
        QVERIFY(beeper.beeping());
        QTRY_COMPARE_WITH_TIMEOUT(beeps, 2, 3 * AlarmBeeper::PeriodMs);

        // Still active but acknowledged: quiet.
        QVERIFY(alarms.acknowledge(3, AlarmKind::High));
        QVERIFY(!beeper.beeping());
        // Raised anew and cleared before anyone came: waiting, but not
        // active any more.
        alarms.judge(3, AlarmSample::of(2000, 50));
        alarms.judge(3, AlarmSample::of(3000, 150));
        QVERIFY(beeper.beeping());
        alarms.judge(3, AlarmSample::of(4000, 50));
        QVERIFY(alarms.alarms(3)[AlarmKind::High].unacknowledged);
        QVERIFY(!beeper.beeping());
        alarms.judge(3, AlarmSample::of(5000, 150));
        beeper.setEnabled(false);
        QVERIFY(!beeper.beeping());
    }

    // Meter 1 reads 125.0 over a high limit of 100, typed into the dialog
    // opened from its panel; meter 2 reads 10.0. The alarm is shown, counted
    // and logged, and still waits for its acknowledgement after a restart
    // in which the meter stays silent.
    void high_alarm_is_shown_logged_and_kept_unacknowledged()
    {
        FrameFixture fixture;
        MeterSimProcess sim;
        QVERIFY2(sim.start({QStringLiteral("--data-dir"), fixture.home.path(), QStringLiteral("--addresses"),
                            QStringLiteral("1-2"), QStringLiteral("--value"), QStringLiteral("1=1250"),
                            QStringLiteral("--value"), QStringLiteral("2=100")}),
                 qPrintable(sim.errorText()));
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.setMeterRange(1, 2, 200);
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame));
        if (frame->view()->surface() != CQuorvaneView::Surface::MeterPanel)
            frame->onCommand(CommandId::MeterInterface);
        PvSvPanel *panel = frame->view()->panel(1);
        QVERIFY(panel);
        QTRY_COMPARE_WITH_TIMEOUT(panel->valueText(), QStringLiteral("125.0"), kDeadlineMs);
        QVERIFY(panel->alarmText().isEmpty());

        bool seen = false;
        WhenModalShown edit([&](QDialog *dialog) {
            seen = true;
            QCOMPARE(dialog->findChild<QSpinBox *>(QStringLiteral("address"))->value(), 1);
            typeInto(dialog, "high", QStringLiteral("100"));
            clickOk(dialog);
        });
        QTest::mouseClick(frame->windowHandle(), Qt::RightButton, {}, panel->mapTo(frame, QPoint(20, 40)));
        auto *menu = panel->findChild<QMenu *>(QStringLiteral("panelMenu"));
        QTRY_VERIFY(menu && menu->isVisible());
        QAction *limits = menu->findChild<QAction *>(QStringLiteral("alarmLimits"));
        QCOMPARE(limits->text(), QStringLiteral("Alarm limits…"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(limits).center());
        QTRY_VERIFY(seen);

        QTRY_COMPARE_WITH_TIMEOUT(panel->accessibleDescription(),
                                  QStringLiteral("High alarm, not acknowledged"), kDeadlineMs);
        QCOMPARE(panel->alarmText(), QStringLiteral("HI"));
        QVERIFY(panel->findChild<QLabel *>(QStringLiteral("alarmWord"))->isVisible());
        QVERIFY(panel->blinking());
        QVERIFY(frame->view()->panel(2)->alarmText().isEmpty());
        QCOMPARE(alarmPaneText(frame), QStringLiteral("Alarms: 1 active, 1 unacknowledged"));
        fixture.application.reset();
        QCOMPARE(alarmRows(fixture.home.path()), QStringList{QStringLiteral("1 high raised")});

        // Meter 1 is silent now and the comm alarm off: only the restored
        // alarm is there, inactive and waiting.
        QVERIFY(sim.stop());
        QuietTerminal terminal;
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.set(QStringLiteral("Alarms"), QStringLiteral("commloss"), QStringLiteral("0"));
        frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        if (frame->view()->surface() != CQuorvaneView::Surface::MeterPanel)
            frame->onCommand(CommandId::MeterInterface);
        panel = frame->view()->panel(1);
        QVERIFY(panel);
        LineAlarms &alarms = *fixture.application->alarms();
        QVERIFY(alarms.alarms(1)[AlarmKind::High].unacknowledged);
        QVERIFY(!alarms.alarms(1)[AlarmKind::High].active);
        QCOMPARE(panel->accessibleDescription(), QStringLiteral("High alarm cleared, not acknowledged"));
        QVERIFY(panel->blinking());
        QCOMPARE(alarmPaneText(frame), QStringLiteral("Alarms: 0 active, 1 unacknowledged"));

        // Acknowledged, it stays so across the next restart.
        QVERIFY(alarms.acknowledge(1, AlarmKind::High));
        QVERIFY(panel->accessibleDescription().isEmpty() && !panel->blinking());
        QCOMPARE(alarmPaneText(frame), QStringLiteral("No alarms"));
        fixture.application.reset();
        QCOMPARE(alarmRows(fixture.home.path()),
                 (QStringList{QStringLiteral("1 high raised"), QStringLiteral("1 high acknowledged")}));
        frame = fixture.start();
        QCOMPARE(fixture.application->alarms()->unacknowledgedCount(), 0);
        QCOMPARE(alarmPaneText(frame), QStringLiteral("No alarms"));
    }
};

QTEST_MAIN(TestAlarmsDesk)
#include "tst_alarmsdesk.moc"
