#include "DataDirectory.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "OtherConnection.h"
#include "LiveValueTable.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <csignal>

namespace {

// 2024-03-01 00:00:00 UTC.
constexpr qint64 kT0 = 1709251200000;
constexpr qint64 kDay = 24 * 60 * 60 * 1000;
// Generous: two cores are shared by several builds.
constexpr int kDeadlineMs = 30000;

// The recorder's clock in a test: stands still until moved. The retention
// worker reads it on its own thread.
class TestClock {
public:
    explicit TestClock(qint64 start) : now(start) {}
    HistoryRecorder::Clock clock()
    {
        return [this] { return now.load(); };
    }
    void advance(qint64 ms) { now += ms; }

private:
    std::atomic<qint64> now;
};

QString historyFile(const QTemporaryDir &dir)
{
    return dir.filePath(QLatin1String(HistoryRecorder::FileName));
}

QList<HistorySample> allSamples(const QString &path)
{
    QList<int> all;
    for (int a = 0; a < 64; ++a)
        all.append(a);
    return HistoryStore(path).samples(all, 0, std::numeric_limits<qint64>::max() / 128);
}

QList<HistorySample> inKeyOrder(QList<HistorySample> samples)
{
    std::sort(samples.begin(), samples.end(), [](const HistorySample &a, const HistorySample &b) {
        return std::pair(a.msecs, a.address) < std::pair(b.msecs, b.address);
    });
    return samples;
}

// What keeps a commit from going through, and how it is lifted.
enum class Obstacle { Trigger, WriteLock };

void block(OtherConnection &other, Obstacle obstacle)
{
    QVERIFY(other.exec(obstacle == Obstacle::WriteLock
                           ? QStringLiteral("BEGIN IMMEDIATE")
                           : QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON sample "
                                            "BEGIN SELECT RAISE(ABORT, 'write refused'); END")));
}

void unblock(OtherConnection &other, Obstacle obstacle)
{
    QVERIFY(other.exec(obstacle == Obstacle::WriteLock ? QStringLiteral("ROLLBACK")
                                                       : QStringLiteral("DROP TRIGGER refuse")));
}

// Hands `count` values to the table as the line does, one every `stepMs` of
// the clock, cycling through the meters from `first`; every ninth a mark.
QList<HistorySample> hand(LiveValueTable &table, TestClock &clock, int count, qint64 stepMs, int first = 0)
{
    QList<HistorySample> handed;
    for (int i = first; i < first + count; ++i) {
        const int address = (i * 7) % 64;
        if (i % 9 == 4) {
            table.markNotAnswering(address);
            handed.append({0, address, std::nullopt});
        } else {
            const double value = (i % 3 == 0) ? LiveValueTable::NoAnswer : (i * 131 % 65536 - 32768) / 10.0;
            table.store(address, value);
            handed.append({0, address, value});
        }
        clock.advance(stepMs);
    }
    return handed;
}

// The values of the samples, without their times.
QList<std::pair<int, std::optional<double>>> valuesOf(const QList<HistorySample> &samples)
{
    QList<std::pair<int, std::optional<double>>> values;
    for (const HistorySample &s : samples)
        values.append({s.address, s.value});
    return values;
}

} // namespace

Q_DECLARE_METATYPE(Obstacle)

class TestHistoryRecorder : public QObject {
    Q_OBJECT

private slots:
    void recordsLiveValues_data();
    void recordsLiveValues();
    void switchedOffWritesNothing_data();
    void switchedOffWritesNothing();
    void failsInUnwritableDirectory();
    void ownFileIgnoresTheSettings();
    void failedCommitKeepsTheValues_data();
    void failedCommitKeepsTheValues();
    void bufferKeepsTheNewestWhileCommitsFail();
    void keepsRetentionInBackground();
    void survivesKill();
};

void TestHistoryRecorder::recordsLiveValues_data()
{
    QTest::addColumn<qint64>("stepMs");
    QTest::newRow("each value at its own time") << qint64(3);
    // Two values of one meter would share a key.
    QTest::newRow("clock standing still: a meter's later values a millisecond on") << qint64(0);
}

void TestHistoryRecorder::recordsLiveValues()
{
    QFETCH(qint64, stepMs);
    QTemporaryDir dir;
    qputenv("QUORVANE_HOME", dir.path().toLocal8Bit());
    LiveValueTable table;
    TestClock clock(kT0);
    HistoryRecorder recorder(table, DataDirectory::path(), clock.clock());
    QVERIFY2(recorder.start(), qPrintable(recorder.errorText(1)));
    QSignalSpy committed(&recorder, &HistoryRecorder::committed);

    // What the line does on each answer and on a silent meter.
    QList<HistorySample> handed;
    for (int i = 0; i < 200; ++i) {
        const int address = (i * 7) % 64;
        if (i % 9 == 4) {
            table.countMissing(address);
            table.markNotAnswering(address);
            handed.append({0, address, std::nullopt});
        } else {
            const double value = (i % 3 == 0) ? LiveValueTable::NoAnswer : (i * 131 % 65536 - 32768) / 10.0;
            table.countAnswer(address, 12, QDateTime::fromMSecsSinceEpoch(kT0 + i * stepMs));
            table.store(address, value);
            handed.append({0, address, value});
        }
        clock.advance(stepMs);
    }
    // Each value at the clock's time when it came, or a millisecond after the
    // meter's previous one.
    std::array<qint64, 64> last{};
    last.fill(kT0 - 1);
    for (int i = 0; i < handed.size(); ++i) {
        HistorySample &s = handed[i];
        s.msecs = std::max(kT0 + i * stepMs, last[s.address] + 1);
        last[s.address] = s.msecs;
    }

    // Committed by the recorder itself, without a flush.
    QTRY_COMPARE_WITH_TIMEOUT(committed.size(), 1, kDeadlineMs);
    QCOMPARE(committed[0][0].toInt(), handed.size());
    QCOMPARE(allSamples(historyFile(dir)), inKeyOrder(handed));
}

void TestHistoryRecorder::switchedOffWritesNothing_data()
{
    QTest::addColumn<bool>("bySetting");
    QTest::newRow("setting Record=0") << true;
    QTest::newRow("setEnabled(false)") << false;
}

void TestHistoryRecorder::switchedOffWritesNothing()
{
    QFETCH(bool, bySetting);
    QTemporaryDir dir;
    SettingsFile settings(dir.filePath(QLatin1String(DataDirectory::SettingsFileName)));
    if (bySetting)
        QVERIFY(settings.WriteSetting(Setting::HistoryRecord, QStringLiteral("0")));
    LiveValueTable table;
    {
        HistoryRecorder recorder(table, dir.path());
        QCOMPARE(recorder.enabled(), !bySetting);
        QVERIFY(recorder.start());
        if (!bySetting)
            recorder.setEnabled(false);
        QCOMPARE(settings.ReadSetting(Setting::HistoryRecord), QStringLiteral("0"));
        for (int i = 0; i < 20; ++i) {
            table.store(i, i / 10.0);
            table.markNotAnswering(i);
        }
        recorder.flush();
    }
    if (bySetting)
        QVERIFY(!QFile::exists(historyFile(dir)));
    else
        QVERIFY(allSamples(historyFile(dir)).isEmpty());
}

void TestHistoryRecorder::failsInUnwritableDirectory()
{
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("not-a-directory")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LiveValueTable table;
    HistoryRecorder recorder(table, blocker.fileName());
    QVERIFY(!recorder.start());
    QVERIFY(!recorder.errorText(1).isEmpty());
    table.store(1, 1.0); // ignored, no crash
    recorder.flush();
}

// A line of the line service records into a file of its own, whatever a
// settings file beside it says, and writes no settings.
void TestHistoryRecorder::ownFileIgnoresTheSettings()
{
    QTemporaryDir dir;
    SettingsFile settings(dir.filePath(QLatin1String(DataDirectory::SettingsFileName)));
    QVERIFY(settings.WriteSetting(Setting::HistoryRecord, QStringLiteral("0")));
    const QString file = dir.filePath(QStringLiteral("north.db"));
    LiveValueTable table;
    {
        HistoryRecorder recorder(table, HistoryRecorder::OwnFile{file, 7});
        QVERIFY(recorder.enabled());
        QCOMPARE(recorder.retentionDays(), 7);
        QVERIFY(recorder.start());
        QCOMPARE(recorder.filePath(), file);
        table.store(3, 1.5);
        recorder.setRetentionDays(9);
        recorder.flush();
    }
    QCOMPARE(allSamples(file).size(), 1);
    QCOMPARE(allSamples(file).first().value, std::optional<double>(1.5));
    QVERIFY(!QFile::exists(historyFile(dir)));
    QFile written(settings.path());
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(!written.readAll().contains("RetentionDays"));
}

void TestHistoryRecorder::failedCommitKeepsTheValues_data()
{
    QTest::addColumn<Obstacle>("obstacle");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a trigger refuses the write") << Obstacle::Trigger << "write refused";
    QTest::newRow("another program holds the write lock") << Obstacle::WriteLock << "locked";
}

// A commit that fails keeps what was committed, tells the failure once and
// keeps the values buffered; the next commit that goes through writes them
// all, and a later failure is told again.
void TestHistoryRecorder::failedCommitKeepsTheValues()
{
    QFETCH(Obstacle, obstacle);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    LiveValueTable table;
    TestClock clock(kT0);
    HistoryRecorder recorder(table, dir.path(), clock.clock());
    QVERIFY2(recorder.start(), qPrintable(recorder.errorText(1)));
    QSignalSpy failed(&recorder, &HistoryRecorder::failed);
    QSignalSpy committed(&recorder, &HistoryRecorder::committed);
    QList<HistorySample> handed = hand(table, clock, 10, 5);
    recorder.flush();
    QCOMPARE(committed.size(), 1);
    const QList<HistorySample> first = allSamples(historyFile(dir));
    QCOMPARE(valuesOf(first), valuesOf(handed));

    OtherConnection other(historyFile(dir));
    block(other, obstacle);
    handed += hand(table, clock, 20, 5, 10);
    recorder.flush();
    QCOMPARE(failed.size(), 1);
    QVERIFY2(recorder.errorText(1).contains(reason), qPrintable(recorder.errorText(1)));
    QCOMPARE(recorder.error().reason, HistoryError::Reason::System);
    QCOMPARE(allSamples(historyFile(dir)), first);
    // Told once while the commits go on failing.
    handed += hand(table, clock, 5, 5, 30);
    recorder.flush();
    QCOMPARE(failed.size(), 1);
    QCOMPARE(committed.size(), 1);

    unblock(other, obstacle);
    recorder.flush();
    QCOMPARE(committed.size(), 2);
    QCOMPARE(committed[1][0].toInt(), 25);
    const QList<HistorySample> stored = allSamples(historyFile(dir));
    QCOMPARE(valuesOf(stored), valuesOf(handed));
    QCOMPARE(stored.mid(0, first.size()), first);
    QCOMPARE(other.integrity(), QStringLiteral("ok"));

    block(other, obstacle);
    hand(table, clock, 1, 5, 35);
    recorder.flush();
    QCOMPARE(failed.size(), 2);
    unblock(other, obstacle);
}

// While commits fail the buffer keeps the newest values up to its bound:
// what is finally written is an unbroken run ending with the last value
// handed over, and what was stored before stays.
void TestHistoryRecorder::bufferKeepsTheNewestWhileCommitsFail()
{
    QTemporaryDir dir;
    LiveValueTable table;
    TestClock clock(kT0);
    HistoryRecorder recorder(table, dir.path(), clock.clock());
    QVERIFY(recorder.start());
    QSignalSpy failed(&recorder, &HistoryRecorder::failed);
    const QList<HistorySample> before = hand(table, clock, 64, 1);
    recorder.flush();
    QCOMPARE(allSamples(historyFile(dir)).size(), before.size());

    OtherConnection other(historyFile(dir));
    block(other, Obstacle::Trigger);
    constexpr int kHanded = HistoryRecorder::MaxBuffered + HistoryRecorder::MaxBuffered / 4;
    QList<HistorySample> handed = hand(table, clock, 1, 1, 64);
    recorder.flush();
    handed += hand(table, clock, kHanded - 1, 1, 65);
    recorder.flush();
    QCOMPARE(failed.size(), 1);
    unblock(other, Obstacle::Trigger);
    recorder.flush();

    const QList<HistorySample> stored = allSamples(historyFile(dir));
    QCOMPARE(valuesOf(stored.mid(0, before.size())), valuesOf(before));
    const qsizetype kept = stored.size() - before.size();
    QVERIFY2(kept <= HistoryRecorder::MaxBuffered && kept >= HistoryRecorder::MaxBuffered * 9 / 10,
             qPrintable(QString::number(kept)));
    QCOMPARE(valuesOf(stored.mid(before.size())), valuesOf(handed.mid(handed.size() - kept)));
    QCOMPARE(failed.size(), 1);
    QCOMPARE(other.integrity(), QStringLiteral("ok"));
}

void TestHistoryRecorder::keepsRetentionInBackground()
{
    QTemporaryDir dir;
    const qint64 now = kT0;
    QList<HistorySample> old;
    for (qint64 t = now - 40 * kDay; t < now - 31 * kDay; t += 60000)
        old.append({t, 3, 1.5});
    const HistorySample recent{now - 29 * kDay, 3, 2.5};
    QVERIFY(HistoryStore(historyFile(dir)).append(old + QList<HistorySample>{recent}));
    QVERIFY(SettingsFile(dir.filePath(QLatin1String(DataDirectory::SettingsFileName)))
                .WriteInt(Setting::HistoryRetentionDays, 30));

    LiveValueTable table;
    TestClock clock(now);
    HistoryRecorder recorder(table, dir.path(), clock.clock());
    QCOMPARE(recorder.retentionDays(), 30);
    QSignalSpy purged(&recorder, &HistoryRecorder::purged);
    QVERIFY(recorder.start());
    QTRY_COMPARE_WITH_TIMEOUT(purged.size(), 1, kDeadlineMs);
    QCOMPARE(purged[0][0].toInt(), old.size());
    QCOMPARE(allSamples(historyFile(dir)), QList<HistorySample>{recent});

    recorder.setRetentionDays(28);
    QTRY_COMPARE_WITH_TIMEOUT(purged.size(), 2, kDeadlineMs);
    QCOMPARE(purged[1][0].toInt(), 1);
    QVERIFY(allSamples(historyFile(dir)).isEmpty());
}

// A writer process killed while it records: the file stays whole, and every
// value handed over before the writer's last commit is in it, value for
// value. The writer says when a commit has gone through.
void TestHistoryRecorder::survivesKill()
{
    QTemporaryDir dir;
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/history_writer"),
                 {dir.path(), "5"});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
    // Until the recorder has committed by itself twice, with some values
    // handed over after that still waiting in its buffer.
    QByteArray output;
    auto ready = [&output] {
        const qsizetype lastCommit = output.lastIndexOf("\nC ");
        return output.count("\nC ") >= 2 && output.mid(lastCommit + 1).count('\n') > 20;
    };
    QDeadlineTimer deadline(kDeadlineMs);
    while (!ready() && !deadline.hasExpired() && writer.state() == QProcess::Running) {
        writer.waitForReadyRead(100);
        output += writer.readAllStandardOutput();
    }
    QCOMPARE(writer.state(), QProcess::Running);
    QVERIFY(ready());
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished(kDeadlineMs));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    output += writer.readAllStandardOutput();

    // Only whole lines were handed over.
    QList<QByteArray> lines = output.split('\n');
    lines.removeLast();
    QList<HistorySample> handed;
    qsizetype committedValues = 0;
    qsizetype handedBeforeCommit = 0;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        if (f[0] == "C") {
            committedValues += f[1].toLongLong();
            handedBeforeCommit = handed.size();
            continue;
        }
        QCOMPARE(f.size(), 3);
        handed.append({f[0].toLongLong(), f[1].toInt(),
                       f[2] == "N" ? std::nullopt : std::optional<double>(f[2].toInt() / 10.0)});
    }
    // A commit writes everything buffered until then.
    QCOMPARE(committedValues, handedBeforeCommit);

    OtherConnection check(historyFile(dir));
    QCOMPARE(check.integrity(), QStringLiteral("ok"));
    const QList<HistorySample> stored = allSamples(historyFile(dir));
    QVERIFY(stored.size() >= handedBeforeCommit);
    QVERIFY(stored.size() <= handed.size());
    QVERIFY(handed.size() > handedBeforeCommit);
    // What was stored is what was handed over first, meter by meter and
    // value for value; each was stamped before the writer printed it. The
    // file keeps values of one millisecond in address order, so meters are
    // compared apart: a late timer hands two over in the same millisecond.
    std::array<QList<HistorySample>, 64> storedOf;
    std::array<QList<HistorySample>, 64> handedOf;
    for (int i = 0; i < stored.size(); ++i) {
        storedOf[stored[i].address].append(stored[i]);
        handedOf[handed[i].address].append(handed[i]);
    }
    for (int address = 0; address < 64; ++address) {
        QCOMPARE(storedOf[address].size(), handedOf[address].size());
        for (int i = 0; i < storedOf[address].size(); ++i) {
            QCOMPARE(storedOf[address][i].value, handedOf[address][i].value);
            QVERIFY(storedOf[address][i].msecs <= handedOf[address][i].msecs);
        }
    }
    qInfo("%lld of %lld values stored, %lld of them reported committed", qint64(stored.size()),
          qint64(handed.size()), qint64(handedBeforeCommit));
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
