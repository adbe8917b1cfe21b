#include "CQuorvaneView.h"

#include "ChartRangeDialog.h"
#include "ColourRef.h"
#include "CommandIds.h"
#include "DataDirectory.h"
#include "Language.h"
#include "LiveValueTable.h"
#include "MeterRegister.h"
#include "MonitoringPanel.h"
#include "PvSvPanel.h"
#include "SettingsKeys.h"

#include <QColor>
#include <QPaintEvent>
#include <QPainter>

namespace {

constexpr int kColumns = 6;
constexpr int kRowsUpTo24 = 4;

} // namespace

CQuorvaneView::CQuorvaneView(MeterConfiguration &meters, const LiveValueTable &liveValues,
                             const Language &lang, Prompts &shown, QWidget *parent)
    : QWidget(parent), configuration(meters), values(liveValues), language(lang), prompts(shown)
{
    monitor = new MonitoringPanel(values, language, prompts, this);
    chartMax = settings.ReadReal(Setting::ChartMaxValue);
    chartMin = settings.ReadReal(Setting::ChartMinValue);
    bkColor = static_cast<quint32>(settings.ReadInt(Setting::SysBkColor));
    rangeDialog = new ChartRangeDialog(language, prompts, this);
    setObjectName(QStringLiteral("view"));
    // The whole surface is painted here; nothing of the parent shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);

    refreshTimer.setInterval(kRefreshPeriodMs);
    connect(&refreshTimer, &QTimer::timeout, this, &CQuorvaneView::refreshPanels);
    // A meter found silent shows so at once, not at the next refresh.
    connect(&values, &LiveValueTable::markedNotAnswering, this, &CQuorvaneView::refreshPanel);

    // Back on the monitoring panel leaves the bare background.
    connect(monitor, &MonitoringPanel::closed, this, [this] { this->shown = Surface::None; });
    connect(monitor, &MonitoringPanel::limitsChanged, this, &CQuorvaneView::followChartLimits);
    connect(&configuration, &MeterConfiguration::changed, this, &CQuorvaneView::followAddressRange);
    followAddressRange();
}

CQuorvaneView::~CQuorvaneView()
{
    settings.WriteInt(Setting::SysBkColor, static_cast<int>(bkColor));
}

bool CQuorvaneView::rewriteBackgroundColour()
{
    SettingsFile file;
    const bool chart = file.WriteInt(Setting::ChartBkColor, file.ReadInt(Setting::ChartBkColor));
    return file.WriteInt(Setting::SysBkColor, file.ReadInt(Setting::SysBkColor)) && chart;
}

void CQuorvaneView::loadMeterConfiguration()
{
    configuration.load(settings);
    followAddressRange();
}

void CQuorvaneView::followAddressRange()
{
    const MeterConfiguration::Values &config = configuration.values();
    monitor->setAddressRange(config.startaddress, config.endaddress);
}

bool CQuorvaneView::handles(int commandId)
{
    using namespace CommandId;
    switch (commandId) {
    case MeterConfig:
    case SetBkColor:
    case CommandId::RealtimeChart:
    case MeterInterface:
    case MeterManager:
    case ChartRange:
        return true;
    default:
        return false;
    }
}

void CQuorvaneView::runCommand(int commandId)
{
    // The wizard, the background colour and the meter manager are not part
    // of the view yet; their commands leave the view as it is.
    switch (commandId) {
    case CommandId::MeterInterface:
        showMeterPanel();
        break;
    case CommandId::RealtimeChart:
        showRealtimeChart();
        break;
    case CommandId::ChartRange:
        editChartRange();
        break;
    default:
        break;
    }
}

PvSvPanel *CQuorvaneView::panel(int address) const
{
    return LiveValueTable::isMeter(address) ? panels[address] : nullptr;
}

void CQuorvaneView::showMeterPanel()
{
    const std::array<QString, MeterRegister::kMaxMeters> positions =
        MeterRegister(prompts, DataDirectory::path(), language.index()).installPositions();
    const MeterConfiguration::Values &config = configuration.values();
    // A hand-edited configuration may name addresses that cannot be meters;
    // no panel exists for them.
    const int first = config.startaddress;
    const int last = config.meteramount == 1 ? first : first + config.meteramount - 1;
    monitor->close();
    for (int a = 0; a < kPanelCount; ++a) {
        if (a >= first && a <= last)
            openPanel(a, positions[a]);
        else
            destroyPanel(a);
    }
    shown = Surface::MeterPanel;
    layoutPanels();
    refreshPanels();
    if (!refreshTimer.isActive())
        refreshTimer.start();
}

void CQuorvaneView::showRealtimeChart()
{
    for (PvSvPanel *panel : panels)
        if (panel)
            panel->hide();
    shown = Surface::MonitoringPanel;
    // Shown twice, the panel goes on as it is.
    if (!monitor->isOpen())
        monitor->open(chartMin, chartMax);
}

void CQuorvaneView::editChartRange()
{
    rangeDialog->setLimits(chartMax, chartMin);
    if (rangeDialog->exec() != QDialog::Accepted)
        return;
    if (rangeDialog->upper() == chartMax && rangeDialog->lower() == chartMin)
        return;
    if (monitor->isOpen())
        monitor->setRange(rangeDialog->lower(), rangeDialog->upper());
    followChartLimits(rangeDialog->lower(), rangeDialog->upper());
    settings.WriteReal(Setting::ChartMaxValue, chartMax);
    settings.WriteReal(Setting::ChartMinValue, chartMin);
}

void CQuorvaneView::followChartLimits(double lower, double upper)
{
    chartMin = lower;
    chartMax = upper;
}

void CQuorvaneView::openPanel(int address, const QString &position)
{
    PvSvPanel *&panel = panels[address];
    if (!panel) {
        panel = new PvSvPanel(address, values, language, prompts, this);
        connect(panel, &PvSvPanel::meterSelected, this, &CQuorvaneView::meterSelected);
        // Queued: the command may rebuild the panels, this one among them,
        // and must not do so inside the panel's own menu.
        connect(panel, &PvSvPanel::command, this, &CQuorvaneView::command, Qt::QueuedConnection);
    }
    panel->setPosition(position);
    panel->show();
}

void CQuorvaneView::destroyPanel(int address)
{
    delete panels[address];
    panels[address] = nullptr;
}

void CQuorvaneView::layoutPanels()
{
    const int count = configuration.values().meteramount;
    const int width = this->width() / kColumns;
    // Too narrow for six columns: nothing sensible to tile.
    if (width <= 0)
        return;
    const int rows = count <= kColumns * kRowsUpTo24 ? kRowsUpTo24 : (count + kColumns - 1) / kColumns;
    const int height = (this->height() - 5) / rows;
    const int columns = this->width() / width;
    const int first = configuration.values().startaddress;
    for (int a = 0; a < kPanelCount; ++a) {
        if (!panels[a])
            continue;
        const int k = a - first;
        panels[a]->setGeometry(k % columns * width, k / columns * height, width, height);
    }
}

void CQuorvaneView::refreshPanels()
{
    for (PvSvPanel *panel : panels)
        if (panel)
            panel->refresh();
}

void CQuorvaneView::refreshPanel(int address)
{
    if (PvSvPanel *shownPanel = panel(address))
        shownPanel->refresh();
}

void CQuorvaneView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutPanels();
    if (monitor->isOpen())
        monitor->setGeometry(rect());
}

void CQuorvaneView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), fromColourRef(bkColor));
}
