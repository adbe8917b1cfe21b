#include "HistoryPurger.h"

#include "HistoryStore.h"

#include <QThread>
#include <QTimer>

HistoryPurger::HistoryPurger(const QString &path, int retentionDays, std::function<qint64()> now)
    : path(path), days(retentionDays), clock(std::move(now))
{
}

HistoryPurger::~HistoryPurger() = default;

void HistoryPurger::start()
{
    store = std::make_unique<HistoryStore>(path);
    timer = new QTimer(this);
    timer->setInterval(PassIntervalMs);
    connect(timer, &QTimer::timeout, this, &HistoryPurger::purgeNow);
    timer->start();
    purgeNow();
}

void HistoryPurger::setRetentionDays(int retentionDays)
{
    days = retentionDays;
    purgeNow();
}

void HistoryPurger::purgeNow()
{
    if (!store || !store->isOpen()) {
        emit purged(-1);
        return;
    }
    const qint64 cut = clock() - qint64(days) * 24 * 60 * 60 * 1000;
    int total = 0;
    // Pauses between the chunks leave the write lock free for the recording.
    while (!QThread::currentThread()->isInterruptionRequested()) {
        const int rows = store->purgeBefore(cut, ChunkRows);
        if (rows < 0) {
            emit purged(-1);
            return;
        }
        total += rows;
        if (rows < ChunkRows)
            break;
        QThread::msleep(ChunkPauseMs);
    }
    emit purged(total);
}
