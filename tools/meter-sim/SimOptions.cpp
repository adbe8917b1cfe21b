#include "SimOptions.h"

#include <QCommandLineParser>

#include <algorithm>

namespace {

bool toInt(const QString &text, int low, int high, int *out)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    *out = value;
    return true;
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral(
        "Answers as Modbus RTU process meters on a new pseudo-terminal. The first line on stdout is "
        "the device path. Each request received is logged as \"REQ <usec> <addr> <fn> <reg> <value>\" "
        "(decimal; usec from the monotonic clock) on stderr or in --log FILE."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("addresses"), QStringLiteral("Meter addresses, e.g. 1-5."), QStringLiteral("RANGE"),
         QStringLiteral("1-5")},
        {QStringLiteral("silent"), QStringLiteral("Addresses that never answer."), QStringLiteral("LIST")},
        {QStringLiteral("bad-crc"), QStringLiteral("Addresses answering with a wrong CRC."),
         QStringLiteral("LIST")},
        {QStringLiteral("refuse"), QStringLiteral("Addresses answering every request with an exception."),
         QStringLiteral("LIST")},
        {QStringLiteral("read-only"), QStringLiteral("Addresses answering every write with an exception."),
         QStringLiteral("LIST")},
        {QStringLiteral("value"),
         QStringLiteral("Meter ADDR's process value stays at TENTHS (signed) instead of following its curve; "
                        "may be given for several meters."),
         QStringLiteral("ADDR=TENTHS")},
        {QStringLiteral("param"),
         QStringLiteral(
             "Meter ADDR's parameter K starts at VALUE (the register, signed) instead of its default; "
             "may be given several times."),
         QStringLiteral("ADDR:K=VALUE")},
        {QStringLiteral("silent-after"),
         QStringLiteral("Meter ADDR answers N requests and then none, like a meter whose cable comes loose; "
                        "may be given for several meters."),
         QStringLiteral("ADDR=N")},
        {QStringLiteral("link"),
         QStringLiteral("Make PATH a symbolic link to the device while running, like the fixed name of "
                        "an adapter that is plugged in."),
         QStringLiteral("PATH")},
        {QStringLiteral("baud"), QStringLiteral("Baud rate."), QStringLiteral("N"), QStringLiteral("9600")},
        {QStringLiteral("data-bits"), QStringLiteral("Data bits 5..8."), QStringLiteral("N"),
         QStringLiteral("8")},
        {QStringLiteral("parity"), QStringLiteral("N, O, E, M or S."), QStringLiteral("P"),
         QStringLiteral("N")},
        {QStringLiteral("stop-bits"), QStringLiteral("1 or 2."), QStringLiteral("N"), QStringLiteral("1")},
        {QStringLiteral("delay"), QStringLiteral("Answer delay."), QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("split"), QStringLiteral("Send each answer in two pieces this far apart."),
         QStringLiteral("MS"), QStringLiteral("0")},
        {QStringLiteral("echo"), QStringLiteral("Echo each request first, like a 2-wire RS-485 adapter.")},
        {QStringLiteral("wire-time"),
         QStringLiteral("Hold each answer for the time the request and the answer take on the wire at "
                        "--baud, --data-bits, --parity and --stop-bits.")},
        {QStringLiteral("strict-line"),
         QStringLiteral("Ignore requests the program sent with another baud rate, other stop bits or, for "
                        "--parity O, without odd parity, like meters that hear only noise then. Requests "
                        "ignored so are not logged.")},
        {QStringLiteral("log"), QStringLiteral("Write the REQ lines to FILE instead of stderr."),
         QStringLiteral("FILE")},
        {QStringLiteral("data-dir"),
         QStringLiteral("Lay down the program's defaults in DIR and point its COM1 at this simulator."),
         QStringLiteral("DIR")},
        {QStringLiteral("system-db"), QStringLiteral("System database with the parameter defaults."),
         QStringLiteral("PATH")},
        {QStringLiteral("meter-type"), QStringLiteral("Meter type whose parameter defaults to load."),
         QStringLiteral("N")},
    });
}

bool readLine(const QCommandLineParser &parser, SimOptions &options)
{
    const QString parity = parser.value(QStringLiteral("parity")).trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NOEMS").contains(parity))
        return false;
    options.parity = parity[0].toLatin1();
    return toInt(parser.value(QStringLiteral("baud")), 1, 4000000, &options.baud) &&
           toInt(parser.value(QStringLiteral("data-bits")), 5, 8, &options.dataBits) &&
           toInt(parser.value(QStringLiteral("stop-bits")), 1, 2, &options.stopBits) &&
           toInt(parser.value(QStringLiteral("delay")), 0, 60000, &options.delayMs) &&
           toInt(parser.value(QStringLiteral("split")), 0, 60000, &options.splitMs);
}

bool readAddresses(const QCommandLineParser &parser, SimOptions &options)
{
    const auto range = SimOptions::parseAddresses(parser.value(QStringLiteral("addresses")));
    const auto silent = SimOptions::parseAddresses(parser.value(QStringLiteral("silent")));
    const auto badCrc = SimOptions::parseAddresses(parser.value(QStringLiteral("bad-crc")));
    const auto refusing = SimOptions::parseAddresses(parser.value(QStringLiteral("refuse")));
    const auto readOnly = SimOptions::parseAddresses(parser.value(QStringLiteral("read-only")));
    if (!range || range->isEmpty() || !silent || !badCrc || !refusing || !readOnly)
        return false;
    options.refusing = *refusing;
    options.readOnly = *readOnly;
    options.firstAddress = *std::min_element(range->begin(), range->end());
    options.lastAddress = *std::max_element(range->begin(), range->end());
    options.silent = *silent;
    options.badCrc = *badCrc;
    return true;
}

// Each "ADDR=TENTHS" of --value.
// Each "ADDR:K=VALUE" of --param and "ADDR=N" of --silent-after.
bool readParameterOptions(const QCommandLineParser &parser, SimOptions &options)
{
    for (const QString &preset : parser.values(QStringLiteral("param"))) {
        const QStringList sides = preset.split(QLatin1Char('='));
        const QStringList where = sides.value(0).split(QLatin1Char(':'));
        int address = 0;
        int k = 0;
        int value = 0;
        if (sides.size() != 2 || where.size() != 2 || !toInt(where[0], 0, 255, &address) ||
            !toInt(where[1], 0, 49, &k) || !toInt(sides[1], -32768, 65535, &value))
            return false;
        options.presetParameters[address].insert(k, std::int16_t(std::uint16_t(value)));
    }
    for (const QString &pair : parser.values(QStringLiteral("silent-after"))) {
        const QStringList parts = pair.split(QLatin1Char('='));
        int address = 0;
        int count = 0;
        if (parts.size() != 2 || !toInt(parts[0], 0, 255, &address) || !toInt(parts[1], 0, 1 << 30, &count))
            return false;
        options.silentAfter.insert(address, count);
    }
    return true;
}

bool readFixedValues(const QCommandLineParser &parser, SimOptions &options)
{
    for (const QString &pair : parser.values(QStringLiteral("value"))) {
        const QStringList parts = pair.split(QLatin1Char('='));
        int address = 0;
        int tenths = 0;
        if (parts.size() != 2 || !toInt(parts[0], 0, 255, &address) ||
            !toInt(parts[1], -32768, 32767, &tenths))
            return false;
        options.fixedValues.insert(address, std::int16_t(tenths));
    }
    return true;
}

} // namespace

std::optional<SimOptions> SimOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *error = parser.helpText();
        return std::nullopt;
    }
    SimOptions options;
    if (!readLine(parser, options) || !readAddresses(parser, options) || !readFixedValues(parser, options) ||
        !readParameterOptions(parser, options)) {
        *error = QStringLiteral("invalid option value; see --help");
        return std::nullopt;
    }
    options.echo = parser.isSet(QStringLiteral("echo"));
    options.wireTime = parser.isSet(QStringLiteral("wire-time"));
    options.strictLine = parser.isSet(QStringLiteral("strict-line"));
    options.logFile = parser.value(QStringLiteral("log"));
    options.dataDir = parser.value(QStringLiteral("data-dir"));
    options.linkPath = parser.value(QStringLiteral("link"));
    options.systemDb = parser.value(QStringLiteral("system-db"));
    if (parser.isSet(QStringLiteral("meter-type"))) {
        int type = 0;
        if (!toInt(parser.value(QStringLiteral("meter-type")), 0, 1000000, &type)) {
            *error = QStringLiteral("invalid --meter-type");
            return std::nullopt;
        }
        options.meterType = type;
    }
    return options;
}

double SimOptions::characterMs() const
{
    const int bits = 1 + dataBits + (parity == 'N' ? 0 : 1) + stopBits;
    return 1000.0 * bits / baud;
}

std::optional<QSet<int>> SimOptions::parseAddresses(const QString &text)
{
    QSet<int> addresses;
    for (const QString &part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList ends = part.split(QLatin1Char('-'));
        int low = 0;
        int high = 0;
        if (ends.size() > 2 || !toInt(ends.first(), 0, 255, &low) || !toInt(ends.last(), 0, 255, &high) ||
            low > high)
            return std::nullopt;
        for (int a = low; a <= high; ++a)
            addresses.insert(a);
    }
    return addresses;
}
