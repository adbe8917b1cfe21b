#include "ChartLegend.h"
#include "ColourListBox.h"
#include "Language.h"
#include "LiveValueTable.h"
#include "MonitoringPanel.h"
#include "RealtimeChart.h"
#include "RecordingPrompts.h"
#include "SettingsFile.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QTest>

#include <functional>
#include <memory>

namespace {

using Kind = RecordingPrompts::Kind;

// Runs `interact` on the next modal dialog that opens.
void whenModalShown(std::function<void(QDialog *)> interact)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, interact] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->stop();
        poll->deleteLater();
        interact(dialog);
    });
    poll->start();
}

} // namespace

class TestMonitoringPanel : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    LiveValueTable live;
    Language lang{1};
    RecordingPrompts prompts;
    std::unique_ptr<QWidget> view;
    MonitoringPanel *panel = nullptr;

    QString settingsPath() const { return home.filePath(QStringLiteral("qlvmsys.dll")); }
    QString setting(const char *key) const
    {
        return SettingsFile(settingsPath())
            .ReadSetting(QStringLiteral("ChartConfig"), QString::fromLatin1(key));
    }
    template <typename T> T *find(const char *name) const
    {
        return panel->findChild<T *>(QLatin1String(name));
    }
    QTreeWidget *tree() const { return find<QTreeWidget>("watchTree"); }
    QPushButton *startButton() const { return find<QPushButton>("startButton"); }

    void tick(const QList<int> &rows)
    {
        for (int row : rows)
            tree()->topLevelItem(row)->setCheckState(0, Qt::Checked);
    }
    void chooseInterval(int unit, const QString &number)
    {
        auto *units = find<QComboBox>("intervalUnit");
        units->setCurrentIndex(unit);
        emit units->activated(unit);
        auto *numbers = find<QComboBox>("intervalNumber");
        numbers->setCurrentIndex(numbers->findText(number));
        QCOMPARE(numbers->currentText(), number);
    }
    void answer(int address, double value)
    {
        live.countAnswer(address, 20, QDateTime::currentDateTime());
        live.store(address, value);
    }

private slots:
    void init()
    {
        qputenv("QUORVANE_HOME", home.path().toUtf8());
        QFile::remove(settingsPath());
        prompts.clear();
        prompts.answer = true;
        view = std::make_unique<QWidget>();
        view->resize(1000, 640);
        panel = new MonitoringPanel(live, lang, prompts, view.get());
        panel->setAddressRange(1, 3);
        view->show();
        panel->open(0.0, 100.0);
    }
    void cleanup() { view.reset(); }

    void tree_offers_the_configured_meters()
    {
        QCOMPARE(tree()->topLevelItemCount(), 3);
        for (int i = 0; i < 3; ++i) {
            const QTreeWidgetItem *meter = tree()->topLevelItem(i);
            QCOMPARE(meter->text(0), QStringLiteral("%1#").arg(i + 1));
            QCOMPARE(meter->checkState(0), Qt::Unchecked);
            QCOMPARE(meter->childCount(), 1);
            QCOMPARE(meter->child(0)->text(0), QStringLiteral("PV"));
            QCOMPARE(meter->child(0)->checkState(0), Qt::Checked);
        }
        QCOMPARE(startButton()->text(), QStringLiteral("Start"));
        QCOMPARE(find<QComboBox>("intervalUnit")->currentText(), QStringLiteral("Min"));
        QCOMPARE(find<QComboBox>("intervalNumber")->count(), 59);

        // A new range keeps the ticks of the meters it still holds; opening
        // again starts unticked.
        tick({1});
        panel->setAddressRange(2, 5);
        QCOMPARE(tree()->topLevelItemCount(), 4);
        QCOMPARE(tree()->topLevelItem(0)->checkState(0), Qt::Checked);
        QCOMPARE(tree()->topLevelItem(1)->checkState(0), Qt::Unchecked);
        panel->close();
        panel->open(0.0, 100.0);
        QCOMPARE(tree()->topLevelItem(0)->checkState(0), Qt::Unchecked);

        // A range beyond the line's 64 meters offers only those that exist.
        panel->setAddressRange(60, 70);
        QCOMPARE(tree()->topLevelItemCount(), 4);
        QCOMPARE(tree()->topLevelItem(3)->text(0), QStringLiteral("63#"));
    }

    void nothing_ticked_changes_nothing()
    {
        // A ticked PV under an unticked meter does not count.
        startButton()->click();
        QCOMPARE(prompts.count(Kind::Info), 1);
        QCOMPARE(prompts.shown.last().text, QStringLiteral("Please choose some item to be watched."));
        QCOMPARE(prompts.shown.last().caption, QStringLiteral("No object chose"));
        QVERIFY(!panel->running());
        QCOMPARE(startButton()->text(), QStringLiteral("Start"));

        find<QPushButton>("chartOption")->click();
        QCOMPARE(prompts.shown.last().text, QStringLiteral("No selected item to watch"));
        QCOMPARE(prompts.shown.last().caption, QStringLiteral("Sorry"));
    }

    void interval_and_its_confirmation_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("number");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<int>("periodMs");
        QTest::newRow("5 s") << 0 << "5" << true << 5000;
        QTest::newRow("25 s") << 0 << "25" << true << 25000;
        QTest::newRow("35 s") << 0 << "35" << false << 35000;
        QTest::newRow("2 min") << 1 << "2" << false << 120000;
        QTest::newRow("1 h") << 2 << "1" << false << 3600000;
        QTest::newRow("24 h") << 2 << "24" << false << 86400000;
    }
    void interval_and_its_confirmation()
    {
        QFETCH(int, unit);
        QFETCH(QString, number);
        QFETCH(bool, asks);
        QFETCH(int, periodMs);
        tick({0});
        chooseInterval(unit, number);
        if (asks) {
            // No: the panel stays stopped as it was.
            prompts.answer = false;
            startButton()->click();
            QCOMPARE(prompts.count(Kind::Question), 1);
            QCOMPARE(prompts.shown.last().caption, QStringLiteral("Affirm"));
            QVERIFY(!panel->running());
            QCOMPARE(startButton()->text(), QStringLiteral("Start"));
            QVERIFY(tree()->isEnabled());
            prompts.answer = true;
        }
        startButton()->click();
        QCOMPARE(prompts.count(Kind::Question), asks ? 2 : 0);
        QVERIFY(panel->running());
        QCOMPARE(panel->interval(), periodMs);
    }

    void start_pause_continue_and_the_inputs()
    {
        const QList<QWidget *> inputs{tree(), find<QWidget>("intervalUnit"), find<QWidget>("intervalNumber"),
                                      find<QWidget>("chartOption")};
        tick({1});
        startButton()->click();
        QCOMPARE(startButton()->text(), QStringLiteral("Pause"));
        for (QWidget *input : inputs)
            QVERIFY(!input->isEnabled());

        // Back is refused while plotting.
        find<QPushButton>("backButton")->click();
        QCOMPARE(prompts.shown.last().text,
                 QStringLiteral("Watching meter,could NOT back to main interface."));
        QVERIFY(panel->isOpen());

        startButton()->click();
        QVERIFY(!panel->running());
        QCOMPARE(startButton()->text(), QStringLiteral("Continue"));
        for (QWidget *input : inputs)
            QVERIFY(input->isEnabled());

        // Escape never closes the panel.
        QTest::keyClick(panel, Qt::Key_Escape);
        QVERIFY(panel->isOpen());

        QSignalSpy closed(panel, &MonitoringPanel::closed);
        find<QPushButton>("backButton")->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!panel->isOpen());
        QVERIFY(!panel->chart());
    }

    void start_feeds_the_watched_meters_in_address_order()
    {
        answer(3, 30.0);
        answer(1, 10.0);
        answer(2, 20.0);
        live.markNotAnswering(2);
        tick({2, 0, 1});
        chooseInterval(0, "35");
        startButton()->click();

        RealtimeChart *chart = panel->chart();
        QCOMPARE(panel->watchedCount(), 3);
        QCOMPARE(panel->watchWord(0), 0x01000001u);
        QCOMPARE(panel->watchWord(2), 0x03000001u);
        QCOMPARE(chart->curveCount(), 3);
        QCOMPARE(chart->sampleValue(0), 10.0);
        // The silent meter runs along the bottom.
        QCOMPARE(chart->sampleValue(1), 0.0);
        QCOMPARE(chart->sampleValue(2), 30.0);

        // The legend names each curve with its colour and latest value.
        ChartLegend *legend = panel->legend();
        QCOMPARE(legend->count(), 3);
        QCOMPARE(legend->rowText(0), QStringLiteral("1#: 10.0"));
        QCOMPARE(legend->rowText(1), QStringLiteral("2#: ----"));
        QCOMPARE(legend->rowColour(2), chart->lineColour(2));
        answer(2, 25.5);
        QCOMPARE(legend->rowText(1), QStringLiteral("2#: 25.5"));
    }

    void grid_restarts_only_when_the_watch_list_changed()
    {
        RealtimeChart *chart = panel->chart();
        answer(1, 50.0);
        tick({0});
        chooseInterval(0, "35");
        startButton()->click();
        startButton()->click();
        const int y = panel->chart()->plotHeight() / 2;
        const QPoint dot(chart->newestX(), y);
        const qreal r = chart->image().devicePixelRatio();
        auto colourAt = [&](QPoint p) { return chart->image().pixelColor(int(p.x() * r), int(p.y() * r)); };
        QCOMPARE(colourAt(dot), chart->lineColour(0));

        // The same meters again: the picture goes on, the first dot one step on.
        startButton()->click();
        QCOMPARE(colourAt(dot + QPoint(chart->step(), 0)), chart->lineColour(0));
        startButton()->click();

        // Another meter: a fresh picture, the old dots gone.
        tick({1});
        startButton()->click();
        QVERIFY(colourAt(dot + QPoint(2 * chart->step(), 0)) != chart->lineColour(0));
    }

    void chart_settings_apply_colours_and_limits()
    {
        tick({0, 1, 2});
        QSignalSpy limits(panel, &MonitoringPanel::limitsChanged);
        whenModalShown([](QDialog *dialog) {
            auto *list = dialog->findChild<ColourListBox *>(QStringLiteral("colourList"));
            QCOMPARE(list->count(), 3);
            QCOMPARE(list->colour(0), QColor(255, 0, 0));
            list->setCurrentRow(1);
            list->setSelectedColour(Qt::black);
            dialog->findChild<QLineEdit *>(QStringLiteral("upperEdit"))->setText(QStringLiteral("500"));
            dialog->findChild<QLineEdit *>(QStringLiteral("lowerEdit"))->setText(QStringLiteral("-20"));
            dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        });
        find<QPushButton>("chartOption")->click();
        QCOMPARE(panel->lineColour(1), QColor(Qt::black));
        QCOMPARE(panel->chart()->lineColour(1), QColor(Qt::black));
        QCOMPARE(panel->chart()->lowerLimit(), -20.0);
        QCOMPARE(panel->chart()->upperLimit(), 500.0);
        QCOMPARE(limits.count(), 1);
        QCOMPARE(setting("MaxValue"), QStringLiteral("500"));
        QCOMPARE(setting("MinValue"), QStringLiteral("-20"));

        // Cancel keeps everything.
        whenModalShown([](QDialog *dialog) { dialog->reject(); });
        find<QPushButton>("chartOption")->click();
        QCOMPARE(panel->lineColour(1), QColor(Qt::black));
        QCOMPARE(limits.count(), 1);
    }

    void limits_that_cannot_be_stored_apply_and_are_told_once()
    {
        tick({0});
        // A directory under the settings file's name cannot be written, even
        // by root.
        QVERIFY(QDir().mkdir(settingsPath()));
        whenModalShown([](QDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("upperEdit"))->setText(QStringLiteral("400"));
            dialog->findChild<QLineEdit *>(QStringLiteral("lowerEdit"))->setText(QStringLiteral("-10"));
            dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        });
        find<QPushButton>("chartOption")->click();
        QCOMPARE(panel->chart()->upperLimit(), 400.0);
        QCOMPARE(panel->chart()->lowerLimit(), -10.0);
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown.first().kind, Kind::Error);
        QCOMPARE(prompts.shown.first().text, QStringLiteral("Cannot write the settings file:\n%1")
                                                 .arg(QDir::toNativeSeparators(settingsPath())));
        QVERIFY(!panel->writeBackground());
        QVERIFY(QDir().rmdir(settingsPath()));
    }

    void background_colour_is_chosen_and_written_when_the_panel_goes()
    {
        whenModalShown([](QDialog *dialog) {
            auto *chooser = qobject_cast<QColorDialog *>(dialog);
            QVERIFY(chooser);
            chooser->setCurrentColor(QColor(0x10, 0x20, 0x30));
            chooser->accept();
        });
        QTest::mouseClick(panel, Qt::RightButton, {}, QPoint(60, 600));
        QCOMPARE(panel->backgroundColour(), 0x302010u);
        QCOMPARE(panel->palette().color(QPalette::Window), QColor(0x10, 0x20, 0x30));
        QVERIFY(setting("BkColor").isEmpty() || setting("BkColor") == QStringLiteral("Error"));
        view.reset();
        QCOMPARE(setting("BkColor"), QString::number(0x302010));
    }
};

QTEST_MAIN(TestMonitoringPanel)
#include "tst_monitoringpanel.moc"
