#pragma once

#include "ParameterSet.h"

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>

// How one parameter write ended.
enum class WriteResult {
    Done,              // the meter took the value; read back equal where read back
    Refused,           // the meter answered with an exception
    NoAnswer,          // nothing came back
    ReadBackDifferent, // the meter answered, but holds another value
};

// A row of the write log: every parameter write the program makes.
struct WriteRecord {
    QDateTime time; // UTC
    int address = 0;
    int k = 0;
    std::optional<qint16> oldRaw; // the value before, when it was known
    qint16 newRaw = 0;
    WriteResult result = WriteResult::Done;
    int exceptionCode = 0;          // Refused
    std::optional<qint16> readBack; // what a read-back found

    bool operator==(const WriteRecord &) const = default;
};

// The parameter sets and the write log, in qlvmsets.db of the data
// directory. The file is made when missing; nothing else of the directory
// is touched. Each save is one transaction: a set is stored whole or not
// at all.
class SetStore {
public:
    static constexpr char FileName[] = "qlvmsets.db";

    explicit SetStore(const QString &directory);
    ~SetStore();
    SetStore(const SetStore &) = delete;
    SetStore &operator=(const SetStore &) = delete;

    bool isOpen() const { return open; }
    // The driver's words for the last failure.
    QString errorText() const { return error; }

    // Stores `set` and gives its id; nothing on failure.
    std::optional<qint64> save(const ParameterSet &set);
    // The stored sets, newest first; of one meter only when `address` is given.
    QList<ParameterSet> sets(std::optional<int> address = std::nullopt) const;
    std::optional<ParameterSet> set(qint64 id) const;
    bool remove(qint64 id);

    bool log(const WriteRecord &record);
    // The write log, oldest first; of one meter only when `address` is given.
    QList<WriteRecord> writeLog(std::optional<int> address = std::nullopt) const;
    static QByteArray writeLogCsv(const QList<WriteRecord> &records);
    static QString resultName(WriteResult result);

private:
    bool exec(const QString &sql);
    bool loadParameters(ParameterSet &set) const;
    // The sets matching `where`, which has two placeholders for `bound`.
    QList<ParameterSet> select(const QString &where, const QVariant &bound) const;

    QString connection;
    QSqlDatabase db;
    bool open = false;
    mutable QString error;
};
