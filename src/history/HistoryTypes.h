#pragma once

#include "HistoryTexts.h"

#include <QList>
#include <QString>
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

// Why the history failed: the text SQLite or the file system gave, or a
// refusal of the history's own that the caller words in its language.
struct HistoryError {
    enum class Reason { None, System, WalRefused };
    Reason reason = Reason::None;
    QString systemText;

    // The reason in words: the system's text as it came, the history's own
    // in `language`.
    QString text(int language) const
    {
        return reason == Reason::WalRefused ? kHistoryWalRefused.text(language) : systemText;
    }
};
