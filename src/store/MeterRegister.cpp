#include "MeterRegister.h"

#include "AdoDatabase.h"
#include "TextConversions.h"

namespace {

const QString kDataFile = QStringLiteral("qlvmdata.db");
const QString kTable = QStringLiteral("YbGL");

QString columnName(const MeterColumn &column)
{
    return QString::fromLatin1(column.name);
}

// The fields of `record` to store; without the address for an edit, which
// finds its row by it.
AdoDatabase::FieldValues fieldValues(const MeterRecord &record, bool withAddress)
{
    AdoDatabase::FieldValues values;
    for (const MeterColumn &column : kMeterColumns) {
        if (withAddress || column.field != &MeterRecord::address)
            values.append({columnName(column), record.*column.field});
    }
    return values;
}

} // namespace

MeterRegister::MeterRegister(Prompts &prompts, const QString &directory, int language)
    : prompts(prompts), directory(directory), language(language)
{
    reload();
}

bool MeterRegister::openTable(AdoDatabase &db) const
{
    db.Open(kDataFile, QString());
    if (!db.IsOpen())
        return false;
    db.OpenTable(kTable);
    QStringList names;
    for (const MeterColumn &column : kMeterColumns)
        names << columnName(column);
    return db.HasFields(names);
}

QList<MeterRecord> MeterRegister::readAll(AdoDatabase &db)
{
    QList<MeterRecord> records;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        MeterRecord record;
        for (const MeterColumn &column : kMeterColumns)
            record.*column.field = db.GetText(columnName(column));
        records << record;
    }
    return records;
}

bool MeterRegister::reload()
{
    AdoDatabase db(prompts, directory, language);
    const bool opened = openTable(db);
    meters = opened ? readAll(db) : QList<MeterRecord>();
    return opened;
}

std::optional<MeterRecord> MeterRegister::find(int address) const
{
    const QString text = QString::number(address);
    for (const MeterRecord &record : meters) {
        if (record.address == text)
            return record;
    }
    return std::nullopt;
}

std::optional<int> MeterRegister::nextAddress() const
{
    const int next = meters.isEmpty() ? 0 : atoiLike(meters.last().address) + 1;
    if (next < 0 || next >= kMaxMeters)
        return std::nullopt;
    return next;
}

std::array<QString, MeterRegister::kMaxMeters> MeterRegister::installPositions() const
{
    std::array<QString, kMaxMeters> positions;
    for (const MeterRecord &record : meters) {
        const int address = atoiLike(record.address);
        if (address >= 0 && address < kMaxMeters)
            positions[address] = record.installPosition;
    }
    return positions;
}

bool MeterRegister::append(const MeterRecord &record)
{
    AdoDatabase db(prompts, directory, language);
    if (!openTable(db) || !db.AppendRow(fieldValues(record, true)))
        return false;
    meters = readAll(db);
    return true;
}

bool MeterRegister::update(const MeterRecord &record)
{
    AdoDatabase db(prompts, directory, language);
    if (!openTable(db) ||
        !db.UpdateRowWhere(columnName(kMeterColumns[0]), record.address, fieldValues(record, false)))
        return false;
    meters = readAll(db);
    return true;
}
