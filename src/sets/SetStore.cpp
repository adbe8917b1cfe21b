#include "SetStore.h"

#include "CsvText.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

namespace {

QVariant optionalRaw(const std::optional<qint16> &raw)
{
    return raw ? QVariant(int(*raw)) : QVariant(QMetaType(QMetaType::Int));
}

std::optional<qint16> rawOf(const QVariant &value)
{
    return value.isNull() ? std::nullopt : std::optional<qint16>(qint16(value.toInt()));
}

constexpr WriteResult kResults[] = {WriteResult::Done, WriteResult::Refused, WriteResult::NoAnswer,
                                    WriteResult::ReadBackDifferent};

} // namespace

SetStore::SetStore(const QString &directory)
    : connection(QStringLiteral("sets-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(QDir(directory).filePath(QLatin1String(FileName)));
    open = db.open() && exec(QStringLiteral("PRAGMA busy_timeout=2000")) &&
           exec(QStringLiteral("PRAGMA foreign_keys=ON")) &&
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS parameter_set(id INTEGER PRIMARY KEY, address INTEGER "
                               "NOT NULL, meter_type INTEGER NOT NULL, meter_type_name TEXT NOT NULL, taken TEXT "
                               "NOT NULL, note TEXT NOT NULL DEFAULT '')")) &&
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS set_parameter(set_id INTEGER NOT NULL REFERENCES "
                               "parameter_set(id) ON DELETE CASCADE, k INTEGER NOT NULL, register INTEGER NOT "
                               "NULL, caption TEXT NOT NULL, caption_en TEXT NOT NULL, raw INTEGER NOT NULL, "
                               "text TEXT NOT NULL, PRIMARY KEY(set_id, k))")) &&
           exec(QStringLiteral("CREATE TABLE IF NOT EXISTS write_log(id INTEGER PRIMARY KEY, ms INTEGER NOT NULL, "
                               "address INTEGER NOT NULL, k INTEGER NOT NULL, register INTEGER NOT NULL, old_raw "
                               "INTEGER, new_raw INTEGER NOT NULL, result TEXT NOT NULL, exception_code INTEGER "
                               "NOT NULL DEFAULT 0, read_back INTEGER)"));
    if (!open && error.isEmpty())
        error = db.lastError().text();
}

SetStore::~SetStore()
{
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection);
}

bool SetStore::exec(const QString &sql)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    error = query.lastError().text();
    return false;
}

std::optional<qint64> SetStore::save(const ParameterSet &set)
{
    if (!open || !db.transaction()) {
        error = db.lastError().text();
        return std::nullopt;
    }
    QSqlQuery head(db);
    head.prepare(QStringLiteral("INSERT INTO parameter_set(address, meter_type, meter_type_name, taken, note) "
                                "VALUES(?, ?, ?, ?, ?)"));
    head.addBindValue(set.address);
    head.addBindValue(set.meterType);
    head.addBindValue(set.meterTypeName);
    head.addBindValue(set.taken.toUTC().toString(Qt::ISODateWithMs));
    head.addBindValue(set.note);
    bool ok = head.exec();
    const qint64 id = head.lastInsertId().toLongLong();
    QSqlQuery row(db);
    row.prepare(QStringLiteral("INSERT INTO set_parameter(set_id, k, register, caption, caption_en, raw, text) "
                               "VALUES(?, ?, ?, ?, ?, ?, ?)"));
    for (const SetParameter &p : set.parameters) {
        if (!ok)
            break;
        for (const QVariant &value : {QVariant(id), QVariant(p.k), QVariant(p.reg), QVariant(p.caption),
                                      QVariant(p.captionEN), QVariant(int(p.raw)), QVariant(p.text)})
            row.addBindValue(value);
        ok = row.exec();
    }
    if (!ok || !db.commit()) {
        error = ok ? db.lastError().text() : (head.lastError().isValid() ? head.lastError() : row.lastError()).text();
        db.rollback();
        return std::nullopt;
    }
    return id;
}

bool SetStore::loadParameters(ParameterSet &set) const
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT k, register, caption, caption_en, raw, text FROM set_parameter "
                                 "WHERE set_id = ? ORDER BY k"));
    query.addBindValue(set.id);
    if (!query.exec()) {
        error = query.lastError().text();
        return false;
    }
    while (query.next())
        set.parameters.append({query.value(0).toInt(), query.value(1).toInt(), query.value(2).toString(),
                               query.value(3).toString(), qint16(query.value(4).toInt()), query.value(5).toString()});
    return true;
}

QList<ParameterSet> SetStore::select(const QString &where, const QVariant &bound) const
{
    QList<ParameterSet> found;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT id, address, meter_type, meter_type_name, taken, note FROM parameter_set "
                                 "WHERE ") +
                  where + QStringLiteral(" ORDER BY taken DESC, id DESC"));
    query.addBindValue(bound);
    query.addBindValue(bound);
    if (!open || !query.exec()) {
        error = query.lastError().text();
        return found;
    }
    while (query.next()) {
        ParameterSet set;
        set.id = query.value(0).toLongLong();
        set.address = query.value(1).toInt();
        set.meterType = query.value(2).toInt();
        set.meterTypeName = query.value(3).toString();
        set.taken = QDateTime::fromString(query.value(4).toString(), Qt::ISODateWithMs).toUTC();
        set.note = query.value(5).toString();
        if (!loadParameters(set))
            return {};
        found.append(set);
    }
    return found;
}

QList<ParameterSet> SetStore::sets(std::optional<int> address) const
{
    return select(QStringLiteral("? IS NULL OR address = ?"),
                  address ? QVariant(*address) : QVariant(QMetaType(QMetaType::Int)));
}

std::optional<ParameterSet> SetStore::set(qint64 id) const
{
    const QList<ParameterSet> found = select(QStringLiteral("id = ? AND id = ?"), QVariant(id));
    return found.isEmpty() ? std::nullopt : std::optional<ParameterSet>(found.first());
}

bool SetStore::remove(qint64 id)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM parameter_set WHERE id = ?"));
    query.addBindValue(id);
    if (open && query.exec())
        return query.numRowsAffected() == 1;
    error = query.lastError().text();
    return false;
}

QString SetStore::resultName(WriteResult result)
{
    switch (result) {
    case WriteResult::Done:
        return QStringLiteral("done");
    case WriteResult::Refused:
        return QStringLiteral("refused");
    case WriteResult::NoAnswer:
        return QStringLiteral("no-answer");
    case WriteResult::ReadBackDifferent:
        return QStringLiteral("read-back-different");
    }
    return QString();
}

bool SetStore::log(const WriteRecord &record)
{
    if (!open)
        return false;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO write_log(ms, address, k, register, old_raw, new_raw, result, "
                                 "exception_code, read_back) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const QVariant &value :
         {QVariant(record.time.toMSecsSinceEpoch()), QVariant(record.address), QVariant(record.k),
          QVariant(2 * record.k), optionalRaw(record.oldRaw), QVariant(int(record.newRaw)),
          QVariant(resultName(record.result)), QVariant(record.exceptionCode), optionalRaw(record.readBack)})
        query.addBindValue(value);
    if (query.exec())
        return true;
    error = query.lastError().text();
    return false;
}

QList<WriteRecord> SetStore::writeLog(std::optional<int> address) const
{
    QList<WriteRecord> records;
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT ms, address, k, old_raw, new_raw, result, exception_code, read_back "
                                 "FROM write_log WHERE ? IS NULL OR address = ? ORDER BY id"));
    const QVariant filter = address ? QVariant(*address) : QVariant(QMetaType(QMetaType::Int));
    query.addBindValue(filter);
    query.addBindValue(filter);
    if (!open || !query.exec()) {
        error = query.lastError().text();
        return records;
    }
    while (query.next()) {
        WriteRecord record;
        record.time = QDateTime::fromMSecsSinceEpoch(query.value(0).toLongLong(), Qt::UTC);
        record.address = query.value(1).toInt();
        record.k = query.value(2).toInt();
        record.oldRaw = rawOf(query.value(3));
        record.newRaw = qint16(query.value(4).toInt());
        const QString result = query.value(5).toString();
        for (WriteResult candidate : kResults)
            if (resultName(candidate) == result)
                record.result = candidate;
        record.exceptionCode = query.value(6).toInt();
        record.readBack = rawOf(query.value(7));
        records.append(record);
    }
    return records;
}

QByteArray SetStore::writeLogCsv(const QList<WriteRecord> &records)
{
    QString text = QStringLiteral("time,address,k,register,old,new,result,exception,readBack\r\n");
    const auto raw = [](const std::optional<qint16> &value) {
        return value ? QString::number(*value) : QString();
    };
    for (const WriteRecord &r : records)
        text += QStringLiteral("%1,%2,%3,%4,%5,%6,%7,%8,%9\r\n")
                    .arg(csvField(r.time.toUTC().toString(Qt::ISODateWithMs)))
                    .arg(r.address)
                    .arg(r.k)
                    .arg(2 * r.k)
                    .arg(raw(r.oldRaw))
                    .arg(r.newRaw)
                    .arg(resultName(r.result))
                    .arg(r.exceptionCode ? QString::number(r.exceptionCode) : QString())
                    .arg(raw(r.readBack));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}
