#include "QuorvaneApplication.h"

#include "AppTexts.h"
#include "BrokerWatch.h"
#include "CatalogueMenus.h"
#include "CQuorvaneView.h"
#include "DataDirectory.h"
#include "AlarmLimitsStore.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LineAlarms.h"
#include "HistoryTexts.h"
#include "MessageBoxPrompts.h"
#include "MeterLine.h"
#include "PortSettings.h"
#include "Prompts.h"
#include "SetsTexts.h"
#include "SetStore.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"
#include "SettingsWriteReport.h"
#include "Texts.h"
#include "WriteLogger.h"

#include <QApplication>
#include <QDialog>
#include <QDir>

QuorvaneApplication::QuorvaneApplication(FrameSeams frameSeams)
    : seams(std::move(frameSeams)), prompts(seams.prompts)
{
    if (!prompts) {
        ownPrompts = std::make_unique<MessageBoxPrompts>();
        prompts = ownPrompts.get();
    }
}

QuorvaneApplication::~QuorvaneApplication()
{
    // The window goes before the line it shows, the watch before the values
    // it stores, the recorder (which writes what it still holds) before the
    // values it records.
    frame.reset();
    lineWatch.reset();
    lineAlarms.reset();
    writeLogger.reset();
    sets.reset();
    recorder.reset();
    meterLine.reset();
}

PortNames QuorvaneApplication::settingsPortNames()
{
    return PortNames([](int n) { return PortSettings::configuredDevice(SettingsFile(), n); });
}

bool QuorvaneApplication::prepareDataDirectory(Prompts &prompts)
{
    const DataDirectory::PrepareResult result = DataDirectory::prepare();
    if (result.ok)
        return true;
    // The settings file may be among the failures; its language then reads 0.
    const int lang = SettingsFile().ReadInt(Setting::Lang);
    const QString text = kDataDirectoryFailed.text(lang).arg(QDir::toNativeSeparators(DataDirectory::path()),
                                                             result.failed.join(QLatin1Char('\n')));
    prompts.error(text, kCaptionError.text(lang));
    return false;
}

bool QuorvaneApplication::InitInstance()
{
    prepareDataDirectory(*prompts);
    lang.set(SettingsFile().ReadInt(Setting::Lang));
    if (exitRequested)
        return false;
    // The poll period is taken from the configuration when the line is
    // built; the view reads the configuration again when it is made.
    meters.load(SettingsFile());
    meterLine = std::make_unique<MeterLine>(settingsPortNames(), meters, catalogueMenus(*prompts, lang));
    lineWatch = std::make_unique<BrokerWatch>(meterLine->watchedValues());
    lineAlarms = std::make_unique<LineAlarms>();
    lineAlarms->follow(*meterLine);
    loadAlarmLimits();
    frame =
        std::make_unique<CMainFrame>(*this, *meterLine, *lineWatch, meters, lang, *prompts, seams.helpOpener);
    if (ownPrompts)
        ownPrompts->setParent(frame.get());
    if (exitRequested)
        return false;
    startRecording();
    frame->showMaximized();
    setMainWindowTitle();
    return true;
}

void QuorvaneApplication::startRecording()
{
    recorder = std::make_unique<HistoryRecorder>(meterLine->liveValues(), DataDirectory::path());
    // The line runs on without a history; the operator is told why.
    if (!recorder->start())
        prompts->error(
            kHistoryCannotOpen.text(lang.index())
                .arg(QDir::toNativeSeparators(recorder->filePath()), recorder->errorText(lang.index())),
            kHistoryCaption.text(lang.index()));
    // The alarm log is kept with the values; alarms left unacknowledged
    // at the last exit wait for their acknowledgement again.
    QObject::connect(lineAlarms.get(), &LineAlarms::happened, recorder.get(), &HistoryRecorder::recordAlarm);
    if (recorder->store())
        lineAlarms->restoreUnacknowledged(recorder->store()->unacknowledgedAlarms());
    CMainFrame *window = frame.get();
    QObject::connect(recorder.get(), &HistoryRecorder::failed, window, [this, window] {
        window->setStatusText(kHistoryWriteFailed.text(lang.index()).arg(recorder->errorText(lang.index())));
    });

    // Every parameter write the line makes goes into the write log.
    sets = std::make_unique<SetStore>(DataDirectory::path());
    if (!sets->isOpen())
        window->setStatusText(
            kWriteLogCannotOpen.text(lang.index())
                .arg(QDir::toNativeSeparators(
                         QDir(DataDirectory::path()).filePath(QLatin1String(SetStore::FileName))),
                     sets->errorText()));
    writeLogger = std::make_unique<WriteLogger>(*sets);
    writeLogger->follow(*meterLine);
}

bool QuorvaneApplication::loadAlarmLimits()
{
    const SettingsFile settings;
    const QString commLoss = settings.ReadSetting(Setting::AlarmCommLoss);
    bool counted = false;
    const int count = commLoss.toInt(&counted);
    lineAlarms->setCommLossAfter(counted && count >= 0 ? count : LineAlarms::DefaultCommLossAfter);
    const AlarmLimitsStore store(DataDirectory::path());
    const std::optional<QHash<int, AlarmLimits>> limits = store.load();
    if (!limits) {
        prompts->error(
            kAlarmLimitsCannotRead.text(lang.index())
                .arg(QDir::toNativeSeparators(
                         QDir(DataDirectory::path()).filePath(QLatin1String(AlarmLimitsStore::FileName))),
                     store.errorText()),
            kCaptionError.text(lang.index()));
        return false;
    }
    for (int address = 0; address < Modbus::MeterCount; ++address)
        lineAlarms->setLimits(address, limits->value(address));
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
    // What the next start reads back: the language, and the view's colours
    // and surface, written here rather than while the window is destroyed so
    // that a failure can still be told, once for all of them.
    SettingsFile settings;
    const bool view = !frame || frame->view()->writeBack();
    if (settings.WriteInt(Setting::Lang, lang.index()) && view)
        return;
    // The main window is closed by now; the box stands on its own, as those
    // of the start-up do.
    if (ownPrompts)
        ownPrompts->setParent(nullptr);
    reportSettingsWriteFailed(*prompts, settings, lang.index());
}

QString QuorvaneApplication::windowTitle() const
{
    if (lang.index() == 0)
        return SettingsFile().ReadSetting(Setting::Name);
    if (lang.index() == 1)
        return SettingsFile().ReadSetting(Setting::NameEN);
    return kTitleFallback.text(lang.index());
}

void QuorvaneApplication::setMainWindowTitle() const
{
    if (frame)
        frame->setWindowTitle(windowTitle());
}
