#include "HistoryAxis.h"

#include <cmath>

namespace HistoryAxis {

namespace {
constexpr qint64 kSecond = 1000;
constexpr qint64 kMinute = 60 * kSecond;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
constexpr qint64 kSteps[] = {kSecond,      2 * kSecond,  5 * kSecond, 10 * kSecond, 15 * kSecond,
                             30 * kSecond, kMinute,      2 * kMinute, 5 * kMinute,  10 * kMinute,
                             15 * kMinute, 30 * kMinute, kHour,       2 * kHour,    3 * kHour,
                             6 * kHour,    12 * kHour,   kDay,        2 * kDay,     7 * kDay};
} // namespace

qint64 timeStep(qint64 spanMs, int wanted)
{
    const qint64 ideal = spanMs / std::max(1, wanted);
    for (qint64 step : kSteps)
        if (step >= ideal)
            return step;
    // Beyond a week a tick, whole weeks.
    return (ideal / (7 * kDay) + 1) * 7 * kDay;
}

QList<qint64> timeTicks(qint64 fromMs, qint64 toMs, qint64 step, qint64 utcOffsetMs)
{
    QList<qint64> ticks;
    if (step <= 0 || toMs < fromMs)
        return ticks;
    // Count in local time so that ticks fall on local hours and midnights.
    const qint64 localFrom = fromMs + utcOffsetMs;
    qint64 first = localFrom - ((localFrom % step) + step) % step;
    if (first < localFrom)
        first += step;
    for (qint64 t = first; t - utcOffsetMs <= toMs; t += step)
        ticks << t - utcOffsetMs;
    return ticks;
}

double valueStep(double lower, double upper, int wanted)
{
    const double span = upper - lower;
    if (!(span > 0.0))
        return 1.0;
    const double ideal = span / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(ideal)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= ideal)
            return factor * power;
    return 10.0 * power;
}

QList<double> valueTicks(double lower, double upper, double step)
{
    QList<double> ticks;
    if (!(step > 0.0) || upper < lower)
        return ticks;
    for (double k = std::ceil(lower / step); k * step <= upper + step * 1e-9; k += 1.0)
        ticks << k * step;
    return ticks;
}

} // namespace HistoryAxis
