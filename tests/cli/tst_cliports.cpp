// "quorvane-cli ports" as a process on device trees laid out in a temporary
// directory: a block of sentences per device and the ModemManager finding,
// or one JSON document; bad usage changes nothing and says why.
#include "DeviceTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;
const QString kFtdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5Q2B-if00-port0");

struct Run {
    int exit = -1;
    QString out;
    QString err;
};

// A data directory without a settings file and the C locale, so that only
// --lang chooses Chinese.
Run cli(const QStringList &arguments)
{
    QTemporaryDir home;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(QUORVANE_CLI), arguments + QStringList{"--home", home.path()});
    Run run;
    if (!process.waitForFinished(kDeadlineMs) || process.exitStatus() != QProcess::NormalExit)
        return run;
    run.exit = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

bool layOut(DeviceTree &tree)
{
    return tree.device(QStringLiteral("ttyUSB0")) &&
           tree.stableName(kFtdi.section(QLatin1Char('/'), -1), QStringLiteral("ttyUSB0")) &&
           tree.stableName(QStringLiteral("usb-1a86_USB_Serial-if00-port0"), QStringLiteral("ttyUSB3")) &&
           tree.process(77, "ModemManager");
}

} // namespace

class TestCliPorts : public QObject {
    Q_OBJECT

private slots:
    void text_blocks_data()
    {
        QTest::addColumn<QString>("lang");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("English") << "1"
                                 << QStringList{
                                        "/dev/ttyUSB0",
                                        "  It can be opened; no program holds it.",
                                        "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                                        "  This stable name points to /dev/ttyUSB3.",
                                        "  The device does not exist: the adapter is not plugged in.",
                                        kFtdi,
                                        "  This stable name points to /dev/ttyUSB0.",
                                        "  It can be opened; no program holds it.",
                                        "ModemManager is running (process 77). It probes new USB serial "
                                        "devices and disturbs RS-485 adapters. To fix it, run sudo "
                                        "systemctl stop ModemManager, or sudo systemctl disable "
                                        "ModemManager to keep it off.",
                                        ""};
        QTest::newRow("Chinese") << "0"
                                 << QStringList{
                                        "/dev/ttyUSB0",
                                        "  可以打开，没有程序占用。",
                                        "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0",
                                        "  这是一个稳定名称，指向 /dev/ttyUSB3。",
                                        "  设备不存在：适配器未插入或已被拔出。",
                                        kFtdi,
                                        "  这是一个稳定名称，指向 /dev/ttyUSB0。",
                                        "  可以打开，没有程序占用。",
                                        "ModemManager 正在运行（进程 77）。它会探测新接入的 USB 串口，"
                                        "干扰 RS-485 适配器。修正方法：运行 sudo systemctl stop "
                                        "ModemManager，要长期关闭则运行 sudo systemctl disable "
                                        "ModemManager。",
                                        ""};
    }
    void text_blocks()
    {
        QFETCH(QString, lang);
        QFETCH(QStringList, lines);
        DeviceTree tree;
        QVERIFY(layOut(tree));
        const Run run = cli({"ports", "--root", tree.root(), "--lang", lang});
        QCOMPARE(run.exit, 0);
        QCOMPARE(run.out.split(QLatin1Char('\n')), lines);
        QVERIFY(run.err.isEmpty());
    }

    void one_json_document()
    {
        DeviceTree tree;
        QVERIFY(layOut(tree));
        QVERIFY(tree.write(QStringLiteral("var/lock/LCK..ttyUSB0"), "4242\nquorvane\nhost\n"));
        QVERIFY(tree.process(4242, "quorvane"));
        const Run run = cli({"ports", "--json", "--root", tree.root(), "--lang", "1"});
        QCOMPARE(run.exit, 0);
        QJsonParseError error;
        const QJsonObject document = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray devices = document.value("devices").toArray();
        QCOMPARE(devices.size(), 3);
        const QJsonObject held = devices.at(0).toObject();
        QCOMPARE(held.value("path").toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(held.value("access").toString(), QStringLiteral("held"));
        QCOMPARE(held.value("holder").toObject().value("pid").toInteger(), 4242);
        QCOMPARE(held.value("holder").toObject().value("name").toString(), QStringLiteral("quorvane"));
        QCOMPARE(held.value("holder").toObject().value("lockFile").toString(),
                 QStringLiteral("/var/lock/LCK..ttyUSB0"));
        QCOMPARE(
            held.value("findings").toArray().at(0).toString(),
            QStringLiteral("It is held by process 4242 (quorvane), lock file /var/lock/LCK..ttyUSB0. Close "
                           "that program first."));
        const QJsonObject unplugged = devices.at(1).toObject();
        QCOMPARE(unplugged.value("target").toString(), QStringLiteral("/dev/ttyUSB3"));
        QCOMPARE(unplugged.value("access").toString(), QStringLiteral("missing"));
        QCOMPARE(devices.at(2).toObject().value("target").toString(), QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(devices.at(2).toObject().value("access").toString(), QStringLiteral("held"));
        QCOMPARE(document.value("modemManager").toObject().value("running").toBool(), true);
        QCOMPARE(document.value("modemManager").toObject().value("pid").toInteger(), 77);
    }

    void bad_usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("a language that is none")
            << QStringList{"ports", "--lang", "7"} << "Option --lang: \"7\" is not valid.";
        QTest::newRow("a word after ports") << QStringList{"ports", "ttyUSB0", "--lang", "1"}
                                            << "The ports command takes no argument \"ttyUSB0\".";
        QTest::newRow("no command names ports among the commands")
            << QStringList{"--lang", "1"}
            << "No command given: read, params, backup, compare, restore, copy, scan or ports.";
    }
    void bad_usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const Run run = cli(arguments);
        QCOMPARE(run.exit, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliPorts)
#include "tst_cliports.moc"
