#include "MeterConfiguration.h"

#include "SettingsFile.h"
#include "SettingsKeys.h"

#include <array>
#include <utility>

namespace {

using Values = MeterConfiguration::Values;

// The keys in the order they are read and written.
constexpr std::array<std::pair<SettingKey, int Values::*>, 7> kFields{{
    {Setting::MeterType, &Values::metertype},
    {Setting::Channels, &Values::channels},
    {Setting::SamplingTime, &Values::samplingtime},
    {Setting::SingleOrMulti, &Values::singleormulti},
    {Setting::StartAddress, &Values::startaddress},
    {Setting::EndAddress, &Values::endaddress},
    {Setting::MeterAmount, &Values::meteramount},
}};

} // namespace

MeterConfiguration::MeterConfiguration(QObject *parent) : QObject(parent) {}

MeterConfiguration::Values MeterConfiguration::read(const SettingsFile &settings)
{
    Values values;
    for (const auto &[key, field] : kFields)
        values.*field = settings.ReadInt(key);
    return values;
}

void MeterConfiguration::load(const SettingsFile &settings)
{
    set(read(settings));
}

void MeterConfiguration::set(const Values &values)
{
    if (values == current)
        return;
    current = values;
    emit changed();
}

bool MeterConfiguration::save(SettingsFile &settings, const Values &values)
{
    bool ok = true;
    for (const auto &[key, field] : kFields)
        ok = settings.WriteInt(key, values.*field) && ok;
    set(values);
    return ok;
}
