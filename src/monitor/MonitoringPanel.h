#pragma once

#include "RealtimeChart.h"
#include "SettingsFile.h"

#include <QColor>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

class ChartLegend;
class Language;
class LiveValueTable;
class Prompts;
class QComboBox;
class QGroupBox;
class QPushButton;
class QTreeWidget;

// The real-time chart surface: a tree of the configured meters to tick for
// watching, a record interval, Start / Pause / Continue, the chart settings,
// and the chart with a legend of the watched meters. It never talks to the
// line: the line keeps polling and leaves each meter's latest value in the
// live-value model, which the panel reads at its own interval.
//
// One panel lives as long as the view. Opening it starts afresh (stopped,
// the tree rebuilt, a new chart); closing it stops the plot and removes the
// chart. Its background colour is read when it is made and written back when
// it goes.
class MonitoringPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxWatched = 64;
    // A watch word: the meter address in bits 24..31, bit 0 set while its
    // PV is watched.
    static constexpr quint32 kNoWatch = 0xFF000000u;

    MonitoringPanel(const LiveValueTable &values, const Language &language, Prompts &prompts,
                    QWidget *parent = nullptr);
    ~MonitoringPanel() override;

    // Shows the panel stopped, with the chart at the given scale.
    void open(double lower, double upper);
    // Stops plotting and removes the chart; the panel hides.
    void close();
    bool isOpen() const { return opened; }
    // The meters the tree offers; rebuilt at once while the panel is open.
    void setAddressRange(int first, int last);
    // A new scale for the chart, as the chart range command gives it.
    void setRange(double lower, double upper);

    bool running() const { return plotting; }
    // The record interval: the chosen number until started, then milliseconds.
    int interval() const { return recordInterval; }
    int watchedCount() const { return watched; }
    quint32 watchWord(int index) const;
    QColor lineColour(int index) const;
    quint32 backgroundColour() const { return bkColor; }
    // Writes the background colour into the settings file; false when the
    // write failed (the caller tells the operator). Destroying the panel
    // writes it unless this has been called.
    bool writeBackground();
    double lowerLimit() const { return lower; }
    double upperLimit() const { return upper; }
    RealtimeChart *chart() const { return realtimeChart; }
    ChartLegend *legend() const { return chartLegend; }

    // The value a meter's curve takes: the model's value, or the no-answer
    // mark while the meter has given no reading on this line.
    static double chartValue(const LiveValueTable &values, int address);

signals:
    // The panel was closed by its own button.
    void closed();
    // The chart settings changed the scale.
    void limitsChanged(double lower, double upper);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class StartText { Start, Pause, Continue };

    void buildWindow();
    void retranslate();
    void fillTree();
    void fillIntervalNumbers();
    bool readWatchList();
    void startOrPause();
    // The unit and number boxes, the tree and the chart settings button:
    // locked while plotting.
    void setInputsEnabled(bool enabled);
    void feed();
    void openChartSettings();
    void goBack();
    void chooseBackground();
    void applyBackground();
    void placeChart();
    void describeChart();
    QList<int> watchedAddresses() const;

    const LiveValueTable &values;
    const Language &language;
    Prompts &prompts;
    SettingsFile settings;

    std::array<quint32, kMaxWatched> previousWatch;
    std::array<quint32, kMaxWatched> watchList;
    int watched = 0;
    int firstAddress = 0;
    int lastAddress = 0;
    quint32 bkColor = 0;
    bool backgroundWritten = false;
    std::array<QColor, 1024> lineColours;
    int recordInterval = 0;
    double lower = 0.0;
    double upper = 100.0;
    bool plotting = false;
    bool opened = false;
    StartText startText = StartText::Start;
    QTimer feedTimer;

    QGroupBox *watchGroup = nullptr;
    QTreeWidget *tree = nullptr;
    QGroupBox *intervalGroup = nullptr;
    QComboBox *intervalNumber = nullptr;
    QComboBox *intervalUnit = nullptr;
    QPushButton *autoContinue = nullptr;
    QPushButton *chartOption = nullptr;
    QPushButton *startButton = nullptr;
    QPushButton *backButton = nullptr;
    QGroupBox *legendGroup = nullptr;
    ChartLegend *chartLegend = nullptr;
    QPointer<RealtimeChart> realtimeChart;
};
