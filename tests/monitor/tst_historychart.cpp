#include "HistoryChartWindow.h"
#include "HistoryPlot.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "Language.h"
#include "MeterConfiguration.h"
#include "LiveValueTable.h"
#include "RecordingPrompts.h"
#include "SettingsFile.h"

#include <QCheckBox>

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
constexpr qint64 kMinute = 60 * 1000;
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
