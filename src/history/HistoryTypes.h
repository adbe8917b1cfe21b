#pragma once

#include <QList>
#include <QtGlobal>

#include <optional>

// One recorded value of one meter; no value means the meter did not answer.
struct HistorySample {
    qint64 msecs = 0; // milliseconds since the epoch, UTC
    int address = 0;
    std::optional<double> value;

    bool operator==(const HistorySample &) const = default;
};

// One pixel column of one meter: the true smallest and largest value that
// fell in it, how many values did, and whether a no-answer mark did.
// min and max are 0 when no value fell in the column.
struct HistoryColumn {
    double min = 0;
    double max = 0;
    int values = 0;
    bool silent = false;

    bool operator==(const HistoryColumn &) const = default;
};

// The columns of one meter, in time order.
struct HistorySeries {
    int address = 0;
    QList<HistoryColumn> columns;
};
