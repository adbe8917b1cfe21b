#include "HistoryStore.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QSaveFile>
#include <QSqlError>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

namespace {

constexpr qint64 B = HistoryStore::BucketMs;
// A commit waits this long for another connection's write (the retention
// worker's chunk) before it fails.
constexpr int kBusyTimeoutMs = 1000;
// The layout of the tables, in the file's user_version.
constexpr int kVersion = 1;

QAtomicInteger<quint64> connectionCounter;

qint64 keyOf(qint64 msecs, int address)
{
    return msecs * HistoryStore::AddressCount + address;
}

qint64 floorToBucket(qint64 msecs)
{
    return msecs >= 0 ? msecs / B * B : -((-msecs + B - 1) / B * B);
}

qint64 ceilToBucket(qint64 msecs)
{
    return floorToBucket(msecs + B - 1);
}

qint64 tenthsOf(double value)
{
    return std::llround(value * 10.0);
}

// The valid addresses once each, in the order given.
QList<int> meterList(const QList<int> &addresses)
{
    QList<int> list;
    for (int a : addresses)
        if (a >= 0 && a < HistoryStore::AddressCount && !list.contains(a))
            list.append(a);
    return list;
}

// "(1,5,7)": the addresses are checked integers, so they go into the text.
QString inList(const QList<int> &addresses)
{
    QStringList parts;
    for (int a : addresses)
        parts.append(QString::number(a));
    return QLatin1Char('(') + parts.join(QLatin1Char(',')) + QLatin1Char(')');
}

// A condition on a sample key that holds for the addresses: one bit of a
// mask, cheaper per row than an IN list, which SQLite looks up in a b-tree.
QString keyFilter(const QList<int> &addresses)
{
    quint64 mask = 0;
    for (int a : addresses)
        mask |= quint64(1) << a;
    return QStringLiteral("((%1 >> (key & 63)) & 1)").arg(qint64(mask));
}

// The smallest and largest tenths, the count of values and whether a mark
// fell, of one meter in one bucket of a batch.
struct Aggregate {
    qint64 lo = 0;
    qint64 hi = 0;
    qint64 n = 0;
    bool silent = false;
};

void mergeInto(HistoryColumn &column, const QVariant &lo, const QVariant &hi, qint64 n, bool silent)
{
    if (n > 0) {
        const double min = lo.toLongLong() / 10.0;
        const double max = hi.toLongLong() / 10.0;
        column.min = column.values == 0 ? min : std::min(column.min, min);
        column.max = column.values == 0 ? max : std::max(column.max, max);
        column.values += int(n);
    }
    column.silent = column.silent || silent;
}

// "-12.3" from -123: a decimal point whatever the locale.
void appendTenths(QByteArray &line, qint64 tenths)
{
    if (tenths < 0) {
        line.append('-');
        tenths = -tenths;
    }
    line.append(QByteArray::number(tenths / 10));
    line.append('.');
    line.append(char('0' + tenths % 10));
}

// Adds the grouped rows of `query` (group = column * 64 + address, then the
// smallest and largest tenths, the count of values and of marks) to the
// series of their meter.
void mergeGroups(QSqlQuery &query, QList<HistorySeries> &result, int columns)
{
    while (query.next()) {
        const qint64 group = query.value(0).toLongLong();
        const int address = int(group % HistoryStore::AddressCount);
        const qint64 column = group / HistoryStore::AddressCount;
        if (column < 0 || column >= columns)
            continue;
        for (HistorySeries &s : result)
            if (s.address == address)
                mergeInto(s.columns[column], query.value(1), query.value(2), query.value(3).toLongLong(),
                          query.value(4).toLongLong() > 0);
    }
}

} // namespace

HistoryStore::HistoryStore(const QString &path)
    : connection(QStringLiteral("quorvane-history-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!db.open()) {
        fail(db.lastError().text());
        return;
    }
    QSqlQuery mode(db);
    if (!mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !mode.next() ||
        mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        // SQLite answers with the mode it kept when it cannot switch, for
        // example "memory" for a database that lives in memory only.
        if (mode.lastError().isValid())
            fail(mode);
        else
            failure = {HistoryError::Reason::WalRefused, QString()};
        return;
    }
    if (!exec(QStringLiteral("PRAGMA synchronous=NORMAL")) ||
        !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS sample(key INTEGER PRIMARY KEY, tenths INTEGER)")) ||
        !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS bucket(address INTEGER NOT NULL, start INTEGER NOT "
                             "NULL, lo INTEGER, hi INTEGER, n INTEGER NOT NULL, silent INTEGER NOT NULL, "
                             "PRIMARY KEY(address, start)) WITHOUT ROWID")) ||
        !exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS alarm_event(ms INTEGER NOT NULL, address INTEGER NOT "
                           "NULL, kind TEXT NOT NULL, event TEXT NOT NULL, value REAL, \"limit\" REAL)")) ||
        !markVersion())
        return;

    insertSample = QSqlQuery(db);
    mergeBucket = QSqlQuery(db);
    insertAlarm = QSqlQuery(db);
    if (!insertAlarm.prepare(QStringLiteral("INSERT INTO alarm_event(ms, address, kind, event, value, "
                                            "\"limit\") VALUES(?, ?, ?, ?, ?, ?)"))) {
        fail(insertAlarm);
        return;
    }
    // A sample already recorded is ignored, so the bucket counts it once.
    if (!insertSample.prepare(QStringLiteral("INSERT OR IGNORE INTO sample(key, tenths) VALUES(?, ?)"))) {
        fail(insertSample);
        return;
    }
    // min() and max() of SQLite give NULL when either side is NULL; a bucket
    // of marks only has NULL lo and hi.
    if (!mergeBucket.prepare(
            QStringLiteral("INSERT INTO bucket(address, start, lo, hi, n, silent) VALUES(?, ?, ?, ?, ?, ?) "
                           "ON CONFLICT(address, start) DO UPDATE SET "
                           "lo = min(coalesce(lo, excluded.lo), coalesce(excluded.lo, lo)), "
                           "hi = max(coalesce(hi, excluded.hi), coalesce(excluded.hi, hi)), "
                           "n = n + excluded.n, silent = max(silent, excluded.silent)"))) {
        fail(mergeBucket);
        return;
    }
    open = true;
}

HistoryStore::~HistoryStore()
{
    insertSample = QSqlQuery();
    mergeBucket = QSqlQuery();
    insertAlarm = QSqlQuery();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

bool HistoryStore::exec(const QString &sql)
{
    QSqlQuery query(db);
    return query.exec(sql) || fail(query);
}

// Written only into a new file: opening a file to read it must not wait for
// another connection's write.
bool HistoryStore::markVersion()
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return fail(query);
    return query.value(0).toInt() == kVersion || exec(QStringLiteral("PRAGMA user_version=%1").arg(kVersion));
}

bool HistoryStore::fail(const QSqlQuery &query) const
{
    return fail(query.lastError().text());
}

bool HistoryStore::fail(const QString &systemText) const
{
    failure = {HistoryError::Reason::System, systemText};
    return false;
}

bool HistoryStore::run(QSqlQuery &query, const QString &sql, const QList<QVariant> &values) const
{
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return fail(query);
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values[i]);
    return query.exec() || fail(query);
}

bool HistoryStore::append(const QList<HistorySample> &batch, const QList<AlarmEvent> &alarms)
{
    if (!open)
        return false;
    if (batch.isEmpty() && alarms.isEmpty())
        return true;
    if (!db.transaction())
        return fail(db.lastError().text());
    const QVariant noReal(QMetaType::fromType<double>());
    for (const AlarmEvent &event : alarms) {
        insertAlarm.bindValue(0, event.ms);
        insertAlarm.bindValue(1, event.address);
        insertAlarm.bindValue(2, QString::fromLatin1(alarmKindName(event.kind)));
        insertAlarm.bindValue(3, QString::fromLatin1(alarmEventName(event.what)));
        insertAlarm.bindValue(4, event.value ? QVariant(*event.value) : noReal);
        insertAlarm.bindValue(5, event.limit ? QVariant(*event.limit) : noReal);
        if (!insertAlarm.exec()) {
            fail(insertAlarm);
            db.rollback();
            return false;
        }
    }

    std::map<std::pair<int, qint64>, Aggregate> buckets;
    const QVariant nullValue(QMetaType::fromType<qlonglong>());
    for (const HistorySample &s : batch) {
        if (s.address < 0 || s.address >= AddressCount)
            continue;
        const qint64 tenths = s.value ? tenthsOf(*s.value) : 0;
        insertSample.bindValue(0, keyOf(s.msecs, s.address));
        insertSample.bindValue(1, s.value ? QVariant(tenths) : nullValue);
        if (!insertSample.exec()) {
            fail(insertSample);
            db.rollback();
            return false;
        }
        if (insertSample.numRowsAffected() != 1)
            continue;
        auto [it, added] = buckets.try_emplace({s.address, floorToBucket(s.msecs)});
        Aggregate &agg = it->second;
        if (s.value) {
            agg.lo = agg.n == 0 ? tenths : std::min(agg.lo, tenths);
            agg.hi = agg.n == 0 ? tenths : std::max(agg.hi, tenths);
            ++agg.n;
        } else {
            agg.silent = true;
        }
    }
    for (const auto &[where, agg] : buckets) {
        mergeBucket.bindValue(0, where.first);
        mergeBucket.bindValue(1, where.second);
        mergeBucket.bindValue(2, agg.n > 0 ? QVariant(agg.lo) : nullValue);
        mergeBucket.bindValue(3, agg.n > 0 ? QVariant(agg.hi) : nullValue);
        mergeBucket.bindValue(4, agg.n);
        mergeBucket.bindValue(5, agg.silent ? 1 : 0);
        if (!mergeBucket.exec()) {
            fail(mergeBucket);
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        fail(db.lastError().text());
        db.rollback();
        return false;
    }
    return true;
}

QList<AlarmEvent> HistoryStore::alarmEvents(const QList<int> &addresses, qint64 fromMs, qint64 toMs) const
{
    QList<AlarmEvent> events;
    QSqlQuery query(db);
    if (!open || !run(query,
                      QStringLiteral("SELECT ms, address, kind, event, value, \"limit\" FROM alarm_event "
                                     "WHERE ms >= ? AND ms < ? ORDER BY ms, rowid"),
                      {fromMs, toMs}))
        return events;
    while (query.next()) {
        const int address = query.value(1).toInt();
        const std::optional<AlarmKind> kind = alarmKindNamed(query.value(2).toString());
        if (!kind || (!addresses.isEmpty() && !addresses.contains(address)))
            continue;
        AlarmEvent event;
        event.ms = query.value(0).toLongLong();
        event.address = address;
        event.kind = *kind;
        const QString what = query.value(3).toString();
        event.what = what == QLatin1String("raised")    ? AlarmEvent::What::Raised
                     : what == QLatin1String("cleared") ? AlarmEvent::What::Cleared
                                                        : AlarmEvent::What::Acknowledged;
        if (!query.value(4).isNull())
            event.value = query.value(4).toDouble();
        if (!query.value(5).isNull())
            event.limit = query.value(5).toDouble();
        events << event;
    }
    return events;
}

QList<std::pair<int, AlarmKind>> HistoryStore::unacknowledgedAlarms() const
{
    QList<std::pair<int, AlarmKind>> waiting;
    QSqlQuery query(db);
    if (!open || !run(query,
                      QStringLiteral(
                          "SELECT address, kind FROM alarm_event GROUP BY address, kind HAVING "
                          "max(CASE WHEN event = 'raised' THEN ms END) > "
                          "coalesce(max(CASE WHEN event = 'acknowledged' THEN ms END), -1) ORDER BY address"),
                      {}))
        return waiting;
    while (query.next())
        if (const std::optional<AlarmKind> kind = alarmKindNamed(query.value(1).toString()))
            waiting << std::pair(query.value(0).toInt(), *kind);
    return waiting;
}

bool HistoryStore::selectSamples(QSqlQuery &query, const QList<int> &meters, qint64 fromMs, qint64 toMs)
{
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT key, tenths FROM sample WHERE key >= ? AND key < ? AND ") +
                  keyFilter(meters) + QStringLiteral(" ORDER BY key"));
    query.bindValue(0, keyOf(fromMs, 0));
    query.bindValue(1, keyOf(toMs, 0));
    return query.exec();
}

QList<HistorySample> HistoryStore::samples(const QList<int> &addresses, qint64 fromMs, qint64 toMs) const
{
    QList<HistorySample> result;
    const QList<int> meters = meterList(addresses);
    if (!open || meters.isEmpty() || toMs <= fromMs)
        return result;
    QSqlQuery query(db);
    if (!selectSamples(query, meters, fromMs, toMs)) {
        fail(query);
        return result;
    }
    while (query.next()) {
        const qint64 key = query.value(0).toLongLong();
        const QVariant tenths = query.value(1);
        result.append({key / AddressCount, int(key % AddressCount),
                       tenths.isNull() ? std::nullopt : std::optional<double>(tenths.toLongLong() / 10.0)});
    }
    // A page that cannot be read ends the rows early.
    if (query.lastError().isValid()) {
        fail(query);
        result.clear();
    }
    return result;
}

int HistoryStore::columnOf(qint64 msecs, qint64 fromMs, qint64 toMs, int columns)
{
    const qint64 span = toMs - fromMs;
    const qint64 unit = span >= B * columns ? B : 1;
    const qint64 start = unit == 1 ? msecs : floorToBucket(msecs);
    return int(std::max<qint64>(0, (start - fromMs) * columns / span));
}

std::optional<QList<HistorySeries>> HistoryStore::reduce(const QList<int> &addresses, qint64 fromMs,
                                                         qint64 toMs, int columns) const
{
    if (!open)
        return std::nullopt;
    QList<HistorySeries> result;
    for (int a : addresses)
        result.append({a, QList<HistoryColumn>(std::max(columns, 0))});
    const QList<int> meters = meterList(addresses);
    if (meters.isEmpty() || columns <= 0 || toMs <= fromMs)
        return result;
    // One snapshot for all the reads, so that a purge between them cannot
    // make the reads disagree; ended whether they succeed or not, so that the
    // next write can begin.
    const bool snapshot = db.transaction();
    const bool read = reduceInto(result, meters, fromMs, toMs, columns);
    if (snapshot)
        db.commit();
    if (!read)
        return std::nullopt;
    return result;
}

bool HistoryStore::reduceInto(QList<HistorySeries> &result, const QList<int> &meters, qint64 fromMs,
                              qint64 toMs, int columns) const
{
    const qint64 span = toMs - fromMs;
    const qint64 unit = span >= B * columns ? B : 1;

    // The rows of [lo, hi) grouped by column and meter in SQL, as one number
    // column * 64 + address, which sorts faster than two; the column is the
    // same expression as columnOf().
    auto reduceRows = [&](qint64 lo, qint64 hi) {
        if (hi <= lo)
            return true;
        QSqlQuery query(db);
        if (!run(query,
                 QStringLiteral(
                     "SELECT max(0, ((key >> 6) / ? * ? - ?) * ? / ?) * 64 + (key & 63) AS g, "
                     "min(tenths), max(tenths), count(tenths), count(*) - count(tenths) FROM sample "
                     "WHERE key >= ? AND key < ? AND ") +
                     keyFilter(meters) + QStringLiteral(" GROUP BY g"),
                 {unit, unit, fromMs, columns, span, keyOf(lo, 0), keyOf(hi, 0)}))
            return false;
        mergeGroups(query, result, columns);
        return !query.lastError().isValid() || fail(query);
    };
    if (unit == 1)
        return reduceRows(fromMs, toMs);

    // The bucket that holds the oldest sample may still count samples a
    // purge has deleted, so it and anything before it come from the rows.
    const std::optional<qint64> first = firstOrLastKey("min");
    if (!first)
        return false;
    const qint64 wholeFrom = std::max(ceilToBucket(fromMs), *first > 0 ? floorToBucket(*first) + B : 0);
    const qint64 wholeTo = floorToBucket(toMs);
    if (wholeFrom >= wholeTo)
        return reduceRows(fromMs, toMs);
    if (!reduceRows(fromMs, wholeFrom))
        return false;
    QSqlQuery query(db);
    if (!run(query,
             QStringLiteral("SELECT max(0, (start - ?) * ? / ?) * 64 + address AS g, min(lo), max(hi), "
                            "sum(n), max(silent) FROM bucket WHERE address IN ") +
                 inList(meters) + QStringLiteral(" AND start >= ? AND start < ? GROUP BY g"),
             {fromMs, columns, span, wholeFrom, wholeTo}))
        return false;
    mergeGroups(query, result, columns);
    if (query.lastError().isValid())
        return fail(query);
    return reduceRows(wholeTo, toMs);
}

bool HistoryStore::exportCsv(const QString &file, const QList<int> &addresses, qint64 fromMs,
                             qint64 toMs) const
{
    if (!open)
        return false;
    const QList<int> meters = meterList(addresses);
    // Written beside the target and renamed at the end, so a failed export
    // never leaves half a file under the name asked for.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return fail(out.errorString());

    QByteArray line("time");
    for (int a : meters)
        line.append(',').append(QByteArray::number(a)).append('#');
    line.append("\r\n");
    out.write(line);

    if (!meters.isEmpty() && toMs > fromMs) {
        QSqlQuery query(db);
        if (!selectSamples(query, meters, fromMs, toMs))
            return fail(query);

        std::vector<int> columnOfAddress(AddressCount, -1);
        for (int i = 0; i < meters.size(); ++i)
            columnOfAddress[meters[i]] = i;
        std::vector<std::optional<qint64>> cells(meters.size());
        qint64 rowTime = 0;
        bool pending = false;
        auto writeRow = [&] {
            line = QDateTime::fromMSecsSinceEpoch(rowTime).toString(Qt::ISODateWithMs).toLatin1();
            for (std::optional<qint64> &cell : cells) {
                line.append(',');
                if (cell)
                    appendTenths(line, *cell);
                cell.reset();
            }
            line.append("\r\n");
            out.write(line);
        };
        while (query.next()) {
            const qint64 key = query.value(0).toLongLong();
            const qint64 msecs = key / AddressCount;
            if (pending && msecs != rowTime)
                writeRow();
            rowTime = msecs;
            pending = true;
            const QVariant tenths = query.value(1);
            if (!tenths.isNull())
                cells[columnOfAddress[key % AddressCount]] = tenths.toLongLong();
        }
        if (query.lastError().isValid())
            return fail(query);
        if (pending)
            writeRow();
    }
    if (!out.commit())
        return fail(out.errorString());
    return true;
}

std::optional<qint64> HistoryStore::firstOrLastKey(const char *aggregate) const
{
    if (!open)
        return std::nullopt;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT %1(key) FROM sample").arg(QLatin1String(aggregate))) ||
        !query.next()) {
        fail(query);
        return std::nullopt;
    }
    return query.value(0).isNull() ? 0 : query.value(0).toLongLong() / AddressCount;
}

qint64 HistoryStore::firstMsecs() const
{
    return firstOrLastKey("min").value_or(0);
}

qint64 HistoryStore::lastMsecs() const
{
    return firstOrLastKey("max").value_or(0);
}

int HistoryStore::purgeBefore(qint64 msecs, int maxRows)
{
    if (!open)
        return -1;
    if (maxRows <= 0)
        return 0;
    const qint64 cut = keyOf(floorToBucket(msecs), 0);
    if (!db.transaction())
        return fail(db.lastError().text()), -1;
    auto abandon = [&](const QSqlQuery &query) {
        fail(query);
        db.rollback();
        return -1;
    };
    // The key of the first row that stays: the (maxRows + 1)-th oldest, or the
    // cut when fewer rows lie before it.
    QSqlQuery find(db);
    find.prepare(QStringLiteral("SELECT key FROM sample WHERE key < ? ORDER BY key LIMIT 1 OFFSET ?"));
    find.bindValue(0, cut);
    find.bindValue(1, maxRows);
    if (!find.exec())
        return abandon(find);
    const qint64 keep = find.next() ? find.value(0).toLongLong() : cut;
    find.finish();

    QSqlQuery rows(db);
    rows.prepare(QStringLiteral("DELETE FROM sample WHERE key < ?"));
    rows.bindValue(0, keep);
    if (!rows.exec())
        return abandon(rows);
    const int deleted = rows.numRowsAffected();

    // Every sample before the time of `keep` is gone, so the buckets that end
    // by then are empty. The address list lets SQLite seek by its key.
    QList<int> all;
    for (int a = 0; a < AddressCount; ++a)
        all.append(a);
    QSqlQuery buckets(db);
    buckets.prepare(QStringLiteral("DELETE FROM bucket WHERE address IN ") + inList(all) +
                    QStringLiteral(" AND start <= ?"));
    buckets.bindValue(0, keep / AddressCount - B);
    if (!buckets.exec())
        return abandon(buckets);
    if (!db.commit()) {
        fail(db.lastError().text());
        db.rollback();
        return -1;
    }
    return deleted;
}
