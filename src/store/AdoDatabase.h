#pragma once

#include <QString>

class Prompts;

// Access to one table of one of the program's SQLite databases, with the
// cursor operations the program was built on: open a file, open a table
// (all rows in stored order, ascending ID), walk it, read fields as text or
// integer, append and edit rows. Failures are shown at once through the
// prompts, with the driver's description, and never end the program; after a
// failed Open or OpenTable the table behaves as empty.
//
// One object lives within one handler: create, Open, OpenTable, work, destroy.
class AdoDatabase {
public:
    // `directory` holds the database files (the data directory).
    AdoDatabase(Prompts &prompts, const QString &directory);
    ~AdoDatabase();
    AdoDatabase(const AdoDatabase &) = delete;
    AdoDatabase &operator=(const AdoDatabase &) = delete;

    // `fileName` is "qlvmsys.db" (opened read-only) or "qlvmdata.db". SQLite
    // has no password; the argument is kept for the callers' sake.
    void Open(const QString &fileName, const QString &password);
    void OpenTable(const QString &table);

    bool IsEof() const;
    bool IsBof() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();

    int GetInt(const QString &field) const;
    QString GetText(const QString &field) const;
    void PutText(const QString &field, const QString &value);

    void AddNew();
    void Update();
    void EditField(int offset, const QString &field, const QString &value);

    // Highest ID of the open table, raised by each AddNew.
    int nextId = 0;
};
