#include "CQuorvaneView.h"
#include "MeterManager.h"
#include "CommandIds.h"
#include "Language.h"
#include "LineAlarms.h"
#include "LiveValueTable.h"
#include "MeterConfiguration.h"
#include "RecordingPrompts.h"
#include "MonitoringPanel.h"
#include "PvSvPanel.h"
#include "RealtimeChart.h"
#include "SettingsFile.h"
#include "StoreFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QWizard>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(MeterConfiguration::Values)
Q_DECLARE_METATYPE(CQuorvaneView::Surface)

class TestQuorvaneView : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    LiveValueTable live;
    LineAlarms alarms;
    Language lang;
    RecordingPrompts prompts;
    QString path() const { return home.filePath(QStringLiteral("qlvmsys.dll")); }
    void writeSettings(const QByteArray &text)
    {
        QFile file(path());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    QString read(const char *section, const char *key) const
    {
        return SettingsFile(path()).ReadSetting(QString::fromLatin1(section), QString::fromLatin1(key));
    }

    QString registerPath() const { return home.filePath(QStringLiteral("qlvmdata.db")); }

    // A shown view of 1200 x 805 pixels on the given meters, with the meter
    // panel opened: six cells of 200 pixels to a row.
    std::unique_ptr<CQuorvaneView> meterPanel(MeterConfiguration &meters, const MeterConfiguration::Values &v)
    {
        meters.set(v);
        auto view = std::make_unique<CQuorvaneView>(meters, live, alarms, lang, prompts);
        view->resize(1200, 805);
        view->show();
        view->runCommand(CommandId::MeterInterface);
        return view;
    }

    static QList<int> panelAddresses(const CQuorvaneView &view)
    {
        QList<int> addresses;
        for (int a = 0; a < CQuorvaneView::kPanelCount; ++a)
            if (view.panel(a))
                addresses << a;
        return addresses;
    }

private slots:
    void init()
    {
        qputenv("QUORVANE_HOME", home.path().toUtf8());
        QFile::remove(registerPath());
        QVERIFY(QFile::copy(StoreFixtures::builtDatabase(QStringLiteral("qlvmdata.db")), registerPath()));
        QFile::setPermissions(registerPath(), QFile::ReadOwner | QFile::WriteOwner);
        const QString system = home.filePath(QStringLiteral("qlvmsys.db"));
        if (!QFile::exists(system))
            QVERIFY(QFile::copy(StoreFixtures::builtDatabase(QStringLiteral("qlvmsys.db")), system));
        prompts.clear();
    }

    void construction_reads_chart_range_and_colour()
    {
        writeSettings("[ChartConfig]\nMinValue=-12.5\nMaxValue=1e3\n[SysConfig]\nBkColor=3419176\n");
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        QCOMPARE(view.chartMinimum(), -12.5);
        QCOMPARE(view.chartMaximum(), 1000.0);
        QCOMPARE(view.backgroundColour(), 3419176u);
    }

    void destruction_writes_the_colour_back_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("written");
        QTest::newRow("the colour read") << QByteArray("[SysConfig]\nBkColor=65280\n") << "65280";
        QTest::newRow("digits then letters keep the digits")
            << QByteArray("[SysConfig]\nBkColor=12ab\n") << "12";
        QTest::newRow("missing key writes 0") << QByteArray("[Programme]\nLang=0\n") << "0";
    }
    void destruction_writes_the_colour_back()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, written);
        writeSettings(settings);
        {
            MeterConfiguration meters;
            CQuorvaneView view(meters, live, alarms, lang, prompts);
        }
        QCOMPARE(read("SysConfig", "BkColor"), written);
        // The monitoring panel, made and dropped with the view, does the same
        // with its own colour.
        QCOMPARE(read("ChartConfig", "BkColor"), QStringLiteral("0"));
    }

    void meter_configuration_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QList<int>>("expected");
        QTest::newRow("all seven keys")
            << QByteArray("[MeterConfig]\nmetertype=3\nchannels=2\nsamplingtime=500\nsingleormulti=2\n"
                          "startaddress=10\nendaddress=12\nmeteramount=3\n")
            << QList<int>{3, 2, 500, 2, 10, 12, 3};
        QTest::newRow("missing keys read 0")
            << QByteArray("[MeterConfig]\nchannels=1\n") << QList<int>{0, 1, 0, 0, 0, 0, 0};
    }
    void meter_configuration()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QList<int>, expected);
        writeSettings(settings);
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        // Before the window is installed the defaults hold: 300 ms, last address 63.
        QCOMPARE(view.meterConfiguration().values().samplingtime, 300);
        QCOMPARE(view.meterConfiguration().values().endaddress, 63);
        view.loadMeterConfiguration();
        const MeterConfiguration::Values &c = view.meterConfiguration().values();
        QCOMPARE((QList<int>{c.metertype, c.channels, c.samplingtime, c.singleormulti, c.startaddress,
                             c.endaddress, c.meteramount}),
                 expected);
    }

    void configuration_is_written_as_seven_keys_in_order()
    {
        writeSettings("[MeterConfig]\nendaddress=1\n[ChartConfig]\nMinValue=0\n");
        SettingsFile settings(path());
        MeterConfiguration config;
        QSignalSpy changed(&config, &MeterConfiguration::changed);
        const MeterConfiguration::Values values{5, 1, 700, 1, 9, 9, 1};
        QVERIFY(config.save(settings, values));
        QCOMPARE(config.values(), values);
        QCOMPARE(changed.count(), 1);
        QFile file(path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            QString::fromUtf8(file.readAll()),
            QStringLiteral("[MeterConfig]\nendaddress=9\nmetertype=5\nchannels=1\nsamplingtime=700\n"
                           "singleormulti=1\nstartaddress=9\nmeteramount=1\n[ChartConfig]\nMinValue=0\n"));
    }

    void a_change_is_told_once_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("told");
        QTest::newRow("the values held before: nothing to tell")
            << QByteArray("[MeterConfig]\nsamplingtime=300\nendaddress=63\n") << 0;
        QTest::newRow("one value differs")
            << QByteArray("[MeterConfig]\nsamplingtime=300\nendaddress=5\n") << 1;
        QTest::newRow("all values differ")
            << QByteArray("[MeterConfig]\nmetertype=3\nchannels=2\nsamplingtime=500\nsingleormulti=2\n"
                          "startaddress=10\nendaddress=12\nmeteramount=3\n")
            << 1;
    }
    void a_change_is_told_once()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, told);
        writeSettings(settings);
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        QSignalSpy changed(&view.meterConfiguration(), &MeterConfiguration::changed);
        view.loadMeterConfiguration();
        QCOMPARE(changed.count(), told);
        // Loading again finds nothing new.
        view.loadMeterConfiguration();
        QCOMPARE(changed.count(), told);
    }

    void saving_into_an_unreadable_file_still_takes_the_values()
    {
        // A directory under the settings file's name cannot be read, even by
        // root, so none of the seven writes may replace it.
        QTemporaryDir other;
        const QString file = other.filePath(QStringLiteral("qlvmsys.dll"));
        QVERIFY(QDir().mkdir(file));
        SettingsFile settings(file);
        MeterConfiguration config;
        QSignalSpy changed(&config, &MeterConfiguration::changed);
        const MeterConfiguration::Values values{2, 1, 500, 2, 1, 8, 8};
        QVERIFY(!config.save(settings, values));
        QCOMPARE(config.values(), values);
        QCOMPARE(changed.count(), 1);
        QVERIFY(QFileInfo(file).isDir());
    }

    void paints_its_background_colour()
    {
        // 0x00BBGGRR: red 0x28, green 0x2c, blue 0x34.
        writeSettings("[SysConfig]\nBkColor=3419176\n");
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        view.resize(64, 48);
        const QImage image = view.grab().toImage();
        QCOMPARE(image.pixelColor(0, 0), QColor(0x28, 0x2c, 0x34));
        QCOMPARE(image.pixelColor(63, 47), QColor(0x28, 0x2c, 0x34));
    }
    void meter_panel_tiles_six_to_a_row_data()
    {
        QTest::addColumn<MeterConfiguration::Values>("config");
        QTest::addColumn<QList<int>>("panels");
        QTest::addColumn<int>("address");
        QTest::addColumn<QRect>("cell");
        auto range = [](int first, int count) {
            QList<int> list;
            for (int a = first; a < first + count; ++a)
                list << a;
            return list;
        };
        // Up to 24 meters the grid has four rows of (805 - 5) / 4 = 200.
        QTest::newRow("one meter at address 5 in the top-left cell")
            << MeterConfiguration::Values{1, 1, 300, 1, 5, 5, 1} << QList<int>{5} << 5
            << QRect(0, 0, 200, 200);
        QTest::newRow("24 meters: the last in the fourth row")
            << MeterConfiguration::Values{1, 1, 300, 2, 0, 23, 24} << range(0, 24) << 23
            << QRect(1000, 600, 200, 200);
        QTest::newRow("25 meters: five rows of 160") << MeterConfiguration::Values{1, 1, 300, 2, 0, 24, 25}
                                                     << range(0, 25) << 24 << QRect(0, 640, 200, 160);
        QTest::newRow("64 meters: eleven rows of 72") << MeterConfiguration::Values{1, 1, 300, 2, 0, 63, 64}
                                                      << range(0, 64) << 63 << QRect(600, 720, 200, 72);
        QTest::newRow("first address 10, 3 meters: cells 0, 1, 2")
            << MeterConfiguration::Values{1, 1, 300, 2, 10, 12, 3} << QList<int>{10, 11, 12} << 12
            << QRect(400, 0, 200, 200);
        QTest::newRow("no meters configured: no panel")
            << MeterConfiguration::Values{0, 0, 0, 0, 0, 0, 0} << QList<int>{} << -1 << QRect();
        QTest::newRow("a count past address 63 opens no panel beyond it")
            << MeterConfiguration::Values{1, 1, 300, 2, 60, 63, 9} << range(60, 4) << 63
            << QRect(600, 0, 200, 200);
    }
    void meter_panel_tiles_six_to_a_row()
    {
        QFETCH(MeterConfiguration::Values, config);
        QFETCH(QList<int>, panels);
        QFETCH(int, address);
        QFETCH(QRect, cell);
        MeterConfiguration meters;
        const auto view = meterPanel(meters, config);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterPanel);
        QCOMPARE(panelAddresses(*view), panels);
        QVERIFY(view->refreshing());
        if (address < 0)
            return;
        QCOMPARE(view->panel(address)->geometry(), cell);
        QCOMPARE(view->panel(address)->windowTitle(), QStringLiteral("%1#").arg(address));
        QVERIFY(view->panel(address)->isVisible());
    }

    void panels_follow_a_new_range_and_the_view_size()
    {
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 0, 63, 64});
        QCOMPARE(panelAddresses(*view).size(), 64);
        meters.set({1, 1, 300, 1, 5, 5, 1});
        view->runCommand(CommandId::MeterInterface);
        QCOMPARE(panelAddresses(*view), QList<int>{5});
        // Re-tiled on every resize.
        view->resize(600, 405);
        QCOMPARE(view->panel(5)->geometry(), QRect(0, 0, 100, 100));
    }

    void panels_are_titled_with_the_installation_positions()
    {
        StoreFixtures::sql(
            registerPath(),
            QStringList{QStringLiteral("INSERT INTO YbGL (Yb_Id, Yb_Azwz) VALUES ('7', '1号锅炉')"),
                        QStringLiteral("INSERT INTO YbGL (Yb_Id, Yb_Azwz) VALUES ('99', 'far')"),
                        QStringLiteral("INSERT INTO YbGL (Yb_Id, Yb_Azwz) VALUES ('8', 'old')"),
                        QStringLiteral("INSERT INTO YbGL (Yb_Id, Yb_Azwz) VALUES ('8', 'new')")});
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 6, 9, 4});
        QCOMPARE(view->panel(6)->position(), QString());
        QCOMPARE(view->panel(7)->position(), QStringLiteral("1号锅炉"));
        QCOMPARE(view->panel(8)->position(), QStringLiteral("new"));
        QVERIFY(prompts.shown.isEmpty());
    }

    void a_missing_register_leaves_the_titles_empty()
    {
        QFile::remove(registerPath());
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 1, 2, 2});
        QCOMPARE(panelAddresses(*view), (QList<int>{1, 2}));
        QCOMPARE(view->panel(1)->position(), QString());
    }

    void panels_show_the_live_values()
    {
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 1, 3, 3});
        live.countAnswer(1, 10, QDateTime::currentDateTime());
        live.store(1, 25.5);
        live.countAnswer(2, 10, QDateTime::currentDateTime());
        live.store(2, -3.0);
        // Every panel whose meter has a new value follows at the next refresh,
        // not only the meter that answered last.
        QTRY_COMPARE(view->panel(1)->valueText(), QStringLiteral("25.5"));
        QCOMPARE(view->panel(2)->valueText(), QStringLiteral("-3.0"));
        QCOMPARE(view->panel(3)->valueText(), QString());
        // A meter found silent shows so at once.
        live.countMissing(2);
        live.markNotAnswering(2);
        QCOMPARE(view->panel(2)->valueText(), QStringLiteral("----"));
        QVERIFY(view->panel(2)->notAnswering());
    }

    void panel_menu_reaches_the_view()
    {
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 1, 3, 3});
        QSignalSpy selected(view.get(), &CQuorvaneView::meterSelected);
        QSignalSpy command(view.get(), &CQuorvaneView::command);
        emit view->panel(3)->meterSelected(3);
        emit view->panel(3)->command(CommandId::ReadAllParameters);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 3);
        // The command arrives once the panel's own handling has returned.
        QCOMPARE(command.count(), 0);
        QTRY_COMPARE(command.count(), 1);
        QCOMPARE(command.at(0).at(0).toInt(), CommandId::ReadAllParameters);
    }

    void chart_and_meter_panel_take_turns()
    {
        writeSettings("[ChartConfig]\nMinValue=-10\nMaxValue=90\n");
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 1, 3, 3});
        MonitoringPanel *monitor = view->monitoringPanel();
        QVERIFY(!monitor->isOpen());

        view->runCommand(CommandId::RealtimeChart);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MonitoringPanel);
        QVERIFY(monitor->isVisible());
        QCOMPARE(monitor->geometry(), view->rect());
        QCOMPARE(monitor->chart()->lowerLimit(), -10.0);
        QCOMPARE(monitor->chart()->upperLimit(), 90.0);
        // The value panels are hidden, not gone, and the tree offers their meters.
        QVERIFY(view->panel(1) && !view->panel(1)->isVisible());
        const auto *tree = monitor->findChild<QTreeWidget *>(QStringLiteral("watchTree"));
        QCOMPARE(tree->topLevelItemCount(), 3);

        // Shown again, the same chart goes on.
        RealtimeChart *chart = monitor->chart();
        view->runCommand(CommandId::RealtimeChart);
        QCOMPARE(monitor->chart(), chart);

        // A new address range reaches the tree at once.
        meters.set({1, 1, 300, 2, 4, 8, 5});
        QCOMPARE(tree->topLevelItemCount(), 5);
        QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("4#"));

        view->runCommand(CommandId::MeterInterface);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterPanel);
        QVERIFY(!monitor->isOpen());
        QVERIFY(!monitor->chart());
        QVERIFY(view->panel(4)->isVisible());

        // Back on the monitoring panel leaves the bare background.
        view->runCommand(CommandId::RealtimeChart);
        monitor->findChild<QPushButton *>(QStringLiteral("backButton"))->click();
        QCOMPARE(view->surface(), CQuorvaneView::Surface::None);
        QVERIFY(!monitor->isVisible());
    }

    void chart_range_is_written_only_when_it_changed()
    {
        writeSettings("[ChartConfig]\nMinValue=0\nMaxValue=100\n");
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        view.resize(1000, 700);
        view.show();
        view.runCommand(CommandId::RealtimeChart);

        auto rangeDialog = [](const QString &upper, const QString &lower) {
            QTimer::singleShot(0, [upper, lower] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("upperEdit"))->text(),
                         QStringLiteral("100"));
                dialog->findChild<QLineEdit *>(QStringLiteral("upperEdit"))->setText(upper);
                dialog->findChild<QLineEdit *>(QStringLiteral("lowerEdit"))->setText(lower);
                dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
            });
        };
        // Confirmed unchanged: the file is not touched.
        QFile::remove(path());
        rangeDialog(QStringLiteral("100"), QStringLiteral("0"));
        view.runCommand(CommandId::ChartRange);
        QVERIFY(!QFile::exists(path()));

        rangeDialog(QStringLiteral("100"), QStringLiteral("-40"));
        view.runCommand(CommandId::ChartRange);
        QCOMPARE(view.chartMinimum(), -40.0);
        QCOMPARE(read("ChartConfig", "MinValue"), QStringLiteral("-40"));
        QCOMPARE(read("ChartConfig", "MaxValue"), QStringLiteral("100"));
        QCOMPARE(view.monitoringPanel()->chart()->lowerLimit(), -40.0);
    }

    void chart_range_that_cannot_be_stored_applies_and_is_told_once()
    {
        writeSettings("[ChartConfig]\nMinValue=0\nMaxValue=100\n");
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        // A directory under the settings file's name cannot be written, even
        // by root.
        QVERIFY(QFile::remove(path()));
        QVERIFY(QDir().mkdir(path()));
        QTimer::singleShot(0, [] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit *>(QStringLiteral("lowerEdit"))->setText(QStringLiteral("-40"));
            dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        });
        view.runCommand(CommandId::ChartRange);
        QCOMPARE(view.chartMinimum(), -40.0);
        QCOMPARE(prompts.shown.size(), 1);
        QCOMPARE(prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(prompts.shown.first().text,
                 QStringLiteral("无法写入设置文件：\n%1").arg(QDir::toNativeSeparators(path())));
        // The colours and the surface cannot be kept either, and say so.
        QVERIFY(!view.writeBack());
        QVERIFY(QDir().rmdir(path()));
    }

    void surface_shown_is_kept_for_the_next_start_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<CQuorvaneView::Surface>("surface");
        QTest::newRow("meter panel") << CommandId::MeterInterface << "MeterPanel"
                                     << CQuorvaneView::Surface::MeterPanel;
        QTest::newRow("chart") << CommandId::RealtimeChart << "Chart"
                               << CQuorvaneView::Surface::MonitoringPanel;
        QTest::newRow("meter manager")
            << CommandId::MeterManager << "MeterManager" << CQuorvaneView::Surface::MeterManager;
        QTest::newRow("bare background") << 0 << "None" << CQuorvaneView::Surface::None;
    }
    void surface_shown_is_kept_for_the_next_start()
    {
        QFETCH(int, command);
        QFETCH(QString, stored);
        QFETCH(CQuorvaneView::Surface, surface);
        writeSettings("[MeterConfig]\nmetertype=1\nchannels=1\nsamplingtime=300\nsingleormulti=2\n"
                      "startaddress=1\nendaddress=3\nmeteramount=3\n");
        {
            MeterConfiguration meters;
            CQuorvaneView view(meters, live, alarms, lang, prompts);
            view.loadMeterConfiguration();
            view.resize(1000, 700);
            view.show();
            if (command)
                view.runCommand(command);
            QVERIFY(view.writeBack());
        }
        QCOMPARE(read("SysConfig", "Surface"), stored);

        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        view.loadMeterConfiguration();
        view.restoreSurface();
        QCOMPARE(view.surface(), surface);
        const QList<int> panels =
            surface == CQuorvaneView::Surface::MeterPanel ? QList<int>{1, 2, 3} : QList<int>();
        QCOMPARE(panelAddresses(view), panels);
        QCOMPARE(view.monitoringPanel()->isOpen(), surface == CQuorvaneView::Surface::MonitoringPanel);
        QCOMPARE(prompts.shown.size(), 0);
    }

    void missing_or_unknown_surface_starts_on_the_background_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::newRow("missing key") << QByteArray("[SysConfig]\nBkColor=0\n");
        QTest::newRow("unknown name") << QByteArray("[SysConfig]\nSurface=Wizard\n");
        QTest::newRow("missing file") << QByteArray();
    }
    void missing_or_unknown_surface_starts_on_the_background()
    {
        QFETCH(QByteArray, settings);
        if (settings.isEmpty())
            QFile::remove(path());
        else
            writeSettings(settings);
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        view.loadMeterConfiguration();
        view.restoreSurface();
        QCOMPARE(view.surface(), CQuorvaneView::Surface::None);
    }

    void surfaces_follow_the_commands()
    {
        MeterConfiguration meters;
        const auto view = meterPanel(meters, {1, 1, 300, 2, 1, 3, 3});
        view->runCommand(CommandId::RealtimeChart);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MonitoringPanel);

        // The wizard finished on a new range: back to the meter panel, which
        // follows the range; the monitoring panel goes.
        QTimer::singleShot(0, [] {
            auto *wizard = qobject_cast<QWizard *>(QApplication::activeModalWidget());
            QVERIFY(wizard);
            wizard->next();
            auto *last = wizard->findChild<QComboBox *>(QStringLiteral("lastAddressList"));
            last->setCurrentIndex(last->findText(QStringLiteral("6")));
            emit last->activated(last->currentIndex());
            wizard->button(QWizard::FinishButton)->click();
        });
        view->runCommand(CommandId::MeterConfig);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterPanel);
        QCOMPARE(panelAddresses(*view), (QList<int>{1, 2, 3, 4, 5, 6}));
        QVERIFY(view->panel(6)->isVisible());
        QVERIFY(!view->monitoringPanel()->isOpen());
        QCOMPARE(read("MeterConfig", "endaddress"), QStringLiteral("6"));
        QCOMPARE(read("MeterConfig", "meteramount"), QStringLiteral("6"));

        // The manager hides the panels; its Back leaves the bare background.
        view->runCommand(CommandId::MeterManager);
        QCOMPARE(view->surface(), CQuorvaneView::Surface::MeterManager);
        MeterManager *manager = view->meterManager();
        QVERIFY(manager->isVisible());
        QCOMPARE(manager->geometry(), view->rect());
        QVERIFY(!view->panel(1)->isVisible());
        manager->findChild<QAbstractButton *>(QStringLiteral("backButton"))->click();
        QCOMPARE(view->surface(), CQuorvaneView::Surface::None);
        QVERIFY(!manager->isVisible());
        // Shown again, the same manager comes back.
        view->runCommand(CommandId::MeterManager);
        QCOMPARE(view->meterManager(), manager);
        view->runCommand(CommandId::RealtimeChart);
        QVERIFY(!manager->isVisible());
    }

    void cancelled_wizard_writes_nothing()
    {
        writeSettings("[MeterConfig]\nmetertype=1\nchannels=1\nsamplingtime=300\nsingleormulti=2\n"
                      "startaddress=1\nendaddress=3\nmeteramount=3\n");
        QFile settingsFile(path());
        QVERIFY(settingsFile.open(QIODevice::ReadOnly));
        const QByteArray before = settingsFile.readAll();
        settingsFile.close();
        MeterConfiguration meters;
        CQuorvaneView view(meters, live, alarms, lang, prompts);
        view.loadMeterConfiguration();
        QTimer::singleShot(0, [] {
            auto *wizard = qobject_cast<QWizard *>(QApplication::activeModalWidget());
            QVERIFY(wizard);
            wizard->next();
            wizard->findChild<QRadioButton *>(QStringLiteral("single"))->click();
            wizard->reject();
        });
        view.runCommand(CommandId::MeterConfig);
        QVERIFY(settingsFile.open(QIODevice::ReadOnly));
        QCOMPARE(settingsFile.readAll(), before);
        QCOMPARE(meters.values().singleormulti, 2);
    }

    void background_colour_is_chosen_and_kept()
    {
        writeSettings("[SysConfig]\nBkColor=0\n");
        {
            MeterConfiguration meters;
            CQuorvaneView view(meters, live, alarms, lang, prompts);
            QTimer::singleShot(0, [] {
                auto *chooser = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
                QVERIFY(chooser);
                chooser->setCurrentColor(QColor(0x11, 0x22, 0x33));
                chooser->accept();
            });
            view.runCommand(CommandId::SetBkColor);
            QCOMPARE(view.backgroundColour(), 0x332211u);
            // Not written until the view goes.
            QCOMPARE(read("SysConfig", "BkColor"), QStringLiteral("0"));
        }
        QCOMPARE(read("SysConfig", "BkColor"), QString::number(0x332211));
    }
};

QTEST_MAIN(TestQuorvaneView)
#include "tst_quorvaneview.moc"
