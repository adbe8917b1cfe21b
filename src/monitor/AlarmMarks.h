#pragma once

#include "AlarmEvaluation.h"

#include <QColor>
#include <QList>

// A limit of one meter drawn across the history chart.
struct LimitLine {
    int address = 0;
    AlarmKind kind = AlarmKind::High; // High or Low
    double value = 0;
    QColor colour;

    bool operator==(const LimitLine &) const = default;
};

// A time an alarm of one meter stood, from its raise to its clear.
struct AlarmSpan {
    int address = 0;
    AlarmKind kind = AlarmKind::High;
    qint64 fromMs = 0;
    qint64 toMs = 0;

    bool operator==(const AlarmSpan &) const = default;
};

// The spans within [fromMs, toMs) of the events read for that range, in time
// order: a clear without its raise in the range began before it (the span
// starts at fromMs), a raise without its clear still stands (it ends at
// toMs). Acknowledgements do not end a span.
QList<AlarmSpan> alarmSpansOf(const QList<AlarmEvent> &events, qint64 fromMs, qint64 toMs);
