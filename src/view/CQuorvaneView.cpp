#include "CQuorvaneView.h"

#include "AppTexts.h"
#include "CMeterSetWizard.h"
#include "ChartRangeDialog.h"
#include "ColourRef.h"
#include "CommandIds.h"
#include "DataDirectory.h"
#include "Language.h"
#include "LiveValueTable.h"
#include "MeterManager.h"
#include "MeterRegister.h"
#include "MeterTypeCatalog.h"
#include "MonitoringPanel.h"
#include "PvSvPanel.h"
#include "Prompts.h"
#include "SettingsKeys.h"
#include "SettingsWriteReport.h"
#include "Texts.h"

#include <QColor>
#include <QColorDialog>
#include <QDir>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int kColumns = 6;
constexpr int kRowsUpTo24 = 4;

} // namespace

CQuorvaneView::CQuorvaneView(MeterConfiguration &meters, const LiveValueTable &liveValues,
                             const LineAlarms &lineAlarms, const Language &lang, Prompts &shown,
                             QWidget *parent)
    : QWidget(parent), configuration(meters), values(liveValues), alarms(lineAlarms), language(lang),
      prompts(shown)
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
    if (!writtenBack)
        writeBack();
}

namespace {

struct SurfaceName {
    CQuorvaneView::Surface surface;
    const char *name;
};
constexpr std::array<SurfaceName, 4> kSurfaceNames{{{CQuorvaneView::Surface::None, "None"},
                                                    {CQuorvaneView::Surface::MeterPanel, "MeterPanel"},
                                                    {CQuorvaneView::Surface::MonitoringPanel, "Chart"},
                                                    {CQuorvaneView::Surface::MeterManager, "MeterManager"}}};

} // namespace

bool CQuorvaneView::writeBack()
{
    writtenBack = true;
    const char *surfaceName = "None";
    for (const SurfaceName &entry : kSurfaceNames)
        if (entry.surface == shown)
            surfaceName = entry.name;
    const bool colour = settings.WriteInt(Setting::SysBkColor, static_cast<int>(bkColor));
    const bool surface = settings.WriteSetting(Setting::SysSurface, QLatin1String(surfaceName));
    return monitor->writeBackground() && colour && surface;
}

void CQuorvaneView::restoreSurface()
{
    const QString stored = settings.ReadSetting(Setting::SysSurface).trimmed();
    for (const SurfaceName &entry : kSurfaceNames) {
        if (stored.compare(QLatin1String(entry.name), Qt::CaseInsensitive) != 0)
            continue;
        switch (entry.surface) {
        case Surface::MeterPanel:
            showMeterPanel();
            break;
        case Surface::MonitoringPanel:
            showRealtimeChart();
            break;
        case Surface::MeterManager:
            showMeterManager();
            break;
        case Surface::None:
            break;
        }
    }
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
    switch (commandId) {
    case CommandId::MeterConfig:
    case CommandId::SetBkColor:
    case CommandId::RealtimeChart:
    case CommandId::MeterInterface:
    case CommandId::MeterManager:
    case CommandId::ChartRange:
        return true;
    default:
        return false;
    }
}

void CQuorvaneView::runCommand(int commandId)
{
    switch (commandId) {
    case CommandId::MeterConfig:
        runMeterWizard();
        break;
    case CommandId::SetBkColor:
        chooseBackground();
        break;
    case CommandId::MeterManager:
        showMeterManager();
        break;
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

void CQuorvaneView::runMeterWizard()
{
    const MeterTypeCatalog catalog(prompts, DataDirectory::path(), language.index());
    CMeterSetWizard wizard(catalog, language, prompts, this);
    wizard.preset(configuration.values());
    if (wizard.exec() != QDialog::Accepted)
        return;
    // All seven keys, even when nothing changed; the line and the monitoring
    // panel follow a new address range through the configuration's signal.
    if (!configuration.save(settings, wizard.values()))
        reportSettingsWriteFailed(prompts, settings, language.index());
    const bool anyPanel = std::any_of(panels.begin(), panels.end(), [](const PvSvPanel *p) { return p; });
    if (anyPanel)
        showMeterPanel();
}

void CQuorvaneView::chooseBackground()
{
    const QColor chosen =
        QColorDialog::getColor(fromColourRef(bkColor), this, QString(), QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid() || toColourRef(chosen) == bkColor)
        return;
    // Written back when the view goes.
    bkColor = toColourRef(chosen);
    update();
}

void CQuorvaneView::showMeterManager()
{
    monitor->close();
    hidePanels();
    if (!manager) {
        manager = new MeterManager(language, prompts, this);
        // Back leaves the bare background.
        connect(manager, &MeterManager::backRequested, this, [this] { this->shown = Surface::None; });
    }
    manager->setGeometry(rect());
    manager->show();
    manager->raise();
    shown = Surface::MeterManager;
}

void CQuorvaneView::hidePanels()
{
    for (PvSvPanel *panel : panels)
        if (panel)
            panel->hide();
}

void CQuorvaneView::hideMeterManager()
{
    if (manager)
        manager->hide();
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
    hideMeterManager();
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
    hideMeterManager();
    hidePanels();
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
    // The new limits apply now either way; a failed write is told so that
    // the operator knows they will be gone at the next start.
    const bool upperWritten = settings.WriteReal(Setting::ChartMaxValue, chartMax);
    if (!settings.WriteReal(Setting::ChartMinValue, chartMin) || !upperWritten)
        reportSettingsWriteFailed(prompts, settings, language.index());
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
        panel = new PvSvPanel(address, values, alarms, language, prompts, this);
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
    if (manager)
        manager->setGeometry(rect());
}

void CQuorvaneView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), fromColourRef(bkColor));
}
