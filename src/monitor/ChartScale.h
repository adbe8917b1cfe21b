#pragma once

#include <QSize>
#include <QString>

// The arithmetic of the real-time chart, apart from any window: where the
// samples go, how tall the plot is, what the value labels say and where they
// stand, and the height at which a value is drawn. All sizes are in logical
// pixels; the chart widget only paints what these functions compute.
namespace ChartScale {

// Steps between samples across a chart's width.
inline constexpr int kStepsAcross = 11;

// The chart's margins around the plot.
struct Margins {
    int top = 20;
    int bottom = 20;
    int left = 50;
    int right = 0;
};

// Horizontal distance between two consecutive samples for a chart `width`
// pixels wide: eleven steps span it.
int stepFor(int width);

// Height of the plot inside a client area `clientHeight` pixels tall.
int plotHeight(int clientHeight, const Margins &margins);

// The off-screen picture: one step wider than the plot, so that the strip
// left of the visible part holds the grid that every shift carries in.
QSize imageSize(int step, const QSize &client, const Margins &margins);

// Picture x of the newest point of every curve.
int newestX(int step, int lineWidth);

// Picture y of major division `i` (0 at the top) and of minor line `k`
// (five minor steps to a division).
int majorLineY(int i, int plotHeight, int divisions);
int minorLineY(int k, int plotHeight, int divisions);

// The value a sample is drawn at: above the upper limit at the upper limit;
// below the lower limit, the no-answer mark and anything that is not a
// number at the lower limit.
double clampToRange(double value, double lower, double upper);

// Where a value already clamped to the range stands in the plot, as a
// fraction of its height: 0 at the upper limit, 1 at the lower one. An empty
// range puts everything at the bottom. The chart keeps its samples in this
// form, one float each, and draws them at whatever height the plot has.
float heightFraction(double value, double lower, double upper);

// Picture y of a height fraction in a plot `plotHeight` pixels tall,
// truncated toward zero once the float's rounding is allowed for.
int fractionToY(float fraction, int plotHeight);

// Picture y of a value already clamped to the range (the upper limit at 0,
// the lower one at the plot height): its height fraction at this height.
int valueToY(double value, double lower, double upper, int plotHeight);

// The text of value label `i` (0 at the top, `divisions` at the bottom):
// "%.1f" of the value at that division.
QString labelText(int i, double lower, double upper, int divisions);

// Window y of the top of value label `i`.
int labelTop(int i, int plotHeight, int divisions);

} // namespace ChartScale
