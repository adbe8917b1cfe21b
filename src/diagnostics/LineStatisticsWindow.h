#pragma once

#include "ModbusFrame.h"

#include <QWidget>

#include <array>

class Language;
class LineStatisticsModel;
class LiveValueTable;
class MeterConfiguration;
class Prompts;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// A tool window with the line health of every configured meter, live: its
// answers, missing, garbled and refused answers, response times and whether
// it answers. The counts can be started from zero again, copied to the
// clipboard and saved as CSV.
class LineStatisticsWindow : public QWidget {
    Q_OBJECT

public:
    LineStatisticsWindow(const LiveValueTable &values, const MeterConfiguration &meters,
                         const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    // Installation positions by address, as the meter register holds them.
    void setPositions(const std::array<QString, Modbus::MeterCount> &positions);

    // The table as shown, as comma-separated values.
    QString csv() const;
    // Writes csv() to `path`; false, told to the user with the reason, when
    // the file cannot be written.
    bool saveTo(const QString &path);

private:
    void retranslate();
    void reset();
    void copy();
    void save();

    const Language &language;
    Prompts &prompts;
    LineStatisticsModel *model = nullptr;
    QSortFilterProxyModel *sorted = nullptr;
    QTableView *table = nullptr;
    QPushButton *resetButton = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *saveButton = nullptr;
};
