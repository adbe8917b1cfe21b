#include "HistoryChartWindow.h"
#include "HistoryPlot.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "Language.h"
#include "LineAlarms.h"
#include "MeterConfiguration.h"
#include "LiveValueTable.h"
#include "RecordingPrompts.h"
#include "SettingsFile.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
constexpr qint64 kMinute = 60 * 1000;

// Runs a statement on a history file as another program would.
bool execOn(const QString &path, const QString &statement)
{
    bool done = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        QSqlQuery query(db);
        done = db.open() && query.exec(statement);
        if (!done)
            qWarning() << query.lastError().text();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    return done;
}

// An hour up to now of three meters, one every second: meter 1 swings
// between 12.0 and 12.9, meter 2 never answers, meter 3 has one value,
// 33.3, in the middle of the hour.
qint64 writeSwingingHour(const QString &path)
{
    const qint64 end = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000;
    const qint64 begin = end - 60 * kMinute;
    QList<HistorySample> samples;
    for (qint64 t = begin; t < end; t += 1000) {
        samples.append({t, 1, (t / 1000) % 2 == 0 ? 12.0 : 12.9});
        samples.append({t, 2, std::nullopt});
    }
    samples.append({begin + 30 * kMinute + 500, 3, 33.3});
    HistoryStore store(path);
    return store.append(samples) ? begin : 0;
}

} // namespace

class TestHistoryChart : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    Language lang{1};
    RecordingPrompts prompts;
    MeterConfiguration meters;
    qint64 start = 0;

    QString path() const { return dir.filePath(QStringLiteral("qlvmhist.db")); }

private slots:
    void initTestCase()
    {
        meters.set({1, 1, 200, 2, 1, 3, 3});
        // An hour of three meters, one value a minute each; meter 2 silent
        // in minutes 20..29.
        start = QDateTime::currentMSecsSinceEpoch() - 2 * 60 * kMinute;
        QList<HistorySample> samples;
        for (int m = 0; m < 60; ++m)
            for (int a = 1; a <= 3; ++a) {
                std::optional<double> value = a * 10.0 + m * 0.1;
                if (a == 2 && m >= 20 && m < 30)
                    value.reset();
                samples.append({start + m * kMinute + a * 100, a, value});
            }
        HistoryStore store(path());
        QVERIFY(store.isOpen());
        QVERIFY(store.append(samples));
    }

    void plots_the_chosen_meters_and_exports_them()
    {
        HistoryChartWindow window(path(), meters, lang, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.chosenMeters(), (QList<int>{1, 2, 3}));
        window.showSpan(start, start + 60 * kMinute);
        HistoryPlot *plot = window.plot();
        QTRY_COMPARE(plot->fromMs(), start);
        const QPair<double, double> range = plot->valueRange();
        QVERIFY(range.first < 10.0 && range.second > 35.9);

        // The readout tells each meter's value under the pointer; meter 2
        // shows its silence.
        const QRect area = plot->plotRect();
        const int x = area.left() + area.width() * 25 / 60;
        const QString text = plot->readoutAt(x);
        QVERIFY2(text.contains(QStringLiteral("2#: ----")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("1#: 12.")), qPrintable(text));

        const QString csv = dir.filePath(QStringLiteral("out.csv"));
        QVERIFY(window.exportCsv(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine().trimmed(), QByteArray("time,1#,2#,3#"));
        const QString png = dir.filePath(QStringLiteral("out.png"));
        QVERIFY(window.exportPng(png));
        QCOMPARE(QImage(png).size(), plot->size() * plot->devicePixelRatioF());
        QCOMPARE(prompts.shown.size(), 0);
    }

    // Meter 1's high alarm stood from minute 10 to 20 and again from
    // minute 50 on; meter 5, not shown, had one too.
    void limits_and_alarm_spans_are_marked()
    {
        QTemporaryDir own;
        const QString file = own.filePath(QStringLiteral("qlvmhist.db"));
        const qint64 begin = QDateTime::currentMSecsSinceEpoch() / 1000 * 1000 - 2 * 60 * kMinute;
        QList<HistorySample> samples;
        for (int m = 0; m < 60; ++m)
            samples.append({begin + m * kMinute, 1, 45.0 + (m % 20)});
        const auto event = [](qint64 ms, int address, AlarmEvent::What what) {
            return AlarmEvent{ms, address, AlarmKind::High, what, 60.0, 55.0};
        };
        {
            HistoryStore store(file);
            QVERIFY(store.append(samples, {event(begin + 10 * kMinute, 1, AlarmEvent::What::Raised),
                                           event(begin + 12 * kMinute, 5, AlarmEvent::What::Raised),
                                           event(begin + 15 * kMinute, 1, AlarmEvent::What::Acknowledged),
                                           event(begin + 20 * kMinute, 1, AlarmEvent::What::Cleared),
                                           event(begin + 50 * kMinute, 1, AlarmEvent::What::Raised)}));
        }
        LineAlarms alarms;
        AlarmLimits limits;
        limits.high = 55;
        limits.low = 42;
        alarms.setLimits(1, limits);

        HistoryChartWindow window(file, meters, lang, prompts);
        window.setAlarms(&alarms);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.showSpan(begin, begin + 60 * kMinute);
        HistoryPlot *plot = window.plot();
        QTRY_COMPARE(plot->fromMs(), begin);

        QCOMPARE(plot->limitLines().size(), 2);
        QCOMPARE(plot->limitLines()[0].address, 1);
        QCOMPARE(plot->limitLines()[0].kind, AlarmKind::High);
        QCOMPARE(plot->limitLines()[0].value, 55.0);
        QCOMPARE(plot->limitLines()[1].kind, AlarmKind::Low);
        QCOMPARE(plot->limitLines()[1].value, 42.0);
        // The low limit lies below every value; the axis shows it still.
        QVERIFY(plot->valueRange().first < 42.0);
        const QList<AlarmSpan> spans{{1, AlarmKind::High, begin + 10 * kMinute, begin + 20 * kMinute},
                                     {1, AlarmKind::High, begin + 50 * kMinute, begin + 60 * kMinute}};
        QCOMPARE(plot->alarmSpans(), spans);
        const QString description = plot->accessibleDescription();
        QVERIFY2(description.contains(QStringLiteral("limits: 1# high 55, 1# low 42")),
                 qPrintable(description));
        QVERIFY2(description.contains(QStringLiteral("2 alarm spans")), qPrintable(description));

        // A clear whose raise lies before the view starts the span at its start.
        window.showSpan(begin + 15 * kMinute, begin + 30 * kMinute);
        QTRY_COMPARE(plot->fromMs(), begin + 15 * kMinute);
        QCOMPARE(plot->alarmSpans(),
                 (QList<AlarmSpan>{{1, AlarmKind::High, begin + 15 * kMinute, begin + 20 * kMinute}}));

        // Without the line's alarms no limit is drawn; the spans stay.
        window.setAlarms(nullptr);
        QVERIFY(plot->limitLines().isEmpty());
        QCOMPARE(plot->alarmSpans().size(), 1);
        QVERIFY(!plot->accessibleDescription().contains(QStringLiteral("limits")));
        QCOMPARE(prompts.shown.size(), 0);
    }

    void wheel_drag_and_rubber_band_ask_for_new_spans()
    {
        HistoryChartWindow window(path(), meters, lang, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.showSpan(start, start + 60 * kMinute);
        HistoryPlot *plot = window.plot();
        QTRY_COMPARE(plot->fromMs(), start);
        QSignalSpy asked(plot, &HistoryPlot::viewChanged);
        const QRect area = plot->plotRect();

        QWheelEvent wheel(area.center(), plot->mapToGlobal(area.center()), {}, {0, 120}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(plot, &wheel);
        QCOMPARE(asked.count(), 1);
        const qint64 zoomedFrom = asked.last().at(0).toLongLong();
        const qint64 zoomedTo = asked.last().at(1).toLongLong();
        QVERIFY(zoomedFrom > start && zoomedTo < start + 60 * kMinute);

        // Right-drag over the middle fifth zooms into it.
        const QPoint a(area.left() + area.width() * 2 / 5, area.center().y());
        const QPoint b(area.left() + area.width() * 3 / 5, area.center().y());
        QTRY_COMPARE(plot->fromMs(), zoomedFrom);
        asked.clear();
        QTest::mousePress(plot, Qt::RightButton, {}, a);
        QTest::mouseMove(plot, b);
        QTest::mouseRelease(plot, Qt::RightButton, {}, b);
        QCOMPARE(asked.count(), 1);
        const qint64 span = asked.last().at(1).toLongLong() - asked.last().at(0).toLongLong();
        QVERIFY(qAbs(span - (zoomedTo - zoomedFrom) / 5) < kMinute);

        // A left drag pans by the distance dragged.
        QTRY_COMPARE(plot->toMs() - plot->fromMs(), span);
        asked.clear();
        const qint64 before = plot->fromMs();
        QTest::mousePress(plot, Qt::LeftButton, {}, b);
        QTest::mouseMove(plot, a);
        QTest::mouseRelease(plot, Qt::LeftButton, {}, a);
        QVERIFY(asked.count() >= 1);
        QVERIFY(asked.last().at(0).toLongLong() > before);
    }

    // The readout under the pointer in the language of the window, told
    // again in the new language when it changes.
    void the_readout_speaks_the_language_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("values");
        QTest::newRow("English") << 1 << "  1#: 12.0..12.9  2#: ----  3#: 33.3";
        QTest::newRow("Chinese") << 0 << "  1#: 12.0～12.9  2#: ----  3#: 33.3";
    }

    void the_readout_speaks_the_language()
    {
        QFETCH(int, language);
        QFETCH(QString, values);
        const QString file = dir.filePath(QStringLiteral("swing-%1.db").arg(language));
        const qint64 begin = writeSwingingHour(file);
        QVERIFY(begin > 0);
        Language shown(1 - language);
        HistoryChartWindow window(file, meters, shown, prompts);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.showSpan(begin, begin + 60 * kMinute);
        HistoryPlot *plot = window.plot();
        QTRY_COMPARE(plot->fromMs(), begin);

        // From beside the middle, so that the pointer moves wherever the
        // previous window left it.
        const QPoint middle = plot->plotRect().center();
        QTest::mouseMove(plot, middle + QPoint(0, 10));
        QTest::mouseMove(plot, middle);
        auto *readout = window.findChild<QLabel *>(QStringLiteral("readout"));
        QTRY_VERIFY(!readout->text().isEmpty());
        QVERIFY2(readout->text().mid(19) != values, qPrintable(readout->text()));
        shown.set(language);
        const QString text = readout->text();
        QCOMPARE(text.mid(19), values);
        const QDateTime when = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(when.isValid(), qPrintable(text));
        QVERIFY(qAbs(when.toMSecsSinceEpoch() - (begin + 30 * kMinute)) < 2 * kMinute);
        QCOMPARE(prompts.shown.size(), 0);
    }

    // A history that cannot be read is told through the prompts, with the
    // store's reason, once for each command that failed: not again for the
    // reads a zoom or a resize makes, again for the next Show.
    void a_failed_read_is_told_once_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("range");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("caption");
        QTest::newRow("samples gone, last hour, English")
            << 1 << "sample" << int(HistoryChartWindow::LastHour) << "Cannot read the history file %1:\n"
            << "History Chart";
        QTest::newRow("samples gone, last hour, Chinese")
            << 0 << "sample" << int(HistoryChartWindow::LastHour) << "无法读取历史数据文件 %1：\n"
            << "历史曲线";
        QTest::newRow("buckets gone, last week, English")
            << 1 << "bucket" << int(HistoryChartWindow::LastWeek) << "Cannot read the history file %1:\n"
            << "History Chart";
    }

    void a_failed_read_is_told_once()
    {
        QFETCH(int, language);
        QFETCH(QString, table);
        QFETCH(int, range);
        QFETCH(QString, message);
        QFETCH(QString, caption);
        const QString file = dir.filePath(QStringLiteral("unread-%1-%2.db").arg(table).arg(language));
        QVERIFY(writeSwingingHour(file) > 0);
        Language shown(language);
        RecordingPrompts told;
        HistoryChartWindow window(file, meters, shown, told);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.chooseRange(HistoryChartWindow::Range(range));
        HistoryPlot *plot = window.plot();
        QTRY_VERIFY(plot->valueRange() != qMakePair(0.0, 100.0));

        // Another program renames the table away under the open window.
        QVERIFY(execOn(file, QStringLiteral("ALTER TABLE %1 RENAME TO %1_away").arg(table)));
        window.findChild<QPushButton *>(QStringLiteral("showButton"))->click();
        QTRY_COMPARE(told.shown.size(), 1);
        QCOMPARE(told.shown[0].kind, RecordingPrompts::Kind::Error);
        QCOMPARE(told.shown[0].caption, caption);
        const QString expected = message.arg(QDir::toNativeSeparators(file));
        QVERIFY2(told.shown[0].text.startsWith(expected), qPrintable(told.shown[0].text));
        QVERIFY2(told.shown[0].text.contains(QStringLiteral("no such table: ") + table),
                 qPrintable(told.shown[0].text));

        // A resize and a zoom read again; the plot shows the zoom once the
        // read after both has been made.
        const QRect area = plot->plotRect();
        window.resize(window.size() + QSize(40, 20));
        QTRY_VERIFY(plot->plotRect().width() > area.width());
        plot->repaint();
        // Around the newest values, so that the zoom still reads them.
        const QPoint recent(plot->plotRect().right() - 2, plot->plotRect().center().y());
        QWheelEvent wheel(recent, plot->mapToGlobal(recent), {}, {0, 120}, Qt::NoButton, {},
                          Qt::NoScrollPhase, false);
        QSignalSpy asked(plot, &HistoryPlot::viewChanged);
        QApplication::sendEvent(plot, &wheel);
        QCOMPARE(asked.size(), 1);
        QTRY_COMPARE(plot->fromMs(), asked[0][0].toLongLong());
        QCOMPARE(told.shown.size(), 1);

        window.findChild<QPushButton *>(QStringLiteral("showButton"))->click();
        QTRY_COMPARE(told.shown.size(), 2);
        QVERIFY2(told.shown[1].text.startsWith(expected), qPrintable(told.shown[1].text));

        // Once the table is back the chart reads again, with nothing to tell.
        QVERIFY(execOn(file, QStringLiteral("ALTER TABLE %1_away RENAME TO %1").arg(table)));
        QCOMPARE(plot->valueRange(), qMakePair(0.0, 100.0));
        window.findChild<QPushButton *>(QStringLiteral("showButton"))->click();
        QTRY_VERIFY(plot->valueRange() != qMakePair(0.0, 100.0));
        QCOMPARE(told.shown.size(), 2);
    }

    // A file that cannot be opened is told when the window is shown, with a
    // reason of the store's own in the window's language.
    void an_unopened_history_is_told_on_showing_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no database, English") << 1 << "garbage"
                                              << "Cannot open the history file %1:\n"
                                              << "file is not a database";
        QTest::newRow("no database, Chinese") << 0 << "garbage"
                                              << "无法打开历史数据文件 %1：\n"
                                              << "file is not a database";
        QTest::newRow("no write-ahead logging, English")
            << 1 << ":memory:"
            << "Cannot open the history file %1:\n"
            << "The history file refuses write-ahead logging (WAL mode)";
        QTest::newRow("no write-ahead logging, Chinese") << 0 << ":memory:"
                                                         << "无法打开历史数据文件 %1：\n"
                                                         << "历史数据文件不能使用预写日志（WAL）模式";
    }

    void an_unopened_history_is_told_on_showing()
    {
        QFETCH(int, language);
        QFETCH(QString, file);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        if (file == QStringLiteral("garbage")) {
            file = dir.filePath(QStringLiteral("garbage.db"));
            QFile garbage(file);
            QVERIFY(garbage.open(QIODevice::WriteOnly));
            garbage.write(QByteArray(4096, 'x'));
        }
        Language shown(language);
        RecordingPrompts told;
        HistoryChartWindow window(file, meters, shown, told);
        QVERIFY(!window.storeOpen());
        window.show();
        QTRY_COMPARE(told.shown.size(), 1);
        QCOMPARE(told.shown[0].kind, RecordingPrompts::Kind::Error);
        // SQLite's own words come in English, Qt's after them in the language.
        const QString text = told.shown[0].text;
        QVERIFY2(text.startsWith(message.arg(QDir::toNativeSeparators(file)) + reason), qPrintable(text));
    }

    void the_window_switches_the_recording()
    {
        LiveValueTable live;
        HistoryRecorder recorder(live, dir.path());
        QVERIFY(recorder.start());
        HistoryChartWindow window(path(), meters, lang, prompts);
        auto *box = window.findChild<QCheckBox *>(QStringLiteral("recordBox"));
        QVERIFY(box->isHidden());
        window.setRecorder(&recorder);
        QVERIFY(!box->isHidden());
        QVERIFY(box->isChecked());
        box->setChecked(false);
        QVERIFY(!recorder.enabled());
        QCOMPARE(SettingsFile(dir.filePath(QStringLiteral("qlvmsys.dll")))
                     .ReadSetting(QStringLiteral("History"), QStringLiteral("Record")),
                 QStringLiteral("0"));
    }
};

QTEST_MAIN(TestHistoryChart)
#include "tst_historychart.moc"
