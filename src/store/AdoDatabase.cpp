#include "AdoDatabase.h"

#include "Prompts.h"
#include "StoreTexts.h"
#include "TextConversions.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>

#include <array>
#include <atomic>

namespace {

constexpr const char *kSystemFile = "qlvmsys.db";
constexpr const char *kDataFile = "qlvmdata.db";
constexpr std::array<const char *, 3> kTables{"METERTYPE", "YbParaMenu", "YbGL"};

// A locked file is waited for briefly only: the GUI thread must not stall.
constexpr const char *kConnectOptions = "QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=250";

QString connectionSerial()
{
    static std::atomic<quint64> serial{0};
    return QStringLiteral("quorvane-store-%1").arg(++serial);
}

// The file as an SQLite URI: mode=rw opens an existing file for writing but,
// unlike a plain name, never creates a missing one.
QString fileUri(const QString &path, bool readOnly)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
           (readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"));
}

QString knownTable(const QString &table)
{
    for (const char *known : kTables) {
        if (table.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(known);
    }
    return {};
}

QString quoted(const QString &name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
           QLatin1Char('"');
}

// Values go to the file as text; an empty text stays an empty text, not NULL.
QVariant textValue(const QString &value)
{
    return value.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(value);
}

} // namespace

AdoDatabase::AdoDatabase(Prompts &prompts, const QString &directory, int language)
    : prompts(prompts), directory(directory), language(language), connectionName(connectionSerial())
{
}

AdoDatabase::~AdoDatabase()
{
    closeConnection();
}

void AdoDatabase::fail(const QString &text) const
{
    prompts.error(text, kStoreCaption.text(language));
}

void AdoDatabase::fail(const BiText &text) const
{
    fail(text.text(language));
}

void AdoDatabase::Open(const QString &fileName, const QString &password)
{
    Q_UNUSED(password) // the system database is protected by opening it read-only
    if (tableOpen)
        storePending();
    resetTable();
    closeConnection();
    if (fileName != QLatin1String(kSystemFile) && fileName != QLatin1String(kDataFile)) {
        fail(kStoreUnknownFile.text(language).arg(fileName));
        return;
    }
    const QString path = QDir(directory).filePath(fileName);
    if (!QFileInfo(path).isFile()) {
        fail(kStoreFileMissing.text(language).arg(QDir::toNativeSeparators(path)));
        return;
    }
    const QString error = openConnection(path);
    if (!error.isNull()) {
        closeConnection();
        fail(kStoreCannotOpen.text(language).arg(QDir::toNativeSeparators(path), error));
        return;
    }
    opened = true;
}

// Opens the connection and reads the file's header, so that a file that is
// not a database is reported here rather than by the first table. Returns the
// driver's description of a failure, a null text on success.
QString AdoDatabase::openConnection(const QString &path)
{
    const bool readOnly = QFileInfo(path).fileName() == QLatin1String(kSystemFile);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(fileUri(path, readOnly));
    QString options = QLatin1String(kConnectOptions);
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    if (!db.open())
        return db.lastError().text();
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA schema_version")))
        return query.lastError().text();
    // Full sync in the rollback journal: a write is on disk when it returns.
    if (!readOnly && !query.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return query.lastError().text();
    return {};
}

void AdoDatabase::closeConnection()
{
    opened = false;
    if (!QSqlDatabase::contains(connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void AdoDatabase::resetTable()
{
    tableOpen = false;
    tableName.clear();
    columns.clear();
    rows.clear();
    position = 0;
    pending.reset();
    reportedFields.clear();
}

void AdoDatabase::OpenTable(const QString &table)
{
    if (tableOpen)
        storePending();
    resetTable();
    if (!opened) {
        fail(kStoreNotOpen);
        return;
    }
    const QString canonical = knownTable(table);
    if (canonical.isEmpty()) {
        fail(kStoreUnknownTable.text(language).arg(table));
        return;
    }
    if (!loadTable(canonical)) {
        resetTable();
        return;
    }
    tableOpen = true;
}

// Reads the highest ID, then every row in ascending ID.
bool AdoDatabase::loadTable(const QString &table)
{
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT MAX(ID) AS MAXID FROM %1").arg(quoted(table)))) {
        fail(query.lastError().text());
        return false;
    }
    nextId = query.next() ? atoiLike(query.value(0).toString()) : 0;
    if (!query.exec(QStringLiteral("SELECT * FROM %1 ORDER BY ID").arg(quoted(table)))) {
        fail(query.lastError().text());
        return false;
    }
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        columns << record.fieldName(i);
    tableName = table;
    if (column(QStringLiteral("ID")) < 0) {
        fail(kStoreUnknownField.text(language).arg(table, QStringLiteral("ID")));
        return false;
    }
    while (query.next()) {
        QVariantList row;
        row.reserve(columns.size());
        for (int i = 0; i < columns.size(); ++i)
            row << query.value(i);
        rows << row;
    }
    if (query.lastError().isValid()) {
        fail(query.lastError().text());
        return false;
    }
    return true;
}

bool AdoDatabase::IsEof() const
{
    return position >= rows.size();
}

bool AdoDatabase::IsBof() const
{
    return rows.isEmpty();
}

void AdoDatabase::MoveFirst()
{
    storePending();
    position = 0;
}

void AdoDatabase::MoveNext()
{
    storePending();
    if (position < rows.size())
        ++position;
}

void AdoDatabase::MoveLast()
{
    storePending();
    position = rows.isEmpty() ? 0 : rows.size() - 1;
}

int AdoDatabase::column(const QString &field) const
{
    for (int i = 0; i < columns.size(); ++i) {
        if (columns[i].compare(field, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// The column of `field`, or -1 after telling the user once per field name.
int AdoDatabase::checkedColumn(const QString &field) const
{
    const int index = column(field);
    if (index < 0 && !reportedFields.contains(field)) {
        reportedFields.insert(field);
        fail(kStoreUnknownField.text(language).arg(tableName, field));
    }
    return index;
}

bool AdoDatabase::HasFields(const QStringList &fields) const
{
    if (!tableOpen)
        return false;
    QStringList missing;
    for (const QString &field : fields) {
        if (column(field) < 0)
            missing << field;
    }
    if (missing.isEmpty())
        return true;
    for (const QString &field : missing)
        reportedFields.insert(field);
    fail(kStoreMissingFields.text(language).arg(tableName, missing.join(QStringLiteral(", "))));
    return false;
}

bool AdoDatabase::onRow() const
{
    return position >= 0 && position < rows.size();
}

QString AdoDatabase::GetText(const QString &field) const
{
    if (!tableOpen)
        return {};
    const int index = checkedColumn(field);
    if (index < 0 || !onRow())
        return {};
    const QVariant &value = rows[position][index];
    return value.isNull() ? QString() : value.toString();
}

int AdoDatabase::GetInt(const QString &field) const
{
    return atoiLike(GetText(field));
}

void AdoDatabase::PutText(const QString &field, const QString &value)
{
    if (!tableOpen)
        return;
    const int index = checkedColumn(field);
    if (index < 0)
        return;
    if (!onRow()) {
        fail(kStoreNoCurrentRow.text(language).arg(tableName));
        return;
    }
    if (!pending)
        pending = PendingEdit{position, false, rows[position], {}};
    if (!pending->changed.contains(index))
        pending->changed << index;
    rows[position][index] = textValue(value);
}

void AdoDatabase::AddNew()
{
    if (!tableOpen)
        return;
    storePending();
    const QVariantList empty(columns.size());
    rows << empty;
    position = rows.size() - 1;
    pending = PendingEdit{position, true, empty, {}};
    ++nextId;
    PutText(QStringLiteral("ID"), QString::number(nextId));
}

void AdoDatabase::Update()
{
    storePending();
}

// Writes the pending edit of one row; on failure the row in memory goes back
// to what the file holds.
bool AdoDatabase::storePending()
{
    if (!pending)
        return true;
    const PendingEdit edit = *pending;
    pending.reset();
    QVariantList values;
    for (int index : edit.changed)
        values << rows[edit.row][index];
    bool stored;
    if (edit.isNew) {
        stored = writeRow(insertStatement(edit.changed), values, false);
    } else {
        values << edit.before[column(QStringLiteral("ID"))];
        stored = writeRow(updateStatement(edit.changed), values, true);
    }
    if (stored)
        return true;
    if (edit.isNew) {
        rows.removeAt(edit.row);
        position = rows.size();
    } else {
        rows[edit.row] = edit.before;
    }
    return false;
}

// Runs one write statement in its own transaction. With `mustMatchOneRow` a
// statement that found no row is a failure too (the row vanished meanwhile).
bool AdoDatabase::writeRow(const QString &statement, const QVariantList &values, bool mustMatchOneRow)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.transaction()) {
        fail(db.lastError().text());
        return false;
    }
    QString error;
    {
        QSqlQuery query(db);
        bool ok = query.prepare(statement);
        for (const QVariant &value : values)
            query.addBindValue(value);
        ok = ok && query.exec();
        if (!ok)
            error = query.lastError().text();
        else if (mustMatchOneRow && query.numRowsAffected() != 1)
            error = kStoreRowGone.text(language).arg(tableName);
    }
    if (error.isNull() && db.commit())
        return true;
    if (error.isNull())
        error = db.lastError().text();
    db.rollback();
    fail(error);
    return false;
}

QString AdoDatabase::insertStatement(const QList<int> &columnIndices) const
{
    QStringList names;
    QStringList marks;
    for (int index : columnIndices) {
        names << quoted(columns[index]);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(quoted(tableName), names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
}

QString AdoDatabase::updateStatement(const QList<int> &columnIndices) const
{
    QStringList assignments;
    for (int index : columnIndices)
        assignments << quoted(columns[index]) + QStringLiteral(" = ?");
    return QStringLiteral("UPDATE %1 SET %2 WHERE ID = ?")
        .arg(quoted(tableName), assignments.join(QLatin1Char(',')));
}

void AdoDatabase::EditField(int offset, const QString &field, const QString &value)
{
    if (!tableOpen)
        return;
    storePending();
    if (offset < 0 || offset >= rows.size()) {
        fail(kStoreNoRowAtOffset.text(language).arg(tableName).arg(offset));
        return;
    }
    position = offset;
    PutText(field, value);
    storePending();
}

// The column indices of `fields`, each once, or nothing after a message.
std::optional<QList<int>> AdoDatabase::checkedColumns(const FieldValues &fields) const
{
    QList<int> indices;
    for (const auto &fieldValue : fields) {
        const int index = checkedColumn(fieldValue.first);
        if (index < 0)
            return std::nullopt;
        if (!indices.contains(index))
            indices << index;
    }
    return indices;
}

bool AdoDatabase::AppendRow(const FieldValues &fields)
{
    if (!tableOpen || !storePending())
        return false;
    auto indices = checkedColumns(fields);
    if (!indices)
        return false;
    QVariantList row(columns.size());
    for (const auto &[field, value] : fields)
        row[column(field)] = textValue(value);
    const int id = column(QStringLiteral("ID"));
    row[id] = QString::number(nextId + 1);
    indices->removeAll(id);
    indices->prepend(id);
    QVariantList values;
    for (int index : *indices)
        values << row[index];
    if (!writeRow(insertStatement(*indices), values, false))
        return false;
    ++nextId;
    rows << row;
    position = rows.size() - 1;
    return true;
}

bool AdoDatabase::UpdateRowWhere(const QString &keyField, const QString &keyValue, const FieldValues &fields)
{
    if (!tableOpen || !storePending())
        return false;
    const int key = checkedColumn(keyField);
    auto indices = checkedColumns(fields);
    if (key < 0 || !indices)
        return false;
    qsizetype found = 0;
    while (found < rows.size() && rows[found][key].toString() != keyValue)
        ++found;
    if (found == rows.size()) {
        fail(kStoreNoMatchingRow.text(language).arg(tableName, keyField, keyValue));
        return false;
    }
    if (indices->isEmpty())
        return true;
    QVariantList row = rows[found];
    for (const auto &[field, value] : fields)
        row[column(field)] = textValue(value);
    QVariantList values;
    for (int index : *indices)
        values << row[index];
    values << rows[found][column(QStringLiteral("ID"))];
    if (!writeRow(updateStatement(*indices), values, true))
        return false;
    rows[found] = row;
    position = found;
    return true;
}
