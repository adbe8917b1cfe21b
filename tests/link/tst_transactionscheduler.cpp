#include "CommandIds.h"
#include "FakeSchedulerHost.h"
#include "FrameBytes.h"
#include "Language.h"
#include "LineMessages.h"
#include "LinkTexts.h"
#include "LiveValueTable.h"
#include "ModbusFrame.h"
#include "ParameterData.h"
#include "RecordingPrompts.h"
#include "RequestChannel.h"
#include "Texts.h"
#include "TransactionScheduler.h"
#include "WriteLists.h"

#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <functional>
#include <limits>
#include <map>

namespace {

using namespace TimerId;
using Activity = TransactionScheduler::Activity;

// Every request as the bytes the link would put on the wire.
class FakeLink : public RequestChannel {
public:
    void WriteRequest(int address, int function, int reg, int value) override
    {
        sent.append(BuildRequest(address, function, reg, value));
    }
    int lastResponseMs() const override { return 12; }
    QList<ModbusRequest> sent;
};

ReceiveBuffer frame(const QByteArray &bytes, bool appendCrc = true)
{
    return bufferOf(appendCrc ? withCrc(bytes) : bytes);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int value : values)
        result.append(char(value & 0xFF));
    return result;
}

ReceiveBuffer readAnswer(int address, int value)
{
    return frame(bytes({address, 3, 2, value >> 8, value}));
}

// Exception code 2: illegal data address.
ReceiveBuffer exceptionAnswer(int address, int function)
{
    return frame(bytes({address, function | 0x80, 2}));
}

ReceiveBuffer echoOf(const ModbusRequest &request)
{
    return bufferOf(bytesOf(request));
}

ParameterMenu menu(int count, const QList<std::tuple<const char *, const char *, bool>> &rows)
{
    ParameterMenu m;
    m.count = count;
    for (int k = 0; k < rows.size(); ++k) {
        const auto &[zh, en, oneDecimal] = rows[k];
        m.captionC[k] = QString::fromUtf8(zh);
        m.captionE[k] = QString::fromUtf8(en);
        m.oneDecimal[k] = oneDecimal;
    }
    return m;
}

// The catalogue's menus: type 1 with three parameters; type 2 without
// parameters; type 3 claiming more than a menu can hold; type 4 with two.
std::optional<ParameterMenu> menuOf(int type)
{
    switch (type) {
    case 1:
        return menu(
            3,
            {{"设定值", "Set Value", true}, {"报警方式", "Alarm Mode", false}, {"下限", "Low Limit", true}});
    case 2:
        return menu(0, {});
    case 3:
        return menu(60, {});
    case 4:
        return menu(2, {{"地址", "Address", false}, {"小数", "Decimal", true}});
    default:
        return std::nullopt;
    }
}

struct Rig {
    FakeLink link;
    FakeSchedulerHost host;
    LiveValueTable values;
    Language language{1};
    TransactionScheduler scheduler{link, host, values, menuOf};
    // The scheduler's reports in the program's words, its boxes recorded.
    RecordingPrompts shownPrompts;
    LineMessages messages{language, shownPrompts};
    int type = 1;

    // What the scheduler told its windows.
    QStringList status;
    bool progress = false;
    int progressShown = 0;
    QPair<int, int> progressRange;
    QList<int> progressPositions;
    QStringList progressTexts;
    QList<ParameterDisplay> shown;
    QList<LineEvent> events; // as the scheduler reported them
    QList<ParameterReading> readings;

    Rig()
    {
        QObject::connect(&scheduler, &TransactionScheduler::happened,
                         [this](const LineEvent &event) { events.append(event); });
        QObject::connect(&scheduler, &TransactionScheduler::parametersRead,
                         [this](const ParameterReading &reading) { readings.append(reading); });
        QObject::connect(&scheduler, &TransactionScheduler::happened, &messages, &LineMessages::tell);
        QObject::connect(&scheduler, &TransactionScheduler::progressStarted, &messages,
                         &LineMessages::startProgress);
        QObject::connect(&scheduler, &TransactionScheduler::progressMoved, &messages,
                         &LineMessages::moveProgress);
        QObject::connect(&scheduler, &TransactionScheduler::progressEnded, &messages,
                         &LineMessages::progressEnded);
        QObject::connect(&scheduler, &TransactionScheduler::parametersRead, &messages,
                         &LineMessages::showParameters);
        QObject::connect(&messages, &LineMessages::statusText, [this](const QString &t) { status << t; });
        QObject::connect(&messages, &LineMessages::progressStarted,
                         [this](const QString &, int high) {
                             progress = true;
                             ++progressShown;
                             progressRange = {0, high};
                             progressPositions.append(0);
                         });
        QObject::connect(&messages, &LineMessages::progressMoved, [this](const QString &prefix, int pos) {
                             progressPositions.append(pos);
                             progressTexts.append(prefix + QString::number(pos));
                         });
        QObject::connect(&messages, &LineMessages::progressEnded, [this] { progress = false; });
        QObject::connect(&messages, &LineMessages::parametersRead,
                         [this](const ParameterDisplay &display) { shown.append(display); });
    }

    ModbusRequest lastSent() const { return link.sent.isEmpty() ? ModbusRequest{} : link.sent.last(); }
    // Address and register of the last request.
    QPair<int, int> lastRead() const { return {lastSent()[0], lastSent()[3]}; }
    void tick(int id) { scheduler.onTimer(id); }
    void answer(const ReceiveBuffer &buffer) { scheduler.onAnswer(buffer); }
    void answerLast(int value) { answer(readAnswer(lastSent()[0], value)); }
    void startMonitoring(int first, int last)
    {
        scheduler.setAddressRange(first, last);
        scheduler.startMonitoring();
    }
    bool readAllParameters(int address) { return scheduler.readAllParameters(address, type); }
    // Reads all parameters of the meter at `address`, answering each request
    // with `values` (the discarded first answer included).
    void readAll(int address, const QList<int> &answers)
    {
        readAllParameters(address);
        tick(ReadAllTimer);
        answerLast(answers.value(0));
        for (int value : answers) {
            tick(ReadAllTimer);
            answerLast(value);
        }
        tick(ReadAllTimer);
    }
    void echoEachWrite(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            tick(WriteTimer);
            if (host.running.count(WriteTimer))
                answer(echoOf(lastSent()));
        }
    }
    // The fast cycle with a silence interval of 20 ms and an answer
    // time-out of 67 ms.
    void startFastCycle(int first, int last)
    {
        scheduler.setCycle(TransactionScheduler::Cycle::Fast, kSilenceMs, kAnswerTimeoutMs);
        startMonitoring(first, last);
    }
    static constexpr int kSilenceMs = 20;
    static constexpr int kAnswerTimeoutMs = 67;
    int pollPeriod() const { return host.running.count(PollTimer) ? host.running.at(PollTimer) : 0; }
    QList<int> runningTimers() const
    {
        QList<int> ids;
        for (const auto &[id, period] : host.running)
            ids.append(id);
        return ids;
    }
};

QString text(const BiText &t)
{
    return t.text(1);
}

using Scenario = std::function<void(Rig &)>;

} // namespace

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(ReceiveBuffer)
Q_DECLARE_METATYPE(TransactionScheduler::Activity)

class TestTransactionScheduler : public QObject {
    Q_OBJECT

    std::unique_ptr<Rig> rig;

private slots:
    void init() { rig = std::make_unique<Rig>(); }

    void liveValuesBeforeAnyAnswer()
    {
        for (int address = 0; address < 64; ++address)
            QCOMPARE(rig->values[address], address < 25 ? -500.0 : 0.0);
    }

    void stateTable_data()
    {
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<QList<int>>("timers");
        QTest::addColumn<Activity>("activity");
        QTest::addColumn<qsizetype>("errors");

        const auto monitoring = [](Rig &r) { r.startMonitoring(1, 3); };
        const auto silentPoll = [=](Rig &r) {
            monitoring(r);
            r.tick(PollTimer);
            r.tick(PollTimer);
        };
        const auto reading = [=](Rig &r) {
            monitoring(r);
            r.readAllParameters(2);
        };
        const auto writing = [=](Rig &r) {
            r.readAll(2, {10, 20, 30});
            r.scheduler.startWrite(writeList({{0, 1.5}}));
        };
        QTest::newRow("idle, port configured -> monitoring")
            << Scenario(monitoring) << QList<int>{PollTimer} << Activity::Monitoring << qsizetype(0);
        QTest::newRow("monitoring, missing answer -> probing, no message box")
            << Scenario(silentPoll) << QList<int>{ProbeTimer} << Activity::Probing << qsizetype(0);
        QTest::newRow("probing, any answer -> monitoring") << Scenario([=](Rig &r) {
            silentPoll(r);
            r.tick(ProbeTimer);
            r.answer(ReceiveBuffer{});
            r.tick(ProbeTimer);
        }) << QList<int>{PollTimer} << Activity::Monitoring << qsizetype(0);
        QTest::newRow("monitoring, read-all command -> reading")
            << Scenario(reading) << QList<int>{ReadAllTimer} << Activity::Reading << qsizetype(0);
        QTest::newRow("reading, all values stored -> monitoring") << Scenario([](Rig &r) {
            r.readAll(2, {10, 20, 30});
        }) << QList<int>{PollTimer} << Activity::Monitoring << qsizetype(0);
        QTest::newRow("reading, missing answer -> probing with a message box") << Scenario([=](Rig &r) {
            reading(r);
            r.tick(ReadAllTimer);
            r.tick(ReadAllTimer);
        }) << QList<int>{ProbeTimer} << Activity::Probing << qsizetype(1);
        QTest::newRow("monitoring, write confirmed -> writing")
            << Scenario(writing) << QList<int>{WriteTimer} << Activity::Writing << qsizetype(0);
        QTest::newRow("writing, last write echoed -> monitoring") << Scenario([=](Rig &r) {
            writing(r);
            r.echoEachWrite(2);
        }) << QList<int>{PollTimer} << Activity::Monitoring << qsizetype(0);
        QTest::newRow("writing, missing answer -> probing with a message box") << Scenario([=](Rig &r) {
            writing(r);
            r.tick(WriteTimer);
            r.tick(WriteTimer);
        }) << QList<int>{ProbeTimer} << Activity::Probing << qsizetype(1);
    }

    void stateTable()
    {
        QFETCH(Scenario, scenario);
        QFETCH(QList<int>, timers);
        scenario(*rig);
        QCOMPARE(rig->runningTimers(), timers);
        QTEST(rig->scheduler.activity(), "activity");
        QTEST(rig->shownPrompts.count(RecordingPrompts::Kind::Error), "errors");
    }

    void timerPeriods()
    {
        rig->scheduler.setSamplingTime(700);
        rig->startMonitoring(1, 3);
        QCOMPARE(rig->host.running[PollTimer], 700);
        rig->tick(PollTimer);
        rig->tick(PollTimer);
        QCOMPARE(rig->host.running[ProbeTimer], 300);
        rig->readAllParameters(1);
        QCOMPARE(rig->host.running[ReadAllTimer], 300);
        rig->scheduler.stopAll();
        rig->scheduler.startWrite(writeList({{0, 1}}));
        QCOMPARE(rig->host.running[WriteTimer], 400);
    }

    void pollPeriodBroughtIntoRange_data()
    {
        QTest::addColumn<int>("configured");
        QTest::addColumn<int>("period");
        QTest::newRow("below the range") << 50 << 200;
        QTest::newRow("zero from an unset key") << 0 << 200;
        QTest::newRow("lowest") << 200 << 200;
        QTest::newRow("inside") << 450 << 450;
        QTest::newRow("highest") << 1000 << 1000;
        QTest::newRow("above the range") << 60000 << 1000;
    }

    void pollPeriodBroughtIntoRange()
    {
        QFETCH(int, configured);
        rig->scheduler.setSamplingTime(configured);
        QTEST(rig->scheduler.samplingTime(), "period");
        rig->scheduler.StartTimer(PollTimer, configured);
        QTEST(rig->host.running[PollTimer], "period");
    }

    void unknownTimerIsStopped()
    {
        rig->host.running[7] = 100;
        rig->tick(7);
        QVERIFY(!rig->host.running.count(7));
        QVERIFY(rig->link.sent.isEmpty());
    }

    void firstAnswerAfterStartTimerIsDiscarded()
    {
        rig->startMonitoring(30, 30);
        rig->tick(PollTimer);
        rig->answerLast(123);
        QCOMPARE(rig->values[30], 0.0);
        QCOMPARE(rig->status.last(),
                 QStringLiteral("2024-05-06;07:08:09\nCurrent address of meter read is 30 #"));
        rig->tick(PollTimer);
        rig->answerLast(-123);
        QCOMPARE(rig->values[30], -12.3);
        QCOMPARE(rig->values.liveReading().address, 30);
        QCOMPARE(rig->values.liveReading().value, -12.3);
    }

    void statusTextInChinese()
    {
        rig->language.set(0);
        rig->startMonitoring(7, 7);
        rig->tick(PollTimer);
        rig->answerLast(1);
        QCOMPARE(rig->status.last(), QStringLiteral("2024-05-06;07:08:09\n当前读取得到的仪表地址为 07 #"));
    }

    void pollsTheRangeInTurn()
    {
        rig->startMonitoring(1, 3);
        QList<int> polled;
        for (int i = 0; i < 5; ++i) {
            rig->tick(PollTimer);
            polled.append(rig->lastRead().first);
            QCOMPARE(rig->lastRead().second, 200);
            rig->answerLast(10 * i);
        }
        QCOMPARE(polled, (QList<int>{1, 2, 3, 1, 2}));
        QCOMPARE(rig->values[3], 2.0);
        QCOMPARE(rig->values[1], 3.0);
    }

    void startEqualToEndAlwaysPollsStart()
    {
        rig->startMonitoring(5, 5);
        for (int i = 0; i < 3; ++i) {
            rig->tick(PollTimer);
            QCOMPARE(rig->lastRead().first, 5);
            rig->answer(readAnswer(6, 1));
        }
    }

    void answerFromAnotherAddress_data()
    {
        QTest::addColumn<int>("responder");
        QTest::addColumn<int>("nextPoll");
        QTest::newRow("inside the range: the poll goes on after it") << 3 << 4;
        QTest::newRow("above the range: the poll starts again") << 40 << 2;
        QTest::newRow("below the range: the poll stays inside it") << 0 << 2;
    }

    void answerFromAnotherAddress()
    {
        QFETCH(int, responder);
        rig->startMonitoring(2, 4);
        rig->tick(PollTimer);
        rig->answerLast(0); // the first answer after the start is discarded
        rig->tick(PollTimer);
        rig->answer(readAnswer(responder, 55));
        QCOMPARE(rig->values[responder], 5.5);
        rig->tick(PollTimer);
        QTEST(rig->lastRead().first, "nextPoll");
    }

    void anyAnswerMovesMonitoringOn_data()
    {
        QTest::addColumn<ReceiveBuffer>("answer");
        QTest::newRow("bad CRC") << frame(QByteArray::fromHex("0203020102"), false);
        QTest::newRow("nothing but zeros") << ReceiveBuffer{};
        QTest::newRow("exception answer") << exceptionAnswer(2, 3);
        QTest::newRow("other function, good CRC") << frame(QByteArray::fromHex("0204020102"));
        QTest::newRow("answer of a meter beyond 63") << readAnswer(70, 5);
    }

    void anyAnswerMovesMonitoringOn()
    {
        QFETCH(ReceiveBuffer, answer);
        rig->startMonitoring(1, 3);
        rig->tick(PollTimer);
        rig->answerLast(0);
        QCOMPARE(rig->lastRead().first, 1);
        QList<int> polled;
        for (int i = 0; i < 4; ++i) {
            rig->tick(PollTimer);
            polled.append(rig->lastRead().first);
            rig->answer(answer);
        }
        QCOMPARE(polled, (QList<int>{2, 3, 1, 2}));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
    }

    void probesTheRangeUntilAnAnswer()
    {
        rig->startMonitoring(31, 33);
        rig->tick(PollTimer);
        rig->answerLast(10);
        rig->tick(PollTimer); // to meter 32, silent
        rig->tick(PollTimer);
        QCOMPARE(rig->status.last(), QStringLiteral("2024-05-06;07:08:09\nCommunication is interrupted!"));
        QList<int> probed;
        for (int i = 0; i < 3; ++i) {
            rig->tick(ProbeTimer);
            probed.append(rig->lastRead().first);
        }
        QCOMPARE(probed, (QList<int>{33, 31, 32}));
        for (int meter : {31, 32, 33})
            QCOMPARE(rig->values[meter], -500.0);
        QVERIFY(rig->shownPrompts.shown.isEmpty());

        rig->answerLast(77); // meter 32 is back
        QCOMPARE(rig->values[32], 7.7);
        rig->tick(ProbeTimer);
        QCOMPARE(rig->status.last(), QStringLiteral("2024-05-06;07:08:09\nCommunication is reconnected!"));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().first, 32);
    }

    void monitoringResumesAfterAnInterruptedTransfer_data()
    {
        QTest::addColumn<Scenario>("interruption");
        QTest::addColumn<int>("meter");
        QTest::newRow("read of the last meter") << Scenario([](Rig &r) {
            r.readAllParameters(32);
            r.tick(ReadAllTimer);
            r.tick(ReadAllTimer);
        }) << 32;
        QTest::newRow("read of a middle meter, the last one answers the probe") << Scenario([](Rig &r) {
            r.readAllParameters(31);
            r.tick(ReadAllTimer);
            r.tick(ReadAllTimer);
        }) << 31;
        QTest::newRow("write to the first meter") << Scenario([](Rig &r) {
            r.readAll(30, {1, 2, 3});
            r.tick(PollTimer);
            r.answerLast(5);
            r.scheduler.startWrite(writeList({{0, 1}}));
            r.tick(WriteTimer);
            r.tick(WriteTimer);
        }) << 30;
    }

    void monitoringResumesAfterAnInterruptedTransfer()
    {
        QFETCH(Scenario, interruption);
        QFETCH(int, meter);
        rig->startMonitoring(30, 32);
        interruption(*rig);
        QCOMPARE(rig->runningTimers(), QList<int>{ProbeTimer});
        rig->tick(ProbeTimer);
        QCOMPARE(rig->values[meter], -500.0);
        const int probed = rig->lastRead().first;
        rig->answerLast(42);
        rig->tick(ProbeTimer);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        // Monitoring goes on with the meter that answered, and stores again.
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().first, probed);
        rig->answerLast(43);
        QCOMPARE(rig->values[probed], 4.3);
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().first, probed == 32 ? 30 : probed + 1);
    }

    void readsAllParametersAndShowsThem_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("English") << 1 << QStringList{"Set Value", "Alarm Mode", "Low Limit"};
        QTest::newRow("Chinese") << 0 << QStringList{"设定值", "报警方式", "下限"};
    }

    void readsAllParametersAndShowsThem()
    {
        QFETCH(int, language);
        rig->language.set(language);
        rig->startMonitoring(1, 9);
        rig->readAll(7, {-125, -125, 7});
        QList<QPair<int, int>> requests;
        for (const ModbusRequest &request : rig->link.sent)
            requests.append({request[0], request[3]});
        // Parameter 0 twice: its first answer is discarded.
        QCOMPARE(requests, (QList<QPair<int, int>>{{7, 0}, {7, 0}, {7, 2}, {7, 4}}));
        QCOMPARE(rig->shown.size(), 1);
        const ParameterDisplay &display = rig->shown.first();
        QCOMPARE(display.parameterCount, 3);
        QTEST(QStringList(display.names.begin(), display.names.begin() + 3), "names");
        // Position 1 takes the decimal places of its later row too.
        QCOMPARE(QStringList(display.values.begin(), display.values.begin() + 3),
                 (QStringList{"-12.5", "-125", "0.7"}));
        QCOMPARE(rig->scheduler.writeAddress(), 7);
        QCOMPARE(rig->progressRange, (QPair<int, int>(0, 6)));
        QCOMPARE(rig->progressPositions, (QList<int>{0, 2, 2, 4, 6}));
        QCOMPARE(rig->progressTexts.last(), kReadPercent.text(language) + "6");
        QVERIFY(!rig->progress);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QVERIFY(rig->shownPrompts.shown.isEmpty());
    }

    void readAllOfAMenuBeyondFiftyIsLimited()
    {
        rig->type = 3;
        rig->readAllParameters(1);
        QCOMPARE(rig->scheduler.parameterCount(), 50);
        QCOMPARE(rig->progressRange, (QPair<int, int>(0, 100)));
    }

    void readAllRefused_data()
    {
        QTest::addColumn<int>("meterType");
        QTest::addColumn<QString>("message");
        QTest::newRow("meter type without parameters") << 2 << text(kNoParameters).arg(2);
        QTest::newRow("meter type without a row") << 9 << text(kNoParameters).arg(9);
    }

    void readAllRefused()
    {
        QFETCH(int, meterType);
        rig->type = meterType;
        rig->startMonitoring(1, 3);
        QVERIFY(!rig->readAllParameters(2));
        QTEST(rig->shownPrompts.lastText(), "message");
        QCOMPARE(rig->shownPrompts.shown.last().caption, QStringLiteral("Error"));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->progressShown, 0);
        QVERIFY(rig->link.sent.isEmpty());
    }

    void noSecondRunWhileOneIsOn()
    {
        rig->startMonitoring(1, 3);
        QVERIFY(rig->readAllParameters(2));
        rig->tick(ReadAllTimer);
        QVERIFY(!rig->readAllParameters(3));
        QVERIFY(!rig->scheduler.startWrite(writeList({{0, 1}})));
        QCOMPARE(rig->progressShown, 1);
        QCOMPARE(rig->runningTimers(), QList<int>{ReadAllTimer});
        rig->answerLast(0);
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->lastRead(), (QPair<int, int>(2, 0)));
        QCOMPARE(rig->link.sent.size(), 2);
    }

    void readAllInterrupted()
    {
        rig->startMonitoring(1, 3);
        rig->readAllParameters(2);
        rig->tick(ReadAllTimer);
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->shownPrompts.lastText(), text(kInterrupted));
        QVERIFY(!rig->progress);
        QVERIFY(rig->shown.isEmpty());
        // A new read starts again from the first parameter.
        QVERIFY(rig->readAllParameters(3));
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->lastRead(), (QPair<int, int>(3, 0)));
    }

    void exceptionEndsTheReadNamingTheParameter()
    {
        rig->startMonitoring(1, 3);
        rig->readAllParameters(2);
        rig->tick(ReadAllTimer);
        rig->answer(exceptionAnswer(2, 3)); // the first answer is discarded, whatever it is
        rig->tick(ReadAllTimer);
        rig->answerLast(5);
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->lastRead(), (QPair<int, int>(2, 2)));
        rig->answer(exceptionAnswer(2, 3));
        QCOMPARE(rig->shownPrompts.lastText(), text(kReadRefused).arg(2).arg("Alarm Mode"));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QVERIFY(!rig->progress);
        QVERIFY(rig->shown.isEmpty());
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().second, 200);
    }

    // What the scheduler reports carries the facts, in no language: the
    // meter, the parameter with both captions, the exception code, the
    // values read, and the time of the host's clock.
    void eventsCarryWhatHappened()
    {
        rig->startMonitoring(1, 3);
        rig->tick(PollTimer);
        rig->answerLast(-125);
        QCOMPARE(rig->events.last().what, LineEvent::What::Answered);
        QCOMPARE(rig->events.last().address, 1);
        QCOMPARE(rig->events.last().value, qint16(-125));
        QCOMPARE(rig->events.last().time, rig->host.clock);

        rig->readAll(2, {7, -8, 9});
        QCOMPARE(rig->readings.size(), 1);
        QCOMPARE(rig->readings.last().address, 2);
        QCOMPARE(rig->readings.last().menu.count, 3);
        QCOMPARE(rig->readings.last().values[1], qint16(-8));

        rig->readAllParameters(2);
        rig->tick(ReadAllTimer);
        rig->answerLast(0);
        rig->tick(ReadAllTimer);
        rig->answerLast(5);
        rig->tick(ReadAllTimer);
        rig->answer(frame(bytes({2, 0x83, 3})));
        const LineEvent refused = rig->events.last();
        QCOMPARE(refused.what, LineEvent::What::ReadRefused);
        QCOMPARE(refused.address, 2);
        QCOMPARE(refused.parameter, 1);
        QCOMPARE(refused.exceptionCode, 3);
        QCOMPARE(refused.captionC, QStringLiteral("报警方式"));
        QCOMPARE(refused.captionE, QStringLiteral("Alarm Mode"));

        rig->readAll(2, {0, 0, 0});
        rig->scheduler.startWrite(writeList({{2, -1.5}, {0, 4}}));
        rig->echoEachWrite(1);
        rig->tick(WriteTimer);
        rig->answer(frame(bytes({2, 0x86, 4})));
        const LineEvent writeRefused = rig->events.last();
        QCOMPARE(writeRefused.what, LineEvent::What::WriteRefused);
        QCOMPARE(writeRefused.address, 2);
        QCOMPARE(writeRefused.parameter, 0);
        QCOMPARE(writeRefused.value, qint16(40));
        QCOMPARE(writeRefused.exceptionCode, 4);

        rig->scheduler.startWrite(writeList({{1, 1e9}}));
        QCOMPARE(rig->events.last().what, LineEvent::What::ValueRefused);
        QCOMPARE(rig->events.last().parameter, 1);
        QCOMPARE(rig->events.last().entered, 1e9);
    }

    // Every monitoring request is judged for whoever publishes each poll:
    // the answer's value, a missing answer, a bad frame, an exception; the
    // requests of a read of all parameters are not polls.
    void eachPollIsJudged()
    {
        QList<PollOutcome> outcomes;
        QObject::connect(&rig->scheduler, &TransactionScheduler::pollJudged,
                         [&](const PollOutcome &outcome) { outcomes.append(outcome); });
        using Quality = PollOutcome::Quality;
        rig->startMonitoring(1, 4);
        rig->tick(PollTimer);
        rig->answerLast(-7);
        rig->tick(PollTimer);
        rig->answer(exceptionAnswer(2, 3));
        rig->tick(PollTimer);
        rig->answer(frame(bytes({3, 3, 2, 0, 1}), false));
        rig->tick(PollTimer);
        rig->tick(PollTimer); // meter 4 did not answer
        QCOMPARE(outcomes.size(), 4);
        QCOMPARE(outcomes[0].address, 1);
        QCOMPARE(outcomes[0].quality, Quality::Ok);
        QCOMPARE(outcomes[0].raw, qint16(-7));
        QCOMPARE(outcomes[0].time, rig->host.clock);
        QCOMPARE(outcomes[1].quality, Quality::Exception);
        QCOMPARE(outcomes[1].exceptionCode, 2);
        QCOMPARE(outcomes[1].raw, qint16(0));
        QCOMPARE(outcomes[2].address, 3);
        QCOMPARE(outcomes[2].quality, Quality::BadFrame);
        QCOMPARE(outcomes[3].address, 4);
        QCOMPARE(outcomes[3].quality, Quality::NoAnswer);

        outcomes.clear();
        rig->readAll(2, {1, 2, 3});
        QVERIFY(outcomes.isEmpty());
    }

    void writeRunOfOneEntry()
    {
        rig->readAll(4, {0, 0, 0});
        rig->scheduler.startWrite(writeList({{0, 12.35}}));
        QCOMPARE(rig->runningTimers(), QList<int>{WriteTimer});
        rig->tick(WriteTimer);
        QCOMPARE(rig->lastSent(), BuildRequest(4, 6, 0, 123));
        QCOMPARE(rig->progressRange, (QPair<int, int>(0, 1)));
        QCOMPARE(rig->progressTexts.last(), QStringLiteral("Wrote percent:1"));
        // Not reported before the meter confirmed the write.
        QCOMPARE(rig->shownPrompts.count(RecordingPrompts::Kind::Info), 0);
        rig->answer(echoOf(rig->lastSent()));
        rig->tick(WriteTimer);
        QCOMPARE(rig->shownPrompts.shown.size(), 1);
        QCOMPARE(rig->shownPrompts.shown.last().kind, RecordingPrompts::Kind::Info);
        QCOMPARE(rig->shownPrompts.lastText(), QStringLiteral("Write completely!"));
        QCOMPARE(rig->shownPrompts.shown.last().caption, QStringLiteral("Success"));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QVERIFY(!rig->progress);
        QCOMPARE(rig->link.sent.size(), 4 + 1);
    }

    void writeRunOfSeveralEntries()
    {
        rig->readAll(9, {0, 0, 0});
        rig->scheduler.startWrite(writeList({{2, -12.35}, {0, 7}, {1, 2.9}}));
        rig->echoEachWrite(3);
        const QList<ModbusRequest> writes = rig->link.sent.mid(4);
        QCOMPARE(writes, (QList<ModbusRequest>{BuildRequest(9, 6, 4, -123), BuildRequest(9, 6, 0, 70),
                                               BuildRequest(9, 6, 2, 2)}));
        QCOMPARE(rig->progressPositions.mid(rig->progressPositions.size() - 4), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(rig->shownPrompts.count(RecordingPrompts::Kind::Info), 0);
        rig->tick(WriteTimer);
        QCOMPARE(rig->shownPrompts.lastText(), QStringLiteral("Write completely!"));
        // The next run starts again from its first entry.
        rig->scheduler.startWrite(writeList({{1, 5}}));
        rig->tick(WriteTimer);
        QCOMPARE(rig->lastSent(), BuildRequest(9, 6, 2, 5));
    }

    void writeRunEndsAtAFailedWrite_data()
    {
        QTest::addColumn<Scenario>("failure");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("timers");
        QTest::newRow("missing answer")
            << Scenario([](Rig &r) { r.tick(WriteTimer); })
            << text(kWriteInterrupted).arg(2).arg("Alarm Mode") << QList<int>{ProbeTimer};
        QTest::newRow("exception answer")
            << Scenario([](Rig &r) { r.answer(exceptionAnswer(4, 6)); })
            << text(kWriteRefused).arg(2).arg("Alarm Mode") << QList<int>{PollTimer};
        QTest::newRow("answer that is not the echo") << Scenario([](Rig &r) {
            ModbusRequest wrong = r.lastSent();
            wrong[5] ^= 1;
            r.answer(echoOf(wrong));
        }) << text(kWriteBadEcho).arg(2).arg("Alarm Mode")
                                                     << QList<int>{PollTimer};
    }

    void writeRunEndsAtAFailedWrite()
    {
        QFETCH(Scenario, failure);
        rig->readAll(4, {0, 0, 0});
        rig->scheduler.startWrite(writeList({{0, 1}, {1, 2}, {2, 3}}));
        rig->echoEachWrite(1);
        rig->tick(WriteTimer);
        failure(*rig);
        QTEST(rig->shownPrompts.lastText(), "message");
        QCOMPARE(rig->shownPrompts.shown.size(), 1);
        QTEST(rig->runningTimers(), "timers");
        QVERIFY(!rig->progress);
        QCOMPARE(rig->link.sent.size(), 4 + 2);
        // Nothing of the abandoned run is sent later; a new run starts afresh.
        if (rig->host.running.count(ProbeTimer)) {
            rig->tick(ProbeTimer);
            rig->answerLast(0);
            rig->tick(ProbeTimer);
        }
        rig->scheduler.startWrite(writeList({{2, 1}}));
        rig->tick(WriteTimer);
        QCOMPARE(rig->lastSent(), BuildRequest(4, 6, 4, 10));
    }

    void writeScalesByTheMenu_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("entered");
        QTest::addColumn<int>("sent");
        QTest::newRow("one decimal place: truncated") << 0 << 12.35 << 123;
        QTest::newRow("one decimal place, negative: toward zero") << 0 << -12.35 << -123;
        QTest::newRow("integer") << 1 << 7.0 << 7;
        QTest::newRow("integer: truncated") << 1 << 2.9 << 2;
        QTest::newRow("integer, negative: toward zero") << 1 << -2.9 << -2;
        QTest::newRow("highest register value") << 0 << 3276.7 << 32767;
        QTest::newRow("lowest register value") << 1 << -32768.0 << -32768;
    }

    void writeScalesByTheMenu()
    {
        QFETCH(int, position);
        QFETCH(double, entered);
        rig->readAll(3, {0, 0, 0});
        rig->scheduler.startWrite(writeList({{position, entered}}));
        rig->tick(WriteTimer);
        QTEST(int(qint16(rig->lastSent()[4] << 8 | rig->lastSent()[5])), "sent");
    }

    void unwritableValueIsRefused_data()
    {
        QTest::addColumn<int>("position");
        QTest::addColumn<double>("entered");
        QTest::addColumn<QString>("name");
        QTest::newRow("beyond 16 bits") << 1 << 70000.0 << "Alarm Mode";
        QTest::newRow("beyond 16 bits after scaling") << 0 << 3276.8 << "Set Value";
        QTest::newRow("below 16 bits after scaling") << 2 << -3276.9 << "Low Limit";
        QTest::newRow("not a number") << 1 << std::nan("") << "Alarm Mode";
        QTest::newRow("infinite") << 0 << std::numeric_limits<double>::infinity() << "Set Value";
        QTest::newRow("position outside the menu") << 3 << 1.0 << "";
    }

    void unwritableValueIsRefused()
    {
        QFETCH(int, position);
        QFETCH(double, entered);
        QFETCH(QString, name);
        rig->readAll(3, {0, 0, 0});
        const qsizetype requests = rig->link.sent.size();
        rig->scheduler.startWrite(writeList({{2, 1}, {position, entered}}));
        const QString expected =
            text(kValueRefused).arg(position + 1).arg(name, QString::number(entered, 'g', 10));
        QCOMPARE(rig->shownPrompts.lastText(), expected);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->link.sent.size(), requests);
    }

    void emptyWriteListIsRefused()
    {
        rig->readAll(3, {0, 0, 0});
        rig->scheduler.startWrite(ParameterWriteList{});
        QCOMPARE(rig->shownPrompts.lastText(), text(kNothingToWrite));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
    }

    void writeStopsAProbe()
    {
        rig->readAll(3, {0, 0, 0});
        rig->tick(PollTimer);
        rig->tick(PollTimer);
        QCOMPARE(rig->runningTimers(), QList<int>{ProbeTimer});
        rig->scheduler.startWrite(writeList({{0, 1}}));
        QCOMPARE(rig->runningTimers(), QList<int>{WriteTimer});
    }

    void healthOfTheMeterAsked_data()
    {
        QTest::addColumn<Scenario>("exchange");
        QTest::addColumn<QList<int>>("counts"); // answers, missing, garbage, exceptions
        QTest::newRow("good answer") << Scenario([](Rig &r) { r.answerLast(1); }) << QList<int>{1, 0, 0, 0};
        QTest::newRow("bad CRC") << Scenario([](Rig &r) {
            r.answer(frame(bytes({5, 3, 2, 0, 1, 0, 0}), false));
        }) << QList<int>{0, 0, 1, 0};
        QTest::newRow("exception") << Scenario([](Rig &r) { r.answer(exceptionAnswer(5, 3)); })
                                   << QList<int>{0, 0, 0, 1};
        QTest::newRow("no answer by the next tick, counted once") << Scenario([](Rig &r) {
            r.tick(PollTimer);
            r.tick(ProbeTimer);
        }) << QList<int>{0, 1, 0, 0};
        QTest::newRow("echo of a write") << Scenario([](Rig &r) {
            r.readAll(5, {0, 0, 0});
            r.scheduler.startWrite(writeList({{0, 1}}));
            r.tick(WriteTimer);
            r.answer(echoOf(r.lastSent()));
        }) << QList<int>{5, 0, 0, 0};
    }

    void healthOfTheMeterAsked()
    {
        QFETCH(Scenario, exchange);
        QFETCH(QList<int>, counts);
        rig->startMonitoring(5, 5);
        rig->tick(PollTimer);
        exchange(*rig);
        const MeterHealth &health = rig->values.health(5);
        QCOMPARE((QList<int>{health.answers, health.missing, health.garbage, health.exceptions}), counts);
        QCOMPARE(health.lastResponseMs, health.answers ? 12 : -1);
        QCOMPARE(health.lastGoodAnswer, health.answers ? rig->host.clock : QDateTime());
        QCOMPARE(rig->values.health(4).answers + rig->values.health(6).answers, 0);
    }

    void liveValuesAreSignalled()
    {
        QSignalSpy stored(&rig->values, &LiveValueTable::valueStored);
        QSignalSpy silent(&rig->values, &LiveValueTable::markedNotAnswering);
        rig->startMonitoring(40, 41);
        rig->tick(PollTimer);
        rig->answerLast(0); // discarded: nothing stored
        rig->tick(PollTimer);
        rig->answerLast(-15);
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first(), (QVariantList{41, -1.5}));
        rig->tick(PollTimer);
        rig->tick(PollTimer); // meter 40 is silent: probing
        rig->tick(ProbeTimer);
        QCOMPARE(silent.size(), 1);
        QCOMPARE(silent.first().first().toInt(), 40);
        QCOMPARE(rig->values[40], LiveValueTable::NoAnswer);
    }

    void stopAllEndsARunningRead()
    {
        rig->startMonitoring(1, 3);
        rig->readAllParameters(2);
        rig->tick(ReadAllTimer);
        rig->scheduler.stopAll();
        QVERIFY(rig->host.running.empty());
        QVERIFY(!rig->progress);
        rig->readAllParameters(3);
        QCOMPARE(rig->runningTimers(), QList<int>{ReadAllTimer});
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->lastRead(), (QPair<int, int>(3, 0)));
    }

    // The fast cycle: the poll timer runs the silence interval after an
    // answer and the answer time-out after a request, so each request
    // follows the end of the last transaction.
    void fastCyclePollsAsSoonAsTheLastTransactionHasEnded()
    {
        rig->startFastCycle(1, 3);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
        QVERIFY(rig->link.sent.isEmpty());
        QList<int> polled;
        for (int i = 0; i < 5; ++i) {
            rig->tick(PollTimer);
            polled.append(rig->lastRead().first);
            QCOMPARE(rig->lastRead().second, 200);
            QCOMPARE(rig->pollPeriod(), Rig::kAnswerTimeoutMs);
            rig->answerLast(10 * i);
            // The answer ends the transaction: the silence interval, then
            // the next request, and nothing before that tick.
            QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
            QCOMPARE(rig->link.sent.size(), i + 1);
        }
        QCOMPARE(polled, (QList<int>{1, 2, 3, 1, 2}));
        QCOMPARE(rig->values[3], 2.0);
        QCOMPARE(rig->values[1], 3.0);
        QCOMPARE(rig->values.health(2).answers, 2);
        QCOMPARE(rig->scheduler.activity(), Activity::Monitoring);
        QVERIFY(rig->status.filter(text(kInterrupted)).isEmpty());
    }

    void fastCycleAnswerOfAnyKindEndsTheTransaction_data() { anyAnswerMovesMonitoringOn_data(); }

    void fastCycleAnswerOfAnyKindEndsTheTransaction()
    {
        QFETCH(ReceiveBuffer, answer);
        rig->startFastCycle(1, 3);
        rig->tick(PollTimer);
        rig->answerLast(0);
        QList<int> polled;
        for (int i = 0; i < 4; ++i) {
            rig->tick(PollTimer);
            polled.append(rig->lastRead().first);
            rig->answer(answer);
            QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
        }
        QCOMPARE(polled, (QList<int>{2, 3, 1, 2}));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
    }

    // A tick at the end of the answer time that finds the answer missing
    // counts it and interrupts the line as a poll tick does; probing keeps
    // its 300 ms ticks, and the first answer brings the fast cycle back.
    void fastCycleMissingAnswerAtTheTimeOut()
    {
        QSignalSpy missing(&rig->scheduler, &TransactionScheduler::answerMissing);
        rig->startFastCycle(1, 3);
        rig->tick(PollTimer);
        rig->answerLast(0);
        rig->tick(PollTimer); // to meter 2, which stays silent
        QCOMPARE(rig->pollPeriod(), Rig::kAnswerTimeoutMs);
        rig->tick(PollTimer);
        QCOMPARE(rig->values.health(2).missing, 1);
        QCOMPARE(missing.size(), 1);
        QCOMPARE(missing.first().first().toInt(), 2);
        QCOMPARE(rig->link.sent.size(), 2);
        QCOMPARE(rig->runningTimers(), QList<int>{ProbeTimer});
        QCOMPARE(rig->host.running[ProbeTimer], 300);
        QCOMPARE(rig->status.last(), QStringLiteral("2024-05-06;07:08:09\nCommunication is interrupted!"));

        rig->tick(ProbeTimer);
        QCOMPARE(rig->values[2], LiveValueTable::NoAnswer);
        QCOMPARE(rig->lastRead().first, 3);
        rig->answerLast(30);
        QCOMPARE(rig->runningTimers(), QList<int>{ProbeTimer});
        rig->tick(ProbeTimer);
        QCOMPARE(rig->status.last(), QStringLiteral("2024-05-06;07:08:09\nCommunication is reconnected!"));
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().first, 3);
        QCOMPARE(rig->pollPeriod(), Rig::kAnswerTimeoutMs);
        rig->answerLast(31);
        QCOMPARE(rig->values[3], 3.1);
        QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
    }

    void fastCycleReadAllAndWriteKeepTheirTicks()
    {
        rig->startFastCycle(1, 3);
        rig->tick(PollTimer);
        rig->answerLast(0);
        rig->readAllParameters(2);
        QCOMPARE(rig->runningTimers(), QList<int>{ReadAllTimer});
        QCOMPARE(rig->host.running[ReadAllTimer], 300);
        rig->tick(ReadAllTimer);
        rig->answerLast(0);
        for (int value : {10, 20, 30}) {
            rig->tick(ReadAllTimer);
            rig->answerLast(value);
            QCOMPARE(rig->runningTimers(), QList<int>{ReadAllTimer});
        }
        rig->tick(ReadAllTimer);
        QCOMPARE(rig->shown.size(), 1);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);

        // A poll answer that comes after the write run has taken the line
        // leaves the poll timer stopped.
        rig->tick(PollTimer);
        QCOMPARE(rig->pollPeriod(), Rig::kAnswerTimeoutMs);
        QVERIFY(rig->scheduler.startWrite(writeList({{0, 1.5}, {2, 3}})));
        rig->answerLast(5);
        QCOMPARE(rig->runningTimers(), QList<int>{WriteTimer});
        QCOMPARE(rig->host.running[WriteTimer], 400);
        rig->echoEachWrite(3);
        QCOMPARE(rig->shownPrompts.count(RecordingPrompts::Kind::Info), 1);
        QCOMPARE(rig->runningTimers(), QList<int>{PollTimer});
        QCOMPARE(rig->pollPeriod(), Rig::kSilenceMs);
        rig->tick(PollTimer);
        QCOMPARE(rig->lastRead().second, 200);
        QCOMPARE(rig->pollPeriod(), Rig::kAnswerTimeoutMs);
    }

    // The period cycle is the default, and choosing it again after the fast
    // cycle leaves the poll timer's period alone through every transaction.
    void periodCycleIsOneMeterPerTick_data()
    {
        QTest::addColumn<bool>("afterFast");
        QTest::newRow("by default") << false;
        QTest::newRow("chosen after the fast cycle") << true;
    }

    void periodCycleIsOneMeterPerTick()
    {
        QFETCH(bool, afterFast);
        QCOMPARE(rig->scheduler.cycle(), TransactionScheduler::Cycle::Period);
        if (afterFast) {
            rig->scheduler.setCycle(TransactionScheduler::Cycle::Fast, Rig::kSilenceMs,
                                    Rig::kAnswerTimeoutMs);
            rig->scheduler.setCycle(TransactionScheduler::Cycle::Period);
        }
        rig->scheduler.setSamplingTime(500);
        rig->startMonitoring(1, 3);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(rig->pollPeriod(), 500);
            rig->tick(PollTimer);
            QCOMPARE(rig->pollPeriod(), 500);
            rig->answerLast(i);
            QCOMPARE(rig->pollPeriod(), 500);
            QCOMPARE(rig->link.sent.size(), i + 1);
        }
        rig->tick(PollTimer);
        rig->tick(PollTimer);
        QCOMPARE(rig->runningTimers(), QList<int>{ProbeTimer});
        rig->tick(ProbeTimer);
        rig->answerLast(0);
        rig->tick(ProbeTimer);
        QCOMPARE(rig->pollPeriod(), 500);
    }
};

QTEST_GUILESS_MAIN(TestTransactionScheduler)
#include "tst_transactionscheduler.moc"
