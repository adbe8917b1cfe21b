#pragma once

#include <QDateTime>

class Prompts;

// What the transaction scheduler needs from outside the line logic: the line
// timers, the clock of its time stamps, and the prompts that tell the user of
// an interruption or a refused transfer. The line implements it with real
// timers, the wall clock and prompts that open once a handler has returned;
// tests pass a fake.
class SchedulerHost {
public:
    virtual ~SchedulerHost() = default;

    // Line timers, by the ids in CommandIds.h (TimerId). Starting a running
    // timer restarts it with the new period.
    virtual void startTimer(int id, int periodMs) = 0;
    virtual void stopTimer(int id) = 0;
    virtual QDateTime now() const = 0;
    virtual Prompts &prompts() = 0;
};
