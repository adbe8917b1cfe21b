#pragma once

#include "LineFrame.h"

#include <QAbstractTableModel>

#include <deque>

// The frames of the line as lines of a table: time, direction, the bytes in
// hex and what they mean. A ring of at most capacity() lines: the oldest
// goes as a new one comes, so a monitor left open all day stays small.
// Lines of a fault (an exception, a bad CRC, garbage, no answer) stand out
// and say so in their meaning.
class TrafficLog : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { Time, Direction, Bytes, Meaning, ColumnCount };
    // Qt::UserRole gives the meter address of a line, in every column.
    static constexpr int AddressRole = Qt::UserRole;
    static constexpr int DefaultCapacity = 5000;

    explicit TrafficLog(int language, QObject *parent = nullptr);

    void setLanguage(int language);
    // Drops the oldest lines beyond `lines` (at least 1).
    void setCapacity(int lines);
    int capacity() const { return limit; }
    void append(const LineFrame &frame);
    void clear();
    const LineFrame &frame(int row) const { return frames[std::size_t(row)]; }

    static QString hexText(const QByteArray &bytes);
    static QString meaning(const LineFrame &frame, int language);
    static bool isFault(LineFrame::Kind kind);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void dropOldest(std::size_t keep);
    QString text(const LineFrame &frame, int column) const;

    std::deque<LineFrame> frames;
    int limit = DefaultCapacity;
    int language;
};
