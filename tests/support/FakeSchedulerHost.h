#pragma once

#include "SchedulerHost.h"

#include <QDateTime>

#include <map>

// The scheduler's host without timers: running timers are a map the test
// ticks by hand, the clock stands still.
class FakeSchedulerHost : public SchedulerHost {
public:
    void startTimer(int id, int periodMs) override { running[id] = periodMs; }
    void stopTimer(int id) override { running.erase(id); }
    QDateTime now() const override { return clock; }

    std::map<int, int> running; // timer id -> period
    QDateTime clock{QDate(2024, 5, 6), QTime(7, 8, 9)};
};
