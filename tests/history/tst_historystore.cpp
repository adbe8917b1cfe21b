#include "HistoryStore.h"
#include "OtherConnection.h"

#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include <map>

namespace {

// 2024-03-01 00:00:00 UTC, on a bucket boundary.
constexpr qint64 kT0 = 1709251200000;
constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kBucket = HistoryStore::BucketMs;

using Series = QList<QList<HistoryColumn>>;

// Two days of four meters, each every 13 s, random tenths over the whole
// register range. Meter 2 is silent for two hours (no value, no mark) and
// meter 3 only marked not answering for one hour, so that some columns are
// empty and some hold a mark only.
QList<HistorySample> twoDays()
{
    QRandomGenerator random(42);
    QList<HistorySample> list;
    for (qint64 t = kT0; t < kT0 + 48 * kHour; t += 13000) {
        for (int address = 0; address < 4; ++address) {
            const qint64 at = t + address * 7;
            if (address == 2 && at >= kT0 + 5 * kHour && at < kT0 + 7 * kHour)
                continue;
            std::optional<double> value = random.bounded(-32768, 32768) / 10.0;
            if ((address == 3 && at >= kT0 + 10 * kHour && at < kT0 + 11 * kHour) || random.bounded(50) == 0)
                value.reset();
            list.append({at, address, value});
        }
    }
    return list;
}

// The columns computed one sample at a time from samples().
Series bruteForce(const HistoryStore &store, const QList<int> &addresses, qint64 from, qint64 to, int columns)
{
    Series result(addresses.size(), QList<HistoryColumn>(columns));
    for (const HistorySample &s : store.samples(addresses, from, to)) {
        HistoryColumn &c =
            result[addresses.indexOf(s.address)][HistoryStore::columnOf(s.msecs, from, to, columns)];
        if (s.value) {
            c.min = c.values == 0 ? *s.value : std::min(c.min, *s.value);
            c.max = c.values == 0 ? *s.value : std::max(c.max, *s.value);
            ++c.values;
        } else {
            c.silent = true;
        }
    }
    return result;
}

Series columnsOf(const QList<HistorySeries> &series)
{
    Series result;
    for (const HistorySeries &s : series)
        result.append(s.columns);
    return result;
}

Series columnsOf(const std::optional<QList<HistorySeries>> &series)
{
    return series ? columnsOf(*series) : Series();
}

// What a failed write leaves behind, and what puts it right again.
enum class Obstacle { RefusedSample, RefusedBucket, WriteLock };

} // namespace

Q_DECLARE_METATYPE(Obstacle)

class TestHistoryStore : public QObject {
    Q_OBJECT

private slots:
    void appendAndReadBack();
    void alarmEventsAndTheirAcknowledgement();
    void openFails_data();
    void openFails();
    void failedAppendWritesNothing_data();
    void failedAppendWritesNothing();
    void failedReduceIsToldAndLosesNothing_data();
    void failedReduceIsToldAndLosesNothing();
    void reduceGivesTrueMinMax_data();
    void reduceGivesTrueMinMax();
    void longRangeReadsBuckets();
    void exportsCsv();
    void purgesOlderRowsInChunks();

private:
    QTemporaryDir dir;
};

// Alarm events go into the file with the samples and come back in order;
// an alarm raised after its last acknowledgement still waits after a
// restart, whether it is active or has cleared.
void TestHistoryStore::alarmEventsAndTheirAcknowledgement()
{
    using What = AlarmEvent::What;
    const QString path = dir.filePath(QStringLiteral("alarms.db"));
    const QList<AlarmEvent> events{
        {kT0, 3, AlarmKind::High, What::Raised, 105.5, 100},
        {kT0 + 10, 3, AlarmKind::High, What::Acknowledged, 105.5, 100},
        {kT0 + 20, 4, AlarmKind::Comm, What::Raised, std::nullopt, std::nullopt},
        {kT0 + 30, 3, AlarmKind::High, What::Cleared, 94.0, 100},
        {kT0 + 40, 5, AlarmKind::Low, What::Raised, -1.0, 0},
        {kT0 + 50, 5, AlarmKind::Low, What::Cleared, 2.0, 0},
    };
    {
        HistoryStore store(path);
        QVERIFY(store.append({{kT0, 3, 105.5}}, events.mid(0, 3)));
        QVERIFY(store.append({}, events.mid(3)));
    }
    HistoryStore store(path);
    QCOMPARE(store.alarmEvents({}, kT0, kT0 + 51), events);
    QCOMPARE(store.alarmEvents({5}, kT0, kT0 + 45), QList<AlarmEvent>{events[4]});
    QCOMPARE(store.unacknowledgedAlarms(),
             (QList<std::pair<int, AlarmKind>>{{4, AlarmKind::Comm}, {5, AlarmKind::Low}}));
    QCOMPARE(store.samples({3}, kT0, kT0 + 1).size(), 1);
}

void TestHistoryStore::appendAndReadBack()
{
    const QString path = dir.filePath(QStringLiteral("read.db"));
    {
        HistoryStore store(path);
        QVERIFY2(store.isOpen(), qPrintable(store.errorText(1)));
        QCOMPARE(store.firstMsecs(), qint64(0));
        QCOMPARE(store.lastMsecs(), qint64(0));
        // -500.0 is a reading like any other; a mark is no value at all.
        const QList<HistorySample> batch{{kT0 + 5, 63, -3276.8},
                                         {kT0 + 5, 0, 3276.7},
                                         {kT0, 7, -500.0},
                                         {kT0 + 9, 7, std::nullopt},
                                         {kT0 + 12, 7, 0.1}};
        QVERIFY(store.append(batch));
        // A sample already recorded is neither doubled nor changed.
        QVERIFY(store.append({{kT0, 7, 99.9}}));
    }
    HistoryStore store(path);
    const QList<HistorySample> expected{{kT0, 7, -500.0},
                                        {kT0 + 5, 0, 3276.7},
                                        {kT0 + 5, 63, -3276.8},
                                        {kT0 + 9, 7, std::nullopt},
                                        {kT0 + 12, 7, 0.1}};
    QCOMPARE(store.samples({0, 7, 63}, kT0, kT0 + 13), expected);
    QCOMPARE(store.samples({7}, kT0 + 1, kT0 + 12), QList<HistorySample>{expected[3]});
    QCOMPARE(store.firstMsecs(), kT0);
    QCOMPARE(store.lastMsecs(), kT0 + 12);
    const std::optional<QList<HistorySeries>> one = store.reduce({7}, kT0, kT0 + 10 * kBucket, 1);
    QVERIFY(one);
    QCOMPARE(one->at(0).columns[0], (HistoryColumn{-500.0, 0.1, 2, true}));
}

void TestHistoryStore::openFails_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<HistoryError::Reason>("reason");
    QFile blocker(dir.filePath(QStringLiteral("plain-file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QFile garbage(dir.filePath(QStringLiteral("garbage.db")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    QByteArray bytes(4096, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    QCOMPARE(garbage.write(bytes), bytes.size());
    garbage.close();
    QTest::newRow("directory is a file")
        << blocker.fileName() + QStringLiteral("/history.db") << HistoryError::Reason::System;
    QTest::newRow("file is no database") << garbage.fileName() << HistoryError::Reason::System;
    // SQLite keeps a database in memory out of write-ahead logging.
    QTest::newRow("no write-ahead logging") << QStringLiteral(":memory:") << HistoryError::Reason::WalRefused;
}

void TestHistoryStore::openFails()
{
    QFETCH(QString, path);
    QFETCH(HistoryError::Reason, reason);
    HistoryStore store(path);
    QVERIFY(!store.isOpen());
    QCOMPARE(store.error().reason, reason);
    for (int language : {0, 1})
        QVERIFY(!store.errorText(language).isEmpty());
    // A reason of the store's own is worded in the language asked for.
    QCOMPARE(store.errorText(0) != store.errorText(1), reason == HistoryError::Reason::WalRefused);
    QVERIFY(!store.append({{kT0, 1, 1.0}}));
    QVERIFY(!store.reduce({1}, kT0, kT0 + kHour, 10));
}

void TestHistoryStore::failedAppendWritesNothing_data()
{
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a sample halfway through is refused") << Obstacle::RefusedSample << "write refused";
    QTest::newRow("the buckets are refused after the samples") << Obstacle::RefusedBucket << "bucket refused";
    QTest::newRow("another connection holds the write lock") << Obstacle::WriteLock << "locked";
}

// The batch goes in whole or not at all: a refusal anywhere in it leaves
// the samples and the buckets as they were, says why, and the same batch
// goes in once the obstacle is gone, counted once.
void TestHistoryStore::failedAppendWritesNothing()
{
    QFETCH(Obstacle, obstacle);
    QFETCH(QString, reason);
    const QString path = dir.filePath(QStringLiteral("refused-%1.db").arg(int(obstacle)));
    HistoryStore store(path);
    QVERIFY2(store.isOpen(), qPrintable(store.errorText(1)));
    const QList<HistorySample> all = twoDays().mid(0, 4000);
    const QList<HistorySample> before = all.mid(0, 2000);
    QList<HistorySample> batch = all.mid(2000);
    batch[batch.size() / 2].value = 424.2;
    QVERIFY(store.append(before));

    OtherConnection other(path);
    const QStringList stored = other.dump();
    switch (obstacle) {
    case Obstacle::RefusedSample:
        QVERIFY(other.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON sample WHEN NEW.tenths = "
                                          "4242 BEGIN SELECT RAISE(ABORT, 'write refused'); END")));
        break;
    case Obstacle::RefusedBucket:
        QVERIFY(other.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON bucket WHEN NEW.address = "
                                          "3 BEGIN SELECT RAISE(ABORT, 'bucket refused'); END")));
        break;
    case Obstacle::WriteLock:
        QVERIFY(other.exec(QStringLiteral("BEGIN IMMEDIATE")));
        break;
    }

    QVERIFY(!store.append(batch));
    QCOMPARE(store.error().reason, HistoryError::Reason::System);
    QVERIFY2(store.errorText(1).contains(reason), qPrintable(store.errorText(1)));
    QCOMPARE(store.samples({0, 1, 2, 3}, 0, kT0 + 100 * kHour), before);
    QCOMPARE(other.dump(), stored);

    QVERIFY(other.exec(obstacle == Obstacle::WriteLock ? QStringLiteral("ROLLBACK")
                                                       : QStringLiteral("DROP TRIGGER refuse")));
    QVERIFY2(store.append(batch), qPrintable(store.errorText(1)));
    QList<HistorySample> expected = before + batch;
    std::sort(expected.begin(), expected.end(), [](const HistorySample &a, const HistorySample &b) {
        return std::pair(a.msecs, a.address) < std::pair(b.msecs, b.address);
    });
    const QList<int> meters{0, 1, 2, 3};
    QCOMPARE(store.samples(meters, 0, kT0 + 100 * kHour), expected);
    QCOMPARE(columnsOf(store.reduce(meters, kT0, kT0 + 48 * kHour, 20)),
             bruteForce(store, meters, kT0, kT0 + 48 * kHour, 20));
}

void TestHistoryStore::failedReduceIsToldAndLosesNothing_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<qint64>("to");
    QTest::newRow("samples gone, a short range from the rows") << "sample" << kT0 + kHour;
    QTest::newRow("buckets gone, a long range from the buckets") << "bucket" << kT0 + 48 * kHour;
}

// A table renamed away by another program: the read says so, rather than
// drawing an empty chart, and reads as before once the table is back; the
// store is not left inside its snapshot, so it can write again.
void TestHistoryStore::failedReduceIsToldAndLosesNothing()
{
    QFETCH(QString, table);
    QFETCH(qint64, to);
    const QString path = dir.filePath(QStringLiteral("unread-%1.db").arg(table));
    HistoryStore store(path);
    const QList<HistorySample> all = twoDays();
    QVERIFY(store.append(all.mid(0, all.size() - 10)));
    const QList<int> meters{3, 0, 2};
    const Series expected = bruteForce(store, meters, kT0, to, 50);
    QCOMPARE(columnsOf(store.reduce(meters, kT0, to, 50)), expected);

    OtherConnection other(path);
    QVERIFY(other.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %1_away").arg(table)));
    QVERIFY(!store.reduce(meters, kT0, to, 50));
    QCOMPARE(store.error().reason, HistoryError::Reason::System);
    QVERIFY2(store.errorText(1).contains(table), qPrintable(store.errorText(1)));

    QVERIFY(other.exec(QStringLiteral("ALTER TABLE %1_away RENAME TO %1").arg(table)));
    QCOMPARE(columnsOf(store.reduce(meters, kT0, to, 50)), expected);
    QVERIFY2(store.append(all.mid(all.size() - 10)), qPrintable(store.errorText(1)));
    QCOMPARE(store.samples({0, 1, 2, 3}, 0, kT0 + 100 * kHour).size(), all.size());
}

void TestHistoryStore::reduceGivesTrueMinMax_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<int>("columns");
    QTest::addColumn<bool>("coarse");
    // Around meter 2's silence and meter 3's marks: empty and mark-only columns.
    QTest::newRow("rows, 5 to 12 h") << kT0 + 5 * kHour << kT0 + 12 * kHour << 400 << false;
    QTest::newRow("rows, odd edges") << kT0 + 4 * kHour + 1234 << kT0 + 11 * kHour + 777 << 333 << false;
    QTest::newRow("buckets, two days") << kT0 << kT0 + 48 * kHour << 100 << true;
    QTest::newRow("buckets, odd edges") << kT0 - 7 * kMinute - 13 << kT0 + 47 * kHour + 123457 << 37 << true;
    QTest::newRow("one bucket a column")
        << kT0 + 3 * kMinute << kT0 + 3 * kMinute + 144 * kBucket << 144 << true;
}

void TestHistoryStore::reduceGivesTrueMinMax()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(int, columns);
    QFETCH(bool, coarse);
    const QString path = dir.filePath(QStringLiteral("reduce.db"));
    HistoryStore store(path);
    if (store.lastMsecs() == 0) {
        // Small batches as the recorder writes them, so that buckets are
        // merged across transactions, some starting with a mark.
        const QList<HistorySample> all = twoDays();
        for (qsizetype i = 0; i < all.size(); i += 37)
            QVERIFY(store.append(all.mid(i, 37)));
    }
    QCOMPARE(coarse, to - from >= kBucket * columns);

    const QList<int> addresses{3, 0, 2};
    const Series expected = bruteForce(store, addresses, from, to, columns);
    const std::optional<QList<HistorySeries>> reduced = store.reduce(addresses, from, to, columns);
    QVERIFY2(reduced, qPrintable(store.errorText(1)));
    QCOMPARE(reduced->size(), addresses.size());
    for (int i = 0; i < addresses.size(); ++i)
        QCOMPARE(reduced->at(i).address, addresses[i]);
    QCOMPARE(columnsOf(reduced), expected);

    if (!coarse) {
        auto isEmpty = [](const HistoryColumn &c) { return c.values == 0 && !c.silent; };
        auto marksOnly = [](const HistoryColumn &c) { return c.values == 0 && c.silent; };
        QVERIFY(std::any_of(expected[2].begin(), expected[2].end(), isEmpty));
        QVERIFY(std::any_of(expected[0].begin(), expected[0].end(), marksOnly));
    }
}

void TestHistoryStore::longRangeReadsBuckets()
{
    // Rows deleted behind the store's back from inside one bucket: a range
    // long enough for the bucket table still counts them, a short one not.
    const QString path = dir.filePath(QStringLiteral("coarse.db"));
    HistoryStore store(path);
    QList<HistorySample> batch;
    for (qint64 t = kT0; t < kT0 + 4 * kHour; t += 10000)
        batch.append({t, 1, double(t % 1000)});
    QVERIFY(store.append(batch));
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(path);
        QVERIFY(raw.open());
        QSqlQuery del(raw);
        QVERIFY(del.exec(QStringLiteral("DELETE FROM sample WHERE key >= %1 AND key < %2")
                             .arg((kT0 + kHour) * 64)
                             .arg((kT0 + kHour + kMinute) * 64)));
        QCOMPARE(del.numRowsAffected(), 6);
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    const int all = int(batch.size());
    QCOMPARE(columnsOf(store.reduce({1}, kT0, kT0 + 4 * kHour, 4))[0][1].values, 360);
    QCOMPARE(store.samples({1}, kT0, kT0 + 4 * kHour).size(), qsizetype(all - 6));
    QCOMPARE(columnsOf(store.reduce({1}, kT0 + kHour, kT0 + 2 * kHour, 60))[0][0].values, 0);
}

void TestHistoryStore::exportsCsv()
{
    HistoryStore store(dir.filePath(QStringLiteral("csv.db")));
    QVERIFY(store.append({{kT0, 1, 12.5},
                          {kT0, 5, -0.5},
                          {kT0, 9, 1.0}, // not exported
                          {kT0 + 1500, 5, -500.0},
                          {kT0 + 2000, 9, 2.0}, // no row: only an unexported meter
                          {kT0 + 3001, 1, std::nullopt},
                          {kT0 + 3001, 5, 3276.7}}));
    const QString file = dir.filePath(QStringLiteral("out.csv"));
    QVERIFY2(store.exportCsv(file, {5, 1}, kT0, kT0 + 4000), qPrintable(store.errorText(1)));

    QFile csv(file);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QByteArray text = csv.readAll();
    QVERIFY(text.endsWith("\r\n"));
    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    for (QByteArray &line : lines) {
        QVERIFY(line.endsWith('\r'));
        line.chop(1);
    }
    const QList<QList<QByteArray>> expected{
        {"time", "5#", "1#"}, {"", "-0.5", "12.5"}, {"", "-500.0", ""}, {"", "3276.7", ""}};
    const QList<qint64> times{kT0, kT0 + 1500, kT0 + 3001};
    QCOMPARE(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i) {
        QList<QByteArray> cells = lines[i].split(',');
        if (i > 0) {
            const QDateTime when = QDateTime::fromString(QString::fromLatin1(cells[0]), Qt::ISODateWithMs);
            QVERIFY2(when.isValid(), cells[0].constData());
            QCOMPARE(when.toMSecsSinceEpoch(), times[i - 1]);
            cells[0].clear();
        }
        QCOMPARE(cells, expected[i]);
    }

    QVERIFY(!store.exportCsv(dir.filePath(QStringLiteral("missing/out.csv")), {1}, kT0, kT0 + 1));
    QVERIFY(!store.errorText(1).isEmpty());
}

void TestHistoryStore::purgesOlderRowsInChunks()
{
    HistoryStore store(dir.filePath(QStringLiteral("purge.db")));
    QList<HistorySample> batch;
    for (qint64 t = kT0; t < kT0 + 3 * kHour; t += 5000)
        for (int address : {4, 40})
            batch.append({t + address, address, (t / 5000 % 200) / 10.0});
    QVERIFY(store.append(batch));

    // The cut falls inside a bucket: only the whole buckets before it go.
    const qint64 cut = kT0 + kHour + kBucket / 2;
    const qint64 keepFrom = kT0 + kHour;
    const QList<HistorySample> kept = store.samples({4, 40}, keepFrom, kT0 + 3 * kHour);
    const qsizetype older = batch.size() - kept.size();
    QCOMPARE(older, qsizetype(2 * 720));

    qsizetype purged = 0;
    int chunks = 0;
    for (int rows; (rows = store.purgeBefore(cut, 250)) > 0; ++chunks) {
        QVERIFY(rows <= 250);
        purged += rows;
        // Between chunks a bucket may have lost some rows; reductions stay exact.
        const Series expected = bruteForce(store, {4, 40}, kT0, kT0 + 3 * kHour, 6);
        QCOMPARE(columnsOf(store.reduce({4, 40}, kT0, kT0 + 3 * kHour, 6)), expected);
    }
    QCOMPARE(chunks, 6);
    QCOMPARE(purged, older);
    QCOMPARE(store.firstMsecs(), keepFrom + 4);
    QCOMPARE(store.samples({4, 40}, 0, kT0 + 4 * kHour), kept);
    QCOMPARE(store.purgeBefore(cut, 250), 0);
}

QTEST_GUILESS_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
