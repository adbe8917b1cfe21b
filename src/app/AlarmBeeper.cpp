#include "AlarmBeeper.h"

#include "LineAlarms.h"

#include <QApplication>

AlarmBeeper::AlarmBeeper(const LineAlarms &lineAlarms, Beep sound, QObject *parent)
    : QObject(parent), alarms(lineAlarms), beep(sound ? std::move(sound) : [] { QApplication::beep(); })
{
    timer.setInterval(PeriodMs);
    connect(&timer, &QTimer::timeout, this, [this] { beep(); });
    connect(&alarms, &LineAlarms::changed, this, &AlarmBeeper::follow);
}

void AlarmBeeper::setEnabled(bool on)
{
    switchedOn = on;
    follow();
}

bool AlarmBeeper::calling() const
{
    for (int address = 0; address < Modbus::MeterCount; ++address)
        for (const AlarmState &alarm : alarms.alarms(address).kinds)
            if (alarm.active && alarm.unacknowledged)
                return true;
    return false;
}

void AlarmBeeper::follow()
{
    if (!switchedOn || !calling()) {
        timer.stop();
        return;
    }
    // The first beep comes with the alarm, the next ones with the timer.
    if (!timer.isActive()) {
        beep();
        timer.start();
    }
}
