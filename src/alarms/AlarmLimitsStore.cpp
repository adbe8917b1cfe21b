#include "AlarmLimitsStore.h"

#include "ModbusFrame.h"

#include <QAtomicInteger>
#include <QDir>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cmath>

namespace {

QAtomicInteger<int> connectionCounter;

// A number as typed, in the C locale; nothing for "" and for text that is
// no finite number.
std::optional<double> number(const QString &text, bool *bad)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value)) {
        *bad = true;
        return std::nullopt;
    }
    return value;
}

QString shown(std::optional<double> value)
{
    return value ? QLocale::c().toString(*value, 'g', 12) : QString();
}

QVariant realOrNull(std::optional<double> value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

} // namespace

std::variant<AlarmLimits, AlarmLimitsRefusal> parseAlarmLimits(const AlarmLimitsEntry &entry)
{
    using Field = AlarmLimitsRefusal::Field;
    using Why = AlarmLimitsRefusal::Why;
    AlarmLimits limits;
    limits.enabled = entry.enabled;
    const std::pair<const QString *, Field> fields[] = {{&entry.high, Field::High},
                                                        {&entry.low, Field::Low},
                                                        {&entry.deadband, Field::Deadband},
                                                        {&entry.delaySec, Field::Delay}};
    std::optional<double> values[4];
    for (int i = 0; i < 4; ++i) {
        bool bad = false;
        values[i] = number(*fields[i].first, &bad);
        if (bad)
            return AlarmLimitsRefusal{fields[i].second, Why::NotANumber};
    }
    limits.high = values[0];
    limits.low = values[1];
    limits.deadband = values[2].value_or(0);
    limits.delaySec = values[3].value_or(0);
    if (limits.high && limits.low && *limits.low >= *limits.high)
        return AlarmLimitsRefusal{Field::Low, Why::LowNotBelowHigh};
    if (limits.deadband < 0)
        return AlarmLimitsRefusal{Field::Deadband, Why::Negative};
    if (limits.delaySec < 0)
        return AlarmLimitsRefusal{Field::Delay, Why::Negative};
    return limits;
}

AlarmLimitsEntry alarmLimitsEntry(const AlarmLimits &limits)
{
    return {shown(limits.high), shown(limits.low), shown(limits.deadband), shown(limits.delaySec),
            limits.enabled};
}

AlarmLimitsStore::AlarmLimitsStore(const QString &directory)
    : connection(QStringLiteral("quorvane-alarms-%1").arg(connectionCounter.fetchAndAddRelaxed(1)))
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(QDir(directory).filePath(QLatin1String(FileName)));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        fail(db.lastError().text());
        return;
    }
    QSqlQuery create(db);
    open =
        create.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS YbAlarm(Yb_Id INTEGER PRIMARY KEY, HiLimit REAL NULL, LoLimit REAL "
            "NULL, Deadband REAL NOT NULL DEFAULT 0, DelaySec REAL NOT NULL DEFAULT 0, Enabled INTEGER NOT "
            "NULL DEFAULT 1)")) ||
        fail(create.lastError().text());
}

AlarmLimitsStore::~AlarmLimitsStore()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

bool AlarmLimitsStore::fail(const QString &text) const
{
    error = text;
    return false;
}

std::optional<QHash<int, AlarmLimits>> AlarmLimitsStore::load() const
{
    QSqlQuery query(db);
    if (!open || !query.exec(QStringLiteral(
                     "SELECT Yb_Id, HiLimit, LoLimit, Deadband, DelaySec, Enabled FROM YbAlarm"))) {
        fail(query.lastError().text());
        return std::nullopt;
    }
    QHash<int, AlarmLimits> all;
    while (query.next()) {
        const int address = query.value(0).toInt();
        if (address < 0 || address >= Modbus::MeterCount)
            continue;
        AlarmLimits limits;
        if (!query.value(1).isNull())
            limits.high = query.value(1).toDouble();
        if (!query.value(2).isNull())
            limits.low = query.value(2).toDouble();
        limits.deadband = query.value(3).toDouble();
        limits.delaySec = query.value(4).toDouble();
        limits.enabled = query.value(5).toInt() != 0;
        all.insert(address, limits);
    }
    return all;
}

bool AlarmLimitsStore::save(int address, const AlarmLimits &limits)
{
    QSqlQuery query(db);
    if (!open || !query.prepare(QStringLiteral(
                     "INSERT OR REPLACE INTO YbAlarm(Yb_Id, HiLimit, LoLimit, Deadband, DelaySec, Enabled) "
                     "VALUES(?, ?, ?, ?, ?, ?)")))
        return fail(query.lastError().text());
    query.addBindValue(address);
    query.addBindValue(realOrNull(limits.high));
    query.addBindValue(realOrNull(limits.low));
    query.addBindValue(limits.deadband);
    query.addBindValue(limits.delaySec);
    query.addBindValue(limits.enabled ? 1 : 0);
    return query.exec() || fail(query.lastError().text());
}

bool AlarmLimitsStore::remove(int address)
{
    QSqlQuery query(db);
    if (!open || !query.prepare(QStringLiteral("DELETE FROM YbAlarm WHERE Yb_Id = ?")))
        return fail(query.lastError().text());
    query.addBindValue(address);
    return query.exec() || fail(query.lastError().text());
}
