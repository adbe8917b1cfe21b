#include "PortDoctor.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const QString kDev = QStringLiteral("/dev");
const QString kStableNames = QStringLiteral("/dev/serial/by-id");

// Where a lock file of a serial device may lie: QSerialPort takes the first
// of these it may write to (on Debian /var/lock, a link to /run/lock), and
// uucp-style programs such as minicom use the same place.
const QStringList kLockDirectories{QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                                   QStringLiteral("/etc/locks"), QStringLiteral("/var/spool/locks"),
                                   QStringLiteral("/var/spool/uucp")};

// "ttyUSB10" after "ttyUSB9": the number at the end counts as a number.
bool deviceOrder(const QString &a, const QString &b)
{
    const auto split = [](const QString &name) {
        qsizetype digits = name.size();
        while (digits > 0 && name.at(digits - 1).isDigit())
            --digits;
        return std::pair(name.left(digits), name.mid(digits).toLongLong());
    };
    return split(a) < split(b);
}

#ifdef Q_OS_UNIX
PortExamination::Access accessAfter(int error)
{
    using Access = PortExamination::Access;
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ELOOP:
        return Access::Missing;
    case EACCES:
    case EPERM:
        return Access::PermissionDenied;
    case EBUSY:
        return Access::Held;
    case EIO:
    case ENXIO:
    case ENODEV:
        return Access::NoHardware;
    default:
        return Access::Failed;
    }
}

QString currentUser()
{
    if (const passwd *entry = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(::geteuid());
}

bool inSessionGroups(gid_t group)
{
    if (::getegid() == group || ::getgid() == group)
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(std::max(count, 0));
    if (count <= 0 || ::getgroups(count, groups.data()) < 0)
        return false;
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// The groups the user database gives the user, which a new login session
// would have.
bool inUserGroups(gid_t group)
{
    const passwd *entry = ::getpwuid(::geteuid());
    if (!entry)
        return false;
    int count = 64;
    std::vector<gid_t> groups(count);
    if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0) {
        groups.resize(count);
        if (::getgrouplist(entry->pw_name, entry->pw_gid, groups.data(), &count) < 0)
            return false;
    }
    groups.resize(count);
    return std::find(groups.begin(), groups.end(), group) != groups.end();
}
#else
// Elsewhere serial ports are no files under /dev: there is no device to
// examine, and no group owns one.
QString currentUser()
{
    return qEnvironmentVariable("USERNAME");
}
#endif

} // namespace

PortDoctor::PortDoctor(const QString &rootDirectory) : root(QDir::cleanPath(rootDirectory)) {}

PortDoctorReport PortDoctor::examineAll() const
{
    PortDoctorReport report;
    report.user = currentUser();
    const QStringList stable = stableNames();
    QStringList targets;
    for (const QString &name : stable)
        targets << stableTarget(name);
    for (const QString &device : devicePaths()) {
        QStringList aliases;
        for (qsizetype i = 0; i < stable.size(); ++i) {
            if (targets.at(i) == device)
                aliases << stable.at(i);
        }
        report.devices << examine(device, aliases);
    }
    for (const QString &name : stable)
        report.devices << examine(name);
    report.modemManagerPid = modemManagerPid();
    return report;
}

PortExamination PortDoctor::examine(const QString &devicePath, const QStringList &aliases) const
{
    PortExamination found;
    found.path = devicePath;
    if (QFileInfo(underRoot(devicePath)).isSymLink())
        found.target = stableTarget(devicePath);
    tryOpen(found);
    if (found.access == PortExamination::Access::Free || found.access == PortExamination::Access::Held) {
        // A running program's lock keeps QSerialPort out even where the
        // open itself succeeds (as root, or when the holder did not ask
        // the terminal for exclusive use).
        QStringList names = QStringList{devicePath} + aliases;
        if (!found.target.isEmpty())
            names << found.target;
        found.holder = lockHolder(names);
        if (found.holder.pid != 0)
            found.access = PortExamination::Access::Held;
    }
    checkGroup(found);
    return found;
}

qint64 PortDoctor::modemManagerPid() const
{
    const QDir proc(underRoot(QStringLiteral("/proc")));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && processName(pid) == QLatin1String("ModemManager"))
            return pid;
    }
    return 0;
}

QString PortDoctor::lockFileName(const QString &devicePath)
{
    QString name = devicePath;
    if (name.startsWith(kDev + QLatin1Char('/')))
        name = name.mid(kDev.size() + 1);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QStringLiteral("LCK..") + name;
}

QString PortDoctor::underRoot(const QString &systemPath) const
{
    return root == QLatin1String("/") ? systemPath : root + systemPath;
}

QString PortDoctor::systemPathOf(const QString &realPath) const
{
    if (root != QLatin1String("/") && realPath.startsWith(root + QLatin1Char('/')))
        return realPath.mid(root.size());
    return realPath;
}

QStringList PortDoctor::devicePaths() const
{
    const QDir dev(underRoot(kDev));
    QStringList paths;
    for (const char *pattern : {"ttyUSB*", "ttyACM*", "ttyS*"}) {
        QStringList names =
            dev.entryList({QString::fromLatin1(pattern)}, QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        std::sort(names.begin(), names.end(), deviceOrder);
        for (const QString &name : names)
            paths << kDev + QLatin1Char('/') + name;
    }
    return paths;
}

QStringList PortDoctor::stableNames() const
{
    // Listed whether or not their device is there: a dangling name is
    // itself a finding.
    const QDir byId(underRoot(kStableNames));
    QStringList paths;
    for (const QString &name :
         byId.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name))
        paths << kStableNames + QLatin1Char('/') + name;
    return paths;
}

// udev makes the stable names relative links ("../../ttyUSB0"), so that they
// resolve inside the root.
QString PortDoctor::stableTarget(const QString &stableName) const
{
    return systemPathOf(QDir::cleanPath(QFileInfo(underRoot(stableName)).symLinkTarget()));
}

void PortDoctor::tryOpen(PortExamination &found) const
{
#ifdef Q_OS_UNIX
    const QByteArray file = QFile::encodeName(underRoot(found.path));
    // Non-blocking, so that a modem line waiting for carrier cannot hang the
    // examination; no controlling terminal is taken.
    const int fd = ::open(file.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        found.error = errno;
        found.access = accessAfter(found.error);
        return;
    }
    ::close(fd);
    found.access = PortExamination::Access::Free;
#else
    found.access = QFileInfo::exists(underRoot(found.path)) ? PortExamination::Access::Failed
                                                            : PortExamination::Access::Missing;
#endif
}

// A lock file's first line is the holder's process id (QLockFile writes
// more lines after it; uucp locks pad it with blanks). A lock whose process
// no longer runs is left over and blocks nobody.
PortHolder PortDoctor::lockHolder(const QStringList &names) const
{
    QStringList directories = kLockDirectories;
    directories << (root == QLatin1String("/") ? QDir::tempPath() : QStringLiteral("/tmp"));
    for (const QString &directory : directories) {
        for (const QString &name : names) {
            const QString lock = directory + QLatin1Char('/') + lockFileName(name);
            QFile file(underRoot(lock));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const qint64 pid = file.readLine(64).trimmed().toLongLong();
            if (pid <= 0 || !QFileInfo::exists(underRoot(QStringLiteral("/proc/%1").arg(pid))))
                continue;
            return {pid, processName(pid), lock, pid == QCoreApplication::applicationPid()};
        }
    }
    return {};
}

QString PortDoctor::processName(qint64 pid) const
{
    QFile comm(underRoot(QStringLiteral("/proc/%1/comm").arg(pid)));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(comm.readLine(64).trimmed());
}

// Membership only matters where the group may read and write the device and
// the user does not own it; then it is what the user lacks or has.
void PortDoctor::checkGroup(PortExamination &found) const
{
#ifdef Q_OS_UNIX
    struct stat status {};
    if (::stat(QFile::encodeName(underRoot(found.path)).constData(), &status) != 0)
        return;
    const group *entry = ::getgrgid(status.st_gid);
    found.group = entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(status.st_gid);
    const bool groupMayUse = (status.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    const bool othersMayUse = (status.st_mode & (S_IROTH | S_IWOTH)) == (S_IROTH | S_IWOTH);
    if (status.st_uid == ::geteuid() || !groupMayUse || othersMayUse)
        return;
    if (inSessionGroups(status.st_gid))
        found.groupState = PortExamination::GroupState::Member;
    else if (inUserGroups(status.st_gid))
        found.groupState = PortExamination::GroupState::AfterLogin;
    else
        found.groupState = PortExamination::GroupState::NotMember;
#else
    Q_UNUSED(found);
#endif
}
