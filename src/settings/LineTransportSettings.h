#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class SettingsFile;

// The transport under the line (section "Line"): the serial port of
// "CommConfig", raw RTU over TCP to a serial device server, or Modbus TCP to
// a gateway, with the server's host and port. Or no transport at all: the
// line runs elsewhere and is watched through an MQTT broker, whose host and
// port take the server's place, with the site and the line's name.
struct LineTransportSettings {
    enum class Kind { Serial, RtuTcp, ModbusTcp, Broker };

    static constexpr quint16 kRtuTcpDefaultPort = 4001;
    static constexpr quint16 kModbusTcpDefaultPort = 502;
    static constexpr quint16 kBrokerDefaultPort = 1883;
    static constexpr const char *kDefaultSite = "plant";

    // What is wrong with the entries as the user typed them.
    enum class EntryFault { None, HostMissing, HostNotValid, PortNotValid, SiteNotValid, LineNotValid };
    struct Entry;

    Kind kind = Kind::Serial;
    QString host;
    quint16 port = 0; // 0 for the serial port
    // The watched line: where it is published, quorvane/v1/<site>/<line>/.
    // Read whatever the transport, so that the port dialog can offer them
    // again; they count for the broker only.
    QString site = QString::fromLatin1(kDefaultSite);
    QString lineName;
    // False when a value that is there means nothing (an unknown transport,
    // a port outside 1..65535, a site or line that is no topic level), a
    // network transport or the broker has no host, or the broker no line.
    bool valid = true;
    // The first value that was not valid, as "key=value", for messages.
    QString invalidValue;

    // Every key is optional: a file without them gives the serial port.
    static LineTransportSettings read(const SettingsFile &settings);
    // Writes `transport`, and `host` and `tcpport` for a network transport,
    // or `broker`, `brokerport`, `site` and `line` for the broker. The other
    // keys of the section (the cycle, the time-out, a host kept for later
    // beside the serial port) stay as they are.
    bool write(SettingsFile &settings) const;

    // The settings for `kind` from the texts the user typed, or the first
    // thing wrong with them: the host, the port, the site, the line. The
    // serial port takes none of them, a network transport the host and
    // port only.
    static Entry fromEntry(Kind kind, const QString &hostText, const QString &portText,
                           const QString &siteText = QString(), const QString &lineText = QString());

    static quint16 defaultPort(Kind kind);
    // The names of the transports in the settings: "serial", "rtu-tcp",
    // "modbus-tcp", "broker" (read in any case).
    static QString kindName(Kind kind);
    static std::optional<Kind> kindNamed(const QString &name);
    // One level of an MQTT topic as the line service names sites and lines:
    // letters, digits, '-', '_' and '.', short enough for the settings file.
    static bool isTopicLevel(const QString &text);
    // Modbus over TCP to a device server or a gateway.
    bool networked() const { return kind == Kind::RtuTcp || kind == Kind::ModbusTcp; }
    // The line is watched through the broker, not polled here.
    bool watched() const { return kind == Kind::Broker; }
    // host:port of a network transport or the broker.
    QString target() const;
};

struct LineTransportSettings::Entry {
    LineTransportSettings line;
    EntryFault fault = EntryFault::None;
};
