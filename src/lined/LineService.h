#pragma once

#include "BrokerClient.h"
#include "MeterConfiguration.h"
#include "MeterLine.h"
#include "ServiceConfig.h"

#include <QObject>
#include <QTimer>

#include <memory>

class HistoryRecorder;

// One line of the line service: the line session on its port, its value
// history file, and its own connection to the broker, whose last will marks
// the line offline. Every judged poll is published to
// quorvane/v1/<site>/<line>/meters/<address>/value, the health of the meters
// to .../stats every 10 s, and what the desktop would say in a box or the
// status bar goes to the log (stderr) and to .../event. Polling never waits
// for the broker: a publish the broker cannot take now is dropped, the
// history file keeps every value.
class LineService : public QObject {
    Q_OBJECT

public:
    static constexpr int ReopenPeriodMs = 2000;
    static constexpr int StatsPeriodMs = 10000;
    static constexpr int StopWaitMs = 2000;

    LineService(const ServiceConfig &config, const ServiceConfig::Line &line, const QString &version,
                QObject *parent = nullptr);
    ~LineService() override;

    // Opens the history, connects to the broker and opens the line; a port
    // that cannot be opened is tried again every 2 s.
    void start();
    // Publishes the line offline, writes what the history holds, closes the
    // line and the connection, then emits stopped() (at the latest after
    // StopWaitMs when the broker does not confirm).
    void stop();

    const QString &name() const { return config.name; }
    const MeterLine &meterLine() const { return line; }
    QString topic(const QString &rest) const { return prefix + rest; }

signals:
    void stopped();

private:
    void openLine();
    void onConnected();
    void onEvent(const LineEvent &event);
    void onPoll(const PollOutcome &outcome);
    void publishStats();
    void log(const QString &text, int address = -1) const;
    void finishStop();

    const ServiceConfig::Line config;
    const QString version;
    const QString prefix;
    MeterConfiguration meters;
    MeterLine line;
    std::unique_ptr<HistoryRecorder> history;
    BrokerClient broker;
    BrokerSettings brokerSettings;
    QTimer reopenTimer;
    QTimer statsTimer;
    QTimer stopTimer;
    int offlineMessage = -1;
    bool stopping = false;
    bool stopDone = false;
};
