#include "CommandIds.h"
#include "Language.h"
#include "LineAlarms.h"
#include "LiveValueTable.h"
#include "PvSvPanel.h"
#include "RecordingPrompts.h"

#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <array>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

void answer(LiveValueTable &live, int address, double value)
{
    live.countAnswer(address, 12, QDateTime(QDate(2026, 12, 8), QTime(9, 30, 5)));
    live.store(address, value);
}

QLabel *valueLabel(PvSvPanel &panel)
{
    return panel.findChild<QLabel *>(QStringLiteral("pvValue"));
}

QMenu *openMenu(PvSvPanel &panel)
{
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), panel.mapToGlobal(QPoint(10, 10)));
    QApplication::sendEvent(&panel, &event);
    auto *menu = panel.findChild<QMenu *>(QStringLiteral("panelMenu"));
    return menu && menu->isVisible() ? menu : nullptr;
}

} // namespace

class TestPvSvPanel : public QObject {
    Q_OBJECT

    LiveValueTable live;
    LineAlarms alarms;
    Language language;
    RecordingPrompts prompts;

private slots:
    void init()
    {
        language.set(0);
        prompts.clear();
    }

    void caption_and_address()
    {
        PvSvPanel panel(12, live, alarms, language, prompts);
        QCOMPARE(panel.windowTitle(), QStringLiteral("12#"));
        QCOMPARE(panel.address(), 12);
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("caption"))->text(), QStringLiteral("12#"));
        panel.setWindowTitle(QStringLiteral("#7"));
        QCOMPARE(panel.address(), 0);
    }

    void value_text_follows_the_model()
    {
        LiveValueTable table;
        PvSvPanel panel(3, table, alarms, language, prompts);
        // Not asked yet: nothing to show either way.
        QCOMPARE(valueLabel(panel)->text(), QString());
        QVERIFY(!panel.notAnswering());
        // Asked but never a good answer: no reading.
        table.countMissing(3);
        QVERIFY(panel.refresh());
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("----"));
        QVERIFY(panel.notAnswering());
        answer(table, 3, 251.2);
        QVERIFY(panel.refresh());
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("251.2"));
        QVERIFY(!panel.notAnswering());
        answer(table, 3, -12.0);
        panel.refresh();
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("-12.0"));

        table.markNotAnswering(3);
        panel.refresh();
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("----"));
        QVERIFY(panel.notAnswering());
        QVERIFY(valueLabel(panel)->palette().color(QPalette::Window) !=
                panel.palette().color(QPalette::Base));
        QCOMPARE(valueLabel(panel)->accessibleDescription(), QStringLiteral("无应答"));
        language.set(1);
        QCOMPARE(valueLabel(panel)->accessibleDescription(), QStringLiteral("not answering"));

        answer(table, 3, 7.5);
        panel.refresh();
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("7.5"));
        QVERIFY(!panel.notAnswering());
        QCOMPARE(valueLabel(panel)->palette().color(QPalette::Window), panel.palette().color(QPalette::Base));
        QCOMPARE(valueLabel(panel)->accessibleDescription(), QString());

        // A meter that truly reads -500.0 answers.
        answer(table, 3, LiveValueTable::NoAnswer);
        panel.refresh();
        QCOMPARE(valueLabel(panel)->text(), QStringLiteral("-500.0"));
        QVERIFY(!panel.notAnswering());
    }

    void refresh_repaints_only_changed_panels()
    {
        LiveValueTable table;
        std::array<PaintCounter, 64> counters;
        QWidget host;
        host.resize(1200, 800);
        std::array<PvSvPanel *, 64> panels{};
        for (int a = 0; a < 64; ++a) {
            answer(table, a, a);
            panels[a] = new PvSvPanel(a, table, alarms, language, prompts, &host);
            panels[a]->setGeometry(a % 8 * 150, a / 8 * 100, 150, 100);
        }
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        for (int a = 0; a < 64; ++a)
            valueLabel(*panels[a])->installEventFilter(&counters[a]);
        answer(table, 17, 99.9);
        int changed = 0;
        for (auto &panel : panels)
            changed += panel->refresh();
        QCOMPARE(changed, 1);
        QTRY_COMPARE(counters[17].paints, 1);
        for (int a = 0; a < 64; ++a)
            QCOMPARE(counters[a].paints, a == 17 ? 1 : 0);
    }

    void resizing_keeps_title_centred_and_stretches_the_value_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("initial-like") << QSize(180, 120);
        QTest::newRow("wide") << QSize(400, 150);
        QTest::newRow("tall") << QSize(160, 300);
    }
    void resizing_keeps_title_centred_and_stretches_the_value()
    {
        QFETCH(QSize, size);
        PvSvPanel panel(1, live, alarms, language, prompts);
        panel.setPosition(QStringLiteral("1号炉"));
        panel.resize(size);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const auto *strip = panel.findChild<QLabel *>(QStringLiteral("caption"));
        const auto *title = panel.findChild<QLabel *>(QStringLiteral("position"));
        const auto *pv = panel.findChild<QLabel *>(QStringLiteral("pvLabel"));
        const QLabel *value = valueLabel(panel);
        // The client area starts below the caption strip.
        const QRect client(panel.contentsRect().x(), strip->geometry().bottom() + 1,
                           panel.contentsRect().width(),
                           panel.contentsRect().bottom() - strip->geometry().bottom());
        QVERIFY(title->isVisible() && pv->isVisible() && value->isVisible());
        QVERIFY(qAbs((title->x() - client.x()) - (client.right() - title->geometry().right())) <= 1);
        QCOMPARE(title->y() - client.y(), 5);
        QCOMPARE(pv->x() - client.x(), 5);
        QCOMPARE(pv->y() - client.y(), title->height() + 10);
        QCOMPARE(value->x() - client.x(), pv->width() + 5);
        QCOMPARE(value->y(), pv->y());
        QCOMPARE(client.right() - value->geometry().right(), 5);
        QCOMPARE(client.bottom() - value->geometry().bottom(), 10);
        QVERIFY(panel.findChild<QLabel *>(QStringLiteral("svValue"))->isHidden());
    }

    void popup_in_the_active_language_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("Chinese") << 0
                                 << QStringList{QStringLiteral("读取所有参数"), QStringLiteral("设置仪表"),
                                                QStringLiteral("报警限值…")};
        QTest::newRow("English") << 1
                                 << QStringList{QStringLiteral("Read All Parameter"),
                                                QStringLiteral("Meter Config"),
                                                QStringLiteral("Alarm limits…")};
    }
    void popup_in_the_active_language()
    {
        QFETCH(int, lang);
        QFETCH(QStringList, entries);
        PvSvPanel panel(7, live, alarms, language, prompts);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        language.set(lang);
        QSignalSpy selected(&panel, &PvSvPanel::meterSelected);
        QSignalSpy chosen(&panel, &PvSvPanel::command);
        QMenu *menu = openMenu(panel);
        QVERIFY(menu);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 7);
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, entries);
        menu->actions().at(0)->trigger();
        menu->hide();
        QCOMPARE(chosen.count(), 1);
        QCOMPARE(chosen.at(0).at(0).toInt(), CommandId::ReadAllParameters);
        QVERIFY(openMenu(panel));
        menu->actions().at(1)->trigger();
        menu->hide();
        QCOMPARE(chosen.at(1).at(0).toInt(), CommandId::MeterConfig);
        QVERIFY(openMenu(panel));
        menu->actions().at(2)->trigger();
        menu->hide();
        QCOMPARE(chosen.at(2).at(0).toInt(), CommandId::EditAlarmLimits);
    }

    // The panel follows the alarms of its meter alone: raised, acknowledged,
    // cleared; and a lost communication beside a standing limit alarm.
    void alarms_show_in_the_value_box()
    {
        language.set(1);
        LineAlarms lineAlarms([] { return qint64(1000); });
        AlarmLimits limits;
        limits.high = 100;
        limits.low = 10;
        lineAlarms.setLimits(5, limits);
        lineAlarms.setLimits(6, limits);
        lineAlarms.setCommLossAfter(1);
        PvSvPanel panel(5, live, lineAlarms, language, prompts);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        auto *word = panel.findChild<QLabel *>(QStringLiteral("alarmWord"));
        const QColor normal = valueLabel(panel)->palette().color(QPalette::Window);
        QVERIFY(word->isHidden() && panel.accessibleDescription().isEmpty() && !panel.blinking());

        lineAlarms.judge(6, AlarmSample::of(1000, 125.0));
        QVERIFY(panel.alarmText().isEmpty());

        lineAlarms.judge(5, AlarmSample::of(1000, 125.0));
        QCOMPARE(panel.alarmText(), QStringLiteral("HI"));
        QVERIFY(word->isVisible());
        QCOMPARE(word->text(), QStringLiteral("HI"));
        QCOMPARE(panel.accessibleDescription(), QStringLiteral("High alarm, not acknowledged"));
        QVERIFY(panel.blinking());
        // Blinking: the alarm colour comes and goes.
        QTRY_VERIFY_WITH_TIMEOUT(valueLabel(panel)->palette().color(QPalette::Window) == normal, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(valueLabel(panel)->palette().color(QPalette::Window) != normal, 5000);

        QVERIFY(lineAlarms.acknowledge(5, AlarmKind::High));
        QVERIFY(!panel.blinking());
        QCOMPARE(panel.accessibleDescription(), QStringLiteral("High alarm, acknowledged"));
        const QColor alarmed = valueLabel(panel)->palette().color(QPalette::Window);
        QVERIFY(alarmed != normal);

        lineAlarms.judge(5, AlarmSample::missing(2000));
        QCOMPARE(panel.alarmText(), QStringLiteral("COMM\nHI"));
        QVERIFY(panel.accessibleDescription().startsWith(
            QStringLiteral("Communication loss alarm, not acknowledged; High alarm, acknowledged")));
        QVERIFY(panel.blinking());

        language.set(0);
        QCOMPARE(panel.alarmText(), QStringLiteral("通讯\n高限"));
        language.set(1);
        lineAlarms.judge(5, AlarmSample::of(3000, 50.0));
        QCOMPARE(panel.accessibleDescription(),
                 QStringLiteral("Communication loss alarm cleared, not acknowledged"));
        QVERIFY(lineAlarms.acknowledge(5, AlarmKind::Comm));
        QVERIFY(panel.alarmText().isEmpty() && word->isHidden() && !panel.blinking());
        QCOMPARE(valueLabel(panel)->palette().color(QPalette::Window), normal);
        language.set(0);
    }

    void keys_never_close_the_panel()
    {
        PvSvPanel panel(2, live, alarms, language, prompts);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QTest::keyClick(&panel, Qt::Key_Escape);
        QTest::keyClick(&panel, Qt::Key_Return);
        QVERIFY(panel.isVisible());
        QVERIFY(prompts.shown.isEmpty());
        // Only the keypad's plus brings the message.
        QTest::keyClick(&panel, Qt::Key_Plus);
        QVERIFY(prompts.shown.isEmpty());
        QTest::keyClick(&panel, Qt::Key_Plus, Qt::KeypadModifier);
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.lastText(), QStringLiteral("+"));
    }

    void tooltip_tells_the_line_health_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("expected");
        QTest::newRow("English") << 1
                                 << QStringLiteral("4# line health\nAnswers: 2\nMissing: 1\nCRC errors: 1\n"
                                                   "Exceptions: 1\nLast response: 12 ms\n"
                                                   "Last good answer: 2026-12-08 09:30:05");
        QTest::newRow("Chinese") << 0
                                 << QStringLiteral(
                                        "4# 通讯情况\n应答：2\n无应答：1\n校验错误：1\n异常应答：1\n"
                                        "上次响应时间：12 毫秒\n上次正确应答：2026-12-08 09:30:05");
    }
    void tooltip_tells_the_line_health()
    {
        QFETCH(int, lang);
        QFETCH(QString, expected);
        LiveValueTable table;
        PvSvPanel panel(4, table, alarms, language, prompts);
        QCOMPARE(panel.healthText().section(QLatin1Char('\n'), 5),
                 QStringLiteral("上次响应时间：无\n上次正确应答：无"));
        answer(table, 4, 1.0);
        answer(table, 4, 2.0);
        table.countMissing(4);
        table.countGarbage(4);
        table.countException(4);
        language.set(lang);
        QCOMPARE(panel.healthText(), expected);
    }
};

QTEST_MAIN(TestPvSvPanel)
#include "tst_pvsvpanel.moc"
