#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class LineAlarms;

// Beeps once every PeriodMs while the beep is switched on and an active
// alarm of the line waits for its acknowledgement; quiet otherwise.
class AlarmBeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int PeriodMs = 2000;
    // What a beep is; the desktop's bell unless a test counts them.
    using Beep = std::function<void()>;

    explicit AlarmBeeper(const LineAlarms &alarms, Beep beep = nullptr, QObject *parent = nullptr);

    void setEnabled(bool on);
    bool enabled() const { return switchedOn; }
    bool beeping() const { return timer.isActive(); }

private:
    void follow();
    bool calling() const;

    const LineAlarms &alarms;
    Beep beep;
    QTimer timer;
    bool switchedOn = false;
};
