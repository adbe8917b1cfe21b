#include "DeviceTree.h"
#include "MeterSimProcess.h"
#include "PortDoctor.h"
#include "SerialTransport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#include <grp.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using Access = PortExamination::Access;
using GroupState = PortExamination::GroupState;

const QString kFtdi = QStringLiteral("usb-FTDI_FT232R_USB_UART_A10K5Q2B-if00-port0");

PortExamination findingOf(const PortDoctorReport &report, const QString &path)
{
    for (const PortExamination &device : report.devices) {
        if (device.path == path)
            return device;
    }
    return {};
}

QString ownName()
{
    QFile comm(QStringLiteral("/proc/self/comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

// A group the process is not in, or nothing when there is none to be had.
std::optional<gid_t> foreignGroup()
{
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> own(std::max(count, 0));
    if (count > 0 && ::getgroups(count, own.data()) < 0)
        own.clear();
    own.push_back(::getgid());
    own.push_back(::getegid());
    for (const char *name : {"dialout", "nogroup", "users"}) {
        const group *entry = ::getgrnam(name);
        if (entry && std::find(own.begin(), own.end(), entry->gr_gid) == own.end())
            return entry->gr_gid;
    }
    return std::nullopt;
}

} // namespace

class TestPortDoctor : public QObject {
    Q_OBJECT

private slots:
    void every_serial_device_and_stable_name_in_order()
    {
        DeviceTree tree;
        for (const char *name : {"ttyS10", "ttyS2", "ttyS0", "ttyACM0", "ttyUSB1", "ttyUSB0", "tty0", "null"})
            QVERIFY(tree.device(QString::fromLatin1(name)));
        QVERIFY(tree.stableName(kFtdi, QStringLiteral("ttyUSB0")));
        QVERIFY(tree.stableName(QStringLiteral("usb-CH340-if00-port0"), QStringLiteral("ttyUSB7")));
        const qsizetype descriptors = openDescriptors();

        const PortDoctorReport report = PortDoctor(tree.root()).examineAll();

        QStringList paths;
        for (const PortExamination &device : report.devices)
            paths << device.path;
        QCOMPARE(paths, (QStringList{"/dev/ttyUSB0", "/dev/ttyUSB1", "/dev/ttyACM0", "/dev/ttyS0",
                                     "/dev/ttyS2", "/dev/ttyS10", "/dev/serial/by-id/usb-CH340-if00-port0",
                                     "/dev/serial/by-id/" + kFtdi}));
        QCOMPARE(findingOf(report, "/dev/ttyUSB0").access, Access::Free);
        QVERIFY(findingOf(report, "/dev/ttyUSB0").target.isEmpty());
        // A stable name says which device it stands for, there or not.
        const PortExamination ftdi = findingOf(report, "/dev/serial/by-id/" + kFtdi);
        QCOMPARE(ftdi.target, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(ftdi.access, Access::Free);
        const PortExamination unplugged = findingOf(report, "/dev/serial/by-id/usb-CH340-if00-port0");
        QCOMPARE(unplugged.target, QStringLiteral("/dev/ttyUSB7"));
        QCOMPARE(unplugged.access, Access::Missing);
        QCOMPARE(report.modemManagerPid, 0);
        // Every device opened was closed again.
        QCOMPARE(openDescriptors(), descriptors);
    }

    void lock_files_data()
    {
        QTest::addColumn<QString>("lockFile");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("held");
        QTest::newRow("a uucp lock of a running program holds the port")
            << "/run/lock/LCK..ttyUSB0" << QByteArray("      4242\n") << true << true;
        QTest::newRow("QSerialPort's lock in /var/lock holds the port")
            << "/var/lock/LCK..ttyUSB0" << QByteArray("4242\nquorvane\nhost\n") << true << true;
        QTest::newRow("a lock taken by the stable name holds the device too")
            << "/var/lock/LCK..serial_by-id_" + kFtdi << QByteArray("4242\nquorvane\nhost\n") << true << true;
        QTest::newRow("a left-over lock of a process that is gone blocks nobody")
            << "/var/lock/LCK..ttyUSB0" << QByteArray("4242\n") << false << false;
        QTest::newRow("a lock of another device blocks nobody")
            << "/var/lock/LCK..ttyUSB1" << QByteArray("4242\n") << true << false;
    }
    void lock_files()
    {
        QFETCH(QString, lockFile);
        QFETCH(QByteArray, content);
        QFETCH(bool, running);
        QFETCH(bool, held);
        DeviceTree tree;
        QVERIFY(tree.device(QStringLiteral("ttyUSB0")));
        QVERIFY(tree.stableName(kFtdi, QStringLiteral("ttyUSB0")));
        QVERIFY(tree.write(lockFile.mid(1), content));
        if (running)
            QVERIFY(tree.process(4242, "minicom"));

        const PortDoctorReport report = PortDoctor(tree.root()).examineAll();

        for (const QString &path : {QStringLiteral("/dev/ttyUSB0"), "/dev/serial/by-id/" + kFtdi}) {
            const PortExamination device = findingOf(report, path);
            QCOMPARE(device.access, held ? Access::Held : Access::Free);
            QCOMPARE(device.holder.pid, held ? 4242 : 0);
            QCOMPARE(device.holder.name, held ? QStringLiteral("minicom") : QString());
            QCOMPARE(device.holder.lockFile, held ? lockFile : QString());
            QVERIFY(!device.holder.ownProcess);
        }
    }

    void port_held_by_the_programs_own_line()
    {
        MeterSimProcess sim;
        QVERIFY2(sim.start(), qPrintable(sim.errorText()));
        const PortDoctor doctor;
        QCOMPARE(doctor.examine(sim.devicePath()).access, Access::Free);

        SerialTransport line(sim.devicePath());
        QVERIFY(line.open());
        const PortExamination held = doctor.examine(sim.devicePath());
        QCOMPARE(held.access, Access::Held);
        QVERIFY(held.holder.ownProcess);
        QCOMPARE(held.holder.pid, QCoreApplication::applicationPid());
        QCOMPARE(held.holder.name, ownName());
        QVERIFY(held.holder.lockFile.endsWith(PortDoctor::lockFileName(sim.devicePath())));
        // Looking did not disturb the line.
        QVERIFY(line.isOpen());

        line.close();
        QCOMPARE(doctor.examine(sim.devicePath()).access, Access::Free);
        QVERIFY(sim.stop());
    }

    void group_the_user_is_not_in()
    {
        const std::optional<gid_t> foreign = foreignGroup();
        if (!foreign)
            QSKIP("This system has no group the user is not in.");
        DeviceTree tree;
        QVERIFY(tree.device(QStringLiteral("ttyUSB0")));
        const QByteArray file = QFile::encodeName(tree.path(QStringLiteral("dev/ttyUSB0")));
        // As a device of udev's: owned by root (or another user), rw for the group.
        if (::chown(file.constData(), ::geteuid() == 0 ? 65534 : uid_t(-1), *foreign) != 0)
            QSKIP("Only root may give a file to a group the user is not in.");
        QVERIFY(QFile::setPermissions(tree.path(QStringLiteral("dev/ttyUSB0")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::WriteGroup));

        const PortExamination device = PortDoctor(tree.root()).examineAll().devices.value(0);

        QCOMPARE(device.path, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(device.groupState, GroupState::NotMember);
        QCOMPARE(device.group, QString::fromLocal8Bit(::getgrgid(*foreign)->gr_name));
    }

    void group_of_a_device_the_user_owns_is_no_matter()
    {
        DeviceTree tree;
        QVERIFY(tree.device(QStringLiteral("ttyACM0")));
        QVERIFY(QFile::setPermissions(tree.path(QStringLiteral("dev/ttyACM0")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                          QFile::WriteGroup));
        QCOMPARE(PortDoctor(tree.root()).examineAll().devices.value(0).groupState, GroupState::NotNeeded);
    }

    void modem_manager_data()
    {
        QTest::addColumn<QList<QByteArray>>("processes");
        QTest::addColumn<qint64>("pid");
        QTest::newRow("running") << QList<QByteArray>{"bash", "ModemManager", "systemd"} << qint64(101);
        QTest::newRow("not running") << QList<QByteArray>{"bash", "NetworkManager"} << qint64(0);
        QTest::newRow("a name that only begins like it") << QList<QByteArray>{"ModemManagerd"} << qint64(0);
    }
    void modem_manager()
    {
        QFETCH(QList<QByteArray>, processes);
        QFETCH(qint64, pid);
        DeviceTree tree;
        for (qsizetype i = 0; i < processes.size(); ++i)
            QVERIFY(tree.process(100 + i, processes.at(i)));
        QVERIFY(tree.write(QStringLiteral("proc/self/comm"), "ModemManager\n")); // not a process id
        QCOMPARE(PortDoctor(tree.root()).examineAll().modemManagerPid, pid);
    }
};

QTEST_GUILESS_MAIN(TestPortDoctor)
#include "tst_portdoctor.moc"
