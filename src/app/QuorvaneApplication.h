#pragma once

#include "CMainFrame.h"
#include "Language.h"
#include "MeterConfiguration.h"
#include "PortNames.h"

#include <memory>

class BrokerWatch;
class HistoryRecorder;
class LineAlarms;
class MeterLine;
class MessageBoxPrompts;
class Prompts;
class SetStore;
class WriteLogger;

// The application and the place where the program is put together: it
// starts in the language of the settings file, builds the line and the main
// window on it, shows the window maximised and titled, and saves the
// language at exit.
class QuorvaneApplication {
public:
    explicit QuorvaneApplication(FrameSeams seams = {});
    ~QuorvaneApplication();

    // Lays down the missing default files of the data directory (a failure
    // is reported), reads Programme/Lang, builds the line, its watch and the
    // main window (which opens the port and starts polling, or watches the
    // line through the broker), shows it maximised and sets its title.
    // False when an exit was requested before the window could be shown.
    bool InitInstance();
    // Writes Programme/Lang; a failure is reported. The main window, and
    // with it the port, goes when the application object does.
    void ExitInstance();
    // Ends the program as the Exit command does, also from inside a message
    // box or a modal dialog (which is cancelled), or during start-up.
    void requestExit();

    // Lays down the missing default files in the data directory and reports
    // the files that could not be laid down; false after such a failure.
    static bool prepareDataDirectory(Prompts &prompts);
    // "COMn" through section "Ports" of the settings file, read afresh at
    // each opening so that an edited file applies at once.
    static PortNames settingsPortNames();

    // Programme/Name for language 0, Programme/NameEN for 1, "Tarvex通讯"
    // for any other.
    QString windowTitle() const;
    void setMainWindowTitle() const;

    CMainFrame *mainFrame() const { return frame.get(); }
    MeterLine *line() const { return meterLine.get(); }
    // Watches the line through the broker when section "Line" says so.
    BrokerWatch *watch() const { return lineWatch.get(); }
    // Records the live values into the value history; null before the line.
    HistoryRecorder *history() const { return recorder.get(); }
    // The alarms of the line, judged on every poll; null before the line.
    LineAlarms *alarms() const { return lineAlarms.get(); }
    // Takes the alarm limits of table YbAlarm and the comm-loss count of
    // the settings file afresh (after the limits dialog stored them); false
    // when the table cannot be read (told through the prompts).
    bool loadAlarmLimits();
    // The parameter sets and the write log; null before the line.
    SetStore *setStore() const { return sets.get(); }
    // The one language of the program; windows follow its changes.
    Language &language() { return lang; }

private:
    void startRecording();

    FrameSeams seams;
    std::unique_ptr<MessageBoxPrompts> ownPrompts;
    Prompts *prompts;
    Language lang;
    MeterConfiguration meters;
    std::unique_ptr<MeterLine> meterLine;
    std::unique_ptr<BrokerWatch> lineWatch; // stores into the line's live values
    std::unique_ptr<LineAlarms> lineAlarms;
    std::unique_ptr<HistoryRecorder> recorder;
    std::unique_ptr<SetStore> sets; // the parameter sets and the write log
    std::unique_ptr<WriteLogger> writeLogger;
    std::unique_ptr<CMainFrame> frame;
    bool exitRequested = false;
};
