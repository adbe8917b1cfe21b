#pragma once

#include <QMap>
#include <QObject>

// The main window's line timers, known by their ids (TimerId::PollTimer ...)
// rather than by the numbers Qt hands out. Each tick is reported as
// timeout(id); starting a running timer restarts it with the new period.
class LineTimers : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void start(int id, int periodMs);
    void stop(int id);
    void stopAll();
    bool isActive(int id) const { return running.contains(id); }
    int period(int id) const { return periods.value(id, 0); }

signals:
    void timeout(int id);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    QMap<int, int> running; // our id -> Qt's timer id
    QMap<int, int> periods; // our id -> period in ms, for the running ones
};
