#include "LineService.h"

#include "DataDirectory.h"
#include "HistoryRecorder.h"
#include "LineMessages.h"
#include "MeterRegister.h"
#include "Payloads.h"
#include "Prompts.h"

#include <QDir>

#include <cstdio>
#include <functional>
#include <utility>

namespace {

// The service speaks English in its log and its events.
constexpr int kLogLanguage = 1;

// What the register would say in a box goes to the log.
class LogPrompts : public Prompts {
public:
    explicit LogPrompts(std::function<void(const QString &)> log) : log(std::move(log)) {}
    void error(const QString &text, const QString &) override { log(text); }
    void info(const QString &text, const QString &) override { log(text); }
    void warning(const QString &text, const QString &) override { log(text); }
    bool question(const QString &, const QString &) override { return false; }

private:
    std::function<void(const QString &)> log;
};

QString brokerFailureText(const BrokerFailure &failure)
{
    using Reason = BrokerFailure::Reason;
    switch (failure.reason) {
    case Reason::None:
        return QString();
    case Reason::NoAddress:
        return QStringLiteral("no broker address (%1)").arg(failure.detail);
    case Reason::KeepAliveOutOfRange:
        return QStringLiteral("keepalive=%1 is outside 5..65535").arg(failure.detail);
    case Reason::ClientIdRefused:
        return QStringLiteral("the client id %1 is refused").arg(failure.detail);
    case Reason::WillRefused:
        return QStringLiteral("the last will on %1 is refused").arg(failure.detail);
    case Reason::CredentialsRefused:
        return QStringLiteral("the user name %1 is refused").arg(failure.detail);
    case Reason::CaFileUnusable:
        return QStringLiteral("the CA file %1 cannot be used").arg(failure.detail);
    case Reason::LibraryError:
        break;
    }
    return QStringLiteral("libmosquitto error %1").arg(failure.code);
}

} // namespace

LineService::LineService(const ServiceConfig &serviceConfig, const ServiceConfig::Line &lineConfig,
                         const QString &programVersion, QObject *parent)
    : QObject(parent), config(lineConfig), version(programVersion),
      prefix(QStringLiteral("quorvane/v1/%1/%2/").arg(serviceConfig.broker.site, lineConfig.name)),
      line(PortNames([device = lineConfig.device](int) { return device; }), meters,
           [](int) { return std::optional<ParameterMenu>(); }, lineConfig.name)
{
    MeterConfiguration::Values values;
    values.metertype = config.meterType;
    values.samplingtime = config.periodMs;
    values.startaddress = config.first;
    values.endaddress = config.last;
    meters.set(values);

    const ServiceConfig::Broker &server = serviceConfig.broker;
    brokerSettings.host = server.host;
    brokerSettings.port = server.port;
    brokerSettings.username = server.username;
    brokerSettings.password = server.password;
    brokerSettings.caFile = server.caFile;
    brokerSettings.keepAliveS = server.keepAliveS;
    brokerSettings.clientId = QStringLiteral("quorvane-lined-%1-%2").arg(server.site, config.name);
    broker.setWill(topic(QStringLiteral("state")), Payloads::offlineState(), 1, true);

    reopenTimer.setInterval(ReopenPeriodMs);
    statsTimer.setInterval(StatsPeriodMs);
    stopTimer.setSingleShot(true);
    stopTimer.setInterval(StopWaitMs);
    connect(&reopenTimer, &QTimer::timeout, this, &LineService::openLine);
    connect(&statsTimer, &QTimer::timeout, this, &LineService::publishStats);
    connect(&stopTimer, &QTimer::timeout, this, &LineService::finishStop);
    commitTimer.setInterval(CommitPeriodMs);
    connect(&commitTimer, &QTimer::timeout, this, &LineService::commitOutbox);
    ackWaitTimer.setSingleShot(true);
    ackWaitTimer.setInterval(AckWaitMs);
    connect(&ackWaitTimer, &QTimer::timeout, this, [this] {
        if (sentUpTo < 0 && outbox)
            startSending(std::max<qint64>(outbox->firstSeq() - 1, 0));
    });
    connect(&broker, &BrokerClient::messageReceived, this, &LineService::onMessage);
    connect(&line, &MeterLine::happened, this, &LineService::onEvent);
    connect(&line, &MeterLine::pollJudged, this, &LineService::onPoll);
    connect(&broker, &BrokerClient::connected, this, &LineService::onConnected);
    connect(&broker, &BrokerClient::disconnected, this, [this] {
        log(QStringLiteral("broker connection lost"));
        sentUpTo = -1;
        historyInFlight.clear();
    });
    connect(&broker, &BrokerClient::refused, this, [this](int code) {
        log(QStringLiteral("the broker refused the connection (%1): %2; trying again")
                .arg(code)
                .arg(BrokerClient::refusalText(code)));
    });
    connect(&broker, &BrokerClient::acknowledged, this, [this](int messageId) {
        if (stopping && messageId == offlineMessage)
            finishStop();
        if (historyInFlight.remove(messageId))
            sendHistory();
    });
}

LineService::~LineService() = default;

void LineService::start()
{
    const QString historyPath =
        config.historyPath.isEmpty()
            ? DataDirectory::path() + QStringLiteral("/qlvmhist-%1.db").arg(config.name)
            : config.historyPath;
    QDir().mkpath(QFileInfo(historyPath).absolutePath());
    history = std::make_unique<HistoryRecorder>(line.liveValues(), HistoryRecorder::OwnFile{historyPath});
    if (!history->start())
        log(QStringLiteral("the value history %1 cannot be written: %2")
                .arg(historyPath, history->errorText(kLogLanguage)));
    connect(history.get(), &HistoryRecorder::failed, this,
            [this] { log(QStringLiteral("the value history failed: ") + history->errorText(kLogLanguage)); });

    registerDirectory = QFileInfo(historyPath).absolutePath();
    const QString registerFile = registerDirectory + QStringLiteral("/qlvmdata.db");
    if (QFileInfo::exists(registerFile))
        registerWatcher.addPath(registerFile);
    connect(&registerWatcher, &QFileSystemWatcher::fileChanged, this, &LineService::publishMeta);

    outbox = std::make_unique<Outbox>(historyPath);
    if (!outbox->isOpen())
        log(QStringLiteral("the outbox in %1 cannot be written: %2").arg(historyPath, outbox->errorText()));
    commitTimer.start();

    broker.subscribe(topic(QStringLiteral("history/ack")), 1);
    if (!broker.start(brokerSettings))
        log(QStringLiteral("the broker connection cannot start: ") + brokerFailureText(broker.failure()));
    statsTimer.start();
    openLine();
}

void LineService::openLine()
{
    const LineOpenResult opened = line.open(config.setup);
    if (opened) {
        reopenTimer.stop();
        log(QStringLiteral("line open on %1").arg(line.devicePath()));
        return;
    }
    // Said once; the port is tried again every 2 s, like a lost device.
    if (!reopenTimer.isActive()) {
        log(QStringLiteral("the line cannot be opened: %1. Trying again every 2 s.")
                .arg(LineMessages::portFailureText(opened.failure, kLogLanguage)));
        reopenTimer.start();
    }
}

void LineService::onConnected()
{
    log(QStringLiteral("connected to the broker %1:%2").arg(brokerSettings.host).arg(brokerSettings.port));
    broker.publish(topic(QStringLiteral("state")), Payloads::onlineState(config, version), 1, true);
    publishStats();
    publishedMeta.clear();
    publishMeta();
    // The retained acknowledgement comes with the subscription, if there is one.
    sentUpTo = -1;
    historyInFlight.clear();
    ackWaitTimer.start();
}

void LineService::publishMeta()
{
    if (registerWatcher.files().isEmpty() || !broker.isConnected())
        return;
    LogPrompts prompts([this](const QString &text) { log(QStringLiteral("the register: ") + text); });
    const MeterRegister meters(prompts, registerDirectory, kLogLanguage);
    for (int address = config.first; address <= config.last; ++address) {
        const std::optional<MeterRecord> record = meters.find(address);
        if (!record)
            continue;
        const QByteArray payload = Payloads::meta(*record);
        if (publishedMeta.value(address) == payload)
            continue;
        if (broker.publish(topic(QStringLiteral("meters/%1/meta").arg(address)), payload, 1, true))
            publishedMeta.insert(address, payload);
    }
}

void LineService::onMessage(const QString &messageTopic, const QByteArray &payload)
{
    if (messageTopic != topic(QStringLiteral("history/ack")) || !outbox)
        return;
    const std::optional<qint64> acknowledged = Payloads::acknowledgedSeq(payload);
    if (!acknowledged)
        return;
    outbox->acknowledge(*acknowledged);
    // Only the first acknowledgement of a connection says where to begin;
    // later ones lag behind what is already on its way.
    if (sentUpTo < 0)
        startSending(*acknowledged);
}

void LineService::startSending(qint64 acknowledged)
{
    ackWaitTimer.stop();
    sentUpTo = acknowledged;
    sendHistory();
}

void LineService::sendHistory()
{
    if (sentUpTo < 0 || !outbox || !broker.isConnected() || stopping)
        return;
    while (historyInFlight.size() < BatchesInFlight) {
        const QList<Outbox::Sample> batch = outbox->after(sentUpTo, BatchSize);
        if (batch.isEmpty())
            return;
        int messageId = 0;
        if (!broker.publish(topic(QStringLiteral("history")), Payloads::history(batch), 1, false, &messageId))
            return;
        historyInFlight.insert(messageId);
        sentUpTo = batch.last().seq;
    }
}

void LineService::commitOutbox()
{
    if (!outbox)
        return;
    if (!outbox->commit())
        log(QStringLiteral("the outbox cannot be written: ") + outbox->errorText());
    sendHistory();
}

void LineService::onEvent(const LineEvent &event)
{
    // Every answer would flood the log; the value topics carry them.
    if (event.what == LineEvent::What::Answered || event.what == LineEvent::What::ParameterWritten)
        return;
    const QString text = LineMessages::text(event, kLogLanguage);
    log(text, event.address);
    broker.publish(topic(QStringLiteral("event")), Payloads::event(event, text), 1, false);
}

void LineService::onPoll(const PollOutcome &outcome)
{
    const bool hasValue = outcome.quality == PollOutcome::Quality::Ok;
    const qint64 seq = outbox ? outbox->append(outcome.address, outcome.time.toMSecsSinceEpoch(),
                                               hasValue ? std::optional<int>(outcome.raw) : std::nullopt)
                              : 0;
    broker.publish(topic(QStringLiteral("meters/%1/value").arg(outcome.address)), Payloads::value(outcome, seq),
                   0, true);
}

void LineService::publishStats()
{
    broker.publish(topic(QStringLiteral("stats")),
                   Payloads::stats(line.liveValues(), config.first, config.last, QDateTime::currentDateTime()), 0,
                   true);
}

void LineService::stop()
{
    if (stopping)
        return;
    stopping = true;
    reopenTimer.stop();
    statsTimer.stop();
    commitTimer.stop();
    ackWaitTimer.stop();
    line.close();
    if (history)
        history->flush();
    if (outbox && !outbox->commit())
        log(QStringLiteral("the outbox cannot be written: ") + outbox->errorText());
    if (!broker.publish(topic(QStringLiteral("state")), Payloads::offlineState(), 1, true, &offlineMessage)) {
        finishStop();
        return;
    }
    stopTimer.start();
}

void LineService::finishStop()
{
    // Once: a confirmation that comes after the wait changes nothing.
    if (std::exchange(stopDone, true))
        return;
    stopTimer.stop();
    broker.stop();
    log(QStringLiteral("stopped"));
    emit stopped();
}

void LineService::log(const QString &text, int address) const
{
    QString line = Payloads::isoTime(QDateTime::currentDateTime()) + QLatin1Char(' ') + config.name;
    if (address >= 0)
        line += QStringLiteral(" %1#").arg(address);
    line += QStringLiteral(": ") + text + QLatin1Char('\n');
    std::fputs(line.toUtf8().constData(), stderr);
}
