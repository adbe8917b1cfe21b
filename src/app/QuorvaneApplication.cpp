#include "QuorvaneApplication.h"

#include "AppTexts.h"
#include "DataDirectory.h"
#include "MessageBoxPrompts.h"
#include "Prompts.h"
#include "SettingsFile.h"
#include "Texts.h"

#include <QApplication>
#include <QDialog>
#include <QDir>

namespace {
const QString kProgramme = QStringLiteral("Programme");
} // namespace

QuorvaneApplication::QuorvaneApplication(FrameSeams frameSeams) : seams(std::move(frameSeams)) {}

QuorvaneApplication::~QuorvaneApplication() = default;

bool QuorvaneApplication::prepareDataDirectory(Prompts &prompts)
{
    const DataDirectory::PrepareResult result = DataDirectory::prepare();
    if (result.ok)
        return true;
    // The settings file may be among the failures; its language then reads 0.
    const int lang = SettingsFile().ReadInt(kProgramme, QStringLiteral("Lang"));
    const QString text = kDataDirectoryFailed.text(lang).arg(QDir::toNativeSeparators(DataDirectory::path()),
                                                             result.failed.join(QLatin1Char('\n')));
    prompts.error(text, kCaptionError.text(lang));
    return false;
}

bool QuorvaneApplication::InitInstance()
{
    if (seams.prompts) {
        prepareDataDirectory(*seams.prompts);
    } else {
        MessageBoxPrompts startup;
        prepareDataDirectory(startup);
    }
    language = SettingsFile().ReadInt(kProgramme, QStringLiteral("Lang"));
    if (exitRequested)
        return false;
    frame = std::make_unique<CMainFrame>(*this, seams);
    if (exitRequested)
        return false;
    frame->showMaximized();
    setMainWindowTitle();
    return true;
}

void QuorvaneApplication::requestExit()
{
    exitRequested = true;
    // A modal dialog or message box runs an event loop of its own; it is
    // ended as if cancelled so that the code waiting on it can return.
    for (int guard = 0; guard < 16; ++guard) {
        auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!modal)
            break;
        modal->done(QDialog::Rejected);
    }
    if (frame)
        frame->close();
}

void QuorvaneApplication::ExitInstance()
{
    SettingsFile().WriteInt(kProgramme, QStringLiteral("Lang"), language);
}

QString QuorvaneApplication::windowTitle() const
{
    if (language == 0)
        return SettingsFile().ReadSetting(kProgramme, QStringLiteral("Name"));
    if (language == 1)
        return SettingsFile().ReadSetting(kProgramme, QStringLiteral("NameEN"));
    return kTitleFallback.text(language);
}

void QuorvaneApplication::setMainWindowTitle() const
{
    if (frame)
        frame->setWindowTitle(windowTitle());
}
