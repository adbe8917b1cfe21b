#pragma once

#include "HelpManual.h"
#include "ParameterData.h"
#include "PortSettings.h"
#include "SchedulerHost.h"
#include "SerialLink.h"
#include "SettingsFile.h"
#include "TransactionScheduler.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>

struct BiText;
class CommDialog;
class CQuorvaneView;
class FrameCommands;
class LineTimers;
class LockKeyIndicators;
class MessageBoxPrompts;
class ProgressDialog;
class QLabel;
class QuorvaneApplication;

// What the main window talks to outside itself; tests replace them.
struct FrameSeams {
    Prompts *prompts = nullptr;    // message boxes; the real ones when null
    HelpManual::Opener helpOpener; // how the manual is handed to the desktop
};

// The main window. It owns the serial link, the scheduler that drives it,
// the line timers, the port settings and the port dialog, the progress
// window, the menus, the toolbar and the status bar, and hosts the main view.
class CMainFrame : public QMainWindow, public SchedulerHost {
    Q_OBJECT

public:
    CMainFrame(QuorvaneApplication &application, FrameSeams seams = {});
    ~CMainFrame() override;

    // The command ids of the menus, toolbar and accelerators.
    void onCommand(int id);
    // Command 32790 for the meter at `address`.
    void readAllParameters(int address);

    int language() const override { return frameLanguage; }
    const PortSettings &portSettings() const { return port; }
    CQuorvaneView *view() const { return mainView; }
    FrameCommands *commands() const { return frameCommands; }
    SerialLink &serialLink() { return link; }
    TransactionScheduler &transactionScheduler() { return scheduler; }
    LineTimers &lineTimers() const { return *timers; }
    // The text last given to the message pane, line feed included.
    QString statusText() const { return statusMessage; }
    // What the last completed read of all parameters brought.
    const ParameterDisplay &lastParameters() const { return parameters; }

    // SchedulerHost
    void startTimer(int id, int periodMs) override;
    void stopTimer(int id) override;
    void setStatusText(const QString &text) override;
    Prompts &prompts() override { return *prompter; }
    QDateTime now() const override { return QDateTime::currentDateTime(); }
    void createProgress() override;
    bool progressExists() const override { return !progress.isNull(); }
    void destroyProgress() override;
    void setProgressRange(int low, int high) override;
    void setProgressPos(int pos) override;
    void setProgressText(const QString &prefix, int pos) override;
    bool parameterDialogExists() const override { return false; }
    void showParameters(const ParameterDisplay &display) override;
    int meterType() const override;
    QString dataDirectory() const override;

private:
    void buildStatusBar();
    void switchLanguage(int language);
    void discardProbeView();
    void setOwnTexts();
    void openLine(const BiText &openFailure, const BiText &caption);
    void onCommConfig();
    void onAnswerReady();

    QuorvaneApplication &application;
    std::unique_ptr<MessageBoxPrompts> ownPrompts;
    Prompts *prompter;
    HelpManual help;
    SettingsFile settings;
    int frameLanguage = 0;
    PortSettings port;
    SerialLink link;
    TransactionScheduler scheduler;
    ParameterDisplay parameters;
    QString statusMessage;
    LineTimers *timers;
    CQuorvaneView *mainView = nullptr;
    FrameCommands *frameCommands = nullptr;
    QLabel *messagePane = nullptr;
    LockKeyIndicators *indicators = nullptr;
    CommDialog *commDialog = nullptr;
    QPointer<ProgressDialog> progress;
};
