#pragma once

#include "RecordingPrompts.h"
#include "SchedulerHost.h"

#include <QDateTime>

#include <map>

// The scheduler's host without timers: running timers are a map the test
// ticks by hand, the clock stands still, prompts are recorded.
class FakeSchedulerHost : public SchedulerHost {
public:
    void startTimer(int id, int periodMs) override { running[id] = periodMs; }
    void stopTimer(int id) override { running.erase(id); }
    QDateTime now() const override { return clock; }
    Prompts &prompts() override { return shownPrompts; }

    std::map<int, int> running; // timer id -> period
    RecordingPrompts shownPrompts;
    QDateTime clock{QDate(2024, 5, 6), QTime(7, 8, 9)};
};
