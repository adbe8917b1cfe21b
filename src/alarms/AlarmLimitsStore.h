#pragma once

#include "AlarmEvaluation.h"

#include <QHash>
#include <QSqlDatabase>
#include <QString>

#include <optional>
#include <variant>

// The limits as an operator types them: four texts and a switch.
struct AlarmLimitsEntry {
    QString high;     // empty: no high limit
    QString low;      // empty: no low limit
    QString deadband; // empty: 0
    QString delaySec; // empty: 0
    bool enabled = true;
};

// Why typed limits are refused, and which field is to blame.
struct AlarmLimitsRefusal {
    enum class Field { High, Low, Deadband, Delay };
    enum class Why { NotANumber, LowNotBelowHigh, Negative };
    Field field = Field::High;
    Why why = Why::NotANumber;

    bool operator==(const AlarmLimitsRefusal &) const = default;
};

// The limits of the entry, or why they are refused: a field that is no
// number (in the C locale, as the settings write numbers), a low limit not
// below the high one, a negative deadband or delay.
std::variant<AlarmLimits, AlarmLimitsRefusal> parseAlarmLimits(const AlarmLimitsEntry &entry);
// The limits as the dialog shows them ("" for none).
AlarmLimitsEntry alarmLimitsEntry(const AlarmLimits &limits);

// The alarm limits of the meters, table YbAlarm of the data database
// (qlvmdata.db in `directory`):
//
//   YbAlarm(Yb_Id INTEGER PRIMARY KEY (the meter address), HiLimit REAL NULL,
//           LoLimit REAL NULL, Deadband REAL NOT NULL DEFAULT 0,
//           DelaySec REAL NOT NULL DEFAULT 0, Enabled INTEGER NOT NULL DEFAULT 1)
//
// The table is created when it is missing; nothing else in the file is
// touched. A meter without a row has no limits.
class AlarmLimitsStore {
public:
    static constexpr const char *FileName = "qlvmdata.db";

    explicit AlarmLimitsStore(const QString &directory);
    ~AlarmLimitsStore();
    AlarmLimitsStore(const AlarmLimitsStore &) = delete;
    AlarmLimitsStore &operator=(const AlarmLimitsStore &) = delete;

    bool isOpen() const { return open; }
    // SQLite's words for the last failure.
    QString errorText() const { return error; }

    // Every meter's limits by address; nothing, with errorText(), when the
    // table cannot be read. Rows outside 0..63 are left out.
    std::optional<QHash<int, AlarmLimits>> load() const;
    // Stores the limits of one meter in one statement; false with
    // errorText() when refused (nothing changed then).
    bool save(int address, const AlarmLimits &limits);
    bool remove(int address);

private:
    bool fail(const QString &text) const;

    QString connection;
    mutable QSqlDatabase db;
    mutable QString error;
    bool open = false;
};
