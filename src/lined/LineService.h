#pragma once

#include "BrokerClient.h"
#include "LineAlarms.h"
#include "MeterConfiguration.h"
#include "MeterLine.h"
#include "Outbox.h"
#include "ServiceConfig.h"

#include <QObject>
#include <QFileSystemWatcher>
#include <QHash>
#include <QSet>
#include <QTimer>

#include <memory>

class HistoryRecorder;

// One line of the line service: the line session on its port, its value
// history file, and its own connection to the broker, whose last will marks
// the line offline. Every judged poll is published to
// quorvane/v1/<site>/<line>/meters/<address>/value, the health of the meters
// to .../stats every 10 s, each meter's entry in the register (qlvmdata.db
// beside the history file, when there is one) to .../meters/<address>/meta
// at every connection and when the register changes, and what the desktop
// would say in a box or the status bar goes to the log (stderr) and to
// .../event.
//
// The alarms of the meters are judged on every poll, with the limits of
// table YbAlarm of the register (read again when it changes) and the line's
// comm-loss count. Each meter's alarms are published retained to
// .../meters/<address>/alarm at every connection and at every change, each
// change goes to .../event, the log and the history file, and a consumer
// acknowledges an alarm on .../alarm/ack. The alarms still waiting for
// their acknowledgement when the service ended wait again after a start.
//
// Every judged poll is also a numbered sample in the outbox of the history
// file. After every connection the samples after the consumer's
// acknowledgement (the retained .../history/ack) are sent to .../history in
// order, in batches, before the new ones, a few batches in flight at a time.
// Polling never waits for the broker: a publish the broker cannot take now
// is dropped, and the outbox keeps every sample until it is acknowledged.
class LineService : public QObject {
    Q_OBJECT

public:
    static constexpr int ReopenPeriodMs = 2000;
    static constexpr int StatsPeriodMs = 10000;
    static constexpr int StopWaitMs = 2000;
    static constexpr int CommitPeriodMs = 1000;
    // How long a new connection waits for the retained acknowledgement
    // before it sends the whole outbox.
    static constexpr int AckWaitMs = 1000;
    static constexpr int BatchSize = 500;
    static constexpr int BatchesInFlight = 4;

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
    void commitOutbox();
    void onMessage(const QString &topic, const QByteArray &payload, bool retained);
    void startSending(qint64 acknowledged);
    void sendHistory();
    void publishMeta();
    void loadAlarmLimits();
    void onAlarmEvent(const AlarmEvent &event);
    void publishAlarms(int address);
    void acknowledgeAlarms(const QByteArray &payload, bool retained);
    void log(const QString &text, int address = -1) const;
    void finishStop();

    const ServiceConfig::Line config;
    const QString version;
    const QString prefix;
    MeterConfiguration meters;
    MeterLine line;
    LineAlarms alarms;
    std::unique_ptr<HistoryRecorder> history;
    std::unique_ptr<Outbox> outbox;
    BrokerClient broker;
    BrokerSettings brokerSettings;
    QTimer reopenTimer;
    QTimer statsTimer;
    QTimer stopTimer;
    QTimer commitTimer;
    QTimer ackWaitTimer;
    // The last sample handed to the broker on this connection; -1 until the
    // consumer's acknowledgement (or the wait for it) says where to begin.
    qint64 sentUpTo = -1;
    QSet<int> historyInFlight;
    // The register beside the history file, watched for changes, and what
    // was last published of each meter.
    QString registerDirectory;
    QFileSystemWatcher registerWatcher;
    QHash<int, QByteArray> publishedMeta;
    // The alarm limits last read, and why they could not be read, so that
    // each is logged once and not at every change of the register.
    QHash<int, AlarmLimits> alarmLimits;
    QString alarmLimitsProblem;
    bool alarmLimitsRead = false;
    int offlineMessage = -1;
    bool stopping = false;
    bool stopDone = false;
};
