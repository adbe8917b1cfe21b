#include "ServiceConfig.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <functional>
#include <map>

namespace {

// The baud rates a serial port of a meter line is set to.
const QList<int> kBaudRates = {1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};

struct Entry {
    QString key;
    QString value;
    int lineNumber = 0;
};

struct Section {
    QString name;
    int lineNumber = 0;
    QList<Entry> entries;
};

// A value without its comment: ';' or '#' after a blank starts one.
QString withoutComment(const QString &value)
{
    static const QRegularExpression comment(QStringLiteral("\\s[;#].*$"));
    return value.section(comment, 0, 0).trimmed();
}

// A topic level: letters, digits, '-', '_' and '.'; what MQTT gives a
// meaning ('/', '+', '#') and blanks cannot be part of it.
bool isTopicLevel(const QString &text)
{
    static const QRegularExpression level(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return level.match(text).hasMatch();
}

class Checker {
public:
    Checker(const QString &file, ServiceConfig::Error &error) : file(file), error(error) {}

    bool fail(const Section &section, const Entry *entry, const QString &reason)
    {
        error = {file, entry ? entry->lineNumber : section.lineNumber, section.name,
                 entry ? entry->key : QString(), entry ? entry->value : QString(), reason};
        return false;
    }

    // The section's keys, each handled by its reader; unknown keys refused.
    using Reader = std::function<bool(const Entry &)>;
    bool readKeys(const Section &section, const std::map<QString, Reader> &readers)
    {
        QSet<QString> seen;
        for (const Entry &entry : section.entries) {
            const auto reader = readers.find(entry.key);
            if (reader == readers.end())
                return fail(section, &entry, QStringLiteral("unknown key"));
            if (seen.contains(entry.key))
                return fail(section, &entry, QStringLiteral("given twice"));
            seen.insert(entry.key);
            if (!reader->second(entry))
                return false;
        }
        return true;
    }

    bool number(const Section &section, const Entry &entry, int low, int high, int &out)
    {
        bool ok = false;
        const int value = entry.value.toInt(&ok);
        if (!ok || value < low || value > high)
            return fail(section, &entry, QStringLiteral("not a whole number from %1 to %2").arg(low).arg(high));
        out = value;
        return true;
    }

    const QString &file;
    ServiceConfig::Error &error;
};

bool readBroker(Checker &check, const Section &section, ServiceConfig::Broker &broker)
{
    int port = broker.port;
    const bool read = check.readKeys(
        section,
        {
            {"host", [&](const Entry &e) { return e.value.isEmpty() ? check.fail(section, &e, "empty") : (broker.host = e.value, true); }},
            {"port", [&](const Entry &e) { return check.number(section, e, 1, 65535, port); }},
            {"site",
             [&](const Entry &e) {
                 if (!isTopicLevel(e.value))
                     return check.fail(section, &e, "not a topic level (letters, digits, - _ .)");
                 broker.site = e.value;
                 return true;
             }},
            {"username", [&](const Entry &e) { return broker.username = e.value, true; }},
            {"password", [&](const Entry &e) { return broker.password = e.value, true; }},
            {"passwordfile",
             [&](const Entry &e) {
                 QFile secret(e.value);
                 if (!secret.open(QIODevice::ReadOnly))
                     return check.fail(section, &e, "cannot be read: " + secret.errorString());
                 broker.password = QString::fromUtf8(secret.readLine()).trimmed();
                 return true;
             }},
            {"cafile",
             [&](const Entry &e) {
                 // Empty, as in the installed example: no TLS.
                 if (!e.value.isEmpty() && !QFileInfo(e.value).isReadable())
                     return check.fail(section, &e, "no readable file");
                 broker.caFile = e.value;
                 return true;
             }},
            {"keepalive", [&](const Entry &e) { return check.number(section, e, 5, 3600, broker.keepAliveS); }},
        });
    if (!read)
        return false;
    broker.port = quint16(port);
    if (broker.host.isEmpty())
        return check.fail(section, nullptr, "host= is required");
    return true;
}

bool readLine(Checker &check, const Section &section, ServiceConfig::Line &line)
{
    LineTransportSettings &transport = line.setup.transport;
    PortSettings &port = line.setup.port;
    CycleSettings &cycle = line.setup.cycle;
    int tcpPort = 0;
    const bool read = check.readKeys(
        section,
        {
            {"transport",
             [&](const Entry &e) {
                 const auto kind = LineTransportSettings::kindNamed(e.value);
                 // The service polls its lines; a watched line is none of its own.
                 if (!kind || *kind == LineTransportSettings::Kind::Broker)
                     return check.fail(section, &e, "not serial, rtu-tcp or modbus-tcp");
                 transport.kind = *kind;
                 return true;
             }},
            {"device",
             [&](const Entry &e) {
                 if (!QFileInfo(e.value).isAbsolute())
                     return check.fail(section, &e, "not an absolute device path");
                 line.device = e.value;
                 return true;
             }},
            {"host",
             [&](const Entry &e) {
                 return e.value.isEmpty() ? check.fail(section, &e, "empty")
                                          : (transport.host = e.value, true);
             }},
            {"tcpport", [&](const Entry &e) { return check.number(section, e, 1, 65535, tcpPort); }},
            {"baud",
             [&](const Entry &e) {
                 bool ok = false;
                 if (!kBaudRates.contains(e.value.toInt(&ok)) || !ok)
                     return check.fail(section, &e, "not a baud rate (1200 ... 115200)");
                 port.baudText = e.value;
                 return true;
             }},
            {"parity",
             [&](const Entry &e) {
                 static const std::map<QString, int> parities = {{"N", 0}, {"O", 1}, {"E", 2}};
                 const auto parity = parities.find(e.value.toUpper());
                 if (parity == parities.end())
                     return check.fail(section, &e, "not N, E or O");
                 port.parityIndex = parity->second;
                 return true;
             }},
            {"databits", [&](const Entry &e) { return check.number(section, e, 5, 8, port.dataBits); }},
            {"stopbits",
             [&](const Entry &e) {
                 if (e.value != "1" && e.value != "2")
                     return check.fail(section, &e, "not 1 or 2");
                 port.stopBitsIndex = e.value == "1" ? 0 : 2;
                 return true;
             }},
            {"first", [&](const Entry &e) { return check.number(section, e, 0, 63, line.first); }},
            {"last", [&](const Entry &e) { return check.number(section, e, 0, 63, line.last); }},
            {"metertype", [&](const Entry &e) { return check.number(section, e, 1, 65535, line.meterType); }},
            {"cycle",
             [&](const Entry &e) {
                 if (e.value != "period" && e.value != "fast")
                     return check.fail(section, &e, "not period or fast");
                 cycle.cycle = e.value == "fast" ? CycleSettings::Cycle::Fast : CycleSettings::Cycle::Period;
                 return true;
             }},
            {"period", [&](const Entry &e) { return check.number(section, e, 200, 1000, line.periodMs); }},
            {"timeout", [&](const Entry &e) { return check.number(section, e, 1, 10000, cycle.timeoutMs); }},
            {"commloss",
             [&](const Entry &e) { return check.number(section, e, 0, 1000, line.commLossAfter); }},
            {"history",
             [&](const Entry &e) {
                 if (!QFileInfo(e.value).isAbsolute())
                     return check.fail(section, &e, "not an absolute file path");
                 line.historyPath = e.value;
                 return true;
             }},
        });
    if (!read)
        return false;
    if (line.first > line.last)
        return check.fail(section, nullptr, QStringLiteral("first=%1 is above last=%2").arg(line.first).arg(line.last));
    if (transport.networked()) {
        if (transport.host.isEmpty())
            return check.fail(section, nullptr, "host= is required for a network transport");
        transport.port = tcpPort ? quint16(tcpPort) : LineTransportSettings::defaultPort(transport.kind);
    } else if (line.device.isEmpty()) {
        return check.fail(section, nullptr, "device= is required for transport=serial");
    }
    return true;
}

} // namespace

QString ServiceConfig::Error::text() const
{
    QString where = file;
    if (lineNumber > 0)
        where += QLatin1Char(':') + QString::number(lineNumber);
    QString what;
    if (!section.isEmpty())
        what += QLatin1Char('[') + section + QStringLiteral("] ");
    if (!key.isEmpty())
        what += key + QLatin1Char('=') + value + QStringLiteral(": ");
    return where + QStringLiteral(": ") + what + reason;
}

std::optional<ServiceConfig> ServiceConfig::read(const QString &path, Error &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = {path, 0, {}, {}, {}, QStringLiteral("cannot be read: ") + file.errorString()};
        return std::nullopt;
    }
    return parse(file.readAll(), path, error);
}

std::optional<ServiceConfig> ServiceConfig::parse(const QByteArray &bytes, const QString &path, Error &error)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        error = {path, 0, {}, {}, {}, QStringLiteral("not UTF-8 text")};
        return std::nullopt;
    }
    QList<Section> sections;
    const QStringList rows = text.split(QLatin1Char('\n'));
    for (int i = 0; i < rows.size(); ++i) {
        const int lineNumber = i + 1;
        QString row = rows[i].trimmed();
        if (row.startsWith(QChar(0xFEFF)))
            row = row.mid(1).trimmed();
        if (row.isEmpty() || row.startsWith(QLatin1Char(';')) || row.startsWith(QLatin1Char('#')))
            continue;
        if (row.startsWith(QLatin1Char('['))) {
            const qsizetype close = row.indexOf(QLatin1Char(']'));
            if (close < 0 || !withoutComment(row.mid(close + 1)).isEmpty()) {
                error = {path, lineNumber, {}, {}, {}, QStringLiteral("not a section heading: ") + row};
                return std::nullopt;
            }
            sections.append({row.mid(1, close - 1).simplified(), lineNumber, {}});
            continue;
        }
        const qsizetype equals = row.indexOf(QLatin1Char('='));
        if (equals <= 0 || sections.isEmpty()) {
            error = {path, lineNumber, sections.isEmpty() ? QString() : sections.last().name, {}, {},
                     QStringLiteral("not key=value in a section: ") + row};
            return std::nullopt;
        }
        sections.last().entries.append(
            {row.left(equals).trimmed().toLower(), withoutComment(QLatin1Char(' ') + row.mid(equals + 1)), lineNumber});
    }

    ServiceConfig config;
    config.file = path;
    Checker check(path, error);
    bool brokerSeen = false;
    QSet<QString> names;
    for (const Section &section : std::as_const(sections)) {
        if (section.name == QLatin1String("Broker")) {
            if (brokerSeen)
                return check.fail(section, nullptr, "given twice"), std::nullopt;
            brokerSeen = true;
            if (!readBroker(check, section, config.broker))
                return std::nullopt;
        } else if (section.name.startsWith(QLatin1String("Line "))) {
            Line line;
            line.name = section.name.mid(5).trimmed();
            if (!isTopicLevel(line.name))
                return check.fail(section, nullptr, "the line's name is not a topic level (letters, digits, - _ .)"),
                       std::nullopt;
            if (names.contains(line.name))
                return check.fail(section, nullptr, "a line of this name is given twice"), std::nullopt;
            names.insert(line.name);
            if (!readLine(check, section, line))
                return std::nullopt;
            config.lines.append(line);
        } else {
            return check.fail(section, nullptr, "unknown section (Broker or Line NAME)"), std::nullopt;
        }
    }
    if (!brokerSeen) {
        error = {path, 0, QStringLiteral("Broker"), {}, {}, QStringLiteral("section missing")};
        return std::nullopt;
    }
    if (config.lines.isEmpty()) {
        error = {path, 0, {}, {}, {}, QStringLiteral("no line: add a section [Line NAME]")};
        return std::nullopt;
    }
    return config;
}
