#include "DeviceTree.h"
#include "PortCheckDialog.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

const QString kFtdi = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K5Q2B-if00-port0");
const QString kCh340 = QStringLiteral("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0");

// The rows as a technician reads them: device, then the finding.
QStringList rows(QTableWidget *table)
{
    QStringList shown;
    for (int row = 0; row < table->rowCount(); ++row)
        shown << table->item(row, 0)->text() + QStringLiteral(" | ") + table->item(row, 1)->text();
    return shown;
}

} // namespace

class TestPortCheckDialog : public QObject {
    Q_OBJECT

private slots:
    void devices_and_findings_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("findings");
        QTest::addColumn<QString>("modemManager");
        QTest::newRow("Chinese")
            << 0 << QStringList{"端口检查", "设备", "检查结果", "刷新(&R)", "关闭"}
            << QStringList{"/dev/ttyUSB0 | 已被进程 4242（minicom）占用，锁文件为 "
                           "/run/lock/LCK..ttyUSB0。请先关闭该程序。",
                           kCh340 + " | 这是一个稳定名称，指向 /dev/ttyUSB1。",
                           kCh340 + " | 设备不存在：适配器未插入或已被拔出。",
                           kFtdi + " | 这是一个稳定名称，指向 /dev/ttyUSB0。",
                           kFtdi + " | 已被进程 4242（minicom）占用，锁文件为 "
                                   "/run/lock/LCK..ttyUSB0。请先关闭该程序。"}
            << "ModemManager 正在运行（进程 77）。它会探测新接入的 USB 串口，干扰 RS-485 "
               "适配器。修正方法：运行 sudo "
               "systemctl stop ModemManager，要长期关闭则运行 sudo systemctl disable ModemManager。";
        QTest::newRow("English")
            << 1 << QStringList{"Port check", "Device", "Finding", "&Refresh", "Close"}
            << QStringList{"/dev/ttyUSB0 | It is held by process 4242 (minicom), lock file "
                           "/run/lock/LCK..ttyUSB0. "
                           "Close that program first.",
                           kCh340 + " | This stable name points to /dev/ttyUSB1.",
                           kCh340 + " | The device does not exist: the adapter is not plugged in.",
                           kFtdi + " | This stable name points to /dev/ttyUSB0.",
                           kFtdi +
                               " | It is held by process 4242 (minicom), lock file /run/lock/LCK..ttyUSB0. "
                               "Close that program first."}
            << "ModemManager is running (process 77). It probes new USB serial devices and disturbs RS-485 "
               "adapters. To fix it, run sudo systemctl stop ModemManager, or sudo systemctl disable "
               "ModemManager to keep it off.";
    }
    void devices_and_findings()
    {
        QFETCH(int, lang);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, findings);
        QFETCH(QString, modemManager);
        DeviceTree tree;
        QVERIFY(tree.device(QStringLiteral("ttyUSB0")));
        QVERIFY(tree.stableName(kFtdi.section(QLatin1Char('/'), -1), QStringLiteral("ttyUSB0")));
        QVERIFY(tree.stableName(kCh340.section(QLatin1Char('/'), -1), QStringLiteral("ttyUSB1")));
        QVERIFY(tree.write(QStringLiteral("run/lock/LCK..ttyUSB0"), "4242\n"));
        QVERIFY(tree.process(4242, "minicom"));
        QVERIFY(tree.process(77, "ModemManager"));

        PortCheckDialog dialog(tree.root(), lang);
        auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("portFindings"));
        QVERIFY(table);
        QCOMPARE((QStringList{dialog.windowTitle(), table->horizontalHeaderItem(0)->text(),
                              table->horizontalHeaderItem(1)->text(),
                              dialog.findChild<QPushButton *>(QStringLiteral("refresh"))->text(),
                              dialog.findChild<QPushButton *>(QStringLiteral("close"))->text()}),
                 texts);
        QCOMPARE(rows(table), findings);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("modemManager"))->text(), modemManager);
        // A screen reader finds the findings as a table.
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(table);
        QVERIFY(face && face->tableInterface());
        QCOMPARE(face->tableInterface()->rowCount(), findings.size());
    }

    void refresh_looks_again()
    {
        DeviceTree tree;
        PortCheckDialog dialog(tree.root(), 1);
        auto *table = dialog.findChild<QTableWidget *>(QStringLiteral("portFindings"));
        QCOMPARE(rows(table), QStringList{" | No serial device was found."});
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("modemManager"))->text(),
                 QStringLiteral("ModemManager is not running."));
        // The adapter is plugged in.
        QVERIFY(tree.device(QStringLiteral("ttyACM0")));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("refresh")), Qt::LeftButton);
        QCOMPARE(rows(table), QStringList{"/dev/ttyACM0 | It can be opened; no program holds it."});
    }
};

QTEST_MAIN(TestPortCheckDialog)
#include "tst_portcheckdialog.moc"
