// Backups, restores and copies of parameter sets on a line over a
// pseudo-terminal to the meter simulator: what is read equals the meter's
// registers, only differing parameters are written, each read back at once,
// and the first failure ends the job with a row in the write log.
#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "ParameterPresets.h"
#include "ParameterJob.h"
#include "SetStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;
constexpr int kCount = 6;

// Meter type 5 with six parameters, the second in tenths.
std::optional<ParameterMenu> menus(int type)
{
    if (type != 5)
        return std::nullopt;
    ParameterMenu menu;
    menu.count = kCount;
    for (int k = 0; k < kCount; ++k) {
        menu.captionC[k] = QStringLiteral("参数 %1").arg(k);
        menu.captionE[k] = QStringLiteral("Parameter %1").arg(k);
        menu.oneDecimal[k] = k == 1;
    }
    return menu;
}



} // namespace

class TestParameterJob : public QObject {
    Q_OBJECT

    std::unique_ptr<MeterSimProcess> sim;
    std::unique_ptr<LineUnderTest> rig;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<SetStore> store;
    std::unique_ptr<ParameterJob> job;
    QList<ParameterSet> read;
    QList<JobOutcome> outcomes;

    // The line polls meters 3 and 4; meter 5 hears only the job.
    bool start(const QStringList &simArguments)
    {
        sim = std::make_unique<MeterSimProcess>();
        if (!sim->start(QStringList{"--addresses", "3-5"} + presetMeters({3, 4, 5}, kCount) + simArguments))
            return false;
        rig = std::make_unique<LineUnderTest>(sim->devicePath(), menus, 3, 4, 200);
        home = std::make_unique<QTemporaryDir>();
        store = std::make_unique<SetStore>(home->path());
        job = std::make_unique<ParameterJob>(*rig->line, store.get());
        read.clear();
        outcomes.clear();
        QObject::connect(job.get(), &ParameterJob::setRead, [this](const ParameterSet &set) { read << set; });
        QObject::connect(job.get(), &ParameterJob::finished,
                         [this](const JobOutcome &outcome) { outcomes << outcome; });
        return rig->open();
    }

    bool finished() { return QTest::qWaitFor([this] { return !outcomes.isEmpty(); }, kDeadlineMs); }

    // The requests of the job since `from`: everything but the polls.
    QList<MeterSimProcess::Request> jobRequests(qsizetype from)
    {
        QList<MeterSimProcess::Request> found;
        const QList<MeterSimProcess::Request> all = sim->requests();
        for (qsizetype i = from; i < all.size(); ++i)
            if (all[i].reg != 200)
                found << all[i];
        return found;
    }

    // What the meter holds now, by a backup.
    std::optional<ParameterSet> meterNow(int address)
    {
        read.clear();
        outcomes.clear();
        if (!job->read(address, 5, QStringLiteral("TC")) || !finished() || read.isEmpty())
            return std::nullopt;
        return read.last();
    }

    // The desktop's own messages stay quiet, and polling goes on.
    void theLineGoesOn()
    {
        QVERIFY(rig->recorded.shown.isEmpty());
        QVERIFY(rig->shown.isEmpty());
        const qsizetype before = sim->requests().size();
        QVERIFY(sim->waitForRequests(before + 2, kDeadlineMs));
        QCOMPARE(sim->requests().last().reg, 200);
    }

private slots:
    void cleanup()
    {
        job.reset();
        rig.reset();
        if (sim)
            QVERIFY(sim->stop());
        sim.reset();
        store.reset();
        home.reset();
    }

    void aBackupIsWhatTheMetersHold()
    {
        QVERIFY(start({}));
        QSignalSpy progress(job.get(), &ParameterJob::progress);
        QVERIFY(job->backup({3, 5}, 5, QStringLiteral("TC"), QStringLiteral("before the change")));
        QVERIFY(!job->backup({4}, 5, QString(), QString())); // one job at a time
        QVERIFY(finished());
        QCOMPARE(outcomes.first().end, JobOutcome::End::Done);
        QCOMPARE(read.size(), 2);
        QCOMPARE(read[0].address, 3);
        QCOMPARE(rawOf(read[0]), presetOf(3, kCount));
        QCOMPARE(rawOf(read[1]), presetOf(5, kCount));
        QCOMPARE(read[1].parameters[1].text, QStringLiteral("50.1"));
        QCOMPARE(read[1].note, QStringLiteral("before the change"));
        QCOMPARE(progress.last(), (QVariantList{2, 2}));
        theLineGoesOn();
    }

    // Only the differing parameters, unskipped, each written and read back
    // before the next; the write log says so.
    void aRestoreWritesTheDifferencesWithReadBack()
    {
        QVERIFY(start({}));
        std::optional<ParameterSet> set = meterNow(3);
        QVERIFY(set);
        set->parameters[2].raw = 9002;
        set->parameters[4].raw = -4;
        set->parameters[5].raw = 9005;
        outcomes.clear();
        const qsizetype from = sim->requests().size();
        QVERIFY(job->restore(*set, {3}, {5}));
        QVERIFY(finished());
        QCOMPARE(outcomes.first().end, JobOutcome::End::Done);
        QCOMPARE(outcomes.first().writes, 2);

        QList<std::tuple<int, int, int>> asked; // function, register, value
        for (const MeterSimProcess::Request &r : jobRequests(from))
            asked << std::tuple(r.function, r.reg, r.function == 6 ? r.value : 0);
        // The meter is read first. A read asks its first register twice:
        // the first answer may be a late one to the poll before it.
        QList<std::tuple<int, int, int>> expected{{3, 0, 0}};
        for (int k = 0; k < kCount; ++k)
            expected << std::tuple(3, 2 * k, 0);
        expected << std::tuple(6, 4, 9002) << std::tuple(3, 4, 0) << std::tuple(3, 4, 0);
        expected << std::tuple(6, 8, 65532) << std::tuple(3, 8, 0) << std::tuple(3, 8, 0);
        QCOMPARE(asked, expected);

        const QList<WriteRecord> log = store->writeLog();
        QCOMPARE(log.size(), 2);
        QCOMPARE(log[0].k, 2);
        QCOMPARE(log[0].oldRaw, std::optional<qint16>(302));
        QCOMPARE(log[0].readBack, std::optional<qint16>(9002));
        QCOMPARE(log[1].result, WriteResult::Done);
        QCOMPARE(log[1].newRaw, qint16(-4));
        QCOMPARE(rawOf(*meterNow(3)), (QList<qint16>{300, 301, 9002, 303, -4, 305}));
        theLineGoesOn();
    }

    // A locked meter refuses the first write: the job stops there.
    void aRefusedWriteStopsTheRestore()
    {
        QVERIFY(start({"--read-only", "4"}));
        std::optional<ParameterSet> set = meterNow(3);
        QVERIFY(set);
        outcomes.clear();
        QVERIFY(job->restore(*set, {4}));
        QVERIFY(finished());
        const JobOutcome outcome = outcomes.first();
        QCOMPARE(outcome.end, JobOutcome::End::Refused);
        QCOMPARE(outcome.address, 4);
        QCOMPARE(outcome.k, 0);
        QCOMPARE(outcome.exceptionCode, 4);
        QCOMPARE(outcome.written, std::optional<qint16>(300));
        QCOMPARE(outcome.writes, 0);
        const QList<WriteRecord> log = store->writeLog();
        QCOMPARE(log.size(), 1);
        QCOMPARE(log[0].result, WriteResult::Refused);
        QCOMPARE(rawOf(*meterNow(4)), presetOf(4, kCount));
        theLineGoesOn();
    }

    // A copy to two meters leaves the skipped parameters alone.
    void aCopySkipsTheUntickedRows()
    {
        QVERIFY(start({}));
        const std::optional<ParameterSet> set = meterNow(3);
        QVERIFY(set);
        outcomes.clear();
        QSignalSpy planned(job.get(), &ParameterJob::planned);
        QVERIFY(job->restore(*set, {4, 5}, {0, 3}));
        QVERIFY(finished());
        QCOMPARE(outcomes.first().end, JobOutcome::End::Done);
        QCOMPARE(outcomes.first().writes, 8);
        QCOMPARE(planned.size(), 2);
        QCOMPARE(rawOf(*meterNow(4)), (QList<qint16>{400, 301, 302, 403, 304, 305}));
        QCOMPARE(rawOf(*meterNow(5)), (QList<qint16>{500, 301, 302, 503, 304, 305}));
    }

    // A meter that stops answering after the read (its first register asked
    // twice): the write is unanswered.
    void aMeterFallingSilentStopsTheJob()
    {
        QVERIFY(start({"--silent-after", QStringLiteral("5=%1").arg(kCount + 1)}));
        std::optional<ParameterSet> set = meterNow(3);
        QVERIFY(set);
        outcomes.clear();
        QVERIFY(job->restore(*set, {5}));
        QVERIFY(finished());
        QCOMPARE(outcomes.first().end, JobOutcome::End::NoAnswer);
        QCOMPARE(outcomes.first().k, 0);
        QCOMPARE(store->writeLog().size(), 1);
        QCOMPARE(store->writeLog().first().result, WriteResult::NoAnswer);
    }

    void aCancelledJobLeavesTheLinePolling()
    {
        QVERIFY(start({}));
        QVERIFY(job->backup({3, 4, 5}, 5, QStringLiteral("TC"), QString()));
        QVERIFY(sim->waitForRequests(3, kDeadlineMs));
        job->cancel();
        QCOMPARE(outcomes.size(), 1);
        QCOMPARE(outcomes.first().end, JobOutcome::End::Cancelled);
        QVERIFY(!job->running());
        QVERIFY(!rig->line->transferRunning());
        theLineGoesOn();
        QCOMPARE(outcomes.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestParameterJob)
#include "tst_parameterjob.moc"
