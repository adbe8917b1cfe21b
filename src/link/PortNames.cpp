#include "PortNames.h"

#include <QRegularExpression>

#include <utility>

PortNames::PortNames(Override override) : override(std::move(override)) {}

QString PortNames::devicePath(const QString &portName) const
{
    return devicePath(portNumber(portName));
}

QString PortNames::devicePath(int n) const
{
    if (n < FirstPort || n > LastPort)
        return {};
    if (override) {
        // The settings file answers "Error" for a missing key; only a path
        // can name a device.
        const QString configured = override(n).trimmed();
        if (configured.startsWith(QLatin1Char('/')))
            return configured;
    }
    return defaultDevicePath(n);
}

int PortNames::portNumber(const QString &portName)
{
    static const QRegularExpression pattern(QStringLiteral("^COM([1-9][0-9]?)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = pattern.match(portName.trimmed());
    if (!match.hasMatch())
        return 0;
    const int n = match.captured(1).toInt();
    return n >= FirstPort && n <= LastPort ? n : 0;
}

QString PortNames::defaultDevicePath(int n)
{
    if (n >= 1 && n <= 4)
        return QStringLiteral("/dev/ttyS%1").arg(n - 1);
    if (n >= 5 && n <= LastPort)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 5);
    return {};
}
