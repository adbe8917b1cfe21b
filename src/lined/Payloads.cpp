#include "Payloads.h"

#include "LiveValueTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Payloads {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString qualityName(PollOutcome::Quality quality)
{
    switch (quality) {
    case PollOutcome::Quality::NoAnswer:
        return QStringLiteral("no-answer");
    case PollOutcome::Quality::BadFrame:
        return QStringLiteral("crc");
    case PollOutcome::Quality::Exception:
        return QStringLiteral("exception");
    case PollOutcome::Quality::Ok:
        break;
    }
    return QStringLiteral("ok");
}

} // namespace

QString isoTime(const QDateTime &when)
{
    return when.toUTC().toString(Qt::ISODateWithMs);
}

QByteArray onlineState(const ServiceConfig::Line &line, const QString &version)
{
    return compact({
        {"online", true},
        {"version", version},
        {"transport", LineTransportSettings::kindName(line.setup.transport.kind)},
        {"first", line.first},
        {"last", line.last},
        {"cycle", line.setup.cycle.cycle == CycleSettings::Cycle::Fast ? "fast" : "period"},
    });
}

QByteArray offlineState()
{
    return compact({{"online", false}});
}

QByteArray value(const PollOutcome &outcome, qint64 seq)
{
    const bool hasValue = outcome.quality == PollOutcome::Quality::Ok;
    // The live value is the register in tenths, as the panels show it.
    QJsonObject object{
        {"v", hasValue ? QJsonValue(outcome.raw / 10.0) : QJsonValue()},
        {"raw", hasValue ? QJsonValue(outcome.raw) : QJsonValue()},
        {"ts", isoTime(outcome.time)},
        {"q", qualityName(outcome.quality)},
        {"seq", seq},
    };
    if (outcome.quality == PollOutcome::Quality::Exception)
        object.insert("code", outcome.exceptionCode);
    return compact(object);
}

QByteArray meta(const MeterRecord &record)
{
    return compact({
        {"position", record.installPosition},
        {"meterType", record.meterType},
        {"name", record.name},
    });
}

QByteArray history(const QList<Outbox::Sample> &samples)
{
    QJsonArray rows;
    for (const Outbox::Sample &sample : samples)
        rows.append(QJsonArray{sample.seq, sample.address, sample.msecs,
                               sample.tenths ? QJsonValue(*sample.tenths) : QJsonValue()});
    return compact({
        {"from", samples.isEmpty() ? 0 : samples.first().seq},
        {"to", samples.isEmpty() ? 0 : samples.last().seq},
        {"samples", rows},
    });
}

std::optional<qint64> acknowledgedSeq(const QByteArray &payload)
{
    const QJsonValue seq = QJsonDocument::fromJson(payload).object().value("seq");
    if (!seq.isDouble() || seq.toDouble() < 0)
        return std::nullopt;
    return qint64(seq.toDouble());
}

QByteArray stats(const LiveValueTable &values, int first, int last, const QDateTime &when)
{
    QJsonArray meters;
    for (int address = first; address <= last; ++address) {
        const MeterHealth &health = values.health(address);
        const auto time = [](qint64 ms) { return ms < 0 ? QJsonValue() : QJsonValue(ms); };
        meters.append(QJsonObject{
            {"address", address},
            {"answers", health.answers},
            {"missing", health.missing},
            {"crc", health.garbage},
            {"exceptions", health.exceptions},
            {"lastMs", time(health.lastResponseMs)},
            {"averageMs", health.timedAnswers > 0 ? QJsonValue(double(health.totalResponseMs) / health.timedAnswers)
                                                  : QJsonValue()},
            {"maxMs", time(health.maxResponseMs)},
        });
    }
    return compact({{"ts", isoTime(when)}, {"meters", meters}});
}

QString eventName(LineEvent::What what)
{
    using What = LineEvent::What;
    switch (what) {
    case What::Interrupted:
        return QStringLiteral("interrupted");
    case What::Resumed:
        return QStringLiteral("resumed");
    case What::Answered:
        return QStringLiteral("answered");
    case What::NoParameters:
        return QStringLiteral("no-parameters");
    case What::ReadInterrupted:
        return QStringLiteral("read-interrupted");
    case What::ReadRefused:
        return QStringLiteral("read-refused");
    case What::NothingToWrite:
        return QStringLiteral("nothing-to-write");
    case What::ValueRefused:
        return QStringLiteral("value-refused");
    case What::WriteInterrupted:
        return QStringLiteral("write-interrupted");
    case What::WriteRefused:
        return QStringLiteral("write-refused");
    case What::WriteBadEcho:
        return QStringLiteral("write-bad-echo");
    case What::ParameterWritten:
        return QStringLiteral("parameter-written");
    case What::WriteDone:
        return QStringLiteral("write-done");
    case What::DeviceLost:
        return QStringLiteral("device-lost");
    case What::ConnectionLost:
        return QStringLiteral("connection-lost");
    case What::DeviceBack:
        return QStringLiteral("device-back");
    }
    return QString();
}

QByteArray event(const LineEvent &event, const QString &text)
{
    QJsonObject object{{"ts", isoTime(event.time)}, {"event", eventName(event.what)}, {"text", text}};
    if (event.address >= 0)
        object.insert("address", event.address);
    if (event.parameter >= 0)
        object.insert("parameter", event.parameter);
    if (event.exceptionCode != 0)
        object.insert("exceptionCode", event.exceptionCode);
    return compact(object);
}

} // namespace Payloads
