// quorvane-cli: reads, backs up, compares, restores and copies the
// parameters of meters on a line from a shell or a script, and tells why a
// serial port will not work.
// Exit codes: 0 done, 1 a meter refused, did not answer or read back
// differently (for scan: no meter found), 2 bad usage or a bad file, 3 the
// line cannot be opened.
#include "CliCommand.h"
#include "PortsCommand.h"
#include "TerminationSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The data directory is named before anything asks for it.
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--home") == 0 && i + 1 < argc)
            qputenv("QUORVANE_HOME", argv[i + 1]);
        else if (qstrncmp(argv[i], "--home=", 7) == 0)
            qputenv("QUORVANE_HOME", argv[i] + 7);
    }
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads and copies meter parameters.\n"
                       "  read ADDRESS...                  live value of each meter\n"
                       "  params ADDRESS                   all parameters of a meter\n"
                       "  backup ADDRESS... [--note TEXT] [--out FILE.json]\n"
                       "  compare ADDRESS --with FILE.json|ADDRESS2\n"
                       "  restore ADDRESS --from FILE.json [--skip k,k...] --yes\n"
                       "  copy --from FILE.json|ADDRESS --to ADDRESS... [--skip k,k...] --yes\n"
                       "  scan [--from 0 --to 63] [--bauds 9600,19200] [--parities N,E,O] [--stopbits 1,2]\n"
                       "       [--timeout MS]                finds the meters on the line\n"
                       "  ports [--json]                   why a serial port will not work"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"),
                                 QStringLiteral("The command and its meter addresses."));
    const auto valued = [&parser](const char *name, const char *description, const char *value) {
        QCommandLineOption option(QString::fromLatin1(name), QString::fromLatin1(description),
                                  QString::fromLatin1(value));
        parser.addOption(option);
        return option;
    };
    const QCommandLineOption home = valued("home", "The data directory.", "DIR");
    const QCommandLineOption device =
        valued("device", "The serial device instead of the settings' port.", "PATH");
    const QCommandLineOption baud = valued("baud", "Baud rate with --device (9600).", "N");
    const QCommandLineOption parity = valued("parity", "Parity with --device: N, E or O.", "P");
    const QCommandLineOption stopBits =
        valued("stopbits", "Stop bits with --device: 1 or 2; for scan a list, e.g. 1,2.", "N");
    const QCommandLineOption type = valued("type", "The meter type ID.", "ID");
    const QCommandLineOption lang = valued("lang", "0 Chinese, 1 English.", "N");
    const QCommandLineOption note = valued("note", "A note for the backup.", "TEXT");
    const QCommandLineOption out = valued("out", "Writes the backup of one meter as JSON too.", "FILE");
    const QCommandLineOption with = valued("with", "What compare compares with.", "FILE|ADDRESS");
    const QCommandLineOption from =
        valued("from", "The set to restore or copy; the first address scanned.", "FILE|ADDRESS");
    const QCommandLineOption to =
        valued("to", "The meters copy writes to; the last address scanned.", "ADDRESS");
    const QCommandLineOption skip = valued("skip", "Parameters not written.", "k,k...");
    const QCommandLineOption bauds = valued("bauds", "Baud rates the scan tries.", "N,N...");
    const QCommandLineOption parities = valued("parities", "Parities the scan tries: N, E, O.", "P,P...");
    const QCommandLineOption timeout =
        valued("timeout", "The scan's wait for an answer (default 40 ms plus two frame times).", "MS");
    const QCommandLineOption root =
        valued("root", "ports: the directory the devices are looked for under (/).", "DIR");
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("Confirms that parameters are written."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("One JSON document for scripts."));
    parser.addOption(yes);
    parser.addOption(json);
    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "quorvane-cli: %s\n", parser.errorText().toUtf8().constData());
        return CliCommand::BadUsage;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    Q_UNUSED(home);
    if (parser.positionalArguments().value(0) == QLatin1String("ports"))
        return runPorts(parser.isSet(json), parser.value(lang), parser.positionalArguments().mid(1),
                        parser.value(root));

    CliOptions options;
    options.positional = parser.positionalArguments();
    options.device = parser.value(device);
    options.baud = parser.value(baud);
    options.parity = parser.value(parity);
    options.stopBits = parser.value(stopBits);
    options.type = parser.value(type);
    options.lang = parser.value(lang);
    options.note = parser.value(note);
    options.out = parser.value(out);
    options.with = parser.value(with);
    options.from = parser.value(from);
    options.to = parser.values(to);
    options.skip = parser.value(skip);
    options.bauds = parser.value(bauds);
    options.parities = parser.value(parities);
    options.timeout = parser.value(timeout);
    options.yes = parser.isSet(yes);
    options.json = parser.isSet(json);
    // "copy --from 3 --to 4 5": the meters after the first one of --to
    // come as positional arguments.
    if (options.positional.value(0) == QLatin1String("copy") && parser.isSet(to)) {
        options.to += options.positional.mid(1);
        options.positional = options.positional.mid(0, 1);
    }

    CliCommand command(options);
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::requested, &command, [&command] { command.stop(); });
    termination.install();
    return command.run();
}
