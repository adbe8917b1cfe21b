#pragma once

#include "MeterRecord.h"

#include <QList>
#include <QString>

#include <array>
#include <optional>

class AdoDatabase;
class Prompts;

// The register of installed meters (table YbGL of qlvmdata.db in the data
// directory), held in memory as read and kept equal to the file by every
// store. Each store opens the file, writes one row in one transaction and
// reads the table back; a failed store is told through the prompts with the
// driver's description and changes neither the file nor the records held.
class MeterRegister {
public:
    // The register holds at most this many meters, addresses 0..63.
    static constexpr int kMaxMeters = 64;

    // Reads the register at once.
    MeterRegister(Prompts &prompts, const QString &directory, int language = 0);

    // Reads the register again; when it cannot be read (told already) it
    // holds no records.
    bool reload();

    // Every record in stored order (ascending ID).
    const QList<MeterRecord> &records() const { return meters; }
    // The first record whose Yb_Id reads exactly as the address in decimal.
    std::optional<MeterRecord> find(int address) const;
    // The address a meter added now gets: that of the last record in stored
    // order plus one, 0 for an empty register; nothing when it would leave
    // 0..63.
    std::optional<int> nextAddress() const;
    // Yb_Azwz by meter address, for the value panels. Yb_Id is read as an
    // integer the lenient C way, as the register always was; a record whose
    // number lies outside 0..63 is left out, and of two records for one
    // address the later one wins.
    std::array<QString, kMaxMeters> installPositions() const;

    // Stores a new row with all thirteen fields.
    bool append(const MeterRecord &record);
    // Stores the twelve fields other than the address in the row whose Yb_Id
    // is `record.address`; the address itself is never rewritten.
    bool update(const MeterRecord &record);

private:
    bool openTable(AdoDatabase &db) const;
    static QList<MeterRecord> readAll(AdoDatabase &db);

    Prompts &prompts;
    QString directory;
    int language;
    QList<MeterRecord> meters;
};
