#pragma once

#include "AlarmEvaluation.h"
#include "HistoryTypes.h"

#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

// One connection to a value history file. The file holds two tables:
//
//   sample(key INTEGER PRIMARY KEY, tenths INTEGER)
//     key = time in ms * 64 + address, so keys are unique, grow with time and
//     fill the pages completely; tenths is the value * 10, NULL for a
//     no-answer mark. About 15.5 bytes a value on disk.
//   bucket(address, start, lo, hi, n, silent) WITHOUT ROWID, key (address, start)
//     the smallest and largest tenths, the number of values and whether a mark
//     fell in each 2-minute bucket of each meter; kept in the same
//     transaction as the samples, so long ranges reduce without reading them.
//     About 2 bytes a value more; 2 minutes rather than longer, so that only
//     ranges under about 2 days (1600 columns) read the rows, which is slow.
//
//   alarm_event(ms, address, kind, event, value, "limit")
//     every alarm raised, cleared or acknowledged: kind "high", "low" or
//     "comm", event "raised", "cleared" or "acknowledged"; value and limit
//     NULL where there is none. Written in the transactions of the samples.
//
// The file is in WAL mode with synchronous=NORMAL: a killed process loses at
// most the transaction it had not committed, and the file stays whole. Use a
// store only in the thread that made it; other threads open their own.
class HistoryStore {
public:
    static constexpr qint64 BucketMs = 2 * 60 * 1000;
    static constexpr int AddressCount = 64;

    // Opens the file, or creates it with its tables.
    explicit HistoryStore(const QString &path);
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    bool isOpen() const { return open; }
    // The reason of the last failure.
    const HistoryError &error() const { return failure; }
    QString errorText(int language) const { return failure.text(language); }

    // Writes the batch and the alarm events in one transaction. A sample
    // whose time and address are already recorded is left out. False with
    // error() when the transaction failed; then nothing of the batch is
    // written.
    bool append(const QList<HistorySample> &batch, const QList<AlarmEvent> &alarms = {});

    // The alarm events of the meters (all for an empty list) in [fromMs,
    // toMs), in time order; empty with error() when the read failed.
    QList<AlarmEvent> alarmEvents(const QList<int> &addresses, qint64 fromMs, qint64 toMs) const;
    // The alarms raised and not acknowledged since: the last event of each
    // meter and kind that is not an acknowledgement follows its last raise.
    QList<std::pair<int, AlarmKind>> unacknowledgedAlarms() const;

    // The samples of the meters in [fromMs, toMs), in time order and, at one
    // time, by address; empty with error() when the read failed.
    QList<HistorySample> samples(const QList<int> &addresses, qint64 fromMs, qint64 toMs) const;

    // Reduces [fromMs, toMs) into `columns` columns per meter, one series per
    // address in the order given. The sample at time t goes to columnOf(t, ...):
    // equal columns, except that when a column spans at least a bucket the
    // samples go by the start of their bucket, so that whole buckets are read
    // from the bucket table and every column's min and max stay exact.
    // Nothing, with error(), when a read failed.
    std::optional<QList<HistorySeries>> reduce(const QList<int> &addresses, qint64 fromMs, qint64 toMs,
                                               int columns) const;
    static int columnOf(qint64 msecs, qint64 fromMs, qint64 toMs, int columns);

    // Writes the samples of the meters in [fromMs, toMs) as CSV: a header
    // "time,<address>#,...", then one line per recorded time with the local
    // time in ISO 8601 with milliseconds and each meter's value with one
    // decimal, empty where the meter has no value at that time. UTF-8 (plain
    // ASCII in fact), "\r\n" line ends. Rows are streamed from the database.
    // False with error() when the rows or the file failed.
    bool exportCsv(const QString &file, const QList<int> &addresses, qint64 fromMs, qint64 toMs) const;

    // The times of the oldest and the newest sample; 0 when there is none.
    qint64 firstMsecs() const;
    qint64 lastMsecs() const;

    // Deletes at most maxRows of the oldest samples before the bucket that
    // holds `msecs` (whole buckets only, so the bucket table stays exact),
    // and the buckets left empty. Returns how many samples went, -1 on error.
    int purgeBefore(qint64 msecs, int maxRows);

private:
    bool exec(const QString &sql);
    bool markVersion();
    bool fail(const QSqlQuery &query) const;
    bool fail(const QString &systemText) const;
    // The time of the oldest ("min") or newest ("max") sample, 0 when there
    // is none; nothing, with error(), when the read failed.
    std::optional<qint64> firstOrLastKey(const char *aggregate) const;
    // Prepares `sql` on `query`, binds `values` in order and runs it.
    bool run(QSqlQuery &query, const QString &sql, const QList<QVariant> &values) const;
    // The reads of reduce() into `result`, inside its snapshot.
    bool reduceInto(QList<HistorySeries> &result, const QList<int> &meters, qint64 fromMs, qint64 toMs,
                    int columns) const;
    // Runs the query of the samples of `meters` in [fromMs, toMs), in key
    // order, on `query`.
    static bool selectSamples(QSqlQuery &query, const QList<int> &meters, qint64 fromMs, qint64 toMs);

    QString connection;
    mutable QSqlDatabase db; // a handle; reads open a snapshot transaction
    bool open = false;
    mutable HistoryError failure;
    QSqlQuery insertSample;
    QSqlQuery mergeBucket;
    QSqlQuery insertAlarm;
};
