#include "PortSettings.h"

#include "SettingsFile.h"
#include "TextConversions.h"

namespace {
const QString kSection = QStringLiteral("CommConfig");
} // namespace

PortSettings PortSettings::read(const SettingsFile &settings)
{
    auto text = [&](const char *key) { return settings.ReadSetting(kSection, QString::fromLatin1(key)); };
    PortSettings port;
    const QString comName = text("comname");
    port.portNumber = atoiLike(comName);
    port.portText = QStringLiteral("COM") + comName;
    port.baudIndex = atoiLike(text("baudrate"));
    port.dataBits = atoiLike(text("bytesize"));
    port.parityIndex = atoiLike(text("parity"));
    port.stopBitsIndex = atoiLike(text("stopbits"));
    port.baudText = text("baudratevalue");
    return port;
}

bool PortSettings::write(SettingsFile &settings) const
{
    auto put = [&](const char *key, const QString &value) {
        return settings.WriteSetting(kSection, QString::fromLatin1(key), value);
    };
    bool ok = put("comname", QString::number(portNumber));
    ok = put("baudrate", QString::number(baudIndex)) && ok;
    ok = put("bytesize", QString::number(dataBits)) && ok;
    ok = put("parity", QString::number(parityIndex)) && ok;
    ok = put("stopbits", QString::number(stopBitsIndex)) && ok;
    return put("baudratevalue", baudText) && ok;
}

int PortSettings::baudValue() const
{
    return atoiLike(baudText);
}

QString PortSettings::configuredDevice(const SettingsFile &settings, int n)
{
    const QString device = settings.ReadSetting(QStringLiteral("Ports"), QStringLiteral("COM%1").arg(n));
    return device == QLatin1String("Error") ? QString() : device;
}
