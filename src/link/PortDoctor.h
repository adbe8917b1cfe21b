#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Who keeps a port from being opened, as far as can be told.
struct PortHolder {
    qint64 pid = 0;          // 0 when nothing tells who it is
    QString name;            // the process's name (its comm), empty when unknown
    QString lockFile;        // the lock file that names it, as the system names it
    bool ownProcess = false; // this very process, i.e. the program's own line
};

// What examining one serial device found. Paths are as the system names
// them ("/dev/ttyUSB0"), also when the examination runs under another root.
struct PortExamination {
    enum class Access {
        Free,             // opened, and no running program holds it
        Held,             // another open holds it exclusively, or a running program's lock file names it
        PermissionDenied, // the user may not open it
        Missing,          // no such device (a stable name whose adapter is unplugged)
        NoHardware,       // the device opens onto no serial hardware
        Failed,           // any other failure; error holds errno
    };
    // Whether the user is in the group that owns the device.
    enum class GroupState {
        NotNeeded,  // the user owns the device, or the device is missing
        Member,     // in the group in this session
        NotMember,  // not in the group at all
        AfterLogin, // added to the group, but the session does not have it yet
    };

    QString path;
    QString target; // the device a stable name under /dev/serial/by-id points to; empty for a device
    Access access = Access::Missing;
    int error = 0;
    PortHolder holder; // for Held
    QString group;     // the owning group's name, or its number when it has none
    GroupState groupState = GroupState::NotNeeded;
};

// Everything one look at the serial devices found.
struct PortDoctorReport {
    QString user;                   // the user the examination ran as
    QList<PortExamination> devices; // ttyUSB*, ttyACM*, ttyS*, then the stable names
    qint64 modemManagerPid = 0;     // ModemManager's process, 0 when it does not run
};

// Tells why a serial port will not work: for every serial device under a
// root directory ("/" on a real system; a test lays out its own tree of
// dev/, run/lock/ and proc/) whether it opens, who holds it, whether the
// user is in its group, and whether ModemManager runs, which probes new USB
// serial devices and disturbs RS-485 adapters.
//
// Nothing here waits: devices are opened non-blocking and closed again at
// once, and no lock is taken.
class PortDoctor {
public:
    explicit PortDoctor(const QString &root = QStringLiteral("/"));

    PortDoctorReport examineAll() const;
    // One device by its system path; `aliases` are further names of it
    // whose lock files count too (the stable names pointing to it).
    PortExamination examine(const QString &devicePath, const QStringList &aliases = {}) const;
    qint64 modemManagerPid() const;

    // The name of the lock file QSerialPort takes for a device: "/dev/" is
    // left out and every other "/" becomes "_" ("LCK..ttyUSB0",
    // "LCK..serial_by-id_usb-..."). It lies in /var/lock on Debian.
    static QString lockFileName(const QString &devicePath);

private:
    QString underRoot(const QString &systemPath) const;
    QString systemPathOf(const QString &realPath) const;
    QStringList devicePaths() const;
    QStringList stableNames() const;
    QString stableTarget(const QString &stableName) const;
    void tryOpen(PortExamination &found) const;
    PortHolder lockHolder(const QStringList &names) const;
    QString processName(qint64 pid) const;
    void checkGroup(PortExamination &found) const;

    QString root;
};
