#include "MeterConfiguration.h"

#include "SettingsFile.h"

#include <array>
#include <utility>

namespace {

const QString kSection = QStringLiteral("MeterConfig");

// The keys in the order they are read and written.
std::array<std::pair<const char *, int MeterConfiguration::*>, 7> fields()
{
    return {{{"metertype", &MeterConfiguration::metertype},
             {"channels", &MeterConfiguration::channels},
             {"samplingtime", &MeterConfiguration::samplingtime},
             {"singleormulti", &MeterConfiguration::singleormulti},
             {"startaddress", &MeterConfiguration::startaddress},
             {"endaddress", &MeterConfiguration::endaddress},
             {"meteramount", &MeterConfiguration::meteramount}}};
}

} // namespace

MeterConfiguration MeterConfiguration::read(const SettingsFile &settings)
{
    MeterConfiguration config;
    for (const auto &[key, field] : fields())
        config.*field = settings.ReadInt(kSection, QString::fromLatin1(key));
    return config;
}

bool MeterConfiguration::write(SettingsFile &settings) const
{
    bool ok = true;
    for (const auto &[key, field] : fields())
        ok = settings.WriteInt(kSection, QString::fromLatin1(key), this->*field) && ok;
    return ok;
}
