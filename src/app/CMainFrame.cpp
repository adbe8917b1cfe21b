#include "CMainFrame.h"

#include "AboutDialog.h"
#include "AlarmBeeper.h"
#include "AlarmLimitsDialog.h"
#include "AlarmStatusPane.h"
#include "AlarmsWindow.h"
#include "AppTexts.h"
#include "BrokerWatch.h"
#include "CatalogueMenus.h"
#include "CQuorvaneView.h"
#include "CommDialog.h"
#include "CommandIds.h"
#include "DataDirectory.h"
#include "FrameCommands.h"
#include "HistoryChartWindow.h"
#include "HistoryRecorder.h"
#include "LineAlarms.h"
#include "LineScanWindow.h"
#include "LineStatisticsWindow.h"
#include "LockKeyIndicators.h"
#include "Language.h"
#include "LineTransportSettings.h"
#include "LinkTexts.h"
#include "DeferredPrompts.h"
#include "LineMessages.h"
#include "MeterLine.h"
#include "MeterRegister.h"
#include "MeterTypeCatalog.h"
#include "ParameterDialog.h"
#include "ParameterSetsWindow.h"
#include "PortCheckDialog.h"
#include "ProgressDialog.h"
#include "SettingsKeys.h"
#include "SettingsWriteReport.h"
#include "QuorvaneApplication.h"
#include "Texts.h"
#include "ToolbarIcons.h"
#include "TrafficMonitorWindow.h"
#include "WatchMessages.h"
#include "WatchTexts.h"

#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>

namespace {

constexpr QSize kInitialSize(800, 600);
constexpr QSize kMinimumSize(720, 540);

// Holds the status bar's message pane outside the bar's layout: a new text
// (one per poll answer) then repaints the pane alone instead of making the
// bar lay out and repaint all its panes.
class PaneHolder : public QWidget {
public:
    explicit PaneHolder(QWidget *parent) : QWidget(parent), label(new QLabel(this))
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        // Opaque, so that its repaint does not reach through to the bar and
        // the window behind it.
        label->setAutoFillBackground(true);
    }
    QLabel *pane() const { return label; }
    QSize sizeHint() const override { return QSize(0, label->sizeHint().height()); }

protected:
    void resizeEvent(QResizeEvent *) override { label->setGeometry(rect()); }

private:
    QLabel *label;
};

} // namespace

CMainFrame::CMainFrame(QuorvaneApplication &app, MeterLine &line, BrokerWatch &watch,
                       MeterConfiguration &meters, Language &language, Prompts &prompts,
                       HelpManual::Opener helpOpener)
    : application(app), alarms(*app.alarms()), meterLine(line), lineWatch(watch), configuration(meters),
      lang(language), prompter(prompts), help(std::move(helpOpener))
{
    setObjectName(QStringLiteral("mainFrame"));
    setWindowIcon(ToolbarIcons::icon(ToolbarIcons::Kind::Logo));
    setGeometry(QRect(QPoint(0, 0), kInitialSize));
    setMinimumSize(kMinimumSize);

    mainView = new CQuorvaneView(meters, line.liveValues(), alarms, lang, prompter, this);
    mainView->loadMeterConfiguration();
    mainView->restoreSurface();
    setCentralWidget(mainView);
    frameCommands = new FrameCommands(this);
    buildStatusBar();
    commDialog = new CommDialog([](int n) { return QuorvaneApplication::settingsPortNames().devicePath(n); },
                                prompter, this);

    frameCommands->attachMenu(lang.index());
    CQuorvaneView::rewriteBackgroundColour();
    setOwnTexts();

    connect(frameCommands, &FrameCommands::command, this, &CMainFrame::onCommand);
    connect(&lang, &Language::changed, this, &CMainFrame::setOwnTexts);
    connectLine();

    port = PortSettings::read(settings);
    startLine(kOpenPortFailedAtStart, kCaptionError);
}

CMainFrame::~CMainFrame()
{
    lineWatch.stop();
    meterLine.close();
}

bool CMainFrame::watching() const
{
    return lineWatch.running();
}

void CMainFrame::connectLine()
{
    // The line reports from inside its handlers; its boxes open once the
    // handler has returned, so polling goes on while one is up.
    auto *lineMessages = new LineMessages(lang, *new DeferredPrompts(prompter, this), this);
    lineMessages->follow(meterLine);
    connect(lineMessages, &LineMessages::statusText, this, &CMainFrame::showLineStatus);
    connect(lineMessages, &LineMessages::progressStarted, this, &CMainFrame::openProgress);
    connect(lineMessages, &LineMessages::progressMoved, this, &CMainFrame::moveProgress);
    connect(lineMessages, &LineMessages::progressEnded, this, &CMainFrame::closeProgress);
    connect(lineMessages, &LineMessages::parametersRead, this, &CMainFrame::showParameters);
    // The value panels' context menu selects the meter and sends its
    // commands as the menus do.
    connect(mainView, &CQuorvaneView::meterSelected, &meterLine, &MeterLine::selectMeter);
    connect(mainView, &CQuorvaneView::command, this, &CMainFrame::onCommand);
    connect(&lineWatch, &BrokerWatch::happened, this,
            [this](const WatchEvent &event) { setStatusText(WatchMessages::text(event, language())); });
    // While a line is watched its own port is closed: the polls the broker
    // tells come to the traffic monitor the way the line's frames would.
    connect(&lineWatch, &BrokerWatch::frameLogged, &meterLine, &MeterLine::frameLogged);
}

void CMainFrame::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    auto *holder = new PaneHolder(bar);
    messagePane = holder->pane();
    messagePane->setObjectName(QStringLiteral("messagePane"));
    bar->addWidget(holder, 1);
    indicators = new LockKeyIndicators(bar);
    bar->addPermanentWidget(indicators);
    bar->addPermanentWidget(new AlarmStatusPane(alarms, lang, bar));
    alarmBeeper = new AlarmBeeper(alarms, nullptr, this);
    followAlarmBeep();
}

void CMainFrame::followAlarmBeep()
{
    alarmBeeper->setEnabled(settings.ReadSetting(Setting::AlarmBeep) == QLatin1String("1"));
}

// The limits are this computer's own, kept in its data directory: they are
// edited also while the line is watched through the broker.
void CMainFrame::editAlarmLimits(int address)
{
    AlarmLimitsDialog dialog(
        alarms, address, language(), prompter,
        [this] {
            application.loadAlarmLimits();
            followAlarmBeep();
        },
        this);
    dialog.exec();
}

int CMainFrame::language() const
{
    return lang.index();
}

void CMainFrame::setOwnTexts()
{
    frameCommands->setToolbarTexts(language());
    indicators->setLanguage(language());
    const bool idle = statusMessage.isEmpty() || statusMessage == kStatusReady.text(0) ||
                      statusMessage == kStatusReady.text(1);
    if (idle)
        setStatusText(kStatusReady.text(language()));
}

void CMainFrame::onCommand(int id)
{
    using namespace CommandId;
    switch (id) {
    case CommConfig:
        onCommConfig();
        break;
    case ReadAllParameters:
        readAllParameters(meterLine.selectedMeter());
        break;
    case MeterConfig:
        // The wizard sets the address range the line polls.
        if (!refusedWhileWatching())
            mainView->runCommand(id);
        break;
    case LineStatistics:
        showLineStatistics();
        break;
    case TrafficMonitor:
        showTrafficMonitor();
        break;
    case HistoryChart:
        showHistoryChart();
        break;
    case DataBackup:
        showParameterSets();
        break;
    case ScanLine:
        showLineScan();
        break;
    case EditAlarmLimits:
        editAlarmLimits(meterLine.selectedMeter());
        break;
    case Alarms:
        showAlarms();
        break;
    case CommandId::HelpManual:
        help.open(language());
        break;
    case Chinese:
        switchLanguage(0);
        break;
    case English:
        switchLanguage(1);
        break;
    case About:
        AboutDialog(language(), this).exec();
        break;
    case PortCheck:
        PortCheckDialog(QStringLiteral("/"), language(), this).exec();
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

namespace {

void bringUp(QWidget *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

LineStatisticsWindow *CMainFrame::lineStatistics() const
{
    return statisticsWindow;
}

TrafficMonitorWindow *CMainFrame::trafficMonitor() const
{
    return trafficWindow;
}

HistoryChartWindow *CMainFrame::historyChart() const
{
    return historyWindow;
}

void CMainFrame::showLineStatistics()
{
    if (!statisticsWindow)
        statisticsWindow =
            new LineStatisticsWindow(meterLine.liveValues(), configuration, lang, prompter, this);
    statisticsWindow->setPositions(
        MeterRegister(prompter, DataDirectory::path(), language()).installPositions());
    bringUp(statisticsWindow);
}

ParameterSetsWindow *CMainFrame::parameterSets() const
{
    return setsWindow;
}

void CMainFrame::showParameterSets()
{
    SetStore *store = application.setStore();
    if (!store) {
        prompter.warning(kNotAvailable.text(language()), kCaptionRegrets.text(language()));
        return;
    }
    if (!setsWindow) {
        setsWindow = new ParameterSetsWindow(
            meterLine, *store, configuration, catalogueMenus(prompter, lang),
            [this](int id) { return meterTypeName(id); }, [this] { return refusedWhileWatching(); }, lang,
            prompter, this);
    }
    setsWindow->setPositions(MeterRegister(prompter, DataDirectory::path(), language()).installPositions());
    bringUp(setsWindow);
}

QString CMainFrame::meterTypeName(int id)
{
    const std::optional<MeterType> type =
        MeterTypeCatalog(prompter, DataDirectory::path(), language()).type(id);
    return type ? type->name : QString::number(id);
}

LineScanWindow *CMainFrame::lineScan() const
{
    return scanWindow;
}

// The window takes its finds as the configuration without a restart: the
// line is reopened with them as after the port dialog.
void CMainFrame::showLineScan()
{
    if (refusedWhileWatching())
        return;
    if (!scanWindow) {
        LineScanWindow::Seams seams;
        seams.typeName = [this](int id) { return meterTypeName(id); };
        seams.refused = [this] { return refusedWhileWatching(); };
        seams.reopenLine = [this](const PortSettings &chosen) {
            meterLine.close();
            port = chosen;
            startLine(kOpenPortFailed, kCaptionConfigError);
        };
        seams.registerDirectory = DataDirectory::path();
        scanWindow = new LineScanWindow(meterLine, configuration, port, settings, std::move(seams), lang,
                                        prompter, this);
    }
    bringUp(scanWindow);
}

AlarmsWindow *CMainFrame::alarmsWindow() const
{
    return alarmWindow;
}

void CMainFrame::showAlarms()
{
    if (!alarmWindow) {
        const QString path =
            QDir(DataDirectory::path()).filePath(QString::fromLatin1(HistoryRecorder::FileName));
        alarmWindow = new AlarmsWindow(alarms, path, lang, prompter, this);
    }
    alarmWindow->setPositions(MeterRegister(prompter, DataDirectory::path(), language()).installPositions());
    bringUp(alarmWindow);
}

void CMainFrame::showTrafficMonitor()
{
    if (!trafficWindow)
        trafficWindow = new TrafficMonitorWindow(meterLine, lang, prompter, this);
    bringUp(trafficWindow);
}

void CMainFrame::showHistoryChart()
{
    if (!historyWindow) {
        const QString path =
            QDir(DataDirectory::path()).filePath(QString::fromLatin1(HistoryRecorder::FileName));
        historyWindow = new HistoryChartWindow(path, configuration, lang, prompter, this);
        historyWindow->setRecorder(application.history());
        historyWindow->setAlarms(application.alarms());
    }
    bringUp(historyWindow);
    // Up to now: the last hour is the last hour of this moment.
    historyWindow->showChosen();
}

void CMainFrame::switchLanguage(int newLanguage)
{
    if (newLanguage != language()) {
        frameCommands->attachMenu(newLanguage);
        CQuorvaneView::rewriteBackgroundColour();
        lang.set(newLanguage);
    }
    setWindowTitle(application.windowTitle());
}

// Section "Line" says whether the line is polled here or watched through
// the broker; only one of them writes the live values at a time. A watched
// line whose settings are not valid goes to the line, which tells why.
void CMainFrame::startLine(const BiText &openFailure, const BiText &caption)
{
    const LineTransportSettings transport = LineTransportSettings::read(settings);
    if (transport.watched() && transport.valid) {
        meterLine.close();
        startWatching(transport, openFailure, caption);
        return;
    }
    lineWatch.stop();
    openLine(openFailure, caption);
}

void CMainFrame::startWatching(const LineTransportSettings &transport, const BiText &failure,
                               const BiText &caption)
{
    if (lineWatch.start(transport))
        return;
    const PortFailure reason{PortFailure::Reason::Other, transport.target(), lineWatch.failure().code};
    prompter.error(failure.text(language()) + QLatin1Char('\n') +
                       LineMessages::portFailureText(reason, language()),
                   caption.text(language()));
}

// Tells the operator, and true, when the line is watched.
bool CMainFrame::refusedWhileWatching()
{
    if (!watching())
        return false;
    prompter.error(kWatchRefused.text(language()), kCaptionError.text(language()));
    return true;
}

void CMainFrame::openLine(const BiText &openFailure, const BiText &caption)
{
    const LineOpenResult opened = meterLine.open(port);
    if (opened)
        return;
    const BiText &text =
        opened.status == LineOpenResult::Status::OpenFailed ? openFailure : kConfigurePortFailed;
    // The port's reason goes under the usual text, which stays as it is.
    QString message = text.text(language());
    if (opened.failure)
        message += QLatin1Char('\n') + LineMessages::portFailureText(opened.failure, language());
    prompter.error(message, caption.text(language()));
}

// The transport is read from section "Line" at each opening, as the line
// does: a hand edit of the file shows up, and a value that is not valid there
// still opens the dialog with what could be read.
void CMainFrame::onCommConfig()
{
    commDialog->preset(port, LineTransportSettings::read(settings), language());
    if (commDialog->exec() != QDialog::Accepted)
        return;
    meterLine.close();
    port = commDialog->fields();
    // The line is tried with the new settings all the same; only the next
    // start would not find them. The line takes its transport from the file,
    // so a transport that could not be stored is not the one it opens.
    const bool portStored = port.write(settings);
    const bool transportStored = commDialog->transport().write(settings);
    if (!portStored || !transportStored)
        reportSettingsWriteFailed(prompter, settings, language());
    startLine(kOpenPortFailed, kCaptionConfigError);
}

void CMainFrame::readAllParameters(int address)
{
    if (refusedWhileWatching())
        return;
    // The values of a new read would take the place of those being edited.
    if (parameterDialogExists()) {
        prompter.error(kCloseParametersFirst.text(language()), kCaptionError.text(language()));
        return;
    }
    // A running read or write only brings its progress window forward.
    if (progress) {
        progress->show();
        progress->raise();
        return;
    }
    meterLine.readAllParameters(address);
}

ParameterDialog *CMainFrame::parameterDialog() const
{
    return parameterWindow.data();
}

bool CMainFrame::parameterDialogExists() const
{
    return !parameterWindow.isNull();
}

void CMainFrame::showParameters(const ParameterDisplay &display)
{
    parameters = display;
    if (!parameterWindow) {
        parameterWindow = new ParameterDialog(
            display, lang, prompter, [this](const ParameterWriteList &list) { return startWrite(list); },
            this, [this] { return writeRunning(); });
    }
    parameterWindow->show();
    parameterWindow->raise();
    parameterWindow->activateWindow();
}

bool CMainFrame::writeRunning()
{
    // The progress window is there while a write runs; it is brought
    // forward so the operator sees how far the write is.
    if (!progress)
        return false;
    progress->show();
    progress->raise();
    return true;
}

bool CMainFrame::startWrite(const ParameterWriteList &list)
{
    // A parameter window from before the watch began is still open.
    if (refusedWhileWatching())
        return false;
    return !writeRunning() && meterLine.startWrite(list);
}

void CMainFrame::setStatusText(const QString &text)
{
    statusMessage = text;
    paneBehind = false;
    // The pane is one line high: the line feed after the time stamp becomes
    // a gap rather than a second line that would resize the status bar.
    messagePane->setText(QString(text).replace(QLatin1Char('\n'), QStringLiteral("  ")));
}

void CMainFrame::showLineStatus(const QString &text)
{
    if (!paneRefresh) {
        paneRefresh = new QTimer(this);
        paneRefresh->setSingleShot(true);
        paneRefresh->setInterval(PaneRefreshMs);
        connect(paneRefresh, &QTimer::timeout, this, [this] {
            if (paneBehind) {
                setStatusText(statusMessage);
                paneRefresh->start();
            }
        });
    }
    if (paneRefresh->isActive()) {
        statusMessage = text;
        paneBehind = true;
        return;
    }
    setStatusText(text);
    paneRefresh->start();
}

void CMainFrame::openProgress(const QString &prefix, int high)
{
    if (!progress)
        progress = new ProgressDialog(this, language());
    progress->SetRange(0, high);
    progress->SetPos(0);
    progress->SetText(prefix, 0);
    progress->show();
}

void CMainFrame::moveProgress(const QString &prefix, int position)
{
    if (!progress)
        return;
    progress->SetText(prefix, position);
    progress->SetPos(position);
}

void CMainFrame::closeProgress()
{
    delete progress.data();
}
