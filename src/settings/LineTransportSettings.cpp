#include "LineTransportSettings.h"

#include "SettingsFile.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <array>
#include <optional>

namespace {

// What a read returns for a missing file, section or key.
const QString kMissing = QStringLiteral("Error");

struct KindName {
    LineTransportSettings::Kind kind;
    const char *name;
};
constexpr std::array kKindNames{KindName{LineTransportSettings::Kind::Serial, "serial"},
                                KindName{LineTransportSettings::Kind::RtuTcp, "rtu-tcp"},
                                KindName{LineTransportSettings::Kind::ModbusTcp, "modbus-tcp"},
                                KindName{LineTransportSettings::Kind::Broker, "broker"}};

} // namespace

std::optional<LineTransportSettings::Kind> LineTransportSettings::kindNamed(const QString &name)
{
    for (const KindName &entry : kKindNames) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return std::nullopt;
}

QString LineTransportSettings::kindName(Kind kind)
{
    for (const KindName &entry : kKindNames) {
        if (entry.kind == kind)
            return QString::fromLatin1(entry.name);
    }
    return QString();
}

namespace {

QString keyValue(SettingKey setting, const QString &value)
{
    return QString::fromLatin1(setting.key) + QLatin1Char('=') + value;
}

bool allDigits(QStringView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

// An IPv6 address, or an IPv4 address written in full: the parser also
// takes short forms such as "10.1" or "4001", which here are more likely a
// slip (a port typed into the host field) than meant.
bool isAddress(const QString &host)
{
    QHostAddress address;
    if (!address.setAddress(host))
        return false;
    return address.protocol() == QAbstractSocket::IPv6Protocol || host.count(QLatin1Char('.')) == 3;
}

// Dot-separated labels of 1 to 63 letters, digits, '-' and '_' (the
// resolver takes an underscore that DNS names do not have), with no '-' at
// either end. A name whose last label is all digits is an address gone
// wrong, such as 192.168.1.300. International names are checked in their
// ASCII form, the one the resolver is asked with.
bool isHostName(const QString &host)
{
    const QString ascii = QString::fromLatin1(QUrl::toAce(host));
    if (ascii.isEmpty())
        return false;
    const QStringList labels = ascii.split(QLatin1Char('.'));
    for (const QString &label : labels) {
        const bool fits = std::all_of(label.begin(), label.end(), [](QChar c) {
            return (c.isLetterOrNumber() && c.unicode() < 0x80) || c == QLatin1Char('-') ||
                   c == QLatin1Char('_');
        });
        if (!fits || label.isEmpty() || label.size() > 63 || label.startsWith(QLatin1Char('-')) ||
            label.endsWith(QLatin1Char('-')))
            return false;
    }
    return !allDigits(labels.last());
}

// A host longer than the settings file gives back would come back cut.
bool isHostText(const QString &host)
{
    return host.size() <= SettingsFile::MaxValueLength && (isAddress(host) || isHostName(host));
}

std::optional<quint16> portNumber(const QString &text)
{
    if (!allDigits(text) || text.size() > 5)
        return std::nullopt;
    const uint number = text.toUInt();
    if (number < 1 || number > 65535)
        return std::nullopt;
    return quint16(number);
}

// Reads a settings file into one LineTransportSettings, keeping the first
// value that is not valid.
class Reader {
public:
    Reader(const SettingsFile &settings, LineTransportSettings &line) : settings(settings), line(line) {}

    // The key's trimmed value; nothing when the key is missing.
    std::optional<QString> value(SettingKey setting) const
    {
        const QString text = settings.ReadSetting(setting).trimmed();
        return text == kMissing ? std::nullopt : std::optional<QString>(text);
    }
    void refuse(SettingKey setting, const QString &value)
    {
        if (line.valid)
            line.invalidValue = keyValue(setting, value);
        line.valid = false;
    }
    // A port in 1..65535 where the key is there; a missing key leaves it.
    void readPort(SettingKey setting)
    {
        const std::optional<QString> text = value(setting);
        if (!text)
            return;
        bool ok = false;
        const uint number = text->toUInt(&ok);
        if (ok && number >= 1 && number <= 65535)
            line.port = quint16(number);
        else
            refuse(setting, *text);
    }

private:
    const SettingsFile &settings;
    LineTransportSettings &line;
};

void readServer(Reader &reader, LineTransportSettings &line)
{
    if (const auto host = reader.value(Setting::LineHost))
        line.host = *host;
    if (line.networked())
        line.port = LineTransportSettings::defaultPort(line.kind);
    reader.readPort(Setting::LineTcpPort);
    if (line.networked() && line.host.isEmpty())
        reader.refuse(Setting::LineHost, line.host);
}

void readBroker(Reader &reader, LineTransportSettings &line)
{
    if (const auto host = reader.value(Setting::LineBroker))
        line.host = *host;
    line.port = LineTransportSettings::kBrokerDefaultPort;
    reader.readPort(Setting::LineBrokerPort);
    if (!LineTransportSettings::isTopicLevel(line.site))
        reader.refuse(Setting::LineSite, line.site);
    if (!LineTransportSettings::isTopicLevel(line.lineName))
        reader.refuse(Setting::LineName, line.lineName);
    if (line.host.isEmpty())
        reader.refuse(Setting::LineBroker, line.host);
}

} // namespace

LineTransportSettings LineTransportSettings::read(const SettingsFile &settings)
{
    LineTransportSettings line;
    Reader reader(settings, line);
    if (const auto transport = reader.value(Setting::LineTransport)) {
        if (const auto kind = kindNamed(*transport))
            line.kind = *kind;
        else
            reader.refuse(Setting::LineTransport, *transport);
    }
    if (const auto site = reader.value(Setting::LineSite))
        line.site = *site;
    if (const auto name = reader.value(Setting::LineName))
        line.lineName = *name;
    if (line.watched())
        readBroker(reader, line);
    else
        readServer(reader, line);
    return line;
}

bool LineTransportSettings::write(SettingsFile &settings) const
{
    bool ok = settings.WriteSetting(Setting::LineTransport, kindName(kind));
    if (networked()) {
        ok = settings.WriteSetting(Setting::LineHost, host) && ok;
        ok = settings.WriteInt(Setting::LineTcpPort, port) && ok;
    } else if (watched()) {
        ok = settings.WriteSetting(Setting::LineBroker, host) && ok;
        ok = settings.WriteInt(Setting::LineBrokerPort, port) && ok;
        ok = settings.WriteSetting(Setting::LineSite, site) && ok;
        ok = settings.WriteSetting(Setting::LineName, lineName) && ok;
    }
    return ok;
}

LineTransportSettings::Entry LineTransportSettings::fromEntry(Kind kind, const QString &hostText,
                                                              const QString &portText,
                                                              const QString &siteText,
                                                              const QString &lineText)
{
    Entry entry;
    entry.line.kind = kind;
    if (kind == Kind::Serial)
        return entry;
    entry.line.host = hostText.trimmed();
    const std::optional<quint16> port = portNumber(portText.trimmed());
    const bool watched = kind == Kind::Broker;
    if (watched) {
        entry.line.site = siteText.trimmed();
        entry.line.lineName = lineText.trimmed();
    }
    if (entry.line.host.isEmpty())
        entry.fault = EntryFault::HostMissing;
    else if (!isHostText(entry.line.host))
        entry.fault = EntryFault::HostNotValid;
    else if (!port)
        entry.fault = EntryFault::PortNotValid;
    else if (watched && !isTopicLevel(entry.line.site))
        entry.fault = EntryFault::SiteNotValid;
    else if (watched && !isTopicLevel(entry.line.lineName))
        entry.fault = EntryFault::LineNotValid;
    else
        entry.line.port = *port;
    return entry;
}

bool LineTransportSettings::isTopicLevel(const QString &text)
{
    static const QRegularExpression level(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return text.size() <= SettingsFile::MaxValueLength && level.match(text).hasMatch();
}

quint16 LineTransportSettings::defaultPort(Kind kind)
{
    switch (kind) {
    case Kind::Serial:
        return 0;
    case Kind::RtuTcp:
        return kRtuTcpDefaultPort;
    case Kind::ModbusTcp:
        return kModbusTcpDefaultPort;
    case Kind::Broker:
        return kBrokerDefaultPort;
    }
    return 0;
}

QString LineTransportSettings::target() const
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
