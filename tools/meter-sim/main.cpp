// quorvane-meter-sim: process meters on a pseudo-terminal, for trying the
// program without hardware and as the peer of its tests. See --help.
#include "DataDirectory.h"
#include "ParameterDefaults.h"
#include "PseudoTerminal.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"
#include "SimOptions.h"
#include "SimulatedLine.h"
#include "SimulatedMeters.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 0;
    [[maybe_unused]] const auto n = ::write(quitPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop through a pipe, the one thing a
// signal handler may safely do.
void quitOnSignals(QCoreApplication &app)
{
    if (::pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = onSignal;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

void say(const QString &text)
{
    std::fprintf(stderr, "meter-sim: %s\n", qPrintable(text));
}

// Lays down the program's defaults in the data directory, as the program does
// at its first start, and makes its COM1 this simulator's device.
bool prepareDataDirectory(const QString &dir, const QString &device)
{
    qputenv("QUORVANE_HOME", QFile::encodeName(QDir(dir).absolutePath()));
    const DataDirectory::PrepareResult prepared = DataDirectory::prepare();
    if (!prepared.failed.isEmpty())
        say(QStringLiteral("could not lay down %1").arg(prepared.failed.join(QStringLiteral(", "))));
    SettingsFile settings;
    if (!settings.WriteSetting(QString::fromLatin1(Setting::PortsSection), Setting::portKey(1), device)) {
        say(QStringLiteral("could not write %1").arg(settings.path()));
        return false;
    }
    return true;
}

// A fixed name for the device, which changes from run to run.
bool linkDevice(const QString &path, const QString &device)
{
    QFile::remove(path);
    if (!QFile::link(device, path)) {
        say(QStringLiteral("cannot make the link %1").arg(path));
        return false;
    }
    return true;
}

int meterTypeOf(const SimOptions &options)
{
    if (options.meterType)
        return *options.meterType;
    if (!options.dataDir.isEmpty()) {
        const int type = SettingsFile().ReadInt(Setting::MeterType);
        if (type > 0)
            return type;
    }
    return 1;
}

QString systemDatabaseOf(const SimOptions &options)
{
    if (!options.systemDb.isEmpty())
        return options.systemDb;
    const QString inDataDir =
        QDir(options.dataDir).filePath(QString::fromLatin1(DataDirectory::SystemDatabaseName));
    if (!options.dataDir.isEmpty() && QFileInfo::exists(inDataDir))
        return inDataDir;
    return DataDirectory::defaultsPath() + QLatin1Char('/') +
           QString::fromLatin1(DataDirectory::SystemDatabaseName);
}

void loadParameters(SimulatedMeters &meters, const SimOptions &options)
{
    const int type = meterTypeOf(options);
    QString why;
    const auto values = ParameterDefaults::load(systemDatabaseOf(options), type, &why);
    if (values) {
        meters.setParameterDefaults(*values);
        return;
    }
    say(QStringLiteral("%1; parameters start at 10 k instead").arg(why));
    meters.setParameterDefaults(ParameterDefaults::fallback());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString error;
    const auto options = SimOptions::parse(app.arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    PseudoTerminal pty;
    if (!pty.open(&error)) {
        say(error);
        return 1;
    }
    pty.setLine(options->baud, options->dataBits, options->parity, options->stopBits);
    const QString device = options->linkPath.isEmpty() ? pty.slavePath() : options->linkPath;
    if (!options->linkPath.isEmpty() && !linkDevice(options->linkPath, pty.slavePath()))
        return 1;
    if (!options->dataDir.isEmpty() && !prepareDataDirectory(options->dataDir, device))
        return 1;

    SimulatedMeters meters(options->firstAddress, options->lastAddress);
    meters.setSilent(options->silent);
    meters.setBadCrc(options->badCrc);
    meters.setRefusing(options->refusing);
    meters.setReadOnly(options->readOnly);
    meters.setFixedValues(options->fixedValues);
    meters.setSilentAfter(options->silentAfter);
    loadParameters(meters, *options);
    for (auto meter = options->presetParameters.cbegin(); meter != options->presetParameters.cend(); ++meter)
        for (auto k = meter->cbegin(); k != meter->cend(); ++k)
            meters.setParameter(meter.key(), k.key(), k.value());

    std::FILE *log = stderr;
    if (!options->logFile.isEmpty() && !(log = std::fopen(qPrintable(options->logFile), "w"))) {
        say(QStringLiteral("cannot write %1").arg(options->logFile));
        return 1;
    }
    const double characterMs = options->wireTime ? options->characterMs() : 0.0;
    SimulatedLine line(pty, meters,
                       {options->echo, options->delayMs, options->splitMs, characterMs, options->strictLine,
                        options->baud, options->parity, options->stopBits},
                       log);
    quitOnSignals(app);

    std::printf("%s\n", qPrintable(device));
    std::fflush(stdout);
    const int rc = app.exec();
    if (log != stderr)
        std::fclose(log);
    // The device goes away with the simulator, and so does its fixed name.
    if (!options->linkPath.isEmpty())
        QFile::remove(options->linkPath);
    return rc;
}
