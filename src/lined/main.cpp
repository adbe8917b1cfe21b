// quorvane-lined: runs the lines of a configuration file without a window
// and publishes them to the plant's MQTT broker, until SIGTERM or SIGINT.
// Exit codes: 0 after a clean stop, 2 for a bad command line or
// configuration file.
#include "LineService.h"
#include "ServiceConfig.h"
#include "TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <memory>
#include <vector>

int main(int argc, char *argv[])
{
    // Every poll is stamped in local time. Without TZ the C library looks at
    // /etc/localtime again at each conversion, several times a poll; named
    // once here, the zone is read once. A service restarts for a new zone.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
    // Qt's own event loop instead of GLib's: the service needs no GLib
    // integration, and GLib's loop wakes itself for every change of the
    // serial port's notifiers, a third more system calls a poll.
    qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-lined"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Runs meter lines without a window and publishes them to an MQTT broker."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption configOption(QStringLiteral("config"), QStringLiteral("The configuration file."),
                                          QStringLiteral("FILE"));
    parser.addOption(configOption);
    parser.process(app);
    const auto fail = [](const QString &text) {
        std::fprintf(stderr, "quorvane-lined: %s\n", text.toUtf8().constData());
        return 2;
    };
    if (!parser.isSet(configOption))
        return fail(QStringLiteral("--config FILE is required"));

    ServiceConfig::Error error;
    const std::optional<ServiceConfig> config = ServiceConfig::read(parser.value(configOption), error);
    if (!config)
        return fail(error.text());

    std::vector<std::unique_ptr<LineService>> services;
    for (const ServiceConfig::Line &line : config->lines)
        services.push_back(std::make_unique<LineService>(*config, line, QCoreApplication::applicationVersion()));

    // A clean stop: every line publishes that it is offline, writes its
    // history and closes; the program ends when the last has.
    int running = int(services.size());
    for (const auto &service : services)
        QObject::connect(service.get(), &LineService::stopped, &app, [&running] {
            if (--running == 0)
                QCoreApplication::quit();
        });
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::requested, &app, [&services] {
        for (const auto &service : services)
            service->stop();
    });
    if (!termination.install())
        return fail(QStringLiteral("cannot catch SIGTERM and SIGINT"));

    for (const auto &service : services)
        service->start();
    return app.exec();
}
