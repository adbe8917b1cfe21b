#include "TrafficLog.h"

#include "DiagnosticsTexts.h"
#include "ModbusFrame.h"

#include <QColor>

#include <algorithm>

namespace {

const QColor kFaultBackground(255, 225, 225);
const QColor kFaultText(150, 0, 0);

QString hex2(int value)
{
    return QStringLiteral("%1").arg(value & 0xFF, 2, 16, QLatin1Char('0')).toUpper();
}

// A live value is register 200 in tenths; parameters are shown raw.
QString answerValue(const LineFrame &frame)
{
    return frame.reg == Modbus::LiveValueRegister ? QString::number(frame.value * 0.1, 'f', 1)
                                                  : QString::number(frame.value);
}

} // namespace

TrafficLog::TrafficLog(int lang, QObject *parent) : QAbstractTableModel(parent), language(lang) {}

void TrafficLog::setLanguage(int lang)
{
    if (lang == language)
        return;
    language = lang;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
    if (!frames.empty())
        emit dataChanged(index(0, Direction), index(rowCount() - 1, Meaning));
}

void TrafficLog::setCapacity(int lines)
{
    limit = std::max(lines, 1);
    dropOldest(std::size_t(limit));
}

void TrafficLog::dropOldest(std::size_t keep)
{
    if (frames.size() <= keep)
        return;
    const auto drop = int(frames.size() - keep);
    beginRemoveRows(QModelIndex(), 0, drop - 1);
    frames.erase(frames.begin(), frames.begin() + drop);
    endRemoveRows();
}

void TrafficLog::append(const LineFrame &frame)
{
    dropOldest(std::size_t(limit) - 1);
    const int row = rowCount();
    beginInsertRows(QModelIndex(), row, row);
    frames.push_back(frame);
    endInsertRows();
}

void TrafficLog::clear()
{
    beginResetModel();
    frames.clear();
    endResetModel();
}

QString TrafficLog::hexText(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

bool TrafficLog::isFault(LineFrame::Kind kind)
{
    using Kind = LineFrame::Kind;
    return kind == Kind::Exception || kind == Kind::CrcError || kind == Kind::Garbage ||
           kind == Kind::NoAnswer;
}

QString TrafficLog::meaning(const LineFrame &frame, int lang)
{
    using Kind = LineFrame::Kind;
    const bool write = frame.function == Modbus::WriteSingle;
    switch (frame.kind) {
    case Kind::Request:
        if (write)
            return kFrameWrite.text(lang).arg(frame.address).arg(frame.reg).arg(frame.value);
        if (frame.function == Modbus::ReadHolding)
            return kFrameRead.text(lang).arg(frame.address).arg(frame.reg);
        return kFrameOther.text(lang).arg(hex2(frame.function));
    case Kind::Answer:
        if (write)
            return kFrameWriteConfirmed.text(lang).arg(frame.reg).arg(frame.value);
        return kFrameAnswer.text(lang).arg(answerValue(frame));
    case Kind::Exception:
        return kFrameException.text(lang).arg(hex2(frame.value));
    case Kind::CrcError:
        return kFrameCrcError.text(lang);
    case Kind::Garbage:
        return kFrameGarbage.text(lang);
    case Kind::EchoSkipped:
        return kFrameEchoSkipped.text(lang);
    case Kind::NoAnswer:
        return kFrameNoAnswer.text(lang).arg(frame.address);
    }
    return QString();
}

int TrafficLog::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(frames.size());
}

int TrafficLog::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString TrafficLog::text(const LineFrame &frame, int column) const
{
    switch (column) {
    case Time:
        return frame.time.toString(QStringLiteral("HH:mm:ss.zzz"));
    case Direction:
        return (frame.sent ? kDirectionSent : kDirectionReceived).text(language);
    case Bytes:
        return hexText(frame.bytes);
    case Meaning:
        return meaning(frame, language);
    default:
        return QString();
    }
}

QVariant TrafficLog::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const LineFrame &line = frame(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return text(line, index.column());
    case AddressRole:
        return line.address;
    case Qt::BackgroundRole:
        return isFault(line.kind) ? QVariant(kFaultBackground) : QVariant();
    case Qt::ForegroundRole:
        return isFault(line.kind) ? QVariant(kFaultText) : QVariant();
    default:
        return {};
    }
}

QVariant TrafficLog::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const BiText *const headers[ColumnCount] = {&kColumnTime, &kColumnDirection, &kColumnBytes,
                                                       &kColumnMeaning};
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount ||
        (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return headers[section]->text(language);
}
