#include "CycleSettings.h"

#include "PortSettings.h"
#include "SettingsFile.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kReadAnswerBytes = 7;
constexpr double kTimeoutMarginMs = 50.0;

// Start bit, data bits, a parity bit for any parity but none, stop bits.
double bitsPerCharacter(const PortSettings &port)
{
    static constexpr double stopBits[] = {1.0, 1.5, 2.0};
    const double stop = stopBits[std::clamp(port.stopBitsIndex, 0, 2)];
    return 1.0 + port.dataBits + (port.parityIndex != 0 ? 1.0 : 0.0) + stop;
}

} // namespace

CycleSettings CycleSettings::read(const SettingsFile &settings)
{
    CycleSettings read;
    const QString cycle = settings.ReadSetting(Setting::LineCycle).trimmed();
    if (cycle.compare(QLatin1String("fast"), Qt::CaseInsensitive) == 0)
        read.cycle = Cycle::Fast;
    read.timeoutMs = std::max(settings.ReadInt(Setting::LineTimeout), 0);
    return read;
}

int CycleSettings::answerTimeoutMs(const PortSettings &port) const
{
    if (timeoutMs > 0)
        return timeoutMs;
    const double frameMs = 1000.0 * kReadAnswerBytes * bitsPerCharacter(port) / std::max(port.baudValue(), 1);
    return int(std::ceil(kTimeoutMarginMs + 2.0 * frameMs));
}
