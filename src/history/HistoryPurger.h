#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class HistoryStore;
class QTimer;

// Keeps the value history within its retention on a worker thread: deletes
// the samples older than the retention in small chunks, each its own short
// transaction on its own connection, so the recording connection waits a few
// milliseconds at most. Made on the GUI thread and moved to the worker thread
// before start() is invoked there. The cut is taken from the clock given
// (milliseconds since the epoch), called in the worker thread.
class HistoryPurger : public QObject {
    Q_OBJECT

public:
    static constexpr int ChunkRows = 5000;
    static constexpr int ChunkPauseMs = 10;
    static constexpr int PassIntervalMs = 60 * 60 * 1000;

    HistoryPurger(const QString &path, int retentionDays, std::function<qint64()> clock);
    ~HistoryPurger() override;

    // In the worker thread: opens the connection, purges now and every hour.
    void start();
    // In the worker thread: a new retention takes effect with a pass now.
    void setRetentionDays(int days);
    void purgeNow();

signals:
    // A pass ended, having deleted `rows` samples; -1 when it failed.
    void purged(int rows);

private:
    QString path;
    int days;
    std::function<qint64()> clock;
    std::unique_ptr<HistoryStore> store;
    QTimer *timer = nullptr;
};
