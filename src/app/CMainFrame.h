#pragma once

#include "HelpManual.h"
#include "ParameterData.h"
#include "PortSettings.h"
#include "SettingsFile.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

struct BiText;
class AlarmBeeper;
class AlarmsWindow;
class BrokerWatch;
class CommDialog;
class CQuorvaneView;
class FrameCommands;
class HistoryChartWindow;
class Language;
class LineAlarms;
class LineScanWindow;
class LineStatisticsWindow;
class LockKeyIndicators;
class MeterConfiguration;
class MeterLine;
class ParameterDialog;
class ParameterSetsWindow;
class ProgressDialog;
struct LineTransportSettings;
class Prompts;
class QLabel;
class QuorvaneApplication;
class TrafficMonitorWindow;

// What the main window talks to outside itself; tests replace them.
struct FrameSeams {
    Prompts *prompts = nullptr;    // message boxes; the real ones when null
    HelpManual::Opener helpOpener; // how the manual is handed to the desktop
};

// The main window: the menus, the toolbar, the status bar, the port dialog
// and the progress window, and the main view. The line runs on its own; the
// window opens it with the port settings, turns what it reports into the
// status bar, the progress window and messages, and sends it the commands.
//
// When section "Line" says transport=broker, the line is polled elsewhere:
// the window keeps its own line closed and has `watch` store what the broker
// carries into the line's live values, which every window shows as before.
// Meanwhile what only a line polled here can do (reading and writing
// parameters, a new address range) is refused.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    CMainFrame(QuorvaneApplication &application, MeterLine &line, BrokerWatch &watch,
               MeterConfiguration &meters, Language &language, Prompts &prompts,
               HelpManual::Opener helpOpener = {});
    ~CMainFrame() override;

    // The command ids of the menus, toolbar and accelerators.
    void onCommand(int id);
    // CommandId::ReadAllParameters for the meter at `address`.
    void readAllParameters(int address);

    int language() const;
    const PortSettings &portSettings() const { return port; }
    CQuorvaneView *view() const { return mainView; }
    FrameCommands *commands() const { return frameCommands; }
    const MeterLine &line() const { return meterLine; }
    MeterLine &line() { return meterLine; }
    // The line is watched through the broker instead of polled here.
    bool watching() const;
    const BrokerWatch &watch() const { return lineWatch; }
    // The status text last given, line feed included.
    QString statusText() const { return statusMessage; }
    void setStatusText(const QString &text);
    // The line's status texts: in the fast cycle one comes with every
    // answer, some 40 a second. The pane shows the newest at most every
    // PaneRefreshMs, as no one reads faster and each repaint of the bar
    // costs more than the answer itself; statusText() has it at once.
    void showLineStatus(const QString &text);
    static constexpr int PaneRefreshMs = 250;
    // What the last completed read of all parameters brought.
    const ParameterDisplay &lastParameters() const { return parameters; }
    bool progressShown() const { return !progress.isNull(); }
    // The window of the last read's parameters, while it is open.
    ParameterDialog *parameterDialog() const;
    bool parameterDialogExists() const;
    // The diagnostic windows, null until first opened.
    LineStatisticsWindow *lineStatistics() const;
    TrafficMonitorWindow *trafficMonitor() const;
    HistoryChartWindow *historyChart() const;
    ParameterSetsWindow *parameterSets() const;
    LineScanWindow *lineScan() const;
    AlarmsWindow *alarmsWindow() const;

private:
    void buildStatusBar();
    void connectLine();
    void switchLanguage(int language);
    void setOwnTexts();
    void startLine(const BiText &openFailure, const BiText &caption);
    void openLine(const BiText &openFailure, const BiText &caption);
    void startWatching(const LineTransportSettings &transport, const BiText &failure, const BiText &caption);
    bool refusedWhileWatching();
    void onCommConfig();
    void openProgress(const QString &prefix, int high);
    void moveProgress(const QString &prefix, int position);
    void closeProgress();
    void showParameters(const ParameterDisplay &display);
    bool writeRunning();
    bool startWrite(const ParameterWriteList &list);
    void showLineStatistics();
    void showTrafficMonitor();
    void showHistoryChart();
    void showParameterSets();
    void showLineScan();
    void editAlarmLimits(int address);
    void followAlarmBeep();
    void showAlarms();
    QString meterTypeName(int id);

    QuorvaneApplication &application;
    // The line's alarms, held by the application; the panels and the status
    // bar show them.
    LineAlarms &alarms;
    MeterLine &meterLine;
    BrokerWatch &lineWatch;
    MeterConfiguration &configuration;
    Language &lang;
    Prompts &prompter;
    HelpManual help;
    SettingsFile settings;
    PortSettings port;
    ParameterDisplay parameters;
    QString statusMessage;
    QTimer *paneRefresh = nullptr;
    bool paneBehind = false; // the pane does not show statusMessage yet
    CQuorvaneView *mainView = nullptr;
    FrameCommands *frameCommands = nullptr;
    QLabel *messagePane = nullptr;
    LockKeyIndicators *indicators = nullptr;
    AlarmBeeper *alarmBeeper = nullptr;
    CommDialog *commDialog = nullptr;
    QPointer<ProgressDialog> progress;
    QPointer<ParameterDialog> parameterWindow;
    QPointer<LineStatisticsWindow> statisticsWindow;
    QPointer<TrafficMonitorWindow> trafficWindow;
    QPointer<HistoryChartWindow> historyWindow;
    QPointer<ParameterSetsWindow> setsWindow;
    QPointer<LineScanWindow> scanWindow;
    QPointer<AlarmsWindow> alarmWindow;
};
