#include "CQuorvaneView.h"
#include "MeterConfiguration.h"
#include "SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestQuorvaneView : public QObject {
    Q_OBJECT

    QTemporaryDir home;
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

private slots:
    void init() { qputenv("QUORVANE_HOME", home.path().toUtf8()); }

    void construction_reads_chart_range_and_colour()
    {
        writeSettings("[ChartConfig]\nMinValue=-12.5\nMaxValue=1e3\n[SysConfig]\nBkColor=3419176\n");
        MeterConfiguration meters;
        CQuorvaneView view(meters);
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
            CQuorvaneView view(meters);
        }
        QCOMPARE(read("SysConfig", "BkColor"), written);
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
        CQuorvaneView view(meters);
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
        CQuorvaneView view(meters);
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
        CQuorvaneView view(meters);
        view.resize(64, 48);
        const QImage image = view.grab().toImage();
        QCOMPARE(image.pixelColor(0, 0), QColor(0x28, 0x2c, 0x34));
        QCOMPARE(image.pixelColor(63, 47), QColor(0x28, 0x2c, 0x34));
    }
};

QTEST_MAIN(TestQuorvaneView)
#include "tst_quorvaneview.moc"
