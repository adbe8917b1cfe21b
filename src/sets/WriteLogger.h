#pragma once

#include "LineEvent.h"

#include <QObject>

#include <array>
#include <map>
#include <optional>

class MeterLine;
class SetStore;

// Writes every parameter write of the parameter dialog into the write log: a write
// the meter echoed as done, a refusal with its exception code, a write
// answered with something other than its echo as read back different, and
// a write left unanswered. The value before is the one the meter's last
// read of all parameters found, or the last value written since.
class WriteLogger : public QObject {
    Q_OBJECT

public:
    explicit WriteLogger(SetStore &store, QObject *parent = nullptr);

    void follow(const MeterLine &line);
    void take(const LineEvent &event);
    void take(const ParameterReading &reading);

private:
    using Known = std::array<std::optional<qint16>, MaxParameters>;

    SetStore &store;
    std::map<int, Known> known; // by meter address
};
