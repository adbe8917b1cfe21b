#pragma once

#include "AlarmEvaluation.h"
#include "ModbusFrame.h"

#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class HistoryStore;
class Language;
class LineAlarms;
class Prompts;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
class QTimer;

// A tool window with the alarms of the line: above, the alarms active now
// and those still waiting for their acknowledgement, active first, which the
// operator acknowledges; below, the log of alarm events the history file
// holds, by meter and time range, which can be exported as CSV.
class AlarmsWindow : public QWidget {
    Q_OBJECT

public:
    enum StandingColumn {
        StandingMeter,
        StandingPosition,
        StandingKind,
        StandingSince,
        StandingValue,
        StandingLimit,
        StandingAcknowledged,
        StandingState,
        StandingColumns
    };
    enum LogColumn { LogTime, LogMeter, LogKind, LogEvent, LogValue, LogLimit, LogColumns };
    // The roles of a standing row's first cell: its meter and its kind.
    static constexpr int AddressRole = Qt::UserRole + 1;
    static constexpr int KindRole = Qt::UserRole + 2;
    // After an alarm event the log is read again once the recorder has
    // committed it (it commits every second).
    static constexpr int LogFollowMs = 1500;

    // Reads the alarm log from the history file at `historyPath`.
    AlarmsWindow(LineAlarms &alarms, const QString &historyPath, const Language &language, Prompts &prompts,
                 QWidget *parent = nullptr);
    ~AlarmsWindow() override;

    // Install positions by address, as the meter register holds them.
    void setPositions(const std::array<QString, Modbus::MeterCount> &positions);

    // Acknowledges the alarms of the selected rows; how many were waiting.
    int acknowledgeSelected();
    int acknowledgeAll();

    // The log of one meter only, or of all, read afresh.
    void filterLog(std::optional<int> address);
    // The log's range, to the second; from then on it no longer moves with
    // the time, as the last 24 hours at the start do.
    void setLogRange(const QDateTime &from, const QDateTime &to);
    // Reads the log afresh; false, told in the status line, when the range
    // is reversed or the history cannot be read.
    bool refreshLog();
    bool exportLogTo(const QString &path);
    // The log shown as CSV: a header "time,address,kind,event,value,limit",
    // then one line per event with the local time in ISO 8601 with
    // milliseconds; UTF-8 with a byte order mark, "\r\n" line ends.
    static QByteArray logCsv(const QList<AlarmEvent> &events);

    QStandardItemModel *standingModel() const { return standingRows; }
    QStandardItemModel *logModel() const { return logRows; }
    QTableView *standingTable() const { return standingView; }
    QString statusText() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void retranslate();
    void fillStanding();
    void fillLog();
    void fillMeterFilter();
    bool readLog(bool tellFailure);
    void exportClicked();
    void setStatus(const QString &text);
    QString kindText(AlarmKind kind) const;
    QString meterText(int address) const;

    LineAlarms &alarms;
    const Language &language;
    Prompts &prompts;
    QString historyPath;
    std::unique_ptr<HistoryStore> store;
    std::array<QString, Modbus::MeterCount> positions;
    QList<AlarmEvent> logEvents;
    std::optional<int> logFilter;
    // The range ends now and moves with the time until the operator sets it.
    bool rangeFollowsNow = true;
    QTimer *logFollow = nullptr;

    QLabel *standingLabel = nullptr;
    QStandardItemModel *standingRows = nullptr;
    QTableView *standingView = nullptr;
    QPushButton *acknowledgeButton = nullptr;
    QPushButton *acknowledgeAllButton = nullptr;
    QLabel *logLabel = nullptr;
    QLabel *meterLabel = nullptr;
    QComboBox *meterBox = nullptr;
    QLabel *fromLabel = nullptr;
    QDateTimeEdit *fromEdit = nullptr;
    QLabel *toLabel = nullptr;
    QDateTimeEdit *toEdit = nullptr;
    QPushButton *refreshButton = nullptr;
    QPushButton *exportButton = nullptr;
    QStandardItemModel *logRows = nullptr;
    QTableView *logView = nullptr;
    QLabel *status = nullptr;
};
