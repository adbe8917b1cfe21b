#include "CycleSettings.h"
#include "DataDirectory.h"
#include "PortSettings.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>

#include <csignal>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SettingKey)

namespace {

// File access as an ordinary user while it lives, so that a file without
// read permission cannot be read even when the tests run as root. Only the
// file-system identity changes, and it is given back at the end.
class UnprivilegedFileAccess {
public:
    UnprivilegedFileAccess()
    {
        if (::geteuid() != 0)
            return;
        ::setfsgid(kNobody);
        ::setfsuid(kNobody);
        // setfsuid reports the identity before the call, so a second call
        // with an invalid id tells whether the first took effect.
        dropped = ::setfsuid(static_cast<uid_t>(-1)) == kNobody;
    }
    ~UnprivilegedFileAccess()
    {
        if (::geteuid() != 0)
            return;
        ::setfsuid(0);
        ::setfsgid(0);
    }
    UnprivilegedFileAccess(const UnprivilegedFileAccess &) = delete;
    UnprivilegedFileAccess &operator=(const UnprivilegedFileAccess &) = delete;

    bool effective() const { return dropped || ::geteuid() != 0; }

private:
    static constexpr unsigned kNobody = 65534; // user and group "nobody"/"nogroup"
    bool dropped = false;
};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("qlvmsys.dll")); }

private slots:
    void init()
    {
        QFile::remove(path());
        qputenv("QUORVANE_HOME", dir.path().toUtf8());
    }

    void reads_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QByteArray base = "[Programme]\nLang=1\nName = 仪表通讯 \n[CommConfig]\ncomname=3\n";
        QTest::newRow("plain value") << base << "CommConfig"
                                     << "comname"
                                     << "3";
        QTest::newRow("names match in any case") << base << "PROGRAMME"
                                                 << "lang"
                                                 << "1";
        QTest::newRow("blanks around the value are dropped") << base << "Programme"
                                                             << "Name"
                                                             << "仪表通讯";
        QTest::newRow("missing key") << base << "Programme"
                                     << "NameEN"
                                     << "Error";
        QTest::newRow("missing section") << base << "ChartConfig"
                                         << "MinValue"
                                         << "Error";
        QTest::newRow("key of another section is not found") << base << "Programme"
                                                             << "comname"
                                                             << "Error";
        QTest::newRow("comment lines are no keys") << QByteArray("[A]\n;k=1\nk=2\n") << "A"
                                                   << "k"
                                                   << "2";
        QTest::newRow("CRLF line ends") << QByteArray("[A]\r\nk=5\r\n") << "A"
                                        << "k"
                                        << "5";
        QTest::newRow("a value of 100 characters reads as its first 63")
            << QByteArray("[A]\nk=") + QByteArray(100, 'x') << "A"
            << "k" << QString(63, QLatin1Char('x'));
        QTest::newRow("a file that is not UTF-8 is read as GB18030")
            << QByteArray("[Programme]\nName=\xc4\xe3\xba\xc3\n") << "Programme"
            << "Name"
            << "你好";
        QTest::newRow("only the first of two sections of one name counts")
            << QByteArray("[A]\nx=1\n[a]\nk=2\n") << "A"
            << "k"
            << "Error";
    }

    void reads()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        writeFile(path(), content);
        QCOMPARE(SettingsFile(path()).ReadSetting(section, key), expected);
    }

    void missingFileReadsErrorAndZero()
    {
        SettingsFile settings(path());
        QCOMPARE(settings.ReadSetting("Programme", "Lang"), QStringLiteral("Error"));
        QCOMPARE(settings.ReadInt("CommConfig", "comname"), 0);
        QCOMPARE(settings.ReadReal("ChartConfig", "MaxValue"), 0.0);
    }

    void numbersAreParsedLikeTheCLibrary_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("integer");
        QTest::addColumn<double>("real");
        QTest::newRow("digits then letters") << "12abc" << 12 << 12.0;
        QTest::newRow("letters first") << "abc12" << 0 << 0.0;
        QTest::newRow("sign and fraction") << "-12.75" << -12 << -12.75;
        QTest::newRow("exponent") << "1e3" << 1 << 1000.0;
        QTest::newRow("overflow saturates") << "99999999999" << INT_MAX << 99999999999.0;
    }

    void numbersAreParsedLikeTheCLibrary()
    {
        QFETCH(QString, stored);
        QFETCH(int, integer);
        QFETCH(double, real);
        SettingsFile settings(path());
        QVERIFY(settings.WriteSetting("A", "k", stored));
        QCOMPARE(settings.ReadInt("A", "k"), integer);
        QCOMPARE(settings.ReadReal("A", "k"), real);
    }

    void writesReplaceOrAppend()
    {
        writeFile(path(), "; kept comment\n[CommConfig]\nComName=1\nbaudrate=11\n\n[Other]\nx=1\n");
        SettingsFile settings(path());
        QVERIFY(settings.WriteSetting("commconfig", "comname", "10"));
        QVERIFY(settings.WriteSetting("CommConfig", "parity", "2"));
        QVERIFY(settings.WriteSetting("MeterConfig", "metertype", "3"));
        QCOMPARE(readFile(path()),
                 QByteArray("; kept comment\n[CommConfig]\nComName=10\nbaudrate=11\nparity=2\n\n"
                            "[Other]\nx=1\n\n[MeterConfig]\nmetertype=3\n"));
    }

    void writingIntoAMissingFileCreatesIt()
    {
        SettingsFile settings(path());
        QVERIFY(settings.WriteInt("Programme", "Lang", 1));
        QCOMPARE(readFile(path()), QByteArray("[Programme]\nLang=1\n"));
    }

    void aValueCannotBreakTheLineStructure()
    {
        SettingsFile settings(path());
        QVERIFY(settings.WriteSetting("Programme", "Name", "evil\n[CommConfig]\ncomname=9"));
        QCOMPARE(settings.ReadSetting("CommConfig", "comname"), QStringLiteral("Error"));
        QVERIFY(!settings.WriteSetting("Programme", "a=b", "1"));
    }

    void aFailedWriteLeavesTheOldFileIntact()
    {
        // A file size limit makes the write of the new file fail part-way,
        // as a full disk would, whoever runs the test.
        writeFile(path(), "[Programme]\nLang=1\n");
        struct rlimit old {};
        getrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        SettingsFile settings(path());
        const bool written = settings.WriteSetting("Programme", "Name", QString(80, QLatin1Char('n')));
        setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY(!written);
        QCOMPARE(readFile(path()), QByteArray("[Programme]\nLang=1\n"));
        QCOMPARE(settings.ReadInt("Programme", "Lang"), 1);
        QCOMPARE(QDir(dir.path()).entryList({"qlvmsys.dll*"}, QDir::Files), QStringList{"qlvmsys.dll"});
    }

    void aFileThatCannotBeReadIsNotReplaced_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::addColumn<int>("permissions");
        QTest::newRow("no permission at all") << false << 0;
        QTest::newRow("permission to write but not to read") << false << int(QFile::WriteOwner);
        QTest::newRow("a directory under the file's name") << true << 0;
    }
    void aFileThatCannotBeReadIsNotReplaced()
    {
        QFETCH(bool, directory);
        QFETCH(int, permissions);
        // Anyone may create files beside the settings file, so a write that
        // went ahead could rename its new file over the old one.
        QTemporaryDir home;
        QVERIFY(QFile::setPermissions(home.path(), QFile::Permissions(0x7777)));
        const QString file = home.filePath(QStringLiteral("qlvmsys.dll"));
        const QByteArray content = "[Programme]\nLang=1\n[CommConfig]\ncomname=3\nbaudratevalue=19200\n";
        if (directory) {
            QVERIFY(QDir().mkpath(file + QStringLiteral("/kept")));
        } else {
            writeFile(file, content);
            QVERIFY(QFile::setPermissions(file, QFile::Permissions(permissions)));
        }

        bool written = true;
        QString readBack;
        {
            UnprivilegedFileAccess user;
            if (!user.effective())
                QSKIP("the file-system identity cannot be changed here");
            SettingsFile settings(file);
            readBack = settings.ReadSetting(Setting::Lang);
            written = settings.WriteInt(Setting::MeterType, 2);
        }
        QCOMPARE(readBack, QStringLiteral("Error"));
        QVERIFY(!written);
        QCOMPARE(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{"qlvmsys.dll"});
        if (directory) {
            QVERIFY(QFileInfo(file + QStringLiteral("/kept")).isDir());
        } else {
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
            QCOMPARE(readFile(file), content);
            QCOMPARE(SettingsFile(file).ReadInt(Setting::ComName), 3);
        }
    }

    void realsAreWrittenLikePrintfG_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("written");
        QTest::newRow("whole number without a point") << 100.0 << "100";
        QTest::newRow("fraction") << -12.75 << "-12.75";
        QTest::newRow("six significant digits") << 3.14159265 << "3.14159";
        QTest::newRow("large values take an exponent") << 1234567.0 << "1.23457e+06";
        QTest::newRow("small values take an exponent") << 0.00001 << "1e-05";
    }
    void realsAreWrittenLikePrintfG()
    {
        QFETCH(double, value);
        QFETCH(QString, written);
        SettingsFile settings(path());
        QVERIFY(settings.WriteReal(Setting::ChartMaxValue, value));
        QCOMPARE(settings.ReadSetting(QStringLiteral("ChartConfig"), QStringLiteral("MaxValue")), written);
        QCOMPARE(settings.ReadReal(Setting::ChartMaxValue), written.toDouble());
    }

    // The supplied file holds every setting of the table, so a misspelt name
    // there would read as a missing key here.
    void theTableNamesTheSuppliedSettings_data()
    {
        QTest::addColumn<SettingKey>("setting");
        QTest::addColumn<QString>("supplied");
        const auto row = [](SettingKey setting, const char *value) {
            QTest::addRow("%s/%s", setting.section, setting.key) << setting << QString::fromUtf8(value);
        };
        using namespace Setting;
        row(Lang, "0");
        row(Name, "Tarvex通讯");
        row(NameEN, "Tarvex Communication");
        row(ComName, "1");
        row(BaudRate, "11");
        row(ByteSize, "8");
        row(Parity, "0");
        row(StopBits, "2");
        row(BaudRateValue, "9600");
        row(MeterType, "1");
        row(Channels, "1");
        row(SamplingTime, "300");
        row(SingleOrMulti, "2");
        row(StartAddress, "1");
        row(EndAddress, "5");
        row(MeterAmount, "5");
        row(ChartBkColor, "15787228");
        row(ChartMinValue, "0");
        row(ChartMaxValue, "100");
        row(SysBkColor, "3419176");
    }
    void theTableNamesTheSuppliedSettings()
    {
        QFETCH(SettingKey, setting);
        QFETCH(QString, supplied);
        const SettingsFile defaults(DataDirectory::defaultsPath() + QStringLiteral("/qlvmsys.dll"));
        QCOMPARE(defaults.ReadSetting(setting), supplied);
    }

    // Section "Line": the pace of monitoring and the fast cycle's answer
    // time-out, by default 50 ms plus twice the wire time of a read answer.
    void lineCycle_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parityIndex");
        QTest::addColumn<int>("stopBitsIndex");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<int>("timeoutMs");
        const QByteArray fast = "[Line]\ncycle=fast\n";
        QTest::newRow("no section: the period cycle")
            << QByteArray("[CommConfig]\ncomname=1\n") << "9600" << 8 << 0 << 2 << false << 67;
        QTest::newRow("fast, 9600 8N2: 7 x 11 bits twice") << fast << "9600" << 8 << 0 << 2 << true << 67;
        QTest::newRow("the value in any case")
            << QByteArray("[line]\nCycle=FAST\n") << "9600" << 8 << 0 << 2 << true << 67;
        QTest::newRow("period") << QByteArray("[Line]\ncycle=period\n") << "9600" << 8 << 0 << 2 << false
                                << 67;
        QTest::newRow("a word that means nothing: the period cycle")
            << QByteArray("[Line]\ncycle=quick\n") << "9600" << 8 << 0 << 2 << false << 67;
        QTest::newRow("19200 8E1: 7 x 11 bits twice") << fast << "19200" << 8 << 2 << 0 << true << 59;
        QTest::newRow("1200 7N1: 7 x 9 bits twice") << fast << "1200" << 7 << 0 << 0 << true << 155;
        QTest::newRow("a time-out of its own") << fast + "timeout=120\n"
                                               << "9600" << 8 << 0 << 2 << true << 120;
        QTest::newRow("a time-out of 0 is derived") << fast + "timeout=0\n"
                                                    << "9600" << 8 << 0 << 2 << true << 67;
        QTest::newRow("a negative time-out is derived") << fast + "timeout=-5\n"
                                                        << "9600" << 8 << 0 << 2 << true << 67;
    }
    void lineCycle()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, baud);
        writeFile(path(), content);
        PortSettings port;
        port.baudText = baud;
        QFETCH(int, dataBits);
        QFETCH(int, parityIndex);
        QFETCH(int, stopBitsIndex);
        port.dataBits = dataBits;
        port.parityIndex = parityIndex;
        port.stopBitsIndex = stopBitsIndex;
        const CycleSettings cycle = CycleSettings::read(SettingsFile());
        QTEST(cycle.cycle == CycleSettings::Cycle::Fast, "fast");
        QTEST(cycle.answerTimeoutMs(port), "timeoutMs");
    }

    void dataDirectoryIsLaidDownOnce()
    {
        QTemporaryDir home;
        const QString data = home.filePath("nested/Quorvane");
        qputenv("QUORVANE_HOME", data.toUtf8());
        QCOMPARE(DataDirectory::path(), data);

        const auto first = DataDirectory::prepare(QLocale(QLocale::Chinese, QLocale::China));
        QVERIFY(first.copied.contains("qlvmsys.dll"));
        SettingsFile settings;
        QCOMPARE(settings.path(), data + "/qlvmsys.dll");
        QCOMPARE(settings.ReadInt("Programme", "Lang"), 0);
        QCOMPARE(settings.ReadSetting("Programme", "NameEN"), QStringLiteral("Tarvex Communication"));
        QCOMPARE(settings.ReadSetting("Programme", "Name"), QStringLiteral("Tarvex通讯"));
        QCOMPARE(settings.ReadInt("MeterConfig", "endaddress"), 5);
        QCOMPARE(settings.ReadSetting("CommConfig", "baudratevalue"), QStringLiteral("9600"));

        QVERIFY(settings.WriteSetting("CommConfig", "comname", "7"));
        const auto second = DataDirectory::prepare(QLocale(QLocale::English));
        QVERIFY(!second.copied.contains("qlvmsys.dll"));
        QCOMPARE(settings.ReadInt("CommConfig", "comname"), 7);
        QCOMPARE(settings.ReadInt("Programme", "Lang"), 0);
    }

    void aNonChineseDesktopStartsInEnglish()
    {
        QTemporaryDir home;
        qputenv("QUORVANE_HOME", home.path().toUtf8());
        DataDirectory::prepare(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(SettingsFile().ReadInt("Programme", "Lang"), 1);
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
