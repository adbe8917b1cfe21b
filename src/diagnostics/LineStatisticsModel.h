#pragma once

#include "LiveValueTable.h"

#include <QAbstractTableModel>

#include <array>

class MeterConfiguration;

// The line health of the configured meters, one row each, counted from a
// baseline of its own: a reset starts the counts shown from zero without
// touching the LiveValueTable, which only the line changes. Follows the
// table's signals and tells a change of one meter by its row alone.
class LineStatisticsModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column {
        Address,
        Position,
        Answers,
        Missing,
        Garbage,
        Exceptions,
        LastMs,
        AverageMs,
        MaxMs,
        LastGood,
        State,
        ColumnCount
    };
    // Qt::UserRole gives each cell's sort key: numbers as numbers.
    static constexpr int SortRole = Qt::UserRole;

    LineStatisticsModel(const LiveValueTable &values, const MeterConfiguration &meters, int language,
                        QObject *parent = nullptr);

    void setLanguage(int language);
    void setPositions(const std::array<QString, Modbus::MeterCount> &positions);
    // The counts shown start from zero again.
    void resetBaseline();
    int meterAt(int row) const { return firstMeter + row; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The headers and the shown text of every row of `model`, in its order,
    // as comma-separated values.
    static QString csv(const QAbstractItemModel &model);

private:
    enum class Answering { Unknown, Yes, No };
    // One meter's counts since the baseline, and what the model saw last.
    struct Shown {
        MeterHealth base; // the table's health at the last reset
        MeterHealth seen; // the table's health at its last change
        int maxMs = -1;   // the longest response since the baseline
        Answering state = Answering::Unknown;
    };

    void followConfiguration();
    void healthChanged(int address);
    void healthReset();
    void setState(int address, Answering state);
    void rowChanged(int address);
    QVariant display(int address, int column) const;
    QVariant sortKey(int address, int column) const;
    int since(int address, int MeterHealth::*count) const;

    const LiveValueTable &values;
    const MeterConfiguration &meters;
    int language;
    int firstMeter = 0;
    int meterCount = 0;
    std::array<Shown, Modbus::MeterCount> shown{};
    std::array<QString, Modbus::MeterCount> positions{};
};
