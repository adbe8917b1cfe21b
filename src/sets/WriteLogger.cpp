#include "WriteLogger.h"

#include "MeterLine.h"
#include "SetStore.h"

WriteLogger::WriteLogger(SetStore &setStore, QObject *parent) : QObject(parent), store(setStore) {}

void WriteLogger::follow(const MeterLine &line)
{
    connect(&line, &MeterLine::happened, this, qOverload<const LineEvent &>(&WriteLogger::take));
    connect(&line, &MeterLine::parametersRead, this, qOverload<const ParameterReading &>(&WriteLogger::take));
}

void WriteLogger::take(const ParameterReading &reading)
{
    Known &values = known[reading.address];
    values.fill(std::nullopt);
    for (int k = 0; k < reading.menu.count && k < MaxParameters; ++k)
        values[std::size_t(k)] = reading.values[std::size_t(k)];
}

void WriteLogger::take(const LineEvent &event)
{
    // Other askers (parameter set jobs) log their writes with the read-back.
    if (event.requester != 0)
        return;
    using What = LineEvent::What;
    WriteRecord record;
    switch (event.what) {
    case What::ParameterWritten:
        record.result = WriteResult::Done;
        break;
    case What::WriteRefused:
        record.result = WriteResult::Refused;
        record.exceptionCode = event.exceptionCode;
        break;
    case What::WriteBadEcho:
        record.result = WriteResult::ReadBackDifferent;
        break;
    case What::WriteInterrupted:
        record.result = WriteResult::NoAnswer;
        break;
    default:
        return;
    }
    // An interruption before the first write was sent wrote nothing.
    if (event.parameter < 0 || event.parameter >= MaxParameters)
        return;
    std::optional<qint16> &before = known[event.address][std::size_t(event.parameter)];
    record.time = (event.time.isValid() ? event.time : QDateTime::currentDateTime()).toUTC();
    record.address = event.address;
    record.k = event.parameter;
    record.oldRaw = before;
    record.newRaw = event.value;
    store.log(record);
    if (record.result == WriteResult::Done)
        before = event.value;
}
