#include "MeterRegisterModel.h"

#include "MeterRegister.h"

MeterRegisterModel::MeterRegisterModel(const MeterRegister &meters, int language, QObject *parent)
    : QAbstractTableModel(parent), meters(meters), language(language)
{
    refresh();
}

void MeterRegisterModel::showAll()
{
    typeFilter.reset();
    refresh();
}

void MeterRegisterModel::showType(const QString &typeName)
{
    typeFilter = typeName;
    refresh();
}

void MeterRegisterModel::refresh()
{
    beginResetModel();
    shown.clear();
    for (const MeterRecord &record : meters.records()) {
        if (!typeFilter || record.meterType == *typeFilter)
            shown << record;
    }
    endResetModel();
}

void MeterRegisterModel::setLanguage(int newLanguage)
{
    if (newLanguage == language)
        return;
    language = newLanguage;
    emit headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

std::optional<MeterRecord> MeterRegisterModel::recordAt(int row) const
{
    if (row < 0 || row >= shown.size())
        return std::nullopt;
    return shown[row];
}

int MeterRegisterModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown.size());
}

int MeterRegisterModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(kMeterColumns.size());
}

QVariant MeterRegisterModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    if (role == Qt::DisplayRole)
        return shown[index.row()].*kMeterColumns[index.column()].field;
    // The register list has always shown every cell centred.
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

QVariant MeterRegisterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole)
        return kMeterColumns[section].label.text(language);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}
