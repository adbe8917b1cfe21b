#include "LineTransportSettings.h"

#include "SettingsFile.h"

#include <optional>

namespace {

// What a read returns for a missing file, section or key.
const QString kMissing = QStringLiteral("Error");

std::optional<LineTransportSettings::Kind> kindNamed(const QString &name)
{
    using Kind = LineTransportSettings::Kind;
    if (name.compare(QLatin1String("serial"), Qt::CaseInsensitive) == 0)
        return Kind::Serial;
    if (name.compare(QLatin1String("rtu-tcp"), Qt::CaseInsensitive) == 0)
        return Kind::RtuTcp;
    if (name.compare(QLatin1String("modbus-tcp"), Qt::CaseInsensitive) == 0)
        return Kind::ModbusTcp;
    return std::nullopt;
}

QString keyValue(SettingKey setting, const QString &value)
{
    return QString::fromLatin1(setting.key) + QLatin1Char('=') + value;
}

} // namespace

LineTransportSettings LineTransportSettings::read(const SettingsFile &settings)
{
    LineTransportSettings line;
    const auto refuse = [&line](SettingKey setting, const QString &value) {
        if (line.valid)
            line.invalidValue = keyValue(setting, value);
        line.valid = false;
    };
    const QString transport = settings.ReadSetting(Setting::LineTransport).trimmed();
    if (transport != kMissing) {
        if (const auto kind = kindNamed(transport))
            line.kind = *kind;
        else
            refuse(Setting::LineTransport, transport);
    }
    const QString host = settings.ReadSetting(Setting::LineHost).trimmed();
    if (host != kMissing)
        line.host = host;
    if (line.networked())
        line.port = line.kind == Kind::ModbusTcp ? kModbusTcpDefaultPort : kRtuTcpDefaultPort;
    const QString port = settings.ReadSetting(Setting::LineTcpPort).trimmed();
    if (port != kMissing) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (ok && number >= 1 && number <= 65535)
            line.port = quint16(number);
        else
            refuse(Setting::LineTcpPort, port);
    }
    if (line.networked() && line.host.isEmpty())
        refuse(Setting::LineHost, line.host);
    return line;
}

QString LineTransportSettings::target() const
{
    return QStringLiteral("%1:%2").arg(host).arg(port);
}
