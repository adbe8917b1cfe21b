#include "DataDirectory.h"

#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace DataDirectory {

QString path()
{
    const QString home = qEnvironmentVariable("QUORVANE_HOME");
    if (!home.isEmpty())
        return QDir::cleanPath(home);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Quorvane");
}

QString filePath(const QString &fileName)
{
    return path() + QLatin1Char('/') + fileName;
}

QString defaultsPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../share/quorvane/data"));
}

namespace {

// Copies through a temporary name and renames, so an interrupted copy never
// leaves a truncated file under the real name for the next start to trust.
bool copyDefault(const QString &name)
{
    const QString target = filePath(name);
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    if (!QFile::copy(defaultsPath() + QLatin1Char('/') + name, partial))
        return false;
    QFile::setPermissions(partial,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        return false;
    }
    return true;
}

} // namespace

PrepareResult prepare(const QLocale &locale)
{
    PrepareResult result;
    QDir().mkpath(path());
    for (const char *name : {SettingsFileName, SystemDatabaseName, DataDatabaseName}) {
        const QString fileName = QString::fromLatin1(name);
        if (QFile::exists(filePath(fileName)))
            continue;
        if (!copyDefault(fileName)) {
            result.ok = false;
            result.failed << fileName;
            continue;
        }
        result.copied << fileName;
        if (fileName == QLatin1String(SettingsFileName)) {
            const int lang = locale.language() == QLocale::Chinese ? 0 : 1;
            SettingsFile(filePath(fileName)).WriteInt(Setting::Lang, lang);
        }
    }
    return result;
}

} // namespace DataDirectory
