#pragma once

#include <QList>

// Tick arithmetic of the history chart, apart from any window: where the
// labelled lines of the time axis and of the value axis go.
namespace HistoryAxis {

// A tick spacing for a time span of `spanMs` with about `wanted` ticks, from
// the steps a clock reader expects (1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15,
// 30 min, 1, 2, 3, 6, 12 h, 1, 2, 7 days).
qint64 timeStep(qint64 spanMs, int wanted);

// The ticks of `step` within [fromMs, toMs], aligned to local midnight plus a
// whole number of steps, in milliseconds since the epoch. `utcOffsetMs` is
// the local time's offset from UTC.
QList<qint64> timeTicks(qint64 fromMs, qint64 toMs, qint64 step, qint64 utcOffsetMs);

// A value spacing of 1, 2 or 5 times a power of ten giving about `wanted`
// ticks over [lower, upper].
double valueStep(double lower, double upper, int wanted);

// The multiples of `step` within [lower, upper].
QList<double> valueTicks(double lower, double upper, double step);

} // namespace HistoryAxis
