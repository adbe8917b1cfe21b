#pragma once

#include "MeterConfiguration.h"
#include "SettingsFile.h"

#include <QTimer>
#include <QWidget>

#include <array>

class ChartRangeDialog;
class Language;
class LineAlarms;
class LiveValueTable;
class MeterManager;
class MonitoringPanel;
class Prompts;
class PvSvPanel;

// The main window's central view. It keeps the meter configuration (held by
// the application, which the line follows), the chart display range and the
// background colour, and hosts the working surfaces one at a time: the meter
// panel, one value panel per configured meter tiled six to a row; the
// monitoring panel with its real-time chart; and the meter manager, the
// register browser. The last two cover the whole view. It runs the meter
// configuration wizard, the chart range dialog and the colour chooser.
//
// Constructing a view reads the chart range and the background colour;
// destroying it writes the background colours and the surface shown back
// (writeBack does so earlier, for a caller that tells a failure). The meter
// configuration is read when the main window installs the view
// (loadMeterConfiguration), which then shows the surface of the last run
// (restoreSurface).
class CQuorvaneView : public QWidget {
    Q_OBJECT

public:
    enum class Surface { None, MonitoringPanel, MeterPanel, MeterManager };
    static constexpr int kPanelCount = 64;
    static constexpr int kRefreshPeriodMs = 300;

    CQuorvaneView(MeterConfiguration &meters, const LiveValueTable &values, const LineAlarms &alarms,
                  const Language &language, Prompts &prompts, QWidget *parent = nullptr);
    ~CQuorvaneView() override;

    void loadMeterConfiguration();
    // Shows the surface the settings file names: the one shown when the
    // program last ended.
    void restoreSurface();
    // Writes the view's background colour, the monitoring panel's and the
    // surface shown into the settings file; false when a write failed. The
    // destructor then writes nothing more.
    bool writeBack();
    const MeterConfiguration &meterConfiguration() const { return configuration; }

    // Writes the background colours the settings file holds (the view's and
    // the monitoring panel's) back into it, as every language switch does (a
    // missing key is written as 0).
    static bool rewriteBackgroundColour();

    // 0x00BBGGRR, red in the low byte.
    quint32 backgroundColour() const { return bkColor; }
    double chartMinimum() const { return chartMin; }
    double chartMaximum() const { return chartMax; }

    // The commands the view handles: meter settings, background colour, the
    // real-time chart, the meter panel, the meter manager and the chart range.
    static bool handles(int commandId);
    void runCommand(int commandId);

    Surface surface() const { return shown; }
    // The value panel of the meter at `address`; null while it does not exist.
    PvSvPanel *panel(int address) const;
    MonitoringPanel *monitoringPanel() const { return monitor; }
    // Null until the first meter manager command.
    MeterManager *meterManager() const { return manager; }
    ChartRangeDialog *chartRangeDialog() const { return rangeDialog; }
    bool refreshing() const { return refreshTimer.isActive(); }

signals:
    // A value panel's context menu opened on the meter at `address`.
    void meterSelected(int address);
    // A command chosen from a value panel's context menu.
    void command(int commandId);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void runMeterWizard();
    void chooseBackground();
    void showMeterPanel();
    void showMeterManager();
    void hideMeterManager();
    // Hides the value panels; they stay made and keep refreshing.
    void hidePanels();
    void showRealtimeChart();
    void editChartRange();
    void followChartLimits(double lower, double upper);
    void followAddressRange();
    void openPanel(int address, const QString &position);
    void destroyPanel(int address);
    void layoutPanels();
    void refreshPanels();
    void refreshPanel(int address);

    SettingsFile settings;
    MeterConfiguration &configuration;
    const LiveValueTable &values;
    const LineAlarms &alarms; // shown on the value panels
    const Language &language;
    Prompts &prompts;
    std::array<PvSvPanel *, kPanelCount> panels{};
    MonitoringPanel *monitor = nullptr;
    MeterManager *manager = nullptr;
    ChartRangeDialog *rangeDialog = nullptr;
    QTimer refreshTimer;
    Surface shown = Surface::None;
    double chartMin = 0.0;
    double chartMax = 0.0;
    quint32 bkColor = 0;
    bool writtenBack = false;
};
