#include "HelpManual.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

HelpManual::HelpManual(Opener open) : opener(std::move(open))
{
    if (!opener)
        opener = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

void HelpManual::open(int language) const
{
    const QString path = filePath(language, QDir::currentPath(), installedDirectory());
    opener(QUrl::fromLocalFile(path));
}

QString HelpManual::filePath(int language, const QString &currentDirectory, const QString &installedDirectory)
{
    const QString name =
        language == 0 ? QStringLiteral("HELP/helpCS.html") : QStringLiteral("HELP/helpEN.html");
    const QString local = QDir(currentDirectory).filePath(name);
    if (QFileInfo::exists(local))
        return local;
    return QDir(installedDirectory).filePath(name);
}

QString HelpManual::installedDirectory()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/quorvane"));
}
