#pragma once

#include "MeterRecord.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>

#include <optional>

class MeterRegister;

// The register as a table for the register list: one row per record, in
// stored order, and one column per field in the order of kMeterColumns, with
// headers in the given language. It shows a copy of the register's records
// taken by refresh(), so a store does not change the rows under a view until
// the caller refreshes. The register must outlive the model.
class MeterRegisterModel : public QAbstractTableModel {
    Q_OBJECT

public:
    MeterRegisterModel(const MeterRegister &meters, int language, QObject *parent = nullptr);

    // Every record, or only those whose Yb_Type equals the type name exactly
    // (case counts). Both refresh the rows.
    void showAll();
    void showType(const QString &typeName);
    // Takes the register's records again, under the current filter.
    void refresh();
    void setLanguage(int language);

    std::optional<MeterRecord> recordAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    const MeterRegister &meters;
    int language;
    std::optional<QString> typeFilter;
    QList<MeterRecord> shown;
};
