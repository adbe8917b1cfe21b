#include "DataDirectory.h"
#include "SettingsFile.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <QDir>

#include <csignal>
#include <sys/resource.h>

namespace {

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
        QTest::newRow("plain value") << base << "CommConfig" << "comname" << "3";
        QTest::newRow("names match in any case") << base << "PROGRAMME" << "lang" << "1";
        QTest::newRow("blanks around the value are dropped") << base << "Programme" << "Name" << "仪表通讯";
        QTest::newRow("missing key") << base << "Programme" << "NameEN" << "Error";
        QTest::newRow("missing section") << base << "ChartConfig" << "MinValue" << "Error";
        QTest::newRow("key of another section is not found") << base << "Programme" << "comname" << "Error";
        QTest::newRow("comment lines are no keys") << QByteArray("[A]\n;k=1\nk=2\n") << "A" << "k" << "2";
        QTest::newRow("CRLF line ends") << QByteArray("[A]\r\nk=5\r\n") << "A" << "k" << "5";
        QTest::newRow("a value of 100 characters reads as its first 63")
            << QByteArray("[A]\nk=") + QByteArray(100, 'x') << "A" << "k" << QString(63, QLatin1Char('x'));
        QTest::newRow("a file that is not UTF-8 is read as GB18030")
            << QByteArray("[Programme]\nName=\xc4\xe3\xba\xc3\n") << "Programme" << "Name" << "你好";
        QTest::newRow("only the first of two sections of one name counts")
            << QByteArray("[A]\nx=1\n[a]\nk=2\n") << "A" << "k" << "Error";
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
