#include "HistoryRecorder.h"

#include "DataDirectory.h"
#include "HistoryPurger.h"
#include "HistoryStore.h"
#include "LiveValueTable.h"
#include "SettingsFile.h"

#include <QDateTime>
#include <QFile>

qint64 HistoryRecorder::systemClock()
{
    return QDateTime::currentMSecsSinceEpoch();
}

HistoryRecorder::HistoryRecorder(const LiveValueTable &values, const QString &directory, Clock now,
                                 QObject *parent)
    : QObject(parent), path(directory + QLatin1Char('/') + QLatin1String(FileName)),
      settingsPath(directory + QLatin1Char('/') + QLatin1String(DataDirectory::SettingsFileName)),
      clock(now ? std::move(now) : Clock(systemClock))
{
    const SettingsFile settings(settingsPath);
    on = settings.ReadSetting(Setting::HistoryRecord).trimmed() != QLatin1String("0");
    bool ok = false;
    const int stored = settings.ReadSetting(Setting::HistoryRetentionDays).trimmed().toInt(&ok);
    days = ok && stored > 0 ? stored : DefaultRetentionDays;
    follow(values);
}

HistoryRecorder::HistoryRecorder(const LiveValueTable &values, const OwnFile &file, Clock now,
                                 QObject *parent)
    : QObject(parent), path(file.path), days(std::max(file.retentionDays, 1)),
      clock(now ? std::move(now) : Clock(systemClock))
{
    follow(values);
}

void HistoryRecorder::follow(const LiveValueTable &values)
{
    commitTimer.setSingleShot(true);
    commitTimer.setInterval(CommitIntervalMs);
    connect(&commitTimer, &QTimer::timeout, this, &HistoryRecorder::flush);
    connect(&values, &LiveValueTable::valueStored, this,
            [this](int address, double value) { record(address, value); });
    connect(&values, &LiveValueTable::markedNotAnswering, this,
            [this](int address) { record(address, std::nullopt); });
}

HistoryRecorder::~HistoryRecorder()
{
    flush();
    worker.requestInterruption();
    worker.quit();
    worker.wait();
}

bool HistoryRecorder::start()
{
    started = true;
    if (on && !openWriter())
        return false;
    if (QFile::exists(path))
        startPurger();
    return true;
}

bool HistoryRecorder::openWriter()
{
    if (writer)
        return true;
    auto store = std::make_unique<HistoryStore>(path);
    if (!store->isOpen()) {
        failure = store->error();
        return false;
    }
    writer = std::move(store);
    return true;
}

void HistoryRecorder::startPurger()
{
    if (purger)
        return;
    purger = new HistoryPurger(path, days, clock);
    purger->moveToThread(&worker);
    connect(&worker, &QThread::started, purger, &HistoryPurger::start);
    connect(&worker, &QThread::finished, purger, &QObject::deleteLater);
    connect(purger, &HistoryPurger::purged, this, &HistoryRecorder::purged);
    worker.setObjectName(QStringLiteral("history retention"));
    worker.start(QThread::LowPriority);
}

void HistoryRecorder::setEnabled(bool enable)
{
    if (!settingsPath.isEmpty())
        SettingsFile(settingsPath)
            .WriteSetting(Setting::HistoryRecord, enable ? QStringLiteral("1") : QStringLiteral("0"));
    if (enable == on)
        return;
    if (!enable)
        flush();
    on = enable;
    if (on && started) {
        if (openWriter())
            startPurger();
        else
            emit failed();
    }
}

void HistoryRecorder::setRetentionDays(int retention)
{
    days = std::max(retention, 1);
    if (!settingsPath.isEmpty())
        SettingsFile(settingsPath).WriteInt(Setting::HistoryRetentionDays, days);
    if (purger) {
        const int value = days;
        QMetaObject::invokeMethod(purger, [p = purger, value] { p->setRetentionDays(value); });
    }
}

void HistoryRecorder::record(int address, std::optional<double> value)
{
    if (!on || !writer || !LiveValueTable::isMeter(address))
        return;
    // Two values of one meter in one millisecond would share a key; the later
    // one moves on by a millisecond.
    const qint64 msecs = std::max(clock(), lastMsecs[address] + 1);
    lastMsecs[address] = msecs;
    if (buffer.size() >= MaxBuffered)
        buffer.remove(0, MaxBuffered / 10);
    buffer.append({msecs, address, value});
    if (!commitTimer.isActive())
        commitTimer.start();
}

void HistoryRecorder::recordAlarm(const AlarmEvent &event)
{
    if (!writer)
        return;
    alarmBuffer.append(event);
    if (!commitTimer.isActive())
        commitTimer.start();
}

void HistoryRecorder::flush()
{
    commitTimer.stop();
    if ((buffer.isEmpty() && alarmBuffer.isEmpty()) || !writer)
        return;
    if (writer->append(buffer, alarmBuffer)) {
        const int values = int(buffer.size());
        buffer.clear();
        alarmBuffer.clear();
        failing = false;
        emit committed(values);
        return;
    }
    failure = writer->error();
    if (!failing)
        emit failed();
    failing = true;
    commitTimer.start();
}
