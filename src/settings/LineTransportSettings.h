#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

class SettingsFile;

// The transport under the line (section "Line"): the serial port of
// "CommConfig", raw RTU over TCP to a serial device server, or Modbus TCP to
// a gateway, with the server's host and port.
struct LineTransportSettings {
    enum class Kind { Serial, RtuTcp, ModbusTcp };

    static constexpr quint16 kRtuTcpDefaultPort = 4001;
    static constexpr quint16 kModbusTcpDefaultPort = 502;

    // What is wrong with a host and port as the user typed them.
    enum class EntryFault { None, HostMissing, HostNotValid, PortNotValid };
    struct Entry;

    Kind kind = Kind::Serial;
    QString host;
    quint16 port = 0; // 0 for the serial port
    // False when a value that is there means nothing (an unknown transport,
    // a port outside 1..65535) or a network transport has no host.
    bool valid = true;
    // The first value that was not valid, as "key=value", for messages.
    QString invalidValue;

    // Every key is optional: a file without them gives the serial port.
    static LineTransportSettings read(const SettingsFile &settings);
    // Writes `transport`, and `host` and `tcpport` for a network transport.
    // The other keys of the section (the cycle, the time-out, a host kept
    // for later beside the serial port) stay as they are.
    bool write(SettingsFile &settings) const;

    // The settings for `kind` from the host and port text the user typed,
    // or the first thing wrong with them, the host before the port. The
    // serial port takes neither text.
    static Entry fromEntry(Kind kind, const QString &hostText, const QString &portText);

    static quint16 defaultPort(Kind kind);
    // The names of the transports in the settings: "serial", "rtu-tcp",
    // "modbus-tcp" (read in any case).
    static QString kindName(Kind kind);
    static std::optional<Kind> kindNamed(const QString &name);
    bool networked() const { return kind != Kind::Serial; }
    // host:port of a network transport.
    QString target() const;
};

struct LineTransportSettings::Entry {
    LineTransportSettings line;
    EntryFault fault = EntryFault::None;
};
