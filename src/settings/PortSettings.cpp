#include "PortSettings.h"

#include "SettingsFile.h"
#include "TextConversions.h"

PortSettings PortSettings::read(const SettingsFile &settings)
{
    PortSettings port;
    const QString comName = settings.ReadSetting(Setting::ComName);
    port.portNumber = atoiLike(comName);
    port.portText = QStringLiteral("COM") + comName;
    port.baudIndex = settings.ReadInt(Setting::BaudRate);
    port.dataBits = settings.ReadInt(Setting::ByteSize);
    port.parityIndex = settings.ReadInt(Setting::Parity);
    port.stopBitsIndex = settings.ReadInt(Setting::StopBits);
    port.baudText = settings.ReadSetting(Setting::BaudRateValue);
    return port;
}

bool PortSettings::write(SettingsFile &settings) const
{
    bool ok = settings.WriteInt(Setting::ComName, portNumber);
    ok = settings.WriteInt(Setting::BaudRate, baudIndex) && ok;
    ok = settings.WriteInt(Setting::ByteSize, dataBits) && ok;
    ok = settings.WriteInt(Setting::Parity, parityIndex) && ok;
    ok = settings.WriteInt(Setting::StopBits, stopBitsIndex) && ok;
    return settings.WriteSetting(Setting::BaudRateValue, baudText) && ok;
}

int PortSettings::baudValue() const
{
    return atoiLike(baudText);
}

QString PortSettings::configuredDevice(const SettingsFile &settings, int n)
{
    const QString device =
        settings.ReadSetting(QString::fromLatin1(Setting::PortsSection), Setting::portKey(n));
    return device == QLatin1String("Error") ? QString() : device;
}
