#pragma once

#include "CMainFrame.h"
#include "DataDirectory.h"
#include "FrameCommands.h"
#include "MeterLine.h"
#include "QuorvaneApplication.h"
#include "RecordingPrompts.h"
#include "SettingsFile.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <functional>
#include <memory>

// The slave side of a pseudo-terminal that nobody answers on: a device the
// program can open and configure like a serial port.
class QuietTerminal {
public:
    QuietTerminal()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0)
            path = QString::fromLocal8Bit(::ptsname(master));
    }
    ~QuietTerminal()
    {
        if (master >= 0)
            ::close(master);
    }
    QuietTerminal(const QuietTerminal &) = delete;
    QuietTerminal &operator=(const QuietTerminal &) = delete;

    QString path;

private:
    int master = -1;
};

// A data directory of its own ($QUORVANE_HOME) holding the supplied default
// settings file, with the program built on it through the real start-up, its
// message boxes recorded and the manual's opening recorded.
class FrameFixture {
public:
    FrameFixture()
    {
        qputenv("QUORVANE_HOME", home.path().toUtf8());
        QFile::copy(DataDirectory::defaultsPath() + QStringLiteral("/qlvmsys.dll"), settingsPath());
        QFile::setPermissions(settingsPath(), QFile::ReadOwner | QFile::WriteOwner);
    }
    ~FrameFixture()
    {
        application.reset();
        qunsetenv("QUORVANE_HOME");
    }

    QString settingsPath() const { return home.filePath(QStringLiteral("qlvmsys.dll")); }
    SettingsFile settings() const { return SettingsFile(settingsPath()); }
    void set(const QString &section, const QString &key, const QString &value)
    {
        SettingsFile file(settingsPath());
        file.WriteSetting(section, key, value);
    }
    // Section MeterConfig for meters `first`..`last` of type 1 polled every
    // `periodMs`.
    void setMeterRange(int first, int last, int periodMs)
    {
        const QList<QPair<const char *, int>> config{{"metertype", 1},
                                                     {"channels", 1},
                                                     {"samplingtime", periodMs},
                                                     {"singleormulti", 2},
                                                     {"startaddress", first},
                                                     {"endaddress", last},
                                                     {"meteramount", last - first + 1}};
        for (const auto &[key, value] : config)
            set(QStringLiteral("MeterConfig"), QString::fromLatin1(key), QString::number(value));
    }
    QByteArray settingsBytes() const
    {
        QFile file(settingsPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts the program: data directory, language, main window, title.
    CMainFrame *start()
    {
        FrameSeams seams;
        seams.prompts = &prompts;
        seams.helpOpener = [this](const QUrl &url) {
            opened.append(url);
            return true;
        };
        application = std::make_unique<QuorvaneApplication>(seams);
        application->InitInstance();
        return application->mainFrame();
    }
    CMainFrame *frame() const { return application ? application->mainFrame() : nullptr; }

    // The item `id` of the attached menu, found through the menu bar.
    QAction *menuItem(int id) const
    {
        const QList<QMenu *> menus = frame()->commands()->menus(frame()->commands()->attachedMenu());
        for (QMenu *menu : menus) {
            if (auto *item = menu->findChild<QAction *>(QStringLiteral("cmd%1").arg(id)))
                return item;
        }
        return nullptr;
    }

    QTemporaryDir home;
    RecordingPrompts prompts;
    QList<QUrl> opened;
    std::unique_ptr<QuorvaneApplication> application;
};

// Runs `interact` on the first modal dialog shown while this object lives;
// the test then calls the code that opens the dialog.
class WhenModalShown {
public:
    explicit WhenModalShown(std::function<void(QDialog *)> interact) : interact(std::move(interact))
    {
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, &poll, [this] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll.stop();
            this->interact(dialog);
        });
        poll.start();
    }

private:
    std::function<void(QDialog *)> interact;
    QTimer poll;
};
