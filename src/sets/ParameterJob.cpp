#include "ParameterJob.h"

#include "MeterLine.h"

ParameterJob::ParameterJob(MeterLine &meterLine, SetStore *writeLog, QObject *parent)
    : QObject(parent), line(meterLine), log(writeLog)
{
    connect(&line, &MeterLine::happened, this, &ParameterJob::onEvent);
    connect(&line, &MeterLine::parametersRead, this, &ParameterJob::onReading);
}

bool ParameterJob::backup(const QList<int> &addresses, int type, const QString &name, const QString &setNote)
{
    if (running() || addresses.isEmpty())
        return false;
    writing = false;
    targets = addresses;
    meterType = type;
    typeName = name;
    note = setNote;
    stepsTotal = int(addresses.size());
    startMeter();
    return true;
}

bool ParameterJob::read(int address, int type, const QString &name)
{
    return backup({address}, type, name, QString());
}

bool ParameterJob::restore(const ParameterSet &set, const QList<int> &to, const QSet<int> &skipped)
{
    if (running() || to.isEmpty())
        return false;
    writing = true;
    source = set;
    targets = to;
    skip = skipped;
    meterType = set.meterType;
    typeName = set.meterTypeName;
    note.clear();
    // A read a meter, and at most a write and a read-back a parameter.
    stepsTotal = int(to.size()) * (1 + 2 * int(set.parameters.size()));
    startMeter();
    return true;
}

void ParameterJob::cancel()
{
    if (!running())
        return;
    line.cancelRun();
    finish(JobOutcome::of(JobOutcome::End::Cancelled));
}

void ParameterJob::startMeter()
{
    if (targetIndex == 0 && phase == Phase::Idle) {
        writesDone = 0;
        stepsDone = 0;
    }
    phase = Phase::Reading;
    emit progress(stepsDone, stepsTotal);
    const int address = targets[targetIndex];
    if (!line.readParameters(address, Requester)) {
        // A refusal for a type without menu arrives as an event first.
        if (phase == Phase::Reading)
            finish(JobOutcome::of(line.transferRunning() ? JobOutcome::End::Busy : JobOutcome::End::ReadFailed, address));
    }
}

void ParameterJob::onReading(const ParameterReading &reading)
{
    if (reading.requester != Requester || !running())
        return;
    ++stepsDone;
    emit progress(stepsDone, stepsTotal);
    if (phase == Phase::ReadingBack) {
        const ParameterDifference &difference = toWrite[writeIndex];
        const qint16 wanted = *difference.right;
        const qint16 found = reading.values[std::size_t(difference.k)];
        logWrite(found == wanted ? WriteResult::Done : WriteResult::ReadBackDifferent, 0, found);
        emit stepDone({reading.address, difference.k, difference.left.value_or(0), wanted, found});
        if (found != wanted) {
            JobOutcome outcome = JobOutcome::of(JobOutcome::End::ReadBackDifferent, reading.address, difference.k);
            outcome.written = wanted;
            outcome.read = found;
            finish(outcome);
            return;
        }
        ++writesDone;
        ++writeIndex;
        writeNext();
        return;
    }
    current = ParameterSet::fromReading(reading, meterType, typeName, QDateTime::currentDateTimeUtc(), note);
    emit setRead(current);
    if (!writing) {
        if (++targetIndex < targets.size())
            startMeter();
        else
            finish(JobOutcome::of(JobOutcome::End::Done));
        return;
    }
    // What differs between the meter now and the set, skipped rows aside;
    // parameters beyond this meter's menu are not written.
    toWrite.clear();
    for (const ParameterDifference &difference : differences(current, source)) {
        if (difference.left && difference.right && !skip.contains(difference.k))
            toWrite.append(difference);
    }
    emit planned(reading.address, toWrite);
    writeIndex = 0;
    writeNext();
}

void ParameterJob::writeNext()
{
    if (writeIndex >= toWrite.size()) {
        if (++targetIndex < targets.size())
            startMeter();
        else
            finish(JobOutcome::of(JobOutcome::End::Done));
        return;
    }
    phase = Phase::Writing;
    const ParameterDifference &difference = toWrite[writeIndex];
    WriteRun run;
    run.count = 1;
    run.entries[0] = {difference.k, *difference.right};
    if (!line.startWriteRun(run, Requester))
        finish(JobOutcome::of(JobOutcome::End::Busy, targets[targetIndex], difference.k));
}

void ParameterJob::onEvent(const LineEvent &event)
{
    if (event.requester != Requester || !running())
        return;
    using What = LineEvent::What;
    const int address = targets.value(targetIndex, -1);
    JobOutcome outcome = JobOutcome::of(JobOutcome::End::Done, address, event.parameter);
    outcome.exceptionCode = event.exceptionCode;
    switch (event.what) {
    case What::WriteDone:
        // Echoed: now the same register is read back.
        ++stepsDone;
        phase = Phase::ReadingBack;
        if (!line.readParameters(address, Requester, toWrite[writeIndex].k, 1))
            finish(JobOutcome::of(JobOutcome::End::Busy, address, toWrite[writeIndex].k));
        return;
    case What::NoParameters:
        outcome.end = JobOutcome::End::NoParameters;
        break;
    case What::ReadInterrupted:
    case What::ReadRefused:
        outcome.end = JobOutcome::End::ReadFailed;
        if (phase == Phase::ReadingBack)
            outcome.written = toWrite[writeIndex].right;
        break;
    case What::WriteRefused:
        logWrite(WriteResult::Refused, event.exceptionCode);
        outcome.end = JobOutcome::End::Refused;
        outcome.written = event.value;
        break;
    case What::WriteInterrupted:
        logWrite(WriteResult::NoAnswer);
        outcome.end = JobOutcome::End::NoAnswer;
        outcome.written = event.value;
        break;
    case What::WriteBadEcho:
        logWrite(WriteResult::ReadBackDifferent);
        outcome.end = JobOutcome::End::ReadBackDifferent;
        outcome.written = event.value;
        break;
    default:
        return;
    }
    finish(outcome);
}

void ParameterJob::logWrite(WriteResult result, int exceptionCode, std::optional<qint16> readBack)
{
    if (!log || writeIndex >= toWrite.size())
        return;
    const ParameterDifference &difference = toWrite[writeIndex];
    WriteRecord record;
    record.time = QDateTime::currentDateTimeUtc();
    record.address = targets[targetIndex];
    record.k = difference.k;
    record.oldRaw = difference.left;
    record.newRaw = *difference.right;
    record.result = result;
    record.exceptionCode = exceptionCode;
    record.readBack = readBack;
    log->log(record);
}

void ParameterJob::finish(JobOutcome outcome)
{
    phase = Phase::Idle;
    targetIndex = 0;
    outcome.writes = writesDone;
    emit finished(outcome);
}
