#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

class Prompts;
struct BiText;

// Access to one table of one of the program's SQLite databases, with the
// cursor operations the program was built on: open a file, open a table
// (all rows in stored order, ascending ID), walk it, read fields as text or
// integer, append and edit rows. Failures are shown at once through the
// prompts, with the driver's description, and never end the program; after a
// failed Open or OpenTable the table behaves as empty.
//
// One object lives within one handler: create, Open, OpenTable, work, destroy.
// OpenTable loads the whole table into memory (the tables hold at most a few
// hundred rows); writes go to the file by the row's ID and are on disk when
// the call returns. Each object has its own connection, so objects may
// overlap even though the program never needs it.
class AdoDatabase {
public:
    // `directory` holds the database files (the data directory). Messages are
    // shown in `language` (0 Chinese, 1 English) with the application's title
    // as caption.
    AdoDatabase(Prompts &prompts, const QString &directory, int language = 0);
    ~AdoDatabase();
    AdoDatabase(const AdoDatabase &) = delete;
    AdoDatabase &operator=(const AdoDatabase &) = delete;

    // `fileName` is "qlvmsys.db" (opened read-only) or "qlvmdata.db". SQLite
    // has no password; the argument is kept for the callers' sake. A missing
    // file is reported, never created.
    void Open(const QString &fileName, const QString &password);
    // `table` is METERTYPE, YbParaMenu or YbGL. A row edited and not yet
    // stored is stored first.
    void OpenTable(const QString &table);
    // Whether the last Open succeeded, so that a caller can stop after the
    // one message of a failed Open.
    bool IsOpen() const { return opened; }

    bool IsEof() const;
    bool IsBof() const;
    // Leaving a row that was edited (PutText, AddNew) stores it first, as
    // the cursor library the program was written against did.
    void MoveFirst();
    void MoveNext();
    void MoveLast();

    // Whether the open table has every one of `fields`; the missing ones are
    // told in one message. False without a message when no table is open,
    // since that failure has been told already.
    bool HasFields(const QStringList &fields) const;

    int GetInt(const QString &field) const;
    QString GetText(const QString &field) const;
    void PutText(const QString &field, const QString &value);

    // A row appended and not stored by Update (or by leaving it) is dropped
    // when the object is destroyed.
    void AddNew();
    // Stores the current row; when that fails the row reads as it is stored
    // (an appended row is dropped and the cursor stands at the end).
    void Update();
    void EditField(int offset, const QString &field, const QString &value);

    // Several fields of one row, written in one transaction: all or none.
    // Both report a failure through the prompts and return false.
    using FieldValues = QList<QPair<QString, QString>>;
    // Appends a row with ID nextId + 1 and the given fields; the cursor
    // stands on it afterwards.
    bool AppendRow(const FieldValues &fields);
    // Changes the given fields of the first row, in stored order, whose
    // `keyField` reads as `keyValue`; the cursor stands on it afterwards.
    bool UpdateRowWhere(const QString &keyField, const QString &keyValue, const FieldValues &fields);

    // Highest ID of the open table, raised by each AddNew.
    int nextId = 0;

private:
    // An edit of one row held in memory until it is stored.
    struct PendingEdit {
        qsizetype row = 0;
        bool isNew = false;
        QVariantList before; // the row as stored, to restore after a failed store
        QList<int> changed;  // column indices in the order they were first set
    };

    void fail(const QString &text) const;
    void fail(const BiText &text) const;
    QString openConnection(const QString &path);
    void closeConnection();
    void resetTable();
    bool loadTable(const QString &table);
    int column(const QString &field) const;
    int checkedColumn(const QString &field) const;
    bool onRow() const;
    bool storePending();
    bool writeRow(const QString &statement, const QVariantList &values, bool mustMatchOneRow);
    std::optional<QList<int>> checkedColumns(const FieldValues &fields) const;
    QString insertStatement(const QList<int> &columnIndices) const;
    QString updateStatement(const QList<int> &columnIndices) const;

    Prompts &prompts;
    QString directory;
    int language;
    QString connectionName;
    bool opened = false;
    bool tableOpen = false;
    QString tableName;
    QStringList columns;
    QList<QVariantList> rows;
    qsizetype position = 0;
    std::optional<PendingEdit> pending;
    // Unknown field names already reported since the table was opened, so a
    // walk over the table shows one message, not one per row.
    mutable QSet<QString> reportedFields;
};
