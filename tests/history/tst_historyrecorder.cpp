#include "DataDirectory.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "LiveValueTable.h"
#include "SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>

namespace {

constexpr qint64 kDay = 24 * 60 * 60 * 1000;

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

QString integrityOf(const QString &path)
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
                result = query.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return result;
}

} // namespace

class TestHistoryRecorder : public QObject {
    Q_OBJECT

private slots:
    void recordsLiveValues();
    void switchedOffWritesNothing_data();
    void switchedOffWritesNothing();
    void failsInUnwritableDirectory();
    void keepsRetentionInBackground();
    void survivesKill();
};

void TestHistoryRecorder::recordsLiveValues()
{
    QTemporaryDir dir;
    qputenv("QUORVANE_HOME", dir.path().toLocal8Bit());
    LiveValueTable table;
    HistoryRecorder recorder(table, DataDirectory::path());
    QVERIFY2(recorder.start(), qPrintable(recorder.errorText()));

    // What the line does on each answer and on a silent meter, a value a
    // millisecond or more apart so that time order is handing-over order.
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    QList<std::pair<int, std::optional<double>>> handed;
    for (int i = 0; i < 200; ++i) {
        const int address = (i * 7) % 64;
        if (i % 9 == 4) {
            table.countMissing(address);
            table.markNotAnswering(address);
            handed.append({address, std::nullopt});
        } else {
            const double value = (i % 3 == 0) ? LiveValueTable::NoAnswer : (i * 131 % 65536 - 32768) / 10.0;
            table.countAnswer(address, 12, QDateTime::currentDateTime());
            table.store(address, value);
            handed.append({address, value});
        }
        QThread::usleep(1100);
    }
    // Committed by itself within about a second.
    QTRY_COMPARE_WITH_TIMEOUT(allSamples(historyFile(dir)).size(), handed.size(), 3000);
    const qint64 after = QDateTime::currentMSecsSinceEpoch();

    const QList<HistorySample> stored = allSamples(historyFile(dir));
    QList<std::pair<int, std::optional<double>>> got;
    qint64 last = before - 1;
    for (const HistorySample &s : stored) {
        QVERIFY(s.msecs > last && s.msecs <= after);
        last = s.msecs;
        got.append({s.address, s.value});
    }
    QCOMPARE(got, handed);
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
    QVERIFY(!recorder.errorText().isEmpty());
    table.store(1, 1.0); // ignored, no crash
    recorder.flush();
}

void TestHistoryRecorder::keepsRetentionInBackground()
{
    QTemporaryDir dir;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<HistorySample> old;
    for (qint64 t = now - 40 * kDay; t < now - 31 * kDay; t += 60000)
        old.append({t, 3, 1.5});
    const HistorySample recent{now - 29 * kDay, 3, 2.5};
    QVERIFY(HistoryStore(historyFile(dir)).append(old + QList<HistorySample>{recent}));
    QVERIFY(SettingsFile(dir.filePath(QLatin1String(DataDirectory::SettingsFileName)))
                .WriteInt(Setting::HistoryRetentionDays, 30));

    LiveValueTable table;
    HistoryRecorder recorder(table, dir.path());
    QCOMPARE(recorder.retentionDays(), 30);
    QSignalSpy purged(&recorder, &HistoryRecorder::purged);
    QVERIFY(recorder.start());
    QTRY_COMPARE_WITH_TIMEOUT(purged.size(), 1, 20000);
    QCOMPARE(purged[0][0].toInt(), old.size());
    QCOMPARE(allSamples(historyFile(dir)), QList<HistorySample>{recent});

    recorder.setRetentionDays(28);
    QTRY_COMPARE_WITH_TIMEOUT(purged.size(), 2, 20000);
    QCOMPARE(purged[1][0].toInt(), 1);
    QVERIFY(allSamples(historyFile(dir)).isEmpty());
}

void TestHistoryRecorder::survivesKill()
{
    QTemporaryDir dir;
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/history_writer"),
                 {dir.path(), "5"});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 3000 && writer.state() == QProcess::Running)
        writer.waitForReadyRead(100);
    QCOMPARE(writer.state(), QProcess::Running);
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished(5000));
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);

    // Only whole lines were handed over.
    QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
    lines.removeLast();
    QVERIFY(lines.size() > 100);
    QList<HistorySample> handed;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> f = line.split(' ');
        QCOMPARE(f.size(), 3);
        handed.append({f[0].toLongLong(), f[1].toInt(),
                       f[2] == "N" ? std::nullopt : std::optional<double>(f[2].toInt() / 10.0)});
    }

    QCOMPARE(integrityOf(historyFile(dir)), QStringLiteral("ok"));
    const QList<HistorySample> stored = allSamples(historyFile(dir));
    QVERIFY(!stored.isEmpty());
    QVERIFY(stored.size() <= handed.size());
    // What was stored is what was handed over first, value for value; each
    // was stamped before the writer printed it.
    for (int i = 0; i < stored.size(); ++i) {
        QCOMPARE(stored[i].address, handed[i].address);
        QCOMPARE(stored[i].value, handed[i].value);
        QVERIFY(stored[i].msecs <= handed[i].msecs);
    }
    // A commit a second, plus a margin for the commit itself.
    const qint64 lost = handed.last().msecs - stored.last().msecs;
    qInfo("last commit %lld ms before the kill, %lld of %lld values stored", lost, qint64(stored.size()),
          qint64(handed.size()));
    QVERIFY2(lost <= 1500, qPrintable(QString::number(lost)));
}

QTEST_GUILESS_MAIN(TestHistoryRecorder)
#include "tst_historyrecorder.moc"
