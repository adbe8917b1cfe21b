#pragma once

#include "CycleSettings.h"
#include "LineEvent.h"
#include "LineFrame.h"
#include "LineTransportSettings.h"
#include "LineTimers.h"
#include "LineScan.h"
#include "LiveValueTable.h"
#include "ParameterData.h"
#include "PortSettings.h"
#include "SchedulerHost.h"
#include "SerialLink.h"
#include "TransactionScheduler.h"

#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QTimer>

#include <memory>

class MeterConfiguration;

// The outcome of opening the line: open, or why not, with the port's own
// reason for the failure.
struct LineOpenResult {
    enum class Status { Open, OpenFailed, ConfigureFailed };
    Status status = Status::Open;
    PortFailure failure;

    explicit operator bool() const { return status == Status::Open; }
};

// Everything the line on one port needs to run: the port's line settings,
// the transport under it and how monitoring is paced.
struct LineSetup {
    PortSettings port;
    LineTransportSettings transport;
    CycleSettings cycle;
};

// One line session: a named line with everything that runs it, the link,
// the scheduler, the four line timers and the live values. Ticks go to the
// scheduler, the scheduler's requests to the link, the link's answers back
// to the scheduler (queued, never from inside the port's notification), and
// the accepted values into the LiveValueTable, which windows read by const
// reference. The session knows no window and no language: what happens is
// reported as typed events, which its owner turns into texts. Several
// sessions run side by side in one process, each on its own port.
//
// When the port's device goes away, the line stops, says so, tries to open
// the same device every 2 s, and resumes polling by itself once it is back.
//
// On a network transport (section "Line" of the settings file) the line is
// open once the connection is up. Until then, and after the connection is
// lost, it tries again after 0.5 s, doubling the wait up to 8 s, and says so
// as for a lost device. A meter's missing answer leaves the connection up.
class MeterLine : public QObject, private SchedulerHost {
    Q_OBJECT

public:
    static constexpr int ReopenPeriodMs = 2000;
    static constexpr int FirstRetryMs = 500;
    static constexpr int LastRetryMs = 8000;

    // `meters` gives the address range (followed on every change) and the
    // meter type of a read; its poll period is taken once, here. `name`
    // tells the session apart from others in the same process.
    MeterLine(PortNames portNames, const MeterConfiguration &meters, ParameterMenuSource menus,
              const QString &name = QString(), QObject *parent = nullptr);
    ~MeterLine() override;

    const QString &name() const { return lineName; }

    // Opens and configures the port and starts polling; the health counts
    // start afresh. Whatever ran on the old port stops first. A network
    // transport starts connecting; polling starts once the connection is up.
    // A transport setting that is not valid fails with its "key=value", a
    // watched line (transport=broker) with that.
    LineOpenResult open(const LineSetup &setup);
    // The same, with the transport and the pacing as section "Line" of the
    // settings file says.
    LineOpenResult open(const PortSettings &port);
    // Stops every activity and closes the port.
    void close();

    bool isOpen() const { return link.isOpen(); }
    QString devicePath() const { return link.devicePath(); }
    // Why the port last failed to open or configure, or went away.
    const PortFailure &lastFailure() const { return link.failure(); }
    const LiveValueTable &liveValues() const { return values; }
    // For a line watched from elsewhere, while the line is closed: whoever
    // watches it stores what it learns here, so that every window that
    // follows liveValues() shows the watched line unchanged. Not for use
    // while the line is open, which writes the same table.
    LiveValueTable &watchedValues() { return values; }
    TransactionScheduler::Activity activity() const { return scheduler.activity(); }
    bool transferRunning() const { return scheduler.transferRunning(); }
    // The link and the scheduler report frames to the line: true only while
    // frameLogged() has a receiver.
    bool framesFollowed() const { return !frameSources.isEmpty(); }
    bool timerActive(int id) const { return timers.isActive(id); }
    int timerPeriod(int id) const { return timers.period(id); }
    // Waiting to try the device or the connection again.
    bool reopening() const { return reopenTimer.isActive() || retryTimer.isActive(); }

    // The meter whose parameters the read-all command reads (the value
    // panel that opened its context menu last).
    int selectedMeter() const { return selected; }
    void selectMeter(int address);

    // Reads all parameters of the meter at `address` (the configured meter
    // type's menu). False when it cannot start: a run is on, or the type
    // has no parameters (told to the user).
    bool readAllParameters(int address);
    // Writes the list to the meter of the last read; false when refused.
    bool startWrite(const ParameterWriteList &list);
    // For whoever else reads and writes parameters (parameter sets, the
    // command-line tool): reads positions first..first + count - 1 of the
    // configured meter type's menu (count -1: to its end), or writes
    // register values as they are to the meter read last; the run's events
    // and reading carry `requester` (not 0).
    bool readParameters(int address, int requester, int first = 0, int count = -1);
    bool startWriteRun(const WriteRun &run, int requester);
    // Ends a running read or write; monitoring resumes.
    bool cancelRun() { return scheduler.cancelRun(); }
    int runRequester() const { return scheduler.runRequester(); }
    int meterType() const;

    // Why a scan cannot start: the line is not open (or waits for its
    // device), a read or write runs, a scan runs already, or the plan is
    // unusable.
    enum class ScanRefusal { None, NotOpen, RunOn, Scanning, BadPlan };
    // Scans the line for meters: monitoring pauses, the scan probes the
    // plan's candidates, and once it has ended the line is set back to its
    // own settings and monitoring resumes. On a network transport only the
    // line's own setting is tried (the device server's serial side keeps
    // the settings it was given). Returns the running scan, whose signals
    // tell what it finds (the line keeps it until the next scan), or
    // nullptr with the reason in `why`. Reads and writes are refused while
    // it runs.
    LineScan *startScan(ScanPlan plan, ScanRefusal *why = nullptr);
    bool scanning() const { return lineScan && lineScan->running(); }
    // The line's own setting, the one a scan tries first by default.
    ScanSetting ownSetting() const;

signals:
    // What happened, for the owner to tell in its own words.
    void happened(const LineEvent &event);
    void progressStarted(LineRun run, int high);
    void progressMoved(LineRun run, int position);
    void progressEnded();
    void parametersRead(const ParameterReading &reading);
    // Every frame on the line as it passes, with its meaning. Without a
    // receiver the link and the scheduler report nothing, so the poll costs
    // nothing more when no monitor is open.
    void frameLogged(const LineFrame &frame);
    // A network transport's connection failed or was lost; the next attempt
    // follows in `delayMs`.
    void reconnectScheduled(int delayMs);
    // How each monitoring request ended, meter by meter.
    void pollJudged(const PollOutcome &outcome);

protected:
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    // SchedulerHost
    void startTimer(int id, int periodMs) override { timers.start(id, periodMs); }
    void stopTimer(int id) override { timers.stop(id); }
    QDateTime now() const override { return QDateTime::currentDateTime(); }

    void onTick(int id);
    void endScan(ScanEnd end);
    void deliverAnswer();
    void onDeviceLost();
    void tryReopen();
    LineOpenResult openNetwork();
    void onConnected();
    void scheduleRetry();
    void tryReconnect();
    bool configure();
    void report(LineEvent::What what);
    void followCycle();
    void followConfiguration();
    void followFrames(bool follow);
    bool framesWanted();
    void logRequest(const QByteArray &bytes);
    void logAnswerHeard(const QByteArray &answer, const QByteArray &echo);
    void logAnswerJudged(LineFrame::Kind kind);
    void logAnswerMissing(int address);

    const MeterConfiguration &meters;
    QString lineName;
    SerialLink link;
    LineTimers timers;
    LiveValueTable values;
    TransactionScheduler scheduler;
    QTimer reopenTimer;
    // The network transport's reconnection: single shot, its wait doubling
    // from FirstRetryMs to LastRetryMs and starting afresh once connected.
    QTimer retryTimer;
    LineTransportSettings transportSettings; // as the last open() had them
    CycleSettings cycleSettings;
    int retryDelayMs = FirstRetryMs;
    bool lostAnnounced = false; // the status bar says the line is lost
    PortSettings port;
    int selected = 0;
    // While frames are followed: the connections that bring them, the
    // register of the last request (a read answer does not carry it) and the
    // answer heard, until the scheduler has judged it.
    QList<QMetaObject::Connection> frameSources;
    QMetaObject::Connection pollsFollowed; // the scheduler's judged polls, once someone wants them
    int askedRegister = -1;
    std::unique_ptr<LineScan> lineScan;
    QByteArray heardAnswer;
    QDateTime heardAt;
};
