#include "LineStatisticsModel.h"

#include "CsvText.h"
#include "DiagnosticsTexts.h"
#include "MeterConfiguration.h"

#include <QColor>

#include <algorithm>

namespace {

const BiText *const kHeaders[LineStatisticsModel::ColumnCount] = {
    &kColumnAddress, &kColumnPosition,   &kColumnAnswers, &kColumnMissing,
    &kColumnGarbage, &kColumnExceptions, &kColumnLastMs,  &kColumnAverageMs,
    &kColumnMaxMs,   &kColumnLastGood,   &kColumnState,
};
const QColor kNotAnsweringText(170, 0, 0);

int faults(const MeterHealth &h)
{
    return h.missing + h.garbage + h.exceptions;
}

} // namespace

LineStatisticsModel::LineStatisticsModel(const LiveValueTable &table, const MeterConfiguration &configuration,
                                         int lang, QObject *parent)
    : QAbstractTableModel(parent), values(table), meters(configuration), language(lang)
{
    // Whatever the table already holds counts, as if the model had followed
    // it from the opening of the line.
    for (int address = 0; address < Modbus::MeterCount; ++address) {
        Shown &meter = shown[address];
        meter.seen = values.health(address);
        meter.maxMs = meter.seen.maxResponseMs;
        if (meter.seen.answers > 0 && values.answering(address))
            meter.state = Answering::Yes;
        else if (faults(meter.seen) > 0)
            meter.state = Answering::No;
    }
    followConfiguration();
    connect(&meters, &MeterConfiguration::changed, this, &LineStatisticsModel::followConfiguration);
    connect(&values, &LiveValueTable::healthChanged, this, &LineStatisticsModel::healthChanged);
    connect(&values, &LiveValueTable::healthReset, this, &LineStatisticsModel::healthReset);
    connect(&values, &LiveValueTable::valueStored, this,
            [this](int address) { setState(address, Answering::Yes); });
    connect(&values, &LiveValueTable::markedNotAnswering, this,
            [this](int address) { setState(address, Answering::No); });
}

void LineStatisticsModel::setLanguage(int lang)
{
    if (lang == language)
        return;
    language = lang;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (meterCount > 0)
        emit dataChanged(index(0, State), index(meterCount - 1, State));
}

void LineStatisticsModel::setPositions(const std::array<QString, Modbus::MeterCount> &newPositions)
{
    positions = newPositions;
    if (meterCount > 0)
        emit dataChanged(index(0, Position), index(meterCount - 1, Position));
}

void LineStatisticsModel::resetBaseline()
{
    for (int address = 0; address < Modbus::MeterCount; ++address) {
        shown[address].base = values.health(address);
        shown[address].maxMs = -1;
    }
    if (meterCount > 0)
        emit dataChanged(index(0, 0), index(meterCount - 1, ColumnCount - 1));
}

void LineStatisticsModel::followConfiguration()
{
    const MeterConfiguration::Values &config = meters.values();
    const int first = std::clamp(config.startaddress, 0, Modbus::MeterCount - 1);
    const int last = std::clamp(config.endaddress, 0, Modbus::MeterCount - 1);
    const int count = last >= first ? last - first + 1 : 0;
    if (first == firstMeter && count == meterCount)
        return;
    beginResetModel();
    firstMeter = first;
    meterCount = count;
    endResetModel();
}

// Which count rose tells how the meter's last request went.
void LineStatisticsModel::healthChanged(int address)
{
    Shown &meter = shown[address];
    const MeterHealth &now = values.health(address);
    if (now.answers > meter.seen.answers) {
        meter.state = Answering::Yes;
        meter.maxMs = std::max(meter.maxMs, now.lastResponseMs);
    } else if (faults(now) > faults(meter.seen)) {
        meter.state = Answering::No;
    }
    meter.seen = now;
    rowChanged(address);
}

// A new line: the table's counts start from zero, and so does the baseline.
void LineStatisticsModel::healthReset()
{
    shown.fill(Shown{});
    if (meterCount > 0)
        emit dataChanged(index(0, 0), index(meterCount - 1, ColumnCount - 1));
}

void LineStatisticsModel::setState(int address, Answering state)
{
    if (!LiveValueTable::isMeter(address) || shown[address].state == state)
        return;
    shown[address].state = state;
    rowChanged(address);
}

void LineStatisticsModel::rowChanged(int address)
{
    const int row = address - firstMeter;
    if (row >= 0 && row < meterCount)
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int LineStatisticsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : meterCount;
}

int LineStatisticsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

int LineStatisticsModel::since(int address, int MeterHealth::*count) const
{
    return values.health(address).*count - shown[address].base.*count;
}

QVariant LineStatisticsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= meterCount)
        return {};
    const int address = meterAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return display(address, index.column());
    case SortRole:
        return sortKey(address, index.column());
    case Qt::TextAlignmentRole:
        return index.column() == Position || index.column() == LastGood || index.column() == State
                   ? QVariant(Qt::AlignLeft | Qt::AlignVCenter)
                   : QVariant(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        if (index.column() == State && shown[address].state == Answering::No)
            return kNotAnsweringText;
        return {};
    default:
        return {};
    }
}

QVariant LineStatisticsModel::display(int address, int column) const
{
    const QVariant key = sortKey(address, column);
    switch (column) {
    case Address:
        return QString::asprintf("%d#", address);
    case Position:
        return positions[address];
    case LastMs:
    case MaxMs:
        return key.toInt() < 0 ? QString() : key.toString();
    case AverageMs:
        return key.toDouble() < 0 ? QString() : QString::number(key.toDouble(), 'f', 1);
    case LastGood:
        return since(address, &MeterHealth::answers) > 0
                   ? values.health(address).lastGoodAnswer.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                   : QString();
    case State:
        switch (shown[address].state) {
        case Answering::Yes:
            return kStateAnswering.text(language);
        case Answering::No:
            return kStateNotAnswering.text(language);
        case Answering::Unknown:
            return QString();
        }
        return QString();
    default:
        return key;
    }
}

// The number a column sorts by; -1 for a cell with nothing to show yet.
QVariant LineStatisticsModel::sortKey(int address, int column) const
{
    const MeterHealth &h = values.health(address);
    const Shown &meter = shown[address];
    const bool answered = since(address, &MeterHealth::answers) > 0;
    switch (column) {
    case Address:
        return address;
    case Position:
        return positions[address];
    case Answers:
        return since(address, &MeterHealth::answers);
    case Missing:
        return since(address, &MeterHealth::missing);
    case Garbage:
        return since(address, &MeterHealth::garbage);
    case Exceptions:
        return since(address, &MeterHealth::exceptions);
    case LastMs:
        return answered ? h.lastResponseMs : -1;
    case AverageMs: {
        const int timed = h.timedAnswers - meter.base.timedAnswers;
        return timed > 0 ? double(h.totalResponseMs - meter.base.totalResponseMs) / timed : -1.0;
    }
    case MaxMs:
        return meter.maxMs;
    case LastGood:
        return answered && h.lastGoodAnswer.isValid() ? h.lastGoodAnswer.toMSecsSinceEpoch() : qint64(-1);
    case State:
        return int(meter.state);
    default:
        return {};
    }
}

QVariant LineStatisticsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return kHeaders[section]->text(language);
}

QString LineStatisticsModel::csv(const QAbstractItemModel &model)
{
    QString text;
    QStringList fields;
    for (int column = 0; column < model.columnCount(); ++column)
        fields << csvField(model.headerData(column, Qt::Horizontal).toString());
    text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (int row = 0; row < model.rowCount(); ++row) {
        fields.clear();
        for (int column = 0; column < model.columnCount(); ++column)
            fields << csvField(model.index(row, column).data().toString());
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}
