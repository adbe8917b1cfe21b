// The whole program polling 64 simulated meters at 200 ms with all 64 value
// panels shown (or, with "chart", the real-time chart plotting all 64 meters
// every 5 s; with "bare", neither): how much CPU it spends per poll answer,
// painting included, and how long the event loop is held up. With "fast"
// the line runs in the fast cycle (section "Line", cycle=fast) instead of
// the 200 ms period, on a simulator that holds each answer for its wire time
// at 9600 8N2, the line settings of the supplied settings file. Run by hand
// under a real window system, for example:
// xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb bench_panels [seconds [bare|chart] [fast]]
#include "BenchTools.h"
#include "FrameTestSupport.h"

#include "CQuorvaneView.h"
#include "CommandIds.h"
#include "MeterSimProcess.h"
#include "MonitoringPanel.h"
#include "PvSvPanel.h"

#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>

#include <cstdio>

using namespace BenchTools;

namespace {

// The polls of the live value in the simulator's request log. The log goes
// to a file so that reading it costs this process nothing while it is
// measured.
qsizetype pollAnswers(const QString &log)
{
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    qsizetype n = 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const auto request = MeterSimProcess::parseRequest(line);
        n += request && request->function == 3 && request->reg == 200;
    }
    return n;
}

// Counts the paint events of each kind of widget, to show what an answer
// costs on the screen.
class PaintCount : public QObject {
public:
    QMap<QString, int> paints;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            const QString name = watched->objectName().isEmpty()
                                     ? QString::fromLatin1(watched->metaObject()->className())
                                     : watched->objectName();
            ++paints[name.startsWith(QLatin1String("panel")) ? QStringLiteral("panel") : name];
        }
        return QObject::eventFilter(watched, event);
    }
};

// Opens the real-time chart with every meter ticked, plotting every 5 s
// (the short-interval question is answered Yes by the fixture's prompts).
void startChart(MonitoringPanel &monitor, CMainFrame *frame)
{
    frame->onCommand(CommandId::RealtimeChart);
    auto *tree = monitor.findChild<QTreeWidget *>(QStringLiteral("watchTree"));
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        tree->topLevelItem(i)->setCheckState(0, Qt::Checked);
    auto *unit = monitor.findChild<QComboBox *>(QStringLiteral("intervalUnit"));
    unit->setCurrentIndex(0);
    emit unit->activated(0);
    monitor.findChild<QPushButton *>(QStringLiteral("startButton"))->click();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(2, atoi(argv[1])) : 30;
    // "bare" leaves the panels closed, for the cost of the rest of the window.
    QByteArray mode("panels");
    bool fast = false;
    for (int i = 2; i < argc; ++i) {
        const QByteArray word(argv[i]);
        if (word == "fast")
            fast = true;
        else if (word == "bare" || word == "chart" || word == "panels")
            mode = word;
        else {
            std::fprintf(stderr, "usage: bench_panels [seconds [bare|chart] [fast]]\n");
            return 2;
        }
    }
    FrameFixture fixture;
    fixture.setMeterRange(0, 63, 200);
    if (fast)
        fixture.set(QStringLiteral("Line"), QStringLiteral("cycle"), QStringLiteral("fast"));
    MeterSimProcess sim;
    const QString log = fixture.home.filePath(QStringLiteral("requests.log"));
    QStringList simArguments{QStringLiteral("--data-dir"),  fixture.home.path(),
                             QStringLiteral("--addresses"), QStringLiteral("0-63"),
                             QStringLiteral("--log"),       log};
    // The supplied settings file's line: 9600 baud, 8 data bits, no parity,
    // two stop bits.
    if (fast)
        simArguments << QStringLiteral("--baud") << QStringLiteral("9600") << QStringLiteral("--stop-bits")
                     << QStringLiteral("2") << QStringLiteral("--wire-time");
    if (!sim.start(simArguments)) {
        std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(sim.errorText()));
        return 1;
    }
    CMainFrame *frame = fixture.start();
    frame->setGeometry(0, 0, 1280, 1000);
    if (mode == "chart")
        startChart(*frame->view()->monitoringPanel(), frame);
    else if (mode != "bare")
        frame->onCommand(CommandId::MeterInterface);

    // A first pass over all meters fills the panels; then the first half
    // measures the event loop with a 1 ms timer and the second, without
    // that timer's own cost, the CPU per answer.
    std::unique_ptr<LoopLatency> latency;
    PaintCount paintCount;
    qint64 longestGapUsec = 0;
    qint64 cpuStart = 0;
    qsizetype answersStart = 0;
    QTimer::singleShot(15000, &app, [&] { latency = std::make_unique<LoopLatency>(); });
    QTimer::singleShot(15000 + seconds * 500, &app, [&] {
        longestGapUsec = latency->longestGapUsec;
        latency.reset();
        app.installEventFilter(&paintCount);
        cpuStart = cpuMicroseconds();
        answersStart = pollAnswers(log);
    });
    QTimer::singleShot(15000 + seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const qint64 cpuUsed = cpuMicroseconds() - cpuStart;
    const qsizetype answers = pollAnswers(log) - answersStart;

    int showing = 0;
    for (int a = 0; a < 64; ++a)
        showing += frame->view()->panel(a) && !frame->view()->panel(a)->valueText().isEmpty();
    std::printf("platform %s, window %dx%d, %d of 64 panels showing a value, mode %s, %s\n",
                qPrintable(QGuiApplication::platformName()), frame->width(), frame->height(), showing,
                mode.constData(), fast ? "fast cycle with wire time" : "200 ms period");
    if (mode == "chart") {
        const MonitoringPanel *monitor = frame->view()->monitoringPanel();
        std::printf("chart: %d curves every %d ms\n", monitor->chart()->curveCount(), monitor->interval());
    }
    std::printf("longest event loop gap (1 ms timer) %.2f ms\n", longestGapUsec / 1000.0);
    std::printf(
        "CPU in the steady state: %.3f ms per poll answer (%lld answers, %.1f ms of CPU, %.1f %% of a "
        "core)\n",
        answers > 0 ? cpuUsed / 1000.0 / double(answers) : 0.0, qlonglong(answers), cpuUsed / 1000.0,
        cpuUsed / 10.0 / (seconds * 500.0));
    for (auto it = paintCount.paints.cbegin(); it != paintCount.paints.cend(); ++it)
        std::printf("  %5d paints of %s\n", it.value(), qPrintable(it.key()));
    std::printf("memory: VmRSS %lld KiB, VmHWM %lld KiB\n", procStatusKiB("VmRSS"), procStatusKiB("VmHWM"));
    fixture.application.reset();
    sim.stop();
    return 0;
}
