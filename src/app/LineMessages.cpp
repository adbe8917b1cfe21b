#include "LineMessages.h"

#include "AppTexts.h"
#include "Language.h"
#include "LinkTexts.h"
#include "MeterLine.h"
#include "ParameterTransfer.h"
#include "Prompts.h"
#include "Texts.h"

namespace {

QString captionOf(const LineEvent &event, int language)
{
    return language == 1 ? event.captionE : event.captionC;
}

// A message about parameter k: its number as the parameter table shows it
// (k + 1) and its caption.
QString aboutParameter(const BiText &message, const LineEvent &event, int language)
{
    return message.text(language).arg(event.parameter + 1).arg(captionOf(event, language));
}

// The words for the port's reason, "%1" the device (and "%2" the error
// code of Other); none for no reason.
const BiText *reasonFormat(PortFailure::Reason reason)
{
    using Reason = PortFailure::Reason;
    switch (reason) {
    case Reason::None:
        return nullptr;
    case Reason::NoDevice:
        return &kPortNoDevice;
    case Reason::DeviceNotFound:
        return &kPortDeviceNotFound;
    case Reason::PermissionDenied:
        return &kPortPermissionDenied;
    case Reason::SettingRefused:
        return &kPortSettingRefused;
    case Reason::Other:
        return &kPortOtherError;
    case Reason::HostNotFound:
        return &kPortHostNotFound;
    case Reason::ConnectionRefused:
        return &kPortConnectionRefused;
    case Reason::ConnectionTimedOut:
        return &kPortConnectionTimedOut;
    case Reason::ConnectionLost:
        return &kPortConnectionLost;
    case Reason::NotConnected:
        return &kPortNotConnected;
    }
    return nullptr;
}

} // namespace

LineMessages::LineMessages(const Language &lang, Prompts &shown, QObject *parent)
    : QObject(parent), language(lang), prompts(shown)
{
}

void LineMessages::follow(const MeterLine &line)
{
    followed = &line;
    connect(&line, &MeterLine::happened, this, &LineMessages::tell);
    connect(&line, &MeterLine::progressStarted, this, &LineMessages::startProgress);
    connect(&line, &MeterLine::progressMoved, this, &LineMessages::moveProgress);
    connect(&line, &MeterLine::progressEnded, this, &LineMessages::progressEnded);
    connect(&line, &MeterLine::parametersRead, this, &LineMessages::showParameters);
}

void LineMessages::tell(const LineEvent &event)
{
    // A single write is the write log's; the run's end is told. The runs
    // of parameter sets and other askers tell their own.
    if (event.what == LineEvent::What::ParameterWritten || event.requester != 0)
        return;
    const int lang = language.index();
    const QString message = text(event, lang);
    if (!needsBox(event.what)) {
        emit statusText(stamped(event.time, message));
        return;
    }
    if (event.what == LineEvent::What::WriteDone)
        prompts.info(message, kCaptionSuccess.text(lang));
    else
        prompts.error(message, kCaptionError.text(lang));
}

void LineMessages::startProgress(LineRun run, int high)
{
    // Other askers show their runs' progress themselves.
    if (followed && followed->runRequester() != 0)
        return;
    emit progressStarted(progressPrefix(run, language.index()), high);
}

void LineMessages::moveProgress(LineRun run, int position)
{
    if (followed && followed->runRequester() != 0)
        return;
    emit progressMoved(progressPrefix(run, language.index()), position);
}

void LineMessages::showParameters(const ParameterReading &reading)
{
    if (reading.requester != 0)
        return;
    emit parametersRead(display(reading, language.index()));
}

QString LineMessages::text(const LineEvent &event, int lang)
{
    using What = LineEvent::What;
    switch (event.what) {
    case What::Interrupted:
    case What::ReadInterrupted:
        return kInterrupted.text(lang);
    case What::Resumed:
        return kReconnected.text(lang);
    case What::Answered:
        return QString::asprintf(kMeterRead.text(lang).toUtf8().constData(), event.address);
    case What::NoParameters:
        return kNoParameters.text(lang).arg(event.meterType);
    case What::ReadRefused:
        return aboutParameter(kReadRefused, event, lang);
    case What::NothingToWrite:
        return kNothingToWrite.text(lang);
    case What::ValueRefused:
        return kValueRefused.text(lang)
            .arg(event.parameter + 1)
            .arg(captionOf(event, lang), QString::number(event.entered, 'g', 10));
    case What::WriteInterrupted:
        return event.parameter < 0 ? kInterrupted.text(lang) : aboutParameter(kWriteInterrupted, event, lang);
    case What::WriteRefused:
        return aboutParameter(kWriteRefused, event, lang);
    case What::WriteBadEcho:
        return aboutParameter(kWriteBadEcho, event, lang);
    case What::ParameterWritten:
        return QString();
    case What::WriteDone:
        return kWriteComplete.text(lang);
    case What::DeviceLost:
        return kPortLost.text(lang);
    case What::ConnectionLost:
        return kPortLostReconnecting.text(lang);
    case What::DeviceBack:
        return kPortBack.text(lang);
    }
    return QString();
}

bool LineMessages::needsBox(LineEvent::What what)
{
    using What = LineEvent::What;
    switch (what) {
    case What::Interrupted:
    case What::Resumed:
    case What::Answered:
    case What::ParameterWritten:
    case What::DeviceLost:
    case What::ConnectionLost:
    case What::DeviceBack:
        return false;
    default:
        return true;
    }
}

QString LineMessages::progressPrefix(LineRun run, int lang)
{
    return (run == LineRun::Read ? kReadPercent : kWritePercent).text(lang);
}

ParameterDisplay LineMessages::display(const ParameterReading &reading, int lang)
{
    ParameterDisplay display;
    const ParameterMenu &menu = reading.menu;
    display.parameterCount = menu.count;
    for (int k = 0; k < menu.count; ++k) {
        display.names[k] = menu.caption(k, lang);
        display.values[k] = ParameterTransfer::formatValue(reading.values[k], menu.oneDecimal[k]);
        display.oneDecimal[k] = menu.oneDecimal[k];
    }
    return display;
}

QString LineMessages::portFailureText(const PortFailure &failure, int language)
{
    const BiText *format = reasonFormat(failure.reason);
    if (!format)
        return QString();
    const QString text = format->text(language).arg(failure.device);
    return failure.reason == PortFailure::Reason::Other ? text.arg(failure.code) : text;
}

QString LineMessages::stamped(const QDateTime &when, const QString &message)
{
    return when.toString(QStringLiteral("yyyy-MM-dd;HH:mm:ss")) + QLatin1Char('\n') + message;
}
