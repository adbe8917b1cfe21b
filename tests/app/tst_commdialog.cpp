#include "FrameTestSupport.h"

#include "CommDialog.h"
#include "CommandIds.h"
#include "LineTimers.h"

#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>

#include <csignal>
#include <optional>
#include <sys/resource.h>

namespace {

QStringList entries(QComboBox *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->itemText(i);
    return texts;
}

QComboBox *list(QDialog *dialog, const char *name)
{
    return dialog->findChild<QComboBox *>(QString::fromLatin1(name));
}

QLineEdit *edit(QDialog *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
}

// What a screen reader names `field` by: its own name, and the labels that
// label it (on Linux a list's own name is its entry).
QStringList accessibleNames(QWidget *field)
{
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(field);
    QStringList names{face->text(QAccessible::Name)};
    for (const auto &[label, relation] : face->relations(QAccessible::Label))
        names << label->text(QAccessible::Name);
    return names;
}

void click(QDialog *dialog, const char *name)
{
    QTest::mouseClick(dialog->findChild<QPushButton *>(QString::fromLatin1(name)), Qt::LeftButton);
}

// While it lives, no file of the process may grow past `bytes`: the writing
// of a larger file fails part-way, as on a full disk, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct rlimit old {};
    void (*oldHandler)(int) = SIG_DFL;
};

struct Choice {
    int port = 0;
    int baud = 11;
    int dataBits = 4;
    int parity = 0;
    int stopBits = 2;
};

// Confirms the dialog with the given selections.
void choose(QDialog *dialog, const Choice &choice)
{
    list(dialog, "port1001")->setCurrentIndex(choice.port);
    list(dialog, "baud1002")->setCurrentIndex(choice.baud);
    list(dialog, "dataBits1008")->setCurrentIndex(choice.dataBits);
    list(dialog, "parity1010")->setCurrentIndex(choice.parity);
    list(dialog, "stopBits1005")->setCurrentIndex(choice.stopBits);
    click(dialog, "ok1");
}

QStringList sectionLines(const QByteArray &settings, const QString &name)
{
    QStringList lines = QString::fromUtf8(settings).split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(QLatin1Char('[') + name + QLatin1Char(']'));
    if (start < 0)
        return {};
    QStringList section;
    for (qsizetype i = start + 1; i < lines.size() && !lines[i].startsWith(QLatin1Char('[')); ++i) {
        if (!lines[i].isEmpty())
            section << lines[i];
    }
    return section;
}

QStringList commConfigLines(const QByteArray &settings)
{
    return sectionLines(settings, QStringLiteral("CommConfig"));
}

} // namespace

class TestCommDialog : public QObject {
    Q_OBJECT

private slots:
    void lists_and_texts_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("parities");
        QTest::addColumn<QStringList>("transports");
        QTest::newRow("Chinese") << 0 << QStringList{"设置通讯端口",   "设置通讯端口", "端口号", "波特率",
                                                     "数据位",         "奇偶检验",     "停止位", "传输方式：",
                                                     "主机：",         "TCP 端口：",   "站点：", "线路：",
                                                     "还原默认值(&R)", "确定",         "取消"}
                                 << QStringList{"无", "奇", "偶", "标志", "空格"}
                                 << QStringList{"串口", "串口服务器（RTU over TCP）", "Modbus TCP 网关",
                                                "消息服务器（监视线路）"};
        QTest::newRow("English") << 1
                                 << QStringList{"Set Communication Port",
                                                "Set Communication Port",
                                                "Port",
                                                "Baud rate",
                                                "Data bit",
                                                "Parity",
                                                "Stop bit",
                                                "Transport:",
                                                "Host:",
                                                "TCP port:",
                                                "Site:",
                                                "Line:",
                                                "&Reset",
                                                "OK",
                                                "Cancel"}
                                 << QStringList{"NONE", "Odd", "Even", "Mark", "Space"}
                                 << QStringList{"Serial port", "Serial device server (RTU over TCP)",
                                                "Modbus TCP gateway", "Message broker (watch a line)"};
    }
    void lists_and_texts()
    {
        QFETCH(int, lang);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, parities);
        QFETCH(QStringList, transports);
        RecordingPrompts prompts;
        CommDialog dialog([](int n) { return n == 3 ? QStringLiteral("/dev/pts/7") : QString(); }, prompts);
        dialog.preset(PortSettings(), LineTransportSettings(), lang);
        const QList<QLabel *> fieldLabels = dialog.findChildren<QLabel *>();
        const QStringList shown{dialog.windowTitle(),
                                dialog.findChild<QGroupBox *>(QStringLiteral("group1012"))->title(),
                                dialog.findChild<QLabel *>(QStringLiteral("label1003"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("label1004"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("label1007"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("label1009"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("label1006"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("transportLabel"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("hostLabel"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("tcpPortLabel"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("siteLabel"))->text(),
                                dialog.findChild<QLabel *>(QStringLiteral("lineLabel"))->text(),
                                dialog.findChild<QPushButton *>(QStringLiteral("reset1011"))->text(),
                                dialog.findChild<QPushButton *>(QStringLiteral("ok1"))->text(),
                                dialog.findChild<QPushButton *>(QStringLiteral("cancel2"))->text()};
        QCOMPARE(shown, labels);
        QCOMPARE(entries(list(&dialog, "port1001")),
                 (QStringList{"COM1", "COM2", "COM3  (/dev/pts/7)", "COM4", "COM5", "COM6", "COM7", "COM8",
                              "COM9", "COM10"}));
        QCOMPARE(entries(list(&dialog, "baud1002")),
                 (QStringList{"75", "110", "134", "150", "300", "600", "1200", "1800", "2400", "4800", "7200",
                              "9600", "14400", "19200", "38400", "57600", "115200", "128000"}));
        QCOMPARE(entries(list(&dialog, "dataBits1008")), (QStringList{"4", "5", "6", "7", "8"}));
        QCOMPARE(entries(list(&dialog, "parity1010")), parities);
        QCOMPARE(entries(list(&dialog, "stopBits1005")), (QStringList{"1", "1.5", "2"}));
        QCOMPARE(entries(list(&dialog, "transportList")), transports);
        // Every field is named by its label.
        for (QLabel *label : fieldLabels)
            QVERIFY2(label->buddy() && accessibleNames(label->buddy()).contains(label->text()),
                     qPrintable(label->text()));
        QCOMPARE(fieldLabels.size(), 10);
    }

    void preset_selects_and_out_of_range_selects_nothing()
    {
        RecordingPrompts prompts;
        CommDialog dialog({}, prompts);
        PortSettings odd;
        odd.portNumber = 11;
        odd.baudIndex = 17;
        odd.dataBits = 3;
        odd.parityIndex = 4;
        odd.stopBitsIndex = 1;
        dialog.preset(odd, LineTransportSettings(), 0);
        QCOMPARE(list(&dialog, "port1001")->currentIndex(), -1);
        QCOMPARE(list(&dialog, "baud1002")->currentText(), QStringLiteral("128000"));
        QCOMPARE(list(&dialog, "dataBits1008")->currentIndex(), -1);
        QCOMPARE(list(&dialog, "parity1010")->currentText(), QStringLiteral("空格"));
        QCOMPARE(list(&dialog, "stopBits1005")->currentText(), QStringLiteral("1.5"));
        dialog.accept();
        QCOMPARE(dialog.fields().portNumber, 0);
        QCOMPARE(dialog.fields().portText, QString());
        QCOMPARE(dialog.fields().dataBits, 3);
        QCOMPARE(dialog.fields().baudText, QStringLiteral("128000"));
    }

    // The list's indices: 0 the serial port, 1 a device server, 2 a gateway,
    // 3 the broker.
    void port_field_follows_the_transport_data()
    {
        QTest::addColumn<int>("stored"); // the transport preset, on port 4001
        QTest::addColumn<QList<int>>("choices");
        QTest::addColumn<QString>("port");
        QTest::newRow("the serial port takes no host or port") << 1 << QList<int>{0} << "4001";
        QTest::newRow("an empty port gets the default") << 0 << QList<int>{2} << "502";
        QTest::newRow("a default follows to the other network transport")
            << 0 << QList<int>{2, 0, 1} << "4001";
        QTest::newRow("a port of its own stays") << 2 << QList<int>{0, 2} << "4001";
        QTest::newRow("the broker's default port") << 0 << QList<int>{3} << "1883";
        QTest::newRow("a server's default gives way to the broker's") << 1 << QList<int>{3} << "1883";
        QTest::newRow("the broker's default gives way to a gateway's") << 0 << QList<int>{3, 2} << "502";
        QTest::newRow("back to the serial port from the broker") << 0 << QList<int>{3, 0} << "1883";
    }
    void port_field_follows_the_transport()
    {
        QFETCH(int, stored);
        QFETCH(QList<int>, choices);
        QFETCH(QString, port);
        RecordingPrompts prompts;
        CommDialog dialog({}, prompts);
        LineTransportSettings line;
        line.kind = LineTransportSettings::Kind(stored);
        line.port = stored != 0 ? 4001 : 0;
        dialog.preset(PortSettings(), line, 1);
        for (int choice : choices)
            list(&dialog, "transportList")->setCurrentIndex(choice);
        QCOMPARE(edit(&dialog, "tcpPortEdit")->text(), port);
        for (const char *name : {"hostEdit", "tcpPortEdit", "hostLabel", "tcpPortLabel"})
            QCOMPARE(dialog.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(),
                     choices.last() != 0);
        // Site and line name a watched line only.
        for (const char *name : {"siteEdit", "lineEdit", "siteLabel", "lineLabel"})
            QCOMPARE(dialog.findChild<QWidget *>(QString::fromLatin1(name))->isEnabled(),
                     choices.last() == 3);
    }

    // The site and line the settings hold are offered again, whatever the
    // transport; a fresh file offers the default site.
    void site_and_line_are_preset_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("line");
        QTest::newRow("a watched line") << 3 << "works"
                                        << "north";
        QTest::newRow("kept beside the serial port") << 0 << "works"
                                                     << "north";
        QTest::newRow("nothing stored yet") << 0 << "plant"
                                            << "";
    }
    void site_and_line_are_preset()
    {
        QFETCH(int, kind);
        QFETCH(QString, site);
        QFETCH(QString, line);
        RecordingPrompts prompts;
        CommDialog dialog({}, prompts);
        LineTransportSettings transport;
        transport.kind = LineTransportSettings::Kind(kind);
        transport.site = site;
        transport.lineName = line;
        dialog.preset(PortSettings(), transport, 0);
        QCOMPARE(list(&dialog, "transportList")->currentIndex(), kind);
        QCOMPARE(edit(&dialog, "siteEdit")->text(), site);
        QCOMPARE(edit(&dialog, "lineEdit")->text(), line);
    }

    // A good transport is stored beside the other keys of section "Line"
    // and the line reopened on it; a bad one is told, keeps the dialog open
    // and stores nothing. "%1" is the port of a server standing in for the
    // device server or gateway; a good broker is watched in
    // tst_mainframewatch.
    void transport_on_ok_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("before"); // section "Line"
        QTest::addColumn<int>("transport");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("after"); // section "Line"; none when refused
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("siteAndLine"); // typed for the broker
        const auto row = [](const char *name, int lang, const QStringList &before, int transport,
                            const char *host, const char *port, const QStringList &after, const char *message,
                            const QStringList &siteAndLine = {}) {
            QTest::newRow(name) << lang << before << transport << QString::fromLatin1(host)
                                << QString::fromLatin1(port) << after << QString::fromUtf8(message)
                                << siteAndLine;
        };
        row("a device server beside the cycle", 0, {"cycle=fast"}, 1, "127.0.0.1", "%1",
            {"cycle=fast", "transport=rtu-tcp", "host=127.0.0.1", "tcpport=%1"}, "");
        row("a gateway in place of a transport nobody knows", 1, {"transport=rs485", "timeout=80"}, 2,
            "127.0.0.1", "%1", {"transport=modbus-tcp", "timeout=80", "host=127.0.0.1", "tcpport=%1"}, "");
        row("no host", 0, {}, 1, " ", "4001", {}, "请输入串口服务器或网关的主机名或 IP 地址！");
        row("a host with a port", 1, {}, 2, "gw:502", "502", {}, "The host name \"gw:502\" is not valid!");
        row("a port past 65535", 0, {}, 1, "gw", "70000", {}, "TCP 端口“70000”无效，应为 1 到 65535！");
        row("a broker without a host", 1, {}, 3, "", "1883", {},
            "Please enter the host name or IP address of the device server or gateway!");
        row("a broker's port past 65535", 1, {}, 3, "mq", "65536", {},
            "The TCP port \"65536\" is not valid, it must be 1 to 65535!");
        row("a site of two levels", 0, {}, 3, "mq", "1883", {},
            "站点或线路名“plant/2”无效，只能包含字母、数字、- _ .", {"plant/2", "north"});
        row("a wildcard for a line", 1, {}, 3, "mq", "1883", {},
            "The site or line name \"+\" is not valid: letters, digits, - _ . only.", {"plant", "+"});
        row("no line", 1, {}, 3, "mq", "1883", {},
            "The site or line name \"\" is not valid: letters, digits, - _ . only.", {"plant", ""});
    }
    void transport_on_ok()
    {
        QFETCH(int, lang);
        QFETCH(QStringList, before);
        QFETCH(int, transport);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QStringList, after);
        QFETCH(QString, message);
        QFETCH(QStringList, siteAndLine);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QString serverPort = QString::number(server.serverPort());
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        for (const QString &keyValue : before)
            fixture.set(QStringLiteral("Line"), keyValue.section(QLatin1Char('='), 0, 0),
                        keyValue.section(QLatin1Char('='), 1));
        CMainFrame *frame = fixture.start();
        fixture.prompts.clear(); // COM1 or section "Line" could not be opened
        const QByteArray settingsBefore = fixture.settingsBytes();
        bool keptOpen = false;
        WhenModalShown interact([&](QDialog *dialog) {
            list(dialog, "transportList")->setCurrentIndex(transport);
            QTest::keyClicks(edit(dialog, "hostEdit"), host);
            edit(dialog, "tcpPortEdit")->clear();
            QTest::keyClicks(edit(dialog, "tcpPortEdit"),
                             QString(port).replace(QStringLiteral("%1"), serverPort));
            if (!siteAndLine.isEmpty()) {
                edit(dialog, "siteEdit")->clear();
                QTest::keyClicks(edit(dialog, "siteEdit"), siteAndLine.value(0));
                QTest::keyClicks(edit(dialog, "lineEdit"), siteAndLine.value(1));
            }
            choose(dialog, {1, 13, 4, 0, 2});
            keptOpen = dialog->isVisible();
            if (keptOpen)
                dialog->reject();
        });
        frame->onCommand(CommandId::CommConfig);
        if (!message.isEmpty()) {
            QVERIFY(keptOpen);
            QCOMPARE(fixture.prompts.shown.size(), 1);
            QCOMPARE(fixture.prompts.shown.first().text, message);
            QCOMPARE(fixture.prompts.shown.first().caption,
                     lang ? QStringLiteral("Error") : QStringLiteral("错误"));
            QCOMPARE(fixture.settingsBytes(), settingsBefore);
            return;
        }
        QVERIFY(fixture.prompts.shown.isEmpty());
        QCOMPARE(sectionLines(fixture.settingsBytes(), QStringLiteral("Line")),
                 after.replaceInStrings(QStringLiteral("%1"), serverPort));
        // "CommConfig" holds the serial fields, the device server's serial side.
        QCOMPARE(commConfigLines(fixture.settingsBytes()),
                 (QStringList{"comname=2", "baudrate=13", "bytesize=8", "parity=0", "stopbits=2",
                              "baudratevalue=19200"}));
        QCOMPARE(frame->line().devicePath(), QStringLiteral("127.0.0.1:") + serverPort);
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().isOpen(), 10000);
    }

    void reset_then_cancel_changes_nothing()
    {
        FrameFixture fixture;
        fixture.set(QStringLiteral("CommConfig"), QStringLiteral("comname"), QStringLiteral("4"));
        fixture.set(QStringLiteral("CommConfig"), QStringLiteral("baudrate"), QStringLiteral("16"));
        fixture.set(QStringLiteral("CommConfig"), QStringLiteral("baudratevalue"), QStringLiteral("115200"));
        CMainFrame *frame = fixture.start();
        const QByteArray before = fixture.settingsBytes();
        fixture.prompts.clear();
        int selectedAfterReset = -1;
        WhenModalShown interact([&](QDialog *dialog) {
            QCOMPARE(list(dialog, "port1001")->currentIndex(), 3);
            click(dialog, "reset1011");
            selectedAfterReset = list(dialog, "baud1002")->currentIndex();
            QCOMPARE(list(dialog, "port1001")->currentIndex(), 0);
            QCOMPARE(list(dialog, "dataBits1008")->currentText(), QStringLiteral("8"));
            QCOMPARE(list(dialog, "stopBits1005")->currentText(), QStringLiteral("2"));
            click(dialog, "cancel2");
        });
        frame->onCommand(CommandId::CommConfig);
        QCOMPARE(selectedAfterReset, 11);
        QCOMPARE(fixture.settingsBytes(), before);
        QCOMPARE(frame->portSettings().portNumber, 4);
        QVERIFY(fixture.prompts.shown.isEmpty());
    }

    void choices_are_stored_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<bool>("refused"); // the line cannot run with these settings
        QTest::newRow("COM10 at 128000")
            << 9 << 17 << 4 << 0 << 2 << QStringList{"comname=10", "baudrate=17", "bytesize=8",
                                                     "parity=0",   "stopbits=2",  "baudratevalue=128000"}
            << false;
        QTest::newRow("stop bits 1.5 store 1")
            << 0 << 11 << 3 << 2 << 1 << QStringList{"comname=1", "baudrate=11", "bytesize=7",
                                                     "parity=2",  "stopbits=1",  "baudratevalue=9600"}
            << true;
        QTest::newRow("lowest entries")
            << 1 << 0 << 0 << 3 << 0 << QStringList{"comname=2", "baudrate=0", "bytesize=4",
                                                    "parity=3",  "stopbits=0", "baudratevalue=75"}
            << true;
    }
    void choices_are_stored()
    {
        QFETCH(int, port);
        QFETCH(int, baud);
        QFETCH(int, dataBits);
        QFETCH(int, parity);
        QFETCH(int, stopBits);
        QFETCH(QStringList, stored);
        QFETCH(bool, refused);
        QuietTerminal terminal;
        FrameFixture fixture;
        // A settings file without the section: the six keys come in their order.
        QFile file(fixture.settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("[Programme]\nLang=0\n[Ports]\nCOM" + QByteArray::number(port + 1) + "=" +
                   terminal.path.toUtf8() + "\n");
        file.close();
        CMainFrame *frame = fixture.start();
        fixture.prompts.clear(); // "COMError" could not be opened at start
        WhenModalShown interact([&](QDialog *dialog) {
            choose(dialog, {port, baud, dataBits, parity, stopBits});
        });
        frame->onCommand(CommandId::CommConfig);
        QCOMPARE(commConfigLines(fixture.settingsBytes()), stored);
        QCOMPARE(frame->portSettings().portText, QStringLiteral("COM%1").arg(port + 1));
        QVERIFY(frame->line().isOpen());
        QVERIFY(terminal.path.endsWith(frame->line().devicePath()));
        if (refused) {
            QCOMPARE(fixture.prompts.shown.size(), 1);
            QCOMPARE(fixture.prompts.shown.first().text,
                     QStringLiteral("设置通讯端口参数失败！\n 请重新设置"));
            QCOMPARE(fixture.prompts.shown.first().caption, QStringLiteral("配置错误"));
            QVERIFY(!frame->line().timerActive(TimerId::PollTimer));
        }
    }

    void stable_device_name_and_port_check_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::newRow("Chinese") << 0 << "端口检查…"
                                 << "端口检查";
        QTest::newRow("English") << 1 << "Port check…"
                                 << "Port check";
    }
    void stable_device_name_and_port_check()
    {
        QFETCH(int, lang);
        QFETCH(QString, button);
        QFETCH(QString, caption);
        const QString stable = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5Q2B-if00-port0");
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM5"), stable);
        CMainFrame *frame = fixture.start();
        QStringList ports;
        QString buttonText;
        QString checkCaption;
        WhenModalShown interact([&](QDialog *dialog) {
            ports = entries(list(dialog, "port1001"));
            auto *check = dialog->findChild<QPushButton *>(QStringLiteral("portCheck"));
            buttonText = check->text();
            // Runs once the port check's own loop runs, with it on top.
            QTimer::singleShot(0, [&] {
                auto *shown = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                checkCaption = shown->windowTitle();
                QTest::mouseClick(shown->findChild<QPushButton *>(QStringLiteral("close")), Qt::LeftButton);
            });
            QTest::mouseClick(check, Qt::LeftButton);
            click(dialog, "cancel2");
        });
        frame->onCommand(CommandId::CommConfig);
        QCOMPARE(ports.value(4), QStringLiteral("COM5  (%1)").arg(stable));
        QCOMPARE(buttonText, button);
        QCOMPARE(checkCaption, caption);
    }

    void port_that_cannot_be_opened_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("reason");
        QTest::newRow("Chinese") << 0 << "打开通讯端口失败！\n 请重新设置"
                                 << "配置错误"
                                 << "%1：设备不存在";
        QTest::newRow("English") << 1 << "Fail to open the communication port.\n Please reset it and retry."
                                 << "Configuration Error"
                                 << "%1: no such device";
    }
    void port_that_cannot_be_opened()
    {
        QFETCH(int, lang);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QFETCH(QString, reason);
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM2"),
                    fixture.home.filePath(QStringLiteral("gone")));
        CMainFrame *frame = fixture.start();
        QVERIFY(frame->line().timerActive(TimerId::PollTimer));
        WhenModalShown interact([&](QDialog *dialog) { choose(dialog, {1, 11, 4, 0, 2}); });
        frame->onCommand(CommandId::CommConfig);
        QCOMPARE(fixture.prompts.shown.size(), 1);
        QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        // The usual text, then the port's reason naming the device.
        QCOMPARE(fixture.prompts.shown.first().text,
                 text + QLatin1Char('\n') + reason.arg(fixture.home.filePath(QStringLiteral("gone"))));
        QCOMPARE(fixture.prompts.shown.first().caption, caption);
        QVERIFY(!frame->line().isOpen());
        for (int id : {TimerId::PollTimer, TimerId::ProbeTimer, TimerId::ReadAllTimer, TimerId::WriteTimer})
            QVERIFY(!frame->line().timerActive(id));
        // Stored all the same, to be tried again at the next start.
        QCOMPARE(fixture.settings().ReadInt(QStringLiteral("CommConfig"), QStringLiteral("comname")), 2);
    }

    void unwritable_settings_file_is_reported_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<bool>("unreadable");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("caption");
        QTest::newRow("the disk is full, Chinese") << 0 << false << "无法写入设置文件：\n%1"
                                                   << "错误";
        QTest::newRow("the file cannot be read, English")
            << 1 << true << "Cannot write the settings file:\n%1"
            << "Error";
    }
    void unwritable_settings_file_is_reported()
    {
        QFETCH(int, lang);
        QFETCH(bool, unreadable);
        QFETCH(QString, text);
        QFETCH(QString, caption);
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        if (unreadable) {
            // A directory under the file's name: nobody, root included, can
            // read it or rename a file over it.
            QVERIFY(QFile::remove(fixture.settingsPath()));
            QVERIFY(QDir().mkdir(fixture.settingsPath()));
        }
        {
            // The rewritten file is at least as long as the old one, while
            // the port's small lock file still fits.
            std::optional<FileSizeLimit> full;
            if (!unreadable)
                full.emplace(rlim_t(fixture.settingsBytes().size() - 1));
            WhenModalShown interact([&](QDialog *dialog) { choose(dialog, {0, 13, 4, 0, 2}); });
            frame->onCommand(CommandId::CommConfig);
        }
        const QString expected = text.arg(QDir::toNativeSeparators(fixture.settingsPath()));
        QVERIFY(!fixture.prompts.shown.isEmpty());
        QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
        QCOMPARE(fixture.prompts.shown.first().text, expected);
        QCOMPARE(fixture.prompts.shown.first().caption, caption);
        // One report for the six keys; the new settings apply all the same.
        qsizetype reports = 0;
        for (const RecordingPrompts::Shown &shown : fixture.prompts.shown)
            reports += shown.text == expected;
        QCOMPARE(reports, 1);
        QCOMPARE(frame->portSettings().baudText, QStringLiteral("19200"));
        if (unreadable) {
            QVERIFY(QFileInfo(fixture.settingsPath()).isDir());
        } else {
            QCOMPARE(fixture.prompts.shown.size(), 1);
            QVERIFY(frame->line().isOpen());
            QCOMPARE(fixture.settings().ReadInt(QStringLiteral("CommConfig"), QStringLiteral("baudrate")),
                     11);
        }
    }

    void reopening_stops_every_line_activity()
    {
        QuietTerminal first;
        QuietTerminal second;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), first.path);
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM2"), second.path);
        CMainFrame *frame = fixture.start();
        // Nobody answers on the first line: it goes to probing.
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().timerActive(TimerId::ProbeTimer), 20000);
        WhenModalShown interact([&](QDialog *dialog) { choose(dialog, {1, 11, 4, 0, 2}); });
        frame->onCommand(CommandId::CommConfig);
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->line().timerActive(TimerId::PollTimer));
        QVERIFY(!frame->line().timerActive(TimerId::ProbeTimer));
        QVERIFY(second.path.endsWith(frame->line().devicePath()));
    }

    void dialog_speaks_the_application_language()
    {
        FrameFixture fixture;
        CMainFrame *frame = fixture.start();
        frame->onCommand(CommandId::English);
        QString caption;
        WhenModalShown interact([&](QDialog *dialog) {
            caption = dialog->windowTitle();
            dialog->reject();
        });
        frame->onCommand(CommandId::CommConfig);
        QCOMPARE(caption, QStringLiteral("Set Communication Port"));
    }
};

QTEST_MAIN(TestCommDialog)
#include "tst_commdialog.moc"
