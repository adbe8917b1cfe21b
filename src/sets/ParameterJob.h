#pragma once

#include "ParameterSet.h"
#include "SetStore.h"

#include <QObject>
#include <QSet>

class MeterLine;

// One parameter of a restore or copy: what the meter held, what was
// written and what reading it back found.
struct WriteStep {
    int address = 0;
    int k = 0;
    qint16 before = 0;
    qint16 written = 0;
    std::optional<qint16> readBack;
};

// How a job ended. A failure names the meter and, where it concerns one,
// the parameter, with what was written and what was read.
struct JobOutcome {
    enum class End {
        Done,
        Cancelled,
        NoParameters,      // the meter type has no parameter menu
        ReadFailed,        // a read of the meter's parameters got no answer or a refusal
        Refused,           // the meter refused a write (exceptionCode)
        NoAnswer,          // a write got no answer
        ReadBackDifferent, // the meter holds another value than the one written
        Busy,              // another read or write ran on the line
    };
    End end = End::Done;
    int address = -1;
    int k = -1;
    int exceptionCode = 0;
    std::optional<qint16> written;
    std::optional<qint16> read;
    int writes = 0; // parameters written and read back equal

    bool failed() const { return end != End::Done && end != End::Cancelled; }
    static JobOutcome of(End end, int address = -1, int k = -1)
    {
        JobOutcome outcome;
        outcome.end = end;
        outcome.address = address;
        outcome.k = k;
        return outcome;
    }
};

// Backs up, restores and copies parameter sets on a line, one meter after
// the other, on the line's own session: polling pauses for each read or
// write and resumes after it. A restore or copy reads the meter first and
// writes only the parameters whose value differs from what it holds now
// (and that are not skipped), each write followed by a read-back of the
// same register; the first write that is refused, unanswered or read back
// different ends the job. Each write goes into the write log with its
// outcome.
class ParameterJob : public QObject {
    Q_OBJECT

public:
    // The number the job's line runs carry.
    static constexpr int Requester = 2;

    // `log` may be null: the writes are then not logged.
    ParameterJob(MeterLine &line, SetStore *log, QObject *parent = nullptr);

    // Reads every meter of `addresses`: a set each (setRead), with the
    // meter type and name given and `note`.
    bool backup(const QList<int> &addresses, int meterType, const QString &typeName, const QString &note);
    // Reads one meter's parameters as they are now (setRead); nothing written.
    bool read(int address, int meterType, const QString &typeName);
    // Writes `set` to each of `targets` (its own meter for a restore).
    bool restore(const ParameterSet &set, const QList<int> &targets, const QSet<int> &skip = {});
    // Ends the job after the request under way; finished() says Cancelled.
    void cancel();

    bool running() const { return phase != Phase::Idle; }

signals:
    // Steps done of an estimate of all (reads and writes).
    void progress(int done, int total);
    void setRead(const ParameterSet &set);
    // A meter's differences, before any is written: parameters to write.
    void planned(int address, const QList<ParameterDifference> &writes);
    void stepDone(const WriteStep &step);
    void finished(const JobOutcome &outcome);

private:
    enum class Phase { Idle, Reading, Writing, ReadingBack };

    void onEvent(const struct LineEvent &event);
    void onReading(const ParameterReading &reading);
    void startMeter();
    void writeNext();
    void finish(JobOutcome outcome);
    void logWrite(WriteResult result, int exceptionCode = 0, std::optional<qint16> readBack = std::nullopt);

    MeterLine &line;
    SetStore *log;
    Phase phase = Phase::Idle;
    bool writing = false; // restore or copy, not backup
    QList<int> targets;
    int targetIndex = 0;
    int meterType = 0;
    QString typeName;
    QString note;
    ParameterSet source;
    QSet<int> skip;
    ParameterSet current; // the meter under way as read
    QList<ParameterDifference> toWrite;
    int writeIndex = 0;
    int writesDone = 0;
    int stepsDone = 0;
    int stepsTotal = 0;
};
