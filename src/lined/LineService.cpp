#include "LineService.h"

#include "AlarmLimitsStore.h"
#include "DataDirectory.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LineMessages.h"
#include "MeterRegister.h"
#include "Payloads.h"
#include "Prompts.h"

#include <QDir>

#include <algorithm>
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

// One line of the log for a change of an alarm, e.g.
// "high alarm raised: value 125, limit 100".
QString alarmText(const AlarmEvent &event)
{
    QString text =
        QStringLiteral("%1 alarm %2")
            .arg(QLatin1String(alarmKindName(event.kind)), QLatin1String(alarmEventName(event.what)));
    QStringList details;
    if (event.value)
        details << QStringLiteral("value %1").arg(*event.value);
    if (event.limit)
        details << QStringLiteral("limit %1").arg(*event.limit);
    if (!details.isEmpty())
        text += QStringLiteral(": ") + details.join(QStringLiteral(", "));
    return text;
}

// "3, 5, 12", or "none".
QString addressList(QList<int> addresses)
{
    if (addresses.isEmpty())
        return QStringLiteral("none");
    std::sort(addresses.begin(), addresses.end());
    QStringList shown;
    for (int address : addresses)
        shown << QString::number(address);
    return shown.join(QStringLiteral(", "));
}

// A payload shown in the log: one line, and not too long.
QString shownPayload(const QByteArray &payload)
{
    constexpr int kShownBytes = 200;
    QString shown = QString::fromUtf8(payload.left(kShownBytes)).simplified();
    if (payload.size() > kShownBytes)
        shown += QStringLiteral("…");
    return shown;
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
    alarms.setCommLossAfter(config.commLossAfter);
    alarms.follow(line);
    connect(&alarms, &LineAlarms::happened, this, &LineService::onAlarmEvent);
    connect(&alarms, &LineAlarms::changed, this, &LineService::publishAlarms);
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

    // The alarm log is kept with the values; alarms left unacknowledged at
    // the last stop wait for their acknowledgement again.
    connect(&alarms, &LineAlarms::happened, history.get(), &HistoryRecorder::recordAlarm);
    if (const HistoryStore *store = history->store()) {
        const QList<std::pair<int, AlarmKind>> waiting = store->unacknowledgedAlarms();
        if (!waiting.isEmpty())
            log(QStringLiteral("%1 alarms of the last run wait for their acknowledgement")
                    .arg(waiting.size()));
        alarms.restoreUnacknowledged(waiting);
    }

    registerDirectory = QFileInfo(historyPath).absolutePath();
    const QString registerFile = registerDirectory + QStringLiteral("/qlvmdata.db");
    if (QFileInfo::exists(registerFile))
        registerWatcher.addPath(registerFile);
    loadAlarmLimits();
    connect(&registerWatcher, &QFileSystemWatcher::fileChanged, this, [this] {
        publishMeta();
        loadAlarmLimits();
    });

    outbox = std::make_unique<Outbox>(historyPath);
    if (!outbox->isOpen())
        log(QStringLiteral("the outbox in %1 cannot be written: %2").arg(historyPath, outbox->errorText()));
    commitTimer.start();

    broker.subscribe(topic(QStringLiteral("history/ack")), 1);
    broker.subscribe(topic(QStringLiteral("alarm/ack")), 1);
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
    // Every meter of the line, so that a retained message of an earlier run
    // does not go on showing an alarm that is gone.
    for (int address = 0; address < Modbus::MeterCount; ++address)
        if ((address >= config.first && address <= config.last) || alarms.alarms(address).anyActive() ||
            alarms.alarms(address).anyUnacknowledged())
            publishAlarms(address);
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

void LineService::onMessage(const QString &messageTopic, const QByteArray &payload, bool retained)
{
    if (messageTopic == topic(QStringLiteral("alarm/ack"))) {
        acknowledgeAlarms(payload, retained);
        return;
    }
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

void LineService::loadAlarmLimits()
{
    const QString file = QDir(registerDirectory).filePath(QLatin1String(AlarmLimitsStore::FileName));
    std::optional<QHash<int, AlarmLimits>> limits;
    QString problem;
    // The store would create a missing file; the service only reads one.
    if (!QFileInfo::exists(file)) {
        problem = QStringLiteral("no alarm limits: %1 does not exist").arg(file);
    } else {
        const AlarmLimitsStore store(registerDirectory);
        limits = store.load();
        if (!limits)
            problem = QStringLiteral("no alarm limits: table YbAlarm of %1 cannot be read: %2")
                          .arg(file, store.errorText());
    }
    if (!problem.isEmpty() && problem != alarmLimitsProblem)
        log(problem);
    alarmLimitsProblem = problem;
    const QHash<int, AlarmLimits> read = limits.value_or(QHash<int, AlarmLimits>());
    for (int address = 0; address < Modbus::MeterCount; ++address)
        alarms.setLimits(address, read.value(address));
    if (limits && (!alarmLimitsRead || read != alarmLimits))
        log(QStringLiteral("alarm limits from %1 for the meters %2").arg(file, addressList(read.keys())));
    alarmLimitsRead = limits.has_value();
    alarmLimits = read;
}

void LineService::onAlarmEvent(const AlarmEvent &event)
{
    const QString text = alarmText(event);
    log(text, event.address);
    broker.publish(topic(QStringLiteral("event")), Payloads::alarmEvent(event, text), 1, false);
}

void LineService::publishAlarms(int address)
{
    // A connection publishes every meter's alarms anew.
    if (!broker.isConnected())
        return;
    broker.publish(topic(QStringLiteral("meters/%1/alarm").arg(address)),
                   Payloads::alarm(alarms.alarms(address)), 1, true);
}

void LineService::acknowledgeAlarms(const QByteArray &payload, bool retained)
{
    // A retained acknowledgement comes again with every connection and
    // would acknowledge alarms raised after it was written.
    if (retained) {
        log(QStringLiteral("a retained alarm acknowledgement is ignored: ") + shownPayload(payload));
        return;
    }
    const std::optional<Payloads::AlarmAcknowledgement> acknowledgement =
        Payloads::alarmAcknowledgement(payload);
    if (!acknowledgement) {
        log(QStringLiteral(
                "an alarm acknowledgement that is not {\"address\":N,\"kind\":\"high|low|comm|all\"} is "
                "ignored: ") +
            shownPayload(payload));
        return;
    }
    const int address = acknowledgement->address;
    // A meter no longer on the line may still have an alarm of an earlier
    // run waiting.
    if ((address < config.first || address > config.last) && !alarms.alarms(address).anyUnacknowledged()) {
        log(QStringLiteral("an alarm acknowledgement for a meter not on the line is ignored"), address);
        return;
    }
    int acknowledged = 0;
    for (AlarmKind kind : {AlarmKind::High, AlarmKind::Low, AlarmKind::Comm})
        if (!acknowledgement->kind || *acknowledgement->kind == kind)
            acknowledged += alarms.acknowledge(address, kind) ? 1 : 0;
    if (acknowledged == 0)
        log(QStringLiteral("an alarm acknowledgement finds no alarm waiting for it"), address);
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
