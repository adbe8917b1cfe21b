#include "AlarmsWindow.h"

#include "HistoryStore.h"
#include "Language.h"
#include "LineAlarms.h"
#include "RecordingPrompts.h"

#include <QDateTime>
#include <QFile>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr qint64 HourMs = 60 * 60 * 1000;

QStringList row(const QStandardItemModel *model, int r)
{
    QStringList cells;
    for (int c = 0; c < model->columnCount(); ++c)
        cells << model->index(r, c).data().toString();
    return cells;
}

AlarmLimits limits(double low, double high)
{
    AlarmLimits l;
    l.low = low;
    l.high = high;
    return l;
}

AlarmEvent alarmEvent(qint64 ms, int address, AlarmKind kind, AlarmEvent::What what,
                      std::optional<double> value = {}, std::optional<double> limit = {})
{
    AlarmEvent e;
    e.ms = ms;
    e.address = address;
    e.kind = kind;
    e.what = what;
    e.value = value;
    e.limit = limit;
    return e;
}

} // namespace

class TestAlarmsWindow : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    qint64 clockMs = 0;

    QString historyPath() const { return dir.filePath(QStringLiteral("qlvmhist.db")); }

    // Meter 3 above its high limit, meter 0 below its low limit and back,
    // meter 1 silent until its comm alarm rises.
    void raiseAlarms(LineAlarms &alarms)
    {
        alarms.setLimits(3, limits(10, 50));
        alarms.setLimits(0, limits(10, 50));
        clockMs = QDateTime(QDate(2026, 3, 1), QTime(8, 30)).toMSecsSinceEpoch();
        alarms.judge(0, AlarmSample::of(clockMs, 4.5));
        alarms.judge(3, AlarmSample::of(clockMs + 1000, 61.5));
        alarms.judge(0, AlarmSample::of(clockMs + 2000, 20));
        for (int i = 0; i < LineAlarms::DefaultCommLossAfter; ++i)
            alarms.judge(1, AlarmSample::missing(clockMs + 3000 + i));
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void standing_alarms_active_first_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("header");
        QTest::addColumn<QList<QStringList>>("rows");
        const QString t0 = QDateTime(QDate(2026, 3, 1), QTime(8, 30)).toString("yyyy-MM-dd HH:mm:ss");
        const QString t1 = QDateTime(QDate(2026, 3, 1), QTime(8, 30, 1)).toString("yyyy-MM-dd HH:mm:ss");
        const QString t3 = QDateTime(QDate(2026, 3, 1), QTime(8, 30, 3)).toString("yyyy-MM-dd HH:mm:ss");
        QTest::newRow("Chinese: comm and high active, then the cleared low awaiting acknowledgement")
            << 0 << QStringList{"仪表", "安装位置", "类型", "开始时间", "数值", "限值", "已确认", "状态"}
            << QList<QStringList>{{"1#", "", "通讯", t3, "", "", "否", "报警中"},
                                  {"3#", "Boiler", "高限", t1, "61.5", "50.0", "否", "报警中"},
                                  {"0#", "Pump 2", "低限", t0, "4.5", "10.0", "否", "已恢复"}};
        QTest::newRow("English: the same rows in English words")
            << 1 << QStringList{"Meter", "Install position", "Kind", "Since", "Value",
                                "Limit", "Acknowledged",     "State"}
            << QList<QStringList>{{"1#", "", "Comm", t3, "", "", "No", "Active"},
                                  {"3#", "Boiler", "High", t1, "61.5", "50.0", "No", "Active"},
                                  {"0#", "Pump 2", "Low", t0, "4.5", "10.0", "No", "Cleared"}};
    }
    void standing_alarms_active_first()
    {
        QFETCH(int, language);
        QFETCH(QStringList, header);
        QFETCH(QList<QStringList>, rows);
        LineAlarms alarms([this] { return clockMs; });
        Language lang(language);
        RecordingPrompts prompts;
        AlarmsWindow window(alarms, historyPath(), lang, prompts);
        std::array<QString, Modbus::MeterCount> positions{};
        positions[3] = QStringLiteral("Boiler");
        positions[0] = QStringLiteral("Pump 2");
        window.setPositions(positions);
        raiseAlarms(alarms);

        QCOMPARE(window.windowTitle(), language ? QStringLiteral("Alarms") : QStringLiteral("报警"));
        const QStandardItemModel *model = window.standingModel();
        QStringList shownHeader;
        for (int c = 0; c < model->columnCount(); ++c)
            shownHeader << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(shownHeader, header);
        QCOMPARE(model->rowCount(), rows.size());
        for (int r = 0; r < rows.size(); ++r)
            QCOMPARE(row(model, r), rows[r]);

        // The other language at once, rows and all.
        lang.set(1 - language);
        QCOMPARE(window.windowTitle(), language ? QStringLiteral("报警") : QStringLiteral("Alarms"));
        QCOMPARE(model->index(1, AlarmsWindow::StandingKind).data().toString(),
                 language ? QStringLiteral("高限") : QStringLiteral("High"));
        QVERIFY(prompts.shown.isEmpty());
    }

    void acknowledging_reaches_the_line_alarms()
    {
        LineAlarms alarms([this] { return clockMs; });
        Language lang(1);
        RecordingPrompts prompts;
        AlarmsWindow window(alarms, historyPath(), lang, prompts);
        raiseAlarms(alarms);
        QSignalSpy acknowledged(&alarms, &LineAlarms::happened);
        auto *acknowledge = window.findChild<QPushButton *>(QStringLiteral("acknowledgeButton"));
        auto *acknowledgeAll = window.findChild<QPushButton *>(QStringLiteral("acknowledgeAllButton"));
        QVERIFY(acknowledge && acknowledgeAll);

        // Nothing selected: said so, nothing acknowledged.
        acknowledge->click();
        QCOMPARE(acknowledged.size(), 0);
        QCOMPARE(window.statusText(), QStringLiteral("Select the alarms to acknowledge first."));

        // The cleared low alarm of meter 0, once acknowledged, leaves the table.
        window.standingTable()->selectRow(2);
        acknowledge->click();
        QCOMPARE(acknowledged.size(), 1);
        QVERIFY(!alarms.alarms(0)[AlarmKind::Low].unacknowledged);
        QCOMPARE(window.standingModel()->rowCount(), 2);
        QCOMPARE(window.statusText(), QStringLiteral("1 alarms acknowledged."));

        // The active ones stay, acknowledged.
        acknowledgeAll->click();
        QCOMPARE(alarms.unacknowledgedCount(), 0);
        QCOMPARE(window.standingModel()->rowCount(), 2);
        for (int r = 0; r < 2; ++r)
            QCOMPARE(window.standingModel()->index(r, AlarmsWindow::StandingAcknowledged).data().toString(),
                     QStringLiteral("Yes"));
        acknowledgeAll->click();
        QCOMPARE(window.statusText(), QStringLiteral("No alarm is waiting for acknowledgement."));
        QVERIFY(prompts.shown.isEmpty());
    }

    void log_from_the_history_file_filtered_and_exported()
    {
        QTemporaryDir own;
        const QString path = own.filePath(QStringLiteral("qlvmhist.db"));
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        const QList<AlarmEvent> events{
            alarmEvent(now - 30 * HourMs, 3, AlarmKind::High, AlarmEvent::What::Raised, 70, 50),
            alarmEvent(now - 3 * HourMs, 3, AlarmKind::High, AlarmEvent::What::Raised, 61.5, 50),
            alarmEvent(now - 2 * HourMs, 7, AlarmKind::Comm, AlarmEvent::What::Raised),
            alarmEvent(now - HourMs, 3, AlarmKind::High, AlarmEvent::What::Cleared, 44, 50),
            alarmEvent(now - HourMs / 2, 3, AlarmKind::High, AlarmEvent::What::Acknowledged)};
        {
            HistoryStore writer(path);
            QVERIFY(writer.append({}, events));
        }
        LineAlarms alarms;
        Language lang(1);
        RecordingPrompts prompts;
        AlarmsWindow window(alarms, path, lang, prompts);
        QVERIFY(window.refreshLog());

        // The default range is the last 24 hours: the oldest event is out.
        const QStandardItemModel *log = window.logModel();
        QCOMPARE(log->rowCount(), 4);
        const QString time = QDateTime::fromMSecsSinceEpoch(now - 3 * HourMs).toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(row(log, 0), (QStringList{time, "3#", "High", "Raised", "61.5", "50.0"}));
        QCOMPARE(row(log, 1).mid(1), (QStringList{"7#", "Comm", "Raised", "", ""}));
        QCOMPARE(row(log, 2).mid(1), (QStringList{"3#", "High", "Cleared", "44.0", "50.0"}));
        QCOMPARE(row(log, 3).mid(1), (QStringList{"3#", "High", "Acknowledged", "", ""}));
        lang.set(0);
        QCOMPARE(row(log, 0).mid(2, 2), (QStringList{"高限", "报警"}));
        lang.set(1);

        window.filterLog(7);
        QCOMPARE(log->rowCount(), 1);
        QCOMPARE(log->index(0, AlarmsWindow::LogMeter).data().toString(), QStringLiteral("7#"));
        window.filterLog(std::nullopt);
        QCOMPARE(log->rowCount(), 4);

        // A reversed range is refused and the rows stay.
        const QDateTime at = QDateTime::fromMSecsSinceEpoch(now);
        window.setLogRange(at, at.addSecs(-60));
        QVERIFY(!window.refreshLog());
        QCOMPARE(window.statusText(),
                 QStringLiteral("The start must lie before the end; the log was not refreshed."));
        QCOMPARE(log->rowCount(), 4);

        window.setLogRange(at.addDays(-2), at);
        window.filterLog(3);
        QCOMPARE(log->rowCount(), 4);

        const QString csvPath = own.filePath(QStringLiteral("alarms.csv"));
        QVERIFY(window.exportLogTo(csvPath));
        QFile csv(csvPath);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = bytes.mid(3).split('\n');
        QCOMPARE(lines.size(), 6); // header, four events, and the empty rest after the last line end
        QCOMPARE(lines[0], QByteArray("time,address,kind,event,value,limit\r"));
        const QByteArray first =
            QDateTime::fromMSecsSinceEpoch(now - 30 * HourMs).toString(Qt::ISODateWithMs).toUtf8();
        QCOMPARE(lines[1], first + ",3,high,raised,70.0,50.0\r");
        QVERIFY(lines[3].endsWith(",3,high,cleared,44.0,50.0\r"));
        QVERIFY(lines[4].endsWith(",3,high,acknowledged,,\r"));
        QVERIFY(prompts.shown.isEmpty());

        // A file that cannot be written is told; nothing else changes.
        QVERIFY(!window.exportLogTo(own.filePath(QStringLiteral("no/such/dir/alarms.csv"))));
        QCOMPARE(prompts.shown.size(), 1);
        QVERIFY(window.statusText().contains(QStringLiteral("cannot be written")));
        QCOMPARE(log->rowCount(), 4);
    }

    void log_follows_new_alarm_events()
    {
        QTemporaryDir own;
        const QString path = own.filePath(QStringLiteral("qlvmhist.db"));
        HistoryStore writer(path);
        QVERIFY(writer.isOpen());
        LineAlarms alarms;
        Language lang(1);
        RecordingPrompts prompts;
        AlarmsWindow window(alarms, path, lang, prompts);
        QVERIFY(window.refreshLog());
        QCOMPARE(window.logModel()->rowCount(), 0);

        // What the recorder does with the event: it writes it to the file.
        connect(&alarms, &LineAlarms::happened, &window,
                [&writer](const AlarmEvent &e) { writer.append({}, {e}); });
        alarms.setLimits(2, limits(0, 10));
        alarms.judge(2, AlarmSample::of(QDateTime::currentMSecsSinceEpoch(), 12));
        QTRY_COMPARE_WITH_TIMEOUT(window.logModel()->rowCount(), 1, 10000);
        QCOMPARE(row(window.logModel(), 0).mid(1, 3), (QStringList{"2#", "High", "Raised"}));
    }
};

QTEST_MAIN(TestAlarmsWindow)
#include "tst_alarmswindow.moc"
