#include "MonitoringPanel.h"

#include "ChartLegend.h"
#include "ChartSettingsDialog.h"
#include "ChartTexts.h"
#include "ColourRef.h"
#include "Language.h"
#include "LiveValueTable.h"
#include "Prompts.h"
#include "RealtimeChart.h"
#include "SettingsKeys.h"
#include "SettingsWriteReport.h"
#include "TextConversions.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <bit>
#include <cmath>

namespace {

// Where the chart stands in the panel, in pixels.
constexpr int kChartLeft = 150;
constexpr int kChartTop = 20;
constexpr int kChartRightGap = 50;
constexpr int kChartBottomGap = 50;
constexpr int kColumnWidth = 136;
constexpr int kTreeHeight = 150;

const QColor kTreeBackground{210, 236, 255};
const QColor kTreeText{0, 0, 255};
const QColor kChartGrid{0, 185, 0};
constexpr int kFixedLineColours = 10;
constexpr int kDivisions = 10;

constexpr quint32 kPvBit = 1u;
constexpr int kAddressShift = 24;
constexpr int kShortIntervalSeconds = 30;

enum Unit { Seconds, Minutes, Hours };

} // namespace

MonitoringPanel::MonitoringPanel(const LiveValueTable &table, const Language &lang, Prompts &shown,
                                 QWidget *parent)
    : QWidget(parent), values(table), language(lang), prompts(shown)
{
    bkColor = static_cast<quint32>(settings.ReadInt(Setting::ChartBkColor));
    previousWatch.fill(kNoWatch);
    watchList.fill(kNoWatch);
    for (int i = 0; i < static_cast<int>(lineColours.size()); ++i)
        lineColours[i] = RealtimeChart::defaultLineColour(i);
    setObjectName(QStringLiteral("monitoringPanel"));
    buildWindow();
    connect(&feedTimer, &QTimer::timeout, this, &MonitoringPanel::feed);
    connect(&language, &Language::changed, this, &MonitoringPanel::retranslate);
    hide();
}

MonitoringPanel::~MonitoringPanel()
{
    if (!backgroundWritten)
        writeBackground();
}

bool MonitoringPanel::writeBackground()
{
    backgroundWritten = true;
    return settings.WriteInt(Setting::ChartBkColor, static_cast<int>(bkColor));
}

void MonitoringPanel::buildWindow()
{
    setAutoFillBackground(true);

    watchGroup = new QGroupBox(this);
    watchGroup->setObjectName(QStringLiteral("watchGroup"));
    tree = new QTreeWidget(watchGroup);
    tree->setObjectName(QStringLiteral("watchTree"));
    tree->setHeaderHidden(true);
    tree->setMinimumHeight(kTreeHeight);
    QPalette treeColours = tree->palette();
    treeColours.setColor(QPalette::Base, kTreeBackground);
    treeColours.setColor(QPalette::Text, kTreeText);
    tree->setPalette(treeColours);
    auto *watchLayout = new QVBoxLayout(watchGroup);
    watchLayout->setContentsMargins(2, 2, 2, 2);
    watchLayout->addWidget(tree);

    intervalGroup = new QGroupBox(this);
    intervalGroup->setObjectName(QStringLiteral("intervalGroup"));
    intervalNumber = new QComboBox(intervalGroup);
    intervalNumber->setObjectName(QStringLiteral("intervalNumber"));
    intervalUnit = new QComboBox(intervalGroup);
    intervalUnit->setObjectName(QStringLiteral("intervalUnit"));
    auto *intervalLayout = new QHBoxLayout(intervalGroup);
    intervalLayout->setContentsMargins(2, 2, 2, 2);
    intervalLayout->addWidget(intervalNumber, 1);
    intervalLayout->addWidget(intervalUnit, 1);
    connect(intervalUnit, &QComboBox::activated, this, &MonitoringPanel::fillIntervalNumbers);

    // A push-like switch kept on the panel for its familiar look; its state
    // is not consulted.
    autoContinue = new QPushButton(this);
    autoContinue->setObjectName(QStringLiteral("autoContinue"));
    autoContinue->setCheckable(true);
    chartOption = new QPushButton(this);
    chartOption->setObjectName(QStringLiteral("chartOption"));
    connect(chartOption, &QPushButton::clicked, this, &MonitoringPanel::openChartSettings);
    startButton = new QPushButton(this);
    startButton->setObjectName(QStringLiteral("startButton"));
    startButton->setDefault(true);
    connect(startButton, &QPushButton::clicked, this, &MonitoringPanel::startOrPause);
    backButton = new QPushButton(this);
    backButton->setObjectName(QStringLiteral("backButton"));
    connect(backButton, &QPushButton::clicked, this, &MonitoringPanel::goBack);

    legendGroup = new QGroupBox(this);
    legendGroup->setObjectName(QStringLiteral("legendGroup"));
    chartLegend = new ChartLegend(values, language, legendGroup);
    auto *legendLayout = new QVBoxLayout(legendGroup);
    legendLayout->setContentsMargins(2, 2, 2, 2);
    legendLayout->addWidget(chartLegend);

    auto *column = new QVBoxLayout;
    column->addWidget(watchGroup);
    column->addWidget(intervalGroup);
    column->addWidget(autoContinue);
    column->addWidget(chartOption);
    column->addWidget(startButton);
    column->addWidget(backButton);
    column->addWidget(legendGroup, 1);
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(8, 8, 0, 8);
    auto *columnHolder = new QWidget(this);
    columnHolder->setFixedWidth(kColumnWidth);
    columnHolder->setLayout(column);
    column->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(columnHolder);
    outer->addStretch(1);

    applyBackground();
    retranslate();
}

void MonitoringPanel::retranslate()
{
    const int lang = language.index();
    watchGroup->setTitle(kItemToWatch.text(lang));
    intervalGroup->setTitle(kRecordInterval.text(lang));
    autoContinue->setText(kAutoContinue.text(lang));
    chartOption->setText(kChartOption.text(lang));
    backButton->setText(kMainInterface.text(lang));
    legendGroup->setTitle(kLegend.text(lang));
    const BiText &start = startText == StartText::Start   ? kStart
                          : startText == StartText::Pause ? kPause
                                                          : kContinue;
    startButton->setText(start.text(lang));
    tree->setAccessibleName(kItemToWatch.text(lang));
    intervalNumber->setAccessibleName(kRecordInterval.text(lang));
    intervalUnit->setAccessibleName(kRecordInterval.text(lang));

    const int unit = intervalUnit->currentIndex();
    intervalUnit->clear();
    intervalUnit->addItems({kUnitSeconds.text(lang), kUnitMinutes.text(lang), kUnitHours.text(lang)});
    intervalUnit->setCurrentIndex(unit < 0 ? Minutes : unit);
    if (realtimeChart) {
        realtimeChart->setTitle(kChartTitle.text(lang));
        describeChart();
    }
}

void MonitoringPanel::open(double lowerLimit, double upperLimit)
{
    lower = lowerLimit;
    upper = upperLimit;
    plotting = false;
    startText = StartText::Start;
    autoContinue->setChecked(false);
    intervalUnit->setCurrentIndex(Minutes);
    fillIntervalNumbers();
    // A fresh tree: nothing ticked from the last time.
    tree->clear();
    fillTree();
    setInputsEnabled(true);
    chartLegend->setCurves({}, {});
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    show();
    opened = true;

    delete realtimeChart;
    realtimeChart = new RealtimeChart(this);
    realtimeChart->setTitle(kChartTitle.text(language.index()));
    realtimeChart->setMargins(20, 20, 50, 0);
    for (int i = 0; i < RealtimeChart::kMaxCurves; ++i)
        realtimeChart->setLineColour(i, lineColours[i]);
    realtimeChart->setDivisions(kDivisions);
    realtimeChart->setGridColour(kChartGrid);
    placeChart();
    realtimeChart->setRange(lower, upper);
    retranslate();
}

void MonitoringPanel::close()
{
    feedTimer.stop();
    plotting = false;
    delete realtimeChart;
    opened = false;
    hide();
}

void MonitoringPanel::setAddressRange(int first, int last)
{
    firstAddress = first;
    lastAddress = last;
    if (opened)
        fillTree();
}

void MonitoringPanel::setRange(double lowerLimit, double upperLimit)
{
    lower = lowerLimit;
    upper = upperLimit;
    if (realtimeChart) {
        realtimeChart->setRange(lower, upper);
        describeChart();
    }
    update();
}

quint32 MonitoringPanel::watchWord(int index) const
{
    return index >= 0 && index < kMaxWatched ? watchList[index] : kNoWatch;
}

QColor MonitoringPanel::lineColour(int index) const
{
    return index >= 0 && index < static_cast<int>(lineColours.size()) ? lineColours[index] : QColor();
}

void MonitoringPanel::fillTree()
{
    // A new range keeps the ticks of the meters it still holds, so that a
    // running plot can still be paused with the meters it watches.
    QHash<QString, QList<Qt::CheckState>> ticks;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *meter = tree->topLevelItem(i);
        QList<Qt::CheckState> states{meter->checkState(0)};
        for (int c = 0; c < meter->childCount(); ++c)
            states << meter->child(c)->checkState(0);
        ticks.insert(meter->text(0), states);
    }
    tree->clear();
    // Only addresses that can be meters: the model has no value for others.
    const int first = std::max(firstAddress, 0);
    const int last = std::min(lastAddress, kMaxWatched - 1);
    const int lang = language.index();
    for (int a = first; a <= last; ++a) {
        auto *meter = new QTreeWidgetItem(tree, {kWatchMeter.text(lang).arg(a)});
        auto *pv = new QTreeWidgetItem(meter, {kWatchPv.text(lang)});
        const QList<Qt::CheckState> kept = ticks.value(meter->text(0), {Qt::Unchecked, Qt::Checked});
        meter->setCheckState(0, kept.value(0, Qt::Unchecked));
        pv->setCheckState(0, kept.value(1, Qt::Checked));
        meter->setExpanded(true);
    }
}

void MonitoringPanel::fillIntervalNumbers()
{
    intervalNumber->clear();
    QStringList numbers;
    switch (intervalUnit->currentIndex()) {
    case Seconds:
        for (int n = 5; n <= 55; n += 10)
            numbers << QString::number(n);
        break;
    case Hours:
        for (int n = 1; n <= 24; ++n)
            numbers << QString::number(n);
        break;
    default:
        for (int n = 1; n <= 59; ++n)
            numbers << QString::number(n);
        break;
    }
    intervalNumber->addItems(numbers);
    intervalNumber->setCurrentIndex(0);
}

bool MonitoringPanel::readWatchList()
{
    watchList.fill(kNoWatch);
    watched = 0;
    bool anything = false;
    for (int i = 0; i < tree->topLevelItemCount() && watched < kMaxWatched; ++i) {
        const QTreeWidgetItem *meter = tree->topLevelItem(i);
        if (meter->checkState(0) != Qt::Checked)
            continue;
        const int address = atoiLike(meter->text(0));
        if (!LiveValueTable::isMeter(address))
            continue;
        quint32 word = static_cast<quint32>(address) << kAddressShift;
        quint32 bit = 1;
        for (int c = 0; c < meter->childCount() && c < 16; ++c, bit <<= 1) {
            if (meter->child(c)->checkState(0) == Qt::Checked) {
                word |= bit;
                anything = true;
            }
        }
        if (word & 0xFFFFu)
            watchList[watched++] = word;
    }
    return anything;
}

QList<int> MonitoringPanel::watchedAddresses() const
{
    QList<int> addresses;
    for (int i = 0; i < watched; ++i)
        if (watchList[i] & kPvBit)
            addresses << static_cast<int>(watchList[i] >> kAddressShift);
    return addresses;
}

void MonitoringPanel::startOrPause()
{
    const int lang = language.index();
    if (!readWatchList()) {
        prompts.info(kChooseItem.text(lang), kCaptionNoObject.text(lang));
        tree->setFocus();
        return;
    }
    recordInterval = atoiLike(intervalNumber->currentText());
    const bool wasRunning = plotting;
    if (wasRunning) {
        feedTimer.stop();
        startText = StartText::Continue;
    } else {
        bool differs = false;
        for (int i = 0; i < watched; ++i) {
            differs = differs || previousWatch[i] != watchList[i];
            previousWatch[i] = watchList[i];
        }
        if (differs && realtimeChart)
            realtimeChart->redrawGrid();
        const int unit = intervalUnit->currentIndex();
        if (unit == Seconds && recordInterval < kShortIntervalSeconds &&
            !prompts.question(kIntervalTooShort.text(lang), kCaptionAffirm.text(lang)))
            return;
        recordInterval =
            static_cast<int>(std::trunc(std::pow(60.0, std::max(unit, 0)))) * recordInterval * 1000;
        QList<QColor> colours;
        for (int i = 0; i < watched; ++i)
            colours << lineColours[i];
        chartLegend->setCurves(watchedAddresses(), colours);
        describeChart();
        feed();
        feedTimer.start(recordInterval);
        startText = StartText::Pause;
    }
    startButton->setText((wasRunning ? kContinue : kPause).text(lang));
    setInputsEnabled(wasRunning);
    plotting = !wasRunning;
}

void MonitoringPanel::setInputsEnabled(bool enabled)
{
    for (QWidget *input : std::initializer_list<QWidget *>{intervalUnit, intervalNumber, tree, chartOption})
        input->setEnabled(enabled);
}

double MonitoringPanel::chartValue(const LiveValueTable &table, int address)
{
    const MeterHealth &health = table.health(address);
    if (health.lastGoodAnswer.isNull())
        return LiveValueTable::NoAnswer;
    return table.value(address);
}

void MonitoringPanel::feed()
{
    std::array<double, kMaxWatched> samples{};
    int count = 0;
    for (int i = 0; i < watched && count < kMaxWatched; ++i)
        if (watchList[i] & kPvBit)
            samples[count++] = chartValue(values, static_cast<int>(watchList[i] >> kAddressShift));
    if (realtimeChart)
        realtimeChart->addSamples(std::span<const double>(samples.data(), count));
}

void MonitoringPanel::openChartSettings()
{
    const int lang = language.index();
    if (!readWatchList()) {
        prompts.info(kNoItemSelected.text(lang), kCaptionSorry.text(lang));
        return;
    }
    int curves = 0;
    for (int i = 0; i < watched; ++i)
        curves += std::popcount(watchList[i] & 0xFFFFu);
    QList<QColor> colours;
    for (int i = 0; i < curves; ++i)
        colours << lineColours[i];

    ChartSettingsDialog dialog(language, prompts, this);
    dialog.setValues(lower, upper, colours);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QList<QColor> chosen = dialog.colours();
    for (int i = 0; i < curves && i < chosen.size(); ++i) {
        lineColours[i] = chosen[i];
        if (realtimeChart)
            realtimeChart->setLineColour(i, chosen[i]);
        chartLegend->setColour(i, chosen[i]);
    }
    if (dialog.lowerLimit() != lower || dialog.upperLimit() != upper) {
        setRange(dialog.lowerLimit(), dialog.upperLimit());
        emit limitsChanged(lower, upper);
    }
    const bool upperWritten = settings.WriteReal(Setting::ChartMaxValue, upper);
    if (!settings.WriteReal(Setting::ChartMinValue, lower) || !upperWritten)
        reportSettingsWriteFailed(prompts, settings, lang);
}

void MonitoringPanel::goBack()
{
    if (plotting) {
        prompts.info(kCannotGoBack.text(language.index()), QString());
        return;
    }
    close();
    emit closed();
}

void MonitoringPanel::chooseBackground()
{
    const QColor chosen =
        QColorDialog::getColor(fromColourRef(bkColor), this, QString(), QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid() || toColourRef(chosen) == bkColor)
        return;
    bkColor = toColourRef(chosen);
    applyBackground();
}

void MonitoringPanel::applyBackground()
{
    // The panel and its texts, frames and buttons take the colour; the
    // tree, the lists and the legend keep their own.
    QPalette colours = palette();
    colours.setColor(QPalette::Window, fromColourRef(bkColor));
    colours.setColor(QPalette::Button, fromColourRef(bkColor));
    const QColor text = fromColourRef(bkColor).lightness() < 128 ? Qt::white : Qt::black;
    colours.setColor(QPalette::WindowText, text);
    colours.setColor(QPalette::ButtonText, text);
    setPalette(colours);
    for (QWidget *own : {static_cast<QWidget *>(tree), static_cast<QWidget *>(intervalNumber),
                         static_cast<QWidget *>(intervalUnit), static_cast<QWidget *>(chartLegend)}) {
        own->setPalette(own == tree ? tree->palette() : QApplication::palette(own));
    }
    update();
}

void MonitoringPanel::placeChart()
{
    if (!realtimeChart)
        return;
    const QRect area = rect();
    const QRect chartRect(QPoint(area.left() + kChartLeft, area.top() + kChartTop),
                          QPoint(area.right() - kChartRightGap, area.bottom() - kChartBottomGap));
    if (realtimeChart->isVisible())
        realtimeChart->setGeometry(chartRect);
    else
        realtimeChart->create(chartRect);
}

void MonitoringPanel::describeChart()
{
    if (!realtimeChart)
        return;
    realtimeChart->setAccessibleDescription(kChartDescription.text(language.index())
                                                .arg(realtimeChart->title())
                                                .arg(watched)
                                                .arg(formatG(lower), formatG(upper)));
}

void MonitoringPanel::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placeChart();
}

void MonitoringPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton)
        chooseBackground();
    QWidget::mouseReleaseEvent(event);
}

void MonitoringPanel::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        chooseBackground();
    QWidget::mouseDoubleClickEvent(event);
}

void MonitoringPanel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        startButton->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}
