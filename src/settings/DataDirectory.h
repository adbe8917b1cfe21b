#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

// The directory that holds the settings file, the two databases and the port
// links: $QUORVANE_HOME when set, else ~/.local/share/Quorvane (the desktop's
// generic data location followed by "Quorvane").
namespace DataDirectory {

inline constexpr const char *SettingsFileName = "qlvmsys.dll";
inline constexpr const char *SystemDatabaseName = "qlvmsys.db";
inline constexpr const char *DataDatabaseName = "qlvmdata.db";

QString path();
QString filePath(const QString &fileName);

// Where the defaults shipped with the program lie: share/quorvane/data beside
// the program's bin directory, in the build tree and in an installation alike.
QString defaultsPath();

struct PrepareResult {
    bool ok = true;
    QStringList copied; // file names laid down from the defaults
    QStringList failed; // file names that were missing and could not be laid down
};

// Creates the data directory when missing and copies each of the settings
// file and the two databases there from the defaults when it is missing.
// Existing files are never touched. When the settings file is laid down, its
// language is set from `locale`: Chinese gives 0, anything else 1.
PrepareResult prepare(const QLocale &locale = QLocale::system());

} // namespace DataDirectory
