#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

// A root directory laid out like a system's for the port doctor: device
// files under dev/, stable names under dev/serial/by-id/ as udev makes them
// (relative links), lock files, and processes under proc/<pid>/comm.
class DeviceTree {
public:
    bool isValid() const { return dir.isValid(); }
    QString root() const { return dir.path(); }
    QString path(const QString &relative) const { return dir.filePath(relative); }

    // dev/<name>, a plain file anyone may read and write.
    bool device(const QString &name)
    {
        return write(QStringLiteral("dev/") + name, {}) &&
               QFile::setPermissions(path(QStringLiteral("dev/") + name),
                                     QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                         QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
    }
    // dev/serial/by-id/<name> pointing to dev/<device>, which may not exist.
    bool stableName(const QString &name, const QString &device)
    {
        return QDir(root()).mkpath(QStringLiteral("dev/serial/by-id")) &&
               QFile::link(QStringLiteral("../../") + device,
                           path(QStringLiteral("dev/serial/by-id/") + name));
    }
    // A process with its name as /proc/<pid>/comm holds it, newline and all.
    bool process(qint64 pid, const QByteArray &name)
    {
        return write(QStringLiteral("proc/%1/comm").arg(pid), name + '\n');
    }
    bool write(const QString &relative, const QByteArray &content)
    {
        const QString file = path(relative);
        QDir(root()).mkpath(QFileInfo(file).path());
        QFile out(file);
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(content) == content.size();
    }

private:
    QTemporaryDir dir;
};
