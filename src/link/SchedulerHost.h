#pragma once

#include <QDateTime>
#include <QString>

class Prompts;
struct ParameterDisplay;

// What the transaction scheduler and the parameter transfer need of the main
// window: its timers, its status bar, its message boxes, the progress window,
// the parameter dialog, and a few settings. The main window implements it;
// tests pass a fake.
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;

    // Timers of the main window, by the ids in CommandIds.h (TimerId).
    // Starting a running timer restarts it with the new period.
    virtual void startTimer(int id, int periodMs) = 0;
    virtual void stopTimer(int id) = 0;

    virtual void setStatusText(const QString &text) = 0;
    virtual Prompts &prompts() = 0;
    // The main window's language index: 0 Chinese, 1 English.
    virtual int language() const = 0;
    // The clock of the status texts' time stamps.
    virtual QDateTime now() const = 0;

    // The progress window of parameter reads and writes.
    virtual void createProgress() = 0; // creates it when missing and shows it
    virtual bool progressExists() const = 0;
    virtual void destroyProgress() = 0;
    virtual void setProgressRange(int low, int high) = 0;
    virtual void setProgressPos(int pos) = 0;
    virtual void setProgressText(const QString &prefix, int pos) = 0;

    // The parameter dialog.
    virtual bool parameterDialogExists() const = 0;
    virtual void showParameters(const ParameterDisplay &display) = 0;

    // The configured meter type (MeterConfig/metertype) and the directory of
    // the databases.
    virtual int meterType() const = 0;
    virtual QString dataDirectory() const = 0;
};
