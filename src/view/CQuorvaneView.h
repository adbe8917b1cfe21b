#pragma once

#include "MeterConfiguration.h"
#include "SettingsFile.h"

#include <QWidget>

// The main window's central view. It keeps the meter configuration (held by
// the application, which the line follows), the chart display range and the
// background colour, and will host the working surfaces (meter panel,
// monitoring panel, meter manager).
//
// Constructing a view reads the chart range and the background colour;
// destroying it writes the background colour back. The meter configuration is
// read when the main window installs the view (loadMeterConfiguration).
class CQuorvaneView : public QWidget {
    Q_OBJECT

public:
    explicit CQuorvaneView(MeterConfiguration &meters, QWidget *parent = nullptr);
    ~CQuorvaneView() override;

    void loadMeterConfiguration();
    const MeterConfiguration &meterConfiguration() const { return configuration; }

    // Writes the background colour the settings file holds back into it, as
    // every language switch does (a missing key is written as 0).
    static bool rewriteBackgroundColour();

    // 0x00BBGGRR, red in the low byte.
    quint32 backgroundColour() const { return bkColor; }
    double chartMinimum() const { return chartMin; }
    double chartMaximum() const { return chartMax; }

    // The commands the view handles: meter settings, background colour, the
    // real-time chart, the meter panel, the meter manager and the chart range.
    static bool handles(int commandId);
    void runCommand(int commandId);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    SettingsFile settings;
    MeterConfiguration &configuration;
    double chartMin = 0.0;
    double chartMax = 0.0;
    quint32 bkColor = 0;
};
