#include "ChartScale.h"

#include <cmath>

namespace ChartScale {

namespace {
constexpr int kMinorPerDivision = 5;
constexpr int kLabelOffset = 10;
// A float carries 24 bits, so a fraction times the height may land a hair
// below the whole number it stands for; truncation would then draw a value
// on a grid line one pixel above it.
constexpr double kWholeSlack = 1e-3;
} // namespace

int stepFor(int width)
{
    return width / kStepsAcross;
}

int plotHeight(int clientHeight, const Margins &margins)
{
    return clientHeight - margins.top - margins.bottom;
}

QSize imageSize(int step, const QSize &client, const Margins &margins)
{
    return QSize(step + client.width() - margins.left, client.height());
}

int newestX(int step, int lineWidth)
{
    return step + lineWidth / 2;
}

int majorLineY(int i, int plotHeight, int divisions)
{
    return divisions > 0 ? i * plotHeight / divisions : 0;
}

int minorLineY(int k, int plotHeight, int divisions)
{
    return divisions > 0 ? k * plotHeight / (divisions * kMinorPerDivision) : 0;
}

double clampToRange(double value, double lower, double upper)
{
    if (value > upper)
        return upper;
    // Written so that a NaN fails the test and lands at the bottom too.
    if (!(value >= lower))
        return lower;
    return value;
}

float heightFraction(double value, double lower, double upper)
{
    const double range = upper - lower;
    if (!(range > 0.0))
        return 1.0f;
    return static_cast<float>((upper - value) / range);
}

int fractionToY(float fraction, int plotHeight)
{
    return static_cast<int>(std::trunc(double(fraction) * plotHeight + kWholeSlack));
}

int valueToY(double value, double lower, double upper, int plotHeight)
{
    return fractionToY(heightFraction(value, lower, upper), plotHeight);
}

QString labelText(int i, double lower, double upper, int divisions)
{
    if (divisions <= 0)
        return QString::asprintf("%.1f", lower);
    return QString::asprintf("%.1f", lower + (divisions - i) * (upper - lower) / divisions);
}

int labelTop(int i, int plotHeight, int divisions)
{
    return majorLineY(i, plotHeight, divisions) + kLabelOffset;
}

} // namespace ChartScale
