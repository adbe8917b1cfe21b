#pragma once

#include "CMainFrame.h"

#include <memory>

class Prompts;

// The application: starts in the language of the settings file, creates the
// main window, shows it maximised and titled, and saves the language at exit.
class QuorvaneApplication {
public:
    explicit QuorvaneApplication(FrameSeams seams = {});
    ~QuorvaneApplication();

    // Lays down the missing default files of the data directory (a failure
    // is reported), reads Programme/Lang into the application language,
    // creates the main window (which opens the port and starts polling),
    // shows it maximised and sets its title. False when an exit was
    // requested before the window could be shown.
    bool InitInstance();
    // Writes Programme/Lang. The main window, and with it the port, goes
    // when the application object does.
    void ExitInstance();
    // Ends the program as the Exit command does, also from inside a message
    // box or a modal dialog (which is cancelled), or during start-up.
    void requestExit();

    // Lays down the missing default files in the data directory and reports
    // the files that could not be laid down; false after such a failure.
    static bool prepareDataDirectory(Prompts &prompts);

    // Programme/Name for language 0, Programme/NameEN for 1, "Tarvex通讯"
    // for any other.
    QString windowTitle() const;
    void setMainWindowTitle() const;

    CMainFrame *mainFrame() const { return frame.get(); }

    // The application language: the About box and the port dialog use it.
    int language = 0;

private:
    FrameSeams seams;
    std::unique_ptr<CMainFrame> frame;
    bool exitRequested = false;
};
