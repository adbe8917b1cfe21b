#include "LineUnderTest.h"
#include "MeterSimProcess.h"
#include "ModbusFrame.h"
#include "TrafficLog.h"
#include "TrafficMonitorWindow.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kDeadlineMs = 60000;
using Kind = LineFrame::Kind;

std::optional<ParameterMenu> noMenu(int)
{
    return std::nullopt;
}

QByteArray bytesOf(const QString &hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

const QDateTime kWhen(QDate(2024, 5, 6), QTime(12, 34, 56, 789));

LineFrame frameOf(Kind kind, const char *hex, int askedRegister = -1)
{
    return LineFrame::decoded(kind, bytesOf(QString::fromLatin1(hex)), kWhen, askedRegister);
}

} // namespace

class TestTrafficMonitor : public QObject {
    Q_OBJECT

private slots:
    void linesTellEachFrame_data()
    {
        QTest::addColumn<LineFrame>("frame");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("meaning");
        QTest::addColumn<bool>("fault");
        const char *read = "01 03 00 C8 00 01 05 F4";
        QTest::newRow("read") << frameOf(Kind::Request, read) << 1 << "read 200 of meter 1" << false;
        QTest::newRow("read zh") << frameOf(Kind::Request, read) << 0 << "读 1# 寄存器 200" << false;
        QTest::newRow("live value") << frameOf(Kind::Answer, "01 03 02 09 D0 BF 88", 200) << 1
                                    << "answer 251.2" << false;
        QTest::newRow("live value zh")
            << frameOf(Kind::Answer, "01 03 02 09 D0 BF 88", 200) << 0 << "回答 251.2" << false;
        QTest::newRow("parameter") << frameOf(Kind::Answer, "01 03 02 00 04 B9 87", 8) << 1 << "answer 4"
                                   << false;
        QTest::newRow("write") << frameOf(Kind::Request, "01 06 00 0C 01 2C 49 84") << 1
                               << "write 12 = 300 to meter 1" << false;
        QTest::newRow("write echo") << frameOf(Kind::Answer, "01 06 00 0C 01 2C 49 84") << 1
                                    << "write 12 = 300 confirmed" << false;
        QTest::newRow("exception") << frameOf(Kind::Exception, "01 83 02 C0 F1") << 1 << "error: exception 02"
                                   << true;
        QTest::newRow("crc") << frameOf(Kind::CrcError, "01 03 02 09 D0 00 00", 200) << 1
                             << "error: CRC error" << true;
        QTest::newRow("garbage") << frameOf(Kind::Garbage, "01 FF 13") << 1 << "error: unreadable answer"
                                 << true;
        QTest::newRow("echo") << frameOf(Kind::EchoSkipped, read) << 1 << "echo skipped" << false;
        QTest::newRow("no answer") << LineFrame::noAnswer(1, kWhen) << 1 << "error: no answer from meter 1"
                                   << true;
        QTest::newRow("no answer zh") << LineFrame::noAnswer(1, kWhen) << 0 << "错误：1# 无回答" << true;
    }

    void linesTellEachFrame()
    {
        QFETCH(LineFrame, frame);
        QFETCH(int, language);
        QFETCH(QString, meaning);
        QFETCH(bool, fault);
        TrafficLog log(language);
        log.append(frame);
        QCOMPARE(log.rowCount(), 1);
        auto text = [&log](int column) { return log.index(0, column).data().toString(); };
        QCOMPARE(text(TrafficLog::Time), QStringLiteral("12:34:56.789"));
        QCOMPARE(text(TrafficLog::Direction),
                 QString(frame.sent ? (language == 1 ? "TX" : "发送") : (language == 1 ? "RX" : "接收")));
        QCOMPARE(text(TrafficLog::Bytes), QString::fromLatin1(frame.bytes.toHex(' ').toUpper()));
        QCOMPARE(text(TrafficLog::Meaning), meaning);
        QCOMPARE(log.index(0, TrafficLog::Meaning).data(Qt::BackgroundRole).isValid(), fault);
        QCOMPARE(log.index(0, TrafficLog::Bytes).data(TrafficLog::AddressRole).toInt(), 1);
    }

    void requestBytesAreTheLinesOwn()
    {
        const ModbusRequest request = BuildRequest(1, Modbus::ReadHolding, 200, 0);
        const QByteArray bytes(reinterpret_cast<const char *>(request.data()), qsizetype(request.size()));
        QCOMPARE(TrafficLog::hexText(bytes), QStringLiteral("01 03 00 C8 00 01 05 F4"));
    }

    void theRingKeepsItsBound()
    {
        TrafficLog log(1);
        QCOMPARE(log.capacity(), TrafficLog::DefaultCapacity);
        constexpr int kLines = 50;
        log.setCapacity(kLines);
        for (int n = 0; n < kLines + 100; ++n)
            log.append(LineFrame::noAnswer(n % Modbus::MeterCount, kWhen.addMSecs(n)));
        QCOMPARE(log.rowCount(), kLines);
        QCOMPARE(log.frame(0).time, kWhen.addMSecs(100));
        QCOMPARE(log.frame(kLines - 1).time, kWhen.addMSecs(kLines + 99));
        log.setCapacity(10);
        QCOMPARE(log.rowCount(), 10);
        QCOMPARE(log.frame(0).time, kWhen.addMSecs(kLines + 90));
    }

    // Every change the log makes, checked by Qt's model tester on the log and
    // on a meter filter like the window's: lines coming, the ring dropping
    // the oldest, a smaller ring, the language, the filter and a clear.
    void theLogKeepsTheRulesOfAModel()
    {
        using Tester = QAbstractItemModelTester;
        TrafficLog log(1);
        QSortFilterProxyModel filtered;
        filtered.setSourceModel(&log);
        filtered.setFilterRole(TrafficLog::AddressRole);
        filtered.setFilterKeyColumn(TrafficLog::Time);
        Tester direct(&log, Tester::FailureReportingMode::QtTest);
        Tester throughFilter(&filtered, Tester::FailureReportingMode::QtTest);
        auto onlyMeter = [&filtered](int address) {
            filtered.setFilterRegularExpression(
                QRegularExpression(QRegularExpression::anchoredPattern(QString::number(address))));
        };

        log.setCapacity(8);
        auto lines = [&log](int from, int count) {
            for (int n = from; n < from + count; ++n) {
                log.append(frameOf(Kind::Request, "01 03 00 C8 00 01 05 F4"));
                log.append(LineFrame::noAnswer(n % 3, kWhen.addMSecs(n)));
            }
        };
        lines(0, 3);
        QCOMPARE(log.rowCount(), 6);
        lines(3, 10);
        QCOMPARE(log.rowCount(), 8);
        onlyMeter(2);
        QCOMPARE(filtered.rowCount(), 1);
        lines(13, 10);
        for (int row = 0; row < filtered.rowCount(); ++row)
            QCOMPARE(filtered.index(row, TrafficLog::Time).data(TrafficLog::AddressRole).toInt(), 2);
        log.setLanguage(0);
        QCOMPARE(filtered.headerData(TrafficLog::Direction, Qt::Horizontal).toString(),
                 QStringLiteral("方向"));
        onlyMeter(1);
        log.setCapacity(3);
        QCOMPARE(log.rowCount(), 3);
        log.setCapacity(1);
        lines(23, 2);
        QCOMPARE(log.rowCount(), 1);
        filtered.setFilterRegularExpression(QRegularExpression());
        QCOMPARE(filtered.rowCount(), 1);
        log.clear();
        QCOMPARE(filtered.rowCount(), 0);
        log.setCapacity(TrafficLog::DefaultCapacity);
        lines(25, 2);
        QCOMPARE(filtered.rowCount(), 4);
    }

    // The window follows the line only while shown and not paused, and
    // narrows the lines to one meter.
    void windowFollowsWhileShown()
    {
        LineUnderTest rig(QStringLiteral("/nonexistent"), noMenu, 1, 4, 200);
        MeterLine &line = *rig.line;
        TrafficMonitorWindow window(line, rig.language, rig.recorded);
        QCOMPARE(window.objectName(), QStringLiteral("trafficMonitor"));
        QCOMPARE(window.windowTitle(), QStringLiteral("Traffic Monitor"));
        QVERIFY(!line.framesFollowed());
        window.show();
        QVERIFY(line.framesFollowed());
        for (int meter : {1, 2, 1})
            emit line.frameLogged(LineFrame::noAnswer(meter, kWhen));
        QCOMPARE(window.log().rowCount(), 3);

        auto *filter = window.findChild<QComboBox *>(QStringLiteral("meterFilter"));
        auto *table = window.findChild<QTableView *>(QStringLiteral("trafficTable"));
        QVERIFY(filter && table && !filter->accessibleName().isEmpty());
        filter->setCurrentIndex(filter->findData(2));
        QCOMPARE(table->model()->rowCount(), 1);
        QVERIFY(window.text().contains(QStringLiteral("no answer from meter 2")));
        filter->setCurrentIndex(0);
        QCOMPARE(table->model()->rowCount(), 3);

        auto *pause = window.findChild<QPushButton *>(QStringLiteral("pauseButton"));
        pause->click();
        QTRY_VERIFY(!line.framesFollowed());
        pause->click();
        QVERIFY(line.framesFollowed());
        window.findChild<QPushButton *>(QStringLiteral("clearButton"))->click();
        QCOMPARE(window.log().rowCount(), 0);

        QTemporaryDir dir;
        QVERIFY(!window.saveTo(dir.path()));
        QCOMPARE(rig.recorded.count(RecordingPrompts::Kind::Error), 1);
        window.hide();
        QTRY_VERIFY(!line.framesFollowed());
    }

    // On a real line: nothing is reported while no one listens; then each
    // request and its answer, with the bytes as they went over the line,
    // and the missing answers of a silent meter.
    void realLineReportsItsFrames_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::newRow("4-wire") << false;
        QTest::newRow("2-wire echo") << true;
    }

    void realLineReportsItsFrames()
    {
        QFETCH(bool, echo);
        MeterSimProcess sim;
        QStringList arguments{"--addresses", "1-2", "--silent", "2"};
        if (echo)
            arguments << QStringLiteral("--echo");
        QVERIFY2(sim.start(arguments), qPrintable(sim.errorText()));
        LineUnderTest rig(sim.devicePath(), noMenu, 1, 2, 200);
        QVERIFY(rig.open());
        QVERIFY(sim.waitForRequests(3, kDeadlineMs));
        QVERIFY(!rig.line->framesFollowed());

        QList<LineFrame> frames;
        auto listener = std::make_unique<QObject>();
        connect(rig.line.get(), &MeterLine::frameLogged, listener.get(),
                [&frames](const LineFrame &frame) { frames << frame; });
        QVERIFY(rig.line->framesFollowed());
        // The answer of meter 1 and its request, the echo between them on a
        // 2-wire line.
        const qsizetype gap = echo ? 2 : 1;
        auto answered = [&frames, gap] {
            for (qsizetype i = gap; i < frames.size(); ++i) {
                if (frames[i].kind == Kind::Answer && frames[i - gap].kind == Kind::Request &&
                    frames[i - gap].address == 1)
                    return i;
            }
            return qsizetype(-1);
        };
        auto missed = [&frames] {
            return std::any_of(frames.begin(), frames.end(),
                               [](const LineFrame &f) { return f.kind == Kind::NoAnswer && f.address == 2; });
        };
        QTRY_VERIFY_WITH_TIMEOUT(answered() > 0 && missed(), kDeadlineMs);

        const LineFrame &request = frames[answered() - gap];
        const LineFrame &answer = frames[answered()];
        if (echo) {
            QCOMPARE(frames[answered() - 1].kind, Kind::EchoSkipped);
            QCOMPARE(frames[answered() - 1].bytes, request.bytes);
        }
        const ModbusRequest sent = BuildRequest(1, Modbus::ReadHolding, 200, 0);
        QCOMPARE(request.bytes, QByteArray(reinterpret_cast<const char *>(sent.data()), 8));
        QVERIFY(request.sent && !answer.sent);
        QCOMPARE(request.reg, 200);
        QCOMPARE(answer.bytes.size(), 7);
        QCOMPARE(answer.address, 1);
        QCOMPARE(answer.reg, 200);
        QCOMPARE(answer.value, int(qint16((quint8(answer.bytes[3]) << 8) | quint8(answer.bytes[4]))));
        const auto crc = Crc16(reinterpret_cast<const std::uint8_t *>(answer.bytes.constData()), 5);
        QCOMPARE(quint8(answer.bytes[5]), crc[0]);
        QCOMPARE(quint8(answer.bytes[6]), crc[1]);
        // The newest answer of meter 1 is its live value.
        const auto newest = std::find_if(frames.rbegin(), frames.rend(), [](const LineFrame &f) {
            return f.kind == Kind::Answer && f.address == 1;
        });
        QCOMPARE(rig.values().value(1), newest->value * 0.1);
        QVERIFY(request.time <= answer.time);

        // A receiver that goes away ends the reports.
        listener.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.line->framesFollowed(), kDeadlineMs);
        rig.line->close();
        QVERIFY(sim.stop());
    }
};

QTEST_MAIN(TestTrafficMonitor)
#include "tst_trafficmonitor.moc"
