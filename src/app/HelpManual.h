#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The help manual: HELP/helpCS.html for Chinese, HELP/helpEN.html for every
// other language, below the current directory, or the copy installed with
// the program when the current directory has none.
class HelpManual {
public:
    // Hands a URL to the desktop; the default is QDesktopServices::openUrl.
    using Opener = std::function<bool(const QUrl &)>;

    explicit HelpManual(Opener opener = {});

    // Opens the manual for `language`. A failure is not reported: the desktop
    // tells the user itself when it cannot show the file.
    void open(int language) const;

    static QString filePath(int language, const QString &currentDirectory, const QString &installedDirectory);
    // share/quorvane beside the program's bin directory.
    static QString installedDirectory();

private:
    Opener opener;
};
