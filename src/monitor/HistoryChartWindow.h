#pragma once

#include <QWidget>

#include <memory>

class HistoryPlot;
class LineAlarms;
class HistoryRecorder;
class HistoryStore;
class Language;
class MeterConfiguration;
class Prompts;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QTimer;

// The recorded values of chosen meters over a chosen time range: the last
// hour, day or week, or from / to. The plot asks the history for one reduced
// column per pixel whenever its view changes, so a month of values draws as
// fast as an hour. The meters and the range can be exported as PNG and CSV.
class HistoryChartWindow : public QWidget {
    Q_OBJECT

public:
    enum Range { LastHour, LastDay, LastWeek, FromTo };

    // Reads the history file at `path`; the meters offered are those of the
    // configured address range, the first eight of them ticked.
    HistoryChartWindow(const QString &path, const MeterConfiguration &meters, const Language &language,
                       Prompts &prompts, QWidget *parent = nullptr);
    ~HistoryChartWindow() override;

    bool storeOpen() const;
    // The recorder whose switch the window offers ("Record values"); none
    // hides the switch.
    void setRecorder(HistoryRecorder *recorder);
    // Whose limits the chart draws for the chosen meters; none draws no
    // limits. The alarm spans come from the history file either way.
    void setAlarms(const LineAlarms *alarms);
    // The ticked meters, in address order.
    QList<int> chosenMeters() const;
    void chooseRange(Range range);
    // Reads the chosen range for the chosen meters afresh. A read that fails
    // is told with the history's reason.
    void showChosen();
    // Shows [fromMs, toMs) for the chosen meters.
    void showSpan(qint64 fromMs, qint64 toMs);
    HistoryPlot *plot() const { return historyPlot; }
    bool exportPng(const QString &file);
    bool exportCsv(const QString &file);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildWindow();
    void retranslate();
    void fillMeters();
    void refresh();
    void readFailed();
    // Hands the plot the limits and alarm spans of `chosen` over the view
    // and returns what they add to the plot's description.
    QString markAlarms(const QList<int> &chosen, const QList<QColor> &colours);
    void askPng();
    void askCsv();
    QPair<qint64, qint64> chosenSpan() const;

    const MeterConfiguration &meters;
    const Language &language;
    Prompts &prompts;
    QString historyPath;
    std::unique_ptr<HistoryStore> store;
    qint64 viewFrom = 0;
    qint64 viewTo = 0;
    QTimer *coalesce = nullptr;
    // The last read failed; and its failure has been told, so that the reads
    // that follow it (a resize, the steps of a drag) do not tell it again.
    bool lastReadFailed = false;
    bool failureTold = false;

    QLabel *metersLabel = nullptr;
    QListWidget *meterList = nullptr;
    QLabel *rangeLabel = nullptr;
    QComboBox *rangeBox = nullptr;
    QLabel *fromLabel = nullptr;
    QDateTimeEdit *fromEdit = nullptr;
    QLabel *toLabel = nullptr;
    QDateTimeEdit *toEdit = nullptr;
    QPushButton *showButton = nullptr;
    QPushButton *resetButton = nullptr;
    QPushButton *pngButton = nullptr;
    QPushButton *csvButton = nullptr;
    QCheckBox *recordBox = nullptr;
    HistoryRecorder *historyRecorder = nullptr;
    const LineAlarms *lineAlarms = nullptr;
    HistoryPlot *historyPlot = nullptr;
    QLabel *readout = nullptr;
    QLabel *hint = nullptr;
};
