#pragma once

#include <QDateTime>

// What the transaction scheduler needs from outside the line logic: the line
// timers and the clock of its events. The line implements it with real
// timers and the wall clock; tests pass a fake.
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;

    // Line timers, by the ids in CommandIds.h (TimerId). Starting a running
    // timer restarts it with the new period.
    virtual void startTimer(int id, int periodMs) = 0;
    virtual void stopTimer(int id) = 0;
    virtual QDateTime now() const = 0;
};
