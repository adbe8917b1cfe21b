// The main window on a line watched through a real mosquitto broker, which
// the line service fills while it polls the meter simulator.
#include "FrameTestSupport.h"

#include "CQuorvaneView.h"
#include "CommandIds.h"
#include "LineTimers.h"
#include "LiveValueTable.h"
#include "MeterSimProcess.h"
#include "MosquittoProcess.h"
#include "PvSvPanel.h"
#include "TrafficLog.h"
#include "TrafficMonitorWindow.h"

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>

#include <csignal>

namespace {

constexpr int kDeadlineMs = 60000;
const QString kLine = QStringLiteral("line");

QComboBox *list(QDialog *dialog, const char *name)
{
    return dialog->findChild<QComboBox *>(QString::fromLatin1(name));
}

void retype(QDialog *dialog, const char *name, const QString &text)
{
    auto *field = dialog->findChild<QLineEdit *>(QString::fromLatin1(name));
    field->clear();
    QTest::keyClicks(field, text);
}

} // namespace

class TestMainFrameWatch : public QObject {
    Q_OBJECT

    QTemporaryDir serviceHome;
    std::unique_ptr<MosquittoProcess> broker;
    std::unique_ptr<MeterSimProcess> sim;
    QProcess service;

    QString brokerTarget() const { return QStringLiteral("127.0.0.1:%1").arg(broker->port()); }

    // Section "Line" of `fixture` watches line "north" of site "plant".
    void watchNorth(FrameFixture &fixture) const
    {
        fixture.set(kLine, QStringLiteral("transport"), QStringLiteral("broker"));
        fixture.set(kLine, QStringLiteral("broker"), QStringLiteral("127.0.0.1"));
        fixture.set(kLine, QStringLiteral("brokerport"), QString::number(broker->port()));
        fixture.set(kLine, QStringLiteral("line"), QStringLiteral("north"));
    }

    // The panels of meters 1 and 2 show what the simulator answers the
    // line service.
    static void panelsShowTheMeters(CMainFrame *frame)
    {
        frame->onCommand(CommandId::MeterInterface);
        CQuorvaneView *view = frame->view();
        QVERIFY(view->panel(1) && view->panel(2));
        QTRY_COMPARE_WITH_TIMEOUT(view->panel(1)->valueText(), QStringLiteral("12.3"), kDeadlineMs);
        QTRY_COMPARE_WITH_TIMEOUT(view->panel(2)->valueText(), QStringLiteral("-4.5"), kDeadlineMs);
    }

private slots:
    void initTestCase()
    {
        broker = std::make_unique<MosquittoProcess>();
        QVERIFY2(broker->start(), qPrintable(broker->errorText()));
        sim = std::make_unique<MeterSimProcess>();
        QVERIFY2(sim->start({"--addresses", "1-2", "--value", "1=123", "--value", "2=-45"}),
                 qPrintable(sim->errorText()));
        QFile config(serviceHome.filePath(QStringLiteral("plant.ini")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[Broker]\nhost=127.0.0.1\nport=" + QByteArray::number(broker->port()) +
                     "\nsite=plant\n[Line north]\ntransport=serial\ndevice=" + sim->devicePath().toUtf8() +
                     "\nbaud=9600\nparity=N\ndatabits=8\nstopbits=2\nfirst=1\nlast=3\nmetertype=1\n");
        config.close();
        service.setProcessChannelMode(QProcess::ForwardedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUORVANE_HOME"), serviceHome.path());
        service.setProcessEnvironment(environment);
        service.start(QStringLiteral(QUORVANE_LINED), {QStringLiteral("--config"), config.fileName()});
        QVERIFY(service.waitForStarted(kDeadlineMs));
    }

    void cleanupTestCase()
    {
        if (service.state() != QProcess::NotRunning) {
            ::kill(pid_t(service.processId()), SIGTERM);
            QVERIFY(service.waitForFinished(kDeadlineMs));
        }
        if (broker)
            QVERIFY(broker->stop());
    }

    // A line watched from the start shows the published values, takes the
    // health from the stats, refuses what only a line polled here can do,
    // and goes back to polling when the port dialog says the serial port.
    void watching_from_the_start_data()
    {
        QTest::addColumn<int>("lang");
        QTest::addColumn<QString>("connected");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QStringList>("meanings");
        QTest::newRow("Chinese") << 0 << "已连接消息服务器 %1，监视线路 %2。"
                                 << "该线路通过消息服务器监视，不能在本机读写仪表或更改地址范围。"
                                 << "错误" << QStringList{"回答 12.3", "错误：3# 无回答"};
        QTest::newRow("English") << 1 << "Connected to the broker %1, watching line %2."
                                 << "This line is watched through the broker: meters cannot be read, written "
                                    "or re-addressed from here."
                                 << "Error" << QStringList{"answer 12.3", "error: no answer from meter 3"};
    }
    void watching_from_the_start()
    {
        QFETCH(int, lang);
        QFETCH(QString, connected);
        QFETCH(QString, refusal);
        QFETCH(QString, caption);
        QFETCH(QStringList, meanings);
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QString::number(lang));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.setMeterRange(1, 3, 200);
        watchNorth(fixture);
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->watching());
        QVERIFY(!frame->line().isOpen());
        QTRY_COMPARE_WITH_TIMEOUT(frame->statusText().section(QLatin1Char('\n'), 1),
                                  connected.arg(brokerTarget(), QStringLiteral("north")), kDeadlineMs);
        panelsShowTheMeters(frame);
        // The stats come every 10 s.
        QTRY_VERIFY_WITH_TIMEOUT(frame->line().liveValues().health(1).answers > 0, kDeadlineMs);
        // The traffic monitor tells each poll the broker carries.
        frame->onCommand(CommandId::TrafficMonitor);
        TrafficLog &traffic = frame->trafficMonitor()->log();
        const auto told = [&traffic](const QString &meaning) {
            for (int row = 0; row < traffic.rowCount(); ++row)
                if (traffic.index(row, TrafficLog::Meaning).data().toString() == meaning)
                    return true;
            return false;
        };
        for (const QString &meaning : meanings)
            QTRY_VERIFY2_WITH_TIMEOUT(told(meaning), qPrintable(meaning), kDeadlineMs);
        frame->trafficMonitor()->close();

        // Read all, and the wizard's address range: told, and nothing more.
        const QByteArray settingsBefore = fixture.settingsBytes();
        {
            bool dialogShown = false;
            WhenModalShown anyDialog([&](QDialog *dialog) {
                dialogShown = true;
                dialog->reject();
            });
            for (int id : {CommandId::ReadAllParameters, CommandId::MeterConfig}) {
                fixture.prompts.clear();
                frame->onCommand(id);
                QCOMPARE(fixture.prompts.shown.size(), 1);
                QCOMPARE(fixture.prompts.shown.first().kind, RecordingPrompts::Kind::Error);
                QCOMPARE(fixture.prompts.shown.first().text, refusal);
                QCOMPARE(fixture.prompts.shown.first().caption, caption);
            }
            QVERIFY(!dialogShown);
        }
        QVERIFY(!frame->progressShown());
        QVERIFY(!frame->parameterDialogExists());
        QVERIFY(!frame->line().isOpen());
        QCOMPARE(fixture.settingsBytes(), settingsBefore);
        for (const MeterSimProcess::Request &request : sim->requests())
            QCOMPARE(request.reg, 200);

        // Back to the serial port: the watch ends and COM1 is polled.
        fixture.prompts.clear();
        WhenModalShown serial([](QDialog *dialog) {
            list(dialog, "transportList")->setCurrentIndex(0);
            dialog->findChild<QPushButton *>(QStringLiteral("ok1"))->click();
        });
        frame->onCommand(CommandId::CommConfig);
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(!frame->watching());
        QVERIFY(frame->line().isOpen());
        QVERIFY(terminal.path.endsWith(frame->line().devicePath()));
        QVERIFY(frame->line().timerActive(TimerId::PollTimer));
        QCOMPARE(fixture.settings().ReadSetting(kLine, QStringLiteral("transport")),
                 QStringLiteral("serial"));
    }

    // OK on the broker in the port dialog stores section "Line" and turns
    // the polled line into a watched one.
    void the_dialog_turns_a_polled_line_into_a_watched_one()
    {
        QuietTerminal terminal;
        FrameFixture fixture;
        fixture.set(QStringLiteral("Programme"), QStringLiteral("Lang"), QStringLiteral("1"));
        fixture.set(QStringLiteral("Ports"), QStringLiteral("COM1"), terminal.path);
        fixture.set(kLine, QStringLiteral("cycle"), QStringLiteral("fast"));
        fixture.setMeterRange(1, 3, 200);
        CMainFrame *frame = fixture.start();
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->line().timerActive(TimerId::PollTimer));
        const QString port = QString::number(broker->port());
        WhenModalShown interact([&](QDialog *dialog) {
            list(dialog, "transportList")->setCurrentIndex(3);
            retype(dialog, "hostEdit", QStringLiteral("127.0.0.1"));
            retype(dialog, "tcpPortEdit", port);
            retype(dialog, "lineEdit", QStringLiteral("north"));
            dialog->findChild<QPushButton *>(QStringLiteral("ok1"))->click();
        });
        frame->onCommand(CommandId::CommConfig);
        QVERIFY(fixture.prompts.shown.isEmpty());
        QVERIFY(frame->watching());
        QVERIFY(!frame->line().isOpen());
        QVERIFY(!frame->line().timerActive(TimerId::PollTimer));
        const QList<std::pair<const char *, QString>> stored{
            {"cycle", QStringLiteral("fast")},       {"transport", QStringLiteral("broker")},
            {"broker", QStringLiteral("127.0.0.1")}, {"brokerport", port},
            {"site", QStringLiteral("plant")},       {"line", QStringLiteral("north")}};
        for (const auto &[key, value] : stored)
            QCOMPARE(fixture.settings().ReadSetting(kLine, QString::fromLatin1(key)), value);
        QTRY_COMPARE_WITH_TIMEOUT(
            frame->statusText().section(QLatin1Char('\n'), 1),
            QStringLiteral("Connected to the broker %1, watching line north.").arg(brokerTarget()),
            kDeadlineMs);
        panelsShowTheMeters(frame);
    }
};

QTEST_MAIN(TestMainFrameWatch)
#include "tst_mainframewatch.moc"
