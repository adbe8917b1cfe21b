#include "CMainFrame.h"

#include "AboutDialog.h"
#include "AppTexts.h"
#include "CQuorvaneView.h"
#include "CommDialog.h"
#include "CommandIds.h"
#include "DataDirectory.h"
#include "FrameCommands.h"
#include "LineTimers.h"
#include "LockKeyIndicators.h"
#include "MessageBoxPrompts.h"
#include "ProcessLanguage.h"
#include "ProgressDialog.h"
#include "QuorvaneApplication.h"
#include "Texts.h"
#include "ToolbarIcons.h"

#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

namespace {

constexpr QSize kInitialSize(800, 600);
constexpr QSize kMinimumSize(720, 540);

// The port names resolve through section "Ports" of the settings file, read
// afresh at each opening so that an edited file applies at once.
PortNames settingsPortNames()
{
    return PortNames([](int n) { return PortSettings::configuredDevice(SettingsFile(), n); });
}

} // namespace

CMainFrame::CMainFrame(QuorvaneApplication &app, FrameSeams seams)
    : application(app), prompter(seams.prompts), help(std::move(seams.helpOpener)), link(settingsPortNames()),
      scheduler(link, *this), timers(new LineTimers(this))
{
    if (!prompter) {
        ownPrompts = std::make_unique<MessageBoxPrompts>(this);
        prompter = ownPrompts.get();
    }
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ToolbarIcons::icon(ToolbarIcons::Kind::Logo));
    setGeometry(QRect(QPoint(0, 0), kInitialSize));
    setMinimumSize(kMinimumSize);

    mainView = new CQuorvaneView(this);
    mainView->loadMeterConfiguration();
    setCentralWidget(mainView);
    frameCommands = new FrameCommands(this);
    buildStatusBar();
    commDialog = new CommDialog([](int n) { return settingsPortNames().devicePath(n); }, this);

    frameLanguage = settings.ReadInt(QStringLiteral("Programme"), QStringLiteral("Lang"));
    frameCommands->attachMenu(frameLanguage);
    discardProbeView();
    setProcessLanguage(frameLanguage);
    setOwnTexts();

    connect(frameCommands, &FrameCommands::command, this, &CMainFrame::onCommand);
    connect(timers, &LineTimers::timeout, this, [this](int id) { scheduler.onTimer(id); });
    connect(&link, &SerialLink::answerReady, this, &CMainFrame::onAnswerReady);

    port = PortSettings::read(settings);
    const MeterConfiguration &meters = mainView->meterConfiguration();
    scheduler.setAddressRange(meters.startaddress, meters.endaddress);
    scheduler.setSamplingTime(meters.samplingtime);
    openLine(kOpenPortFailedAtStart, kCaptionError);
}

CMainFrame::~CMainFrame()
{
    scheduler.stopAll();
    link.ClosePort();
}

void CMainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    messagePane = new QLabel(bar);
    messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(messagePane, 1);
    indicators = new LockKeyIndicators(bar);
    bar->addPermanentWidget(indicators);
}

// A view made and dropped at once: its destruction writes the background
// colour it read back to the settings file, as at every language switch.
void CMainFrame::discardProbeView()
{
    CQuorvaneView probe;
}

void CMainFrame::setOwnTexts()
{
    frameCommands->setToolbarTexts(frameLanguage);
    indicators->setLanguage(frameLanguage);
    const bool idle = statusMessage.isEmpty() || statusMessage == kStatusReady.text(0) ||
                      statusMessage == kStatusReady.text(1);
    if (idle)
        setStatusText(kStatusReady.text(frameLanguage));
}

void CMainFrame::onCommand(int id)
{
    using namespace CommandId;
    switch (id) {
    case CommConfig:
        onCommConfig();
        break;
    case DataBackup:
    case HistoryChart:
        prompts().warning(kNotAvailable.text(frameLanguage), kCaptionRegrets.text(frameLanguage));
        break;
    case CommandId::HelpManual:
        help.open(frameLanguage);
        break;
    case Chinese:
        switchLanguage(0);
        break;
    case English:
        switchLanguage(1);
        break;
    case About:
        AboutDialog(application.language, this).exec();
        break;
    case Exit:
        close();
        break;
    case ViewToolbar:
        frameCommands->toolbar()->setVisible(!frameCommands->toolbar()->isVisible());
        break;
    case ViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    default:
        if (CQuorvaneView::handles(id))
            mainView->runCommand(id);
        break;
    }
}

void CMainFrame::switchLanguage(int newLanguage)
{
    if (newLanguage != frameLanguage) {
        frameCommands->attachMenu(newLanguage);
        frameLanguage = newLanguage;
        discardProbeView();
        setProcessLanguage(newLanguage);
        setOwnTexts();
    }
    application.language = frameLanguage;
    setWindowTitle(application.windowTitle());
}

void CMainFrame::openLine(const BiText &openFailure, const BiText &caption)
{
    if (!link.OpenPort(port.portText)) {
        scheduler.stopAll();
        prompts().error(openFailure.text(frameLanguage), caption.text(frameLanguage));
        return;
    }
    // A port that opens but refuses the line settings (a rate or a stop-bit
    // count the device cannot do) would otherwise leave the line dead without
    // a word.
    if (!link.Configure(port.baudValue(), port.dataBits, port.parityIndex, port.stopBitsIndex)) {
        scheduler.stopAll();
        prompts().error(kConfigurePortFailed.text(frameLanguage), caption.text(frameLanguage));
        return;
    }
    scheduler.awaitingAnswer = 0;
    scheduler.StartTimer(TimerId::PollTimer, scheduler.samplingTime());
}

void CMainFrame::onCommConfig()
{
    commDialog->preset(port, application.language);
    if (commDialog->exec() != QDialog::Accepted)
        return;
    // Every line activity stops with the old port, not only polling: a probe,
    // a read or a write run would otherwise go on writing to the closed line.
    scheduler.stopAll();
    link.ClosePort();
    port = commDialog->fields();
    port.write(settings);
    openLine(kOpenPortFailed, kCaptionConfigError);
}

void CMainFrame::onAnswerReady()
{
    scheduler.onAnswer(link.ReadResponse());
}

void CMainFrame::readAllParameters(int address)
{
    scheduler.readAllParameters(address);
}

void CMainFrame::startTimer(int id, int periodMs)
{
    timers->start(id, periodMs);
}

void CMainFrame::stopTimer(int id)
{
    timers->stop(id);
}

void CMainFrame::setStatusText(const QString &text)
{
    statusMessage = text;
    // The pane is one line high: the line feed after the time stamp becomes
    // a gap rather than a second line that would resize the status bar.
    messagePane->setText(QString(text).replace(QLatin1Char('\n'), QStringLiteral("  ")));
}

void CMainFrame::createProgress()
{
    if (!progress)
        progress = new ProgressDialog(this, frameLanguage);
    progress->show();
}

void CMainFrame::destroyProgress()
{
    delete progress.data();
}

void CMainFrame::setProgressRange(int low, int high)
{
    if (progress)
        progress->SetRange(low, high);
}

void CMainFrame::setProgressPos(int pos)
{
    if (progress)
        progress->SetPos(pos);
}

void CMainFrame::setProgressText(const QString &prefix, int pos)
{
    if (progress)
        progress->SetText(prefix, pos);
}

void CMainFrame::showParameters(const ParameterDisplay &display)
{
    // The parameter dialog is not part of the window yet; the values are kept.
    parameters = display;
}

int CMainFrame::meterType() const
{
    return mainView->meterConfiguration().metertype;
}

QString CMainFrame::dataDirectory() const
{
    return DataDirectory::path();
}
