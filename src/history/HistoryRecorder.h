#pragma once

#include "AlarmEvaluation.h"
#include "HistoryTypes.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

class HistoryPurger;
class HistoryStore;
class LiveValueTable;

// Records every value the live-value table accepts and every no-answer mark
// into the value history file of a directory, on the GUI thread: a value is
// buffered with the time it came, and the buffer is written in one
// transaction about a second after its oldest value, so a killed program
// loses at most that second. The retention is kept by a HistoryPurger on its
// own thread. Both settings come from the settings file of the directory:
// History/Record ("0" is off, anything else or missing on) and
// History/RetentionDays (missing or not a positive number: 90).
//
// The time of each value and the retention's cut come from the clock given,
// the system's by default. The retention worker calls it on its own thread,
// so a clock given must be safe to call from there.
class HistoryRecorder : public QObject {
    Q_OBJECT

public:
    static constexpr const char *FileName = "qlvmhist.db";
    static constexpr int DefaultRetentionDays = 90;
    static constexpr int CommitIntervalMs = 1000;
    // While commits fail the oldest values beyond this many are dropped.
    static constexpr int MaxBuffered = 100000;
    // Milliseconds since the epoch, UTC.
    using Clock = std::function<qint64()>;
    static qint64 systemClock();

    HistoryRecorder(const LiveValueTable &values, const QString &directory, Clock clock = systemClock,
                    QObject *parent = nullptr);
    // A history file of its own, recording on and kept `retentionDays`, for
    // a line without a settings file (the line service).
    struct OwnFile {
        QString path;
        int retentionDays = DefaultRetentionDays;
    };
    HistoryRecorder(const LiveValueTable &values, const OwnFile &file, Clock clock = systemClock,
                    QObject *parent = nullptr);
    ~HistoryRecorder() override;

    // Opens the file when recording is on (it is not created while off) and
    // starts the retention worker. False with error() when the file cannot be
    // opened, for example in a read-only directory.
    bool start();

    // Switches recording on or off and writes the setting. Off commits what is
    // buffered first; on after start() opens the file when needed.
    void setEnabled(bool on);
    bool enabled() const { return on; }
    // Days the history keeps (at least 1); written to the settings and
    // applied by the worker at once.
    void setRetentionDays(int days);
    int retentionDays() const { return days; }

    // Buffers an alarm event, committed in the transaction of the values;
    // dropped while the file is not open (recording off from the start).
    void recordAlarm(const AlarmEvent &event);

    // Commits what is buffered now; also done on destruction.
    void flush();

    const HistoryError &error() const { return failure; }
    QString errorText(int language) const { return failure.text(language); }
    QString filePath() const { return path; }
    // The recording connection, for reading on the GUI thread; null before
    // the file is open.
    const HistoryStore *store() const { return writer.get(); }

signals:
    // A commit failed, or the file did not open when recording was switched
    // on, for the reason error() holds; emitted once until a commit succeeds
    // again. The values stay buffered (bounded) and the commit is retried a
    // second later.
    void failed();
    // A commit wrote `values` values: everything buffered until then.
    void committed(int values);
    // The retention worker ended a pass that deleted `rows` samples.
    void purged(int rows);

private:
    void follow(const LiveValueTable &values);
    void record(int address, std::optional<double> value);
    bool openWriter();
    void startPurger();

    QString path;
    QString settingsPath; // empty for an own file
    bool on = true;
    int days = DefaultRetentionDays;
    bool started = false;
    bool failing = false;
    Clock clock;
    HistoryError failure;
    std::unique_ptr<HistoryStore> writer;
    QList<HistorySample> buffer;
    QList<AlarmEvent> alarmBuffer;
    std::array<qint64, 64> lastMsecs{};
    QTimer commitTimer;
    QThread worker;
    HistoryPurger *purger = nullptr;
};
