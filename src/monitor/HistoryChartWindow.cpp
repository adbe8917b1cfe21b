#include "HistoryChartWindow.h"

#include "ChartLegend.h"
#include "HistoryPlot.h"
#include "HistoryRecorder.h"
#include "HistoryStore.h"
#include "HistoryTexts.h"
#include "Language.h"
#include "LineAlarms.h"
#include "MeterConfiguration.h"
#include "Prompts.h"
#include "RealtimeChart.h"

#include <QAccessibleWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kTickedAtStart = 8;
constexpr qint64 kHourMs = 3600 * 1000;
constexpr qint64 kDayMs = 24 * kHourMs;
constexpr int kCoalesceMs = 30;

// Screen readers take a top-level plain QWidget for a filler; this one is
// announced as a window, its title as its name.
QAccessibleInterface *accessibleWindow(const QString &className, QObject *object)
{
    if (className != QLatin1String(HistoryChartWindow::staticMetaObject.className()))
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
}

} // namespace

HistoryChartWindow::HistoryChartWindow(const QString &path, const MeterConfiguration &configuration,
                                       const Language &lang, Prompts &shown, QWidget *parent)
    : QWidget(parent, Qt::Window), meters(configuration), language(lang), prompts(shown), historyPath(path)
{
    QAccessible::installFactory(accessibleWindow);
    setObjectName(QStringLiteral("historyChart"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    store = std::make_unique<HistoryStore>(path);
    buildWindow();
    fillMeters();
    retranslate();
    chooseRange(LastHour);
    connect(&language, &Language::changed, this, &HistoryChartWindow::retranslate);
    resize(1000, 620);
}

HistoryChartWindow::~HistoryChartWindow() = default;

bool HistoryChartWindow::storeOpen() const
{
    return store->isOpen();
}

void HistoryChartWindow::buildWindow()
{
    metersLabel = new QLabel(this);
    meterList = new QListWidget(this);
    meterList->setObjectName(QStringLiteral("meterList"));
    metersLabel->setBuddy(meterList);
    rangeLabel = new QLabel(this);
    rangeBox = new QComboBox(this);
    rangeBox->setObjectName(QStringLiteral("rangeBox"));
    rangeLabel->setBuddy(rangeBox);
    fromLabel = new QLabel(this);
    fromEdit = new QDateTimeEdit(this);
    fromEdit->setObjectName(QStringLiteral("fromEdit"));
    fromEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    fromEdit->setCalendarPopup(true);
    fromLabel->setBuddy(fromEdit);
    toLabel = new QLabel(this);
    toEdit = new QDateTimeEdit(this);
    toEdit->setObjectName(QStringLiteral("toEdit"));
    toEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    toEdit->setCalendarPopup(true);
    toLabel->setBuddy(toEdit);
    showButton = new QPushButton(this);
    showButton->setObjectName(QStringLiteral("showButton"));
    resetButton = new QPushButton(this);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    pngButton = new QPushButton(this);
    pngButton->setObjectName(QStringLiteral("pngButton"));
    csvButton = new QPushButton(this);
    csvButton->setObjectName(QStringLiteral("csvButton"));
    recordBox = new QCheckBox(this);
    recordBox->setObjectName(QStringLiteral("recordBox"));
    recordBox->hide();
    historyPlot = new HistoryPlot(this);
    readout = new QLabel(this);
    readout->setObjectName(QStringLiteral("readout"));
    readout->setTextInteractionFlags(Qt::TextSelectableByMouse);
    hint = new QLabel(this);

    auto *side = new QVBoxLayout;
    side->addWidget(metersLabel);
    side->addWidget(meterList, 1);
    side->addWidget(rangeLabel);
    side->addWidget(rangeBox);
    side->addWidget(fromLabel);
    side->addWidget(fromEdit);
    side->addWidget(toLabel);
    side->addWidget(toEdit);
    side->addWidget(showButton);
    side->addSpacing(12);
    side->addWidget(resetButton);
    side->addWidget(pngButton);
    side->addWidget(csvButton);
    side->addSpacing(12);
    side->addWidget(recordBox);
    auto *main = new QVBoxLayout;
    main->addWidget(historyPlot, 1);
    main->addWidget(readout);
    main->addWidget(hint);
    auto *outer = new QGridLayout(this);
    outer->addLayout(side, 0, 0);
    outer->addLayout(main, 0, 1);
    outer->setColumnStretch(1, 1);
    meterList->setFixedWidth(160);

    coalesce = new QTimer(this);
    coalesce->setSingleShot(true);
    coalesce->setInterval(kCoalesceMs);
    connect(coalesce, &QTimer::timeout, this, &HistoryChartWindow::refresh);
    connect(rangeBox, &QComboBox::activated, this, [this](int index) { chooseRange(Range(index)); });
    connect(showButton, &QPushButton::clicked, this, &HistoryChartWindow::showChosen);
    connect(resetButton, &QPushButton::clicked, this, &HistoryChartWindow::showChosen);
    connect(pngButton, &QPushButton::clicked, this, &HistoryChartWindow::askPng);
    connect(csvButton, &QPushButton::clicked, this, &HistoryChartWindow::askCsv);
    connect(recordBox, &QCheckBox::toggled, this, [this](bool on) {
        if (historyRecorder && historyRecorder->enabled() != on)
            historyRecorder->setEnabled(on);
    });
    connect(meterList, &QListWidget::itemChanged, this, [this] {
        failureTold = false;
        showSpan(viewFrom, viewTo);
    });
    connect(historyPlot, &HistoryPlot::viewChanged, this, &HistoryChartWindow::showSpan);
    connect(historyPlot, &HistoryPlot::resetRequested, this, &HistoryChartWindow::showChosen);
    connect(historyPlot, &HistoryPlot::readout, readout, &QLabel::setText);
}

void HistoryChartWindow::retranslate()
{
    const int lang = language.index();
    setWindowTitle(kHistoryTitle.text(lang));
    metersLabel->setText(kHistoryMeters.text(lang));
    rangeLabel->setText(kHistoryRange.text(lang));
    const int range = rangeBox->currentIndex();
    rangeBox->clear();
    rangeBox->addItems({kHistoryLastHour.text(lang), kHistoryLastDay.text(lang), kHistoryLastWeek.text(lang),
                        kHistoryFromTo.text(lang)});
    rangeBox->setCurrentIndex(std::max(range, 0));
    fromLabel->setText(kHistoryFrom.text(lang));
    toLabel->setText(kHistoryTo.text(lang));
    showButton->setText(kHistoryShow.text(lang));
    resetButton->setText(kHistoryResetZoom.text(lang));
    pngButton->setText(kHistoryExportPng.text(lang));
    csvButton->setText(kHistoryExportCsv.text(lang));
    recordBox->setText(kHistoryRecord.text(lang));
    hint->setText(kHistoryHint.text(lang));
    historyPlot->setNoDataText(kHistoryNoData.text(lang));
    historyPlot->setLanguage(lang);
    historyPlot->setAccessibleName(kHistoryTitle.text(lang));
}

void HistoryChartWindow::fillMeters()
{
    const MeterConfiguration::Values &config = meters.values();
    const int first = std::clamp(config.startaddress, 0, 63);
    const int last = std::clamp(config.endaddress, first, 63);
    meterList->clear();
    for (int a = first; a <= last; ++a) {
        auto *item = new QListWidgetItem(kHistoryMeter.text(language.index()).arg(a), meterList);
        item->setData(Qt::UserRole, a);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(a - first < kTickedAtStart ? Qt::Checked : Qt::Unchecked);
        item->setIcon(ChartLegend::swatch(RealtimeChart::defaultLineColour(a - first), devicePixelRatioF()));
    }
}

void HistoryChartWindow::setRecorder(HistoryRecorder *recorder)
{
    historyRecorder = recorder;
    recordBox->setVisible(recorder != nullptr);
    if (recorder)
        recordBox->setChecked(recorder->enabled());
}

QList<int> HistoryChartWindow::chosenMeters() const
{
    QList<int> chosen;
    for (int i = 0; i < meterList->count(); ++i)
        if (meterList->item(i)->checkState() == Qt::Checked)
            chosen << meterList->item(i)->data(Qt::UserRole).toInt();
    return chosen;
}

void HistoryChartWindow::chooseRange(Range range)
{
    rangeBox->setCurrentIndex(range);
    const bool custom = range == FromTo;
    fromEdit->setEnabled(custom);
    toEdit->setEnabled(custom);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const qint64 span = range == LastHour ? kHourMs : range == LastDay ? kDayMs : 7 * kDayMs;
    if (!custom) {
        fromEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(now - span));
        toEdit->setDateTime(QDateTime::fromMSecsSinceEpoch(now));
        showChosen();
    }
}

QPair<qint64, qint64> HistoryChartWindow::chosenSpan() const
{
    if (rangeBox->currentIndex() == FromTo)
        return {fromEdit->dateTime().toMSecsSinceEpoch(), toEdit->dateTime().toMSecsSinceEpoch()};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const int range = rangeBox->currentIndex();
    const qint64 span = range == LastHour ? kHourMs : range == LastDay ? kDayMs : 7 * kDayMs;
    return {now - span, now};
}

void HistoryChartWindow::showChosen()
{
    const auto [from, to] = chosenSpan();
    if (to <= from) {
        prompts.error(kHistoryRangeWrong.text(language.index()), kHistoryCaption.text(language.index()));
        toEdit->setFocus();
        return;
    }
    failureTold = false;
    showSpan(from, to);
}

void HistoryChartWindow::showSpan(qint64 fromMs, qint64 toMs)
{
    viewFrom = fromMs;
    viewTo = toMs;
    // Dragging and wheeling ask often; one read for what came within a moment.
    if (isVisible())
        coalesce->start();
    else
        refresh();
}

void HistoryChartWindow::refresh()
{
    const QList<int> chosen = chosenMeters();
    const int columns = std::max(1, historyPlot->plotRect().width());
    QList<HistorySeries> series;
    // A store that did not open has been told on showing the window.
    if (store->isOpen()) {
        const std::optional<QList<HistorySeries>> read = store->reduce(chosen, viewFrom, viewTo, columns);
        if (read) {
            series = *read;
            lastReadFailed = false;
            failureTold = false;
        } else {
            readFailed();
        }
    }
    QList<QColor> colours;
    const int first = std::clamp(meters.values().startaddress, 0, 63);
    for (const HistorySeries &s : series)
        colours << RealtimeChart::defaultLineColour(s.address - first);
    historyPlot->setData(viewFrom, viewTo, series, colours);
    const QString marks = markAlarms(chosen, colours);
    QStringList names;
    for (int a : chosen)
        names << kHistoryMeter.text(language.index()).arg(a);
    historyPlot->setAccessibleDescription(
        kHistoryDescription.text(language.index())
            .arg(names.join(kHistoryListSeparator.text(language.index())),
                 QDateTime::fromMSecsSinceEpoch(viewFrom).toString(Qt::ISODate),
                 QDateTime::fromMSecsSinceEpoch(viewTo).toString(Qt::ISODate)) +
        marks);
}

void HistoryChartWindow::setAlarms(const LineAlarms *alarms)
{
    lineAlarms = alarms;
    refresh();
}

QString HistoryChartWindow::markAlarms(const QList<int> &chosen, const QList<QColor> &colours)
{
    const int lang = language.index();
    QList<LimitLine> lines;
    QStringList limitTexts;
    for (int i = 0; lineAlarms && i < chosen.size(); ++i) {
        const AlarmLimits &limits = lineAlarms->limits(chosen[i]);
        if (!limits.enabled)
            continue;
        const QColor colour = colours.value(i, Qt::black);
        if (limits.high) {
            lines.append({chosen[i], AlarmKind::High, *limits.high, colour});
            limitTexts << kHistoryHighLimit.text(lang).arg(chosen[i]).arg(*limits.high);
        }
        if (limits.low) {
            lines.append({chosen[i], AlarmKind::Low, *limits.low, colour});
            limitTexts << kHistoryLowLimit.text(lang).arg(chosen[i]).arg(*limits.low);
        }
    }
    QList<AlarmSpan> spans;
    if (store->isOpen() && !chosen.isEmpty())
        spans = alarmSpansOf(store->alarmEvents(chosen, viewFrom, viewTo), viewFrom, viewTo);
    historyPlot->setAlarmMarks(lines, spans);
    QString text;
    if (!limitTexts.isEmpty())
        text += kHistoryLimitsDescription.text(lang).arg(limitTexts.join(kHistoryListSeparator.text(lang)));
    if (!spans.isEmpty())
        text += kHistorySpansDescription.text(lang).arg(spans.size());
    return text;
}

// A read that fails is told once; the reads that follow it stay quiet until
// a read succeeds or the user asks afresh (Show, Reset, a range, the meters).
// A hidden window tells nothing: it reads again when it is shown.
void HistoryChartWindow::readFailed()
{
    lastReadFailed = true;
    if (!isVisible() || failureTold)
        return;
    failureTold = true;
    const int lang = language.index();
    prompts.error(
        kHistoryCannotRead.text(lang).arg(QDir::toNativeSeparators(historyPath), store->errorText(lang)),
        kHistoryCaption.text(lang));
}

void HistoryChartWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!store->isOpen())
        QTimer::singleShot(0, this, [this] {
            prompts.error(kHistoryCannotOpen.text(language.index())
                              .arg(QDir::toNativeSeparators(historyPath), store->errorText(language.index())),
                          kHistoryCaption.text(language.index()));
        });
    else if (lastReadFailed)
        coalesce->start();
}

bool HistoryChartWindow::exportPng(const QString &file)
{
    return historyPlot->grab().save(file, "PNG");
}

bool HistoryChartWindow::exportCsv(const QString &file)
{
    if (store->exportCsv(file, chosenMeters(), viewFrom, viewTo))
        return true;
    const int lang = language.index();
    prompts.error(kHistoryCannotSave.text(lang).arg(QDir::toNativeSeparators(file), store->errorText(lang)),
                  kHistoryCaption.text(lang));
    return false;
}

void HistoryChartWindow::askPng()
{
    const QString file =
        QFileDialog::getSaveFileName(this, QString(), QString(), kHistoryPngFilter.text(language.index()),
                                     nullptr, QFileDialog::DontUseNativeDialog);
    if (file.isEmpty())
        return;
    if (!exportPng(file))
        prompts.error(
            kHistoryCannotSave.text(language.index()).arg(QDir::toNativeSeparators(file), QString()),
            kHistoryCaption.text(language.index()));
}

void HistoryChartWindow::askCsv()
{
    const QString file =
        QFileDialog::getSaveFileName(this, QString(), QString(), kHistoryCsvFilter.text(language.index()),
                                     nullptr, QFileDialog::DontUseNativeDialog);
    if (!file.isEmpty())
        exportCsv(file);
}
