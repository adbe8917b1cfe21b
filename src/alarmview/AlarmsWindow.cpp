#include "AlarmsWindow.h"

#include "AlarmWindowTexts.h"
#include "CsvText.h"
#include "DiagnosticsParts.h"
#include "HistoryStore.h"
#include "Language.h"
#include "LineAlarms.h"
#include "Prompts.h"

#include <QComboBox>
#include <QDateTime>
#include <QDateTimeEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qint64 DayMs = 24 * 60 * 60 * 1000;
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QStandardItem *cell(const QString &text)
{
    auto *item = new QStandardItem(text);
    item->setEditable(false);
    return item;
}

QString number(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'f', 1) : QString();
}

QString localTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(kTimeFormat);
}

QDateTimeEdit *newTimeEdit(const char *name, QWidget *parent)
{
    auto *edit = new QDateTimeEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setDisplayFormat(kTimeFormat);
    edit->setCalendarPopup(true);
    return edit;
}

// One standing alarm: the rows of the table are sorted from these.
struct Standing {
    int address;
    AlarmKind kind;
    AlarmState state;
};

} // namespace

AlarmsWindow::AlarmsWindow(LineAlarms &lineAlarms, const QString &path, const Language &lang,
                           Prompts &shownPrompts, QWidget *parent)
    : QWidget(parent, Qt::Tool), alarms(lineAlarms), language(lang), prompts(shownPrompts), historyPath(path),
      store(std::make_unique<HistoryStore>(path))
{
    DiagnosticsParts::announceAsWindow(this);
    setObjectName(QStringLiteral("alarmsWindow"));
    buildWindow();
    const QDateTime now = QDateTime::currentDateTime();
    setLogRange(now.addMSecs(-DayMs), now);
    rangeFollowsNow = true;

    logFollow = new QTimer(this);
    logFollow->setSingleShot(true);
    logFollow->setInterval(LogFollowMs);
    // The event comes inside the line's handler: the log is read (and any
    // failure shown in the status line only) from the timer, later.
    connect(logFollow, &QTimer::timeout, this, [this] { readLog(false); });
    connect(&alarms, &LineAlarms::happened, this, [this] {
        if (!logFollow->isActive())
            logFollow->start();
    });
    connect(&alarms, &LineAlarms::changed, this, &AlarmsWindow::fillStanding);
    connect(&language, &Language::changed, this, &AlarmsWindow::retranslate);
    retranslate();
    if (!store->isOpen())
        setStatus(kAlarmsLogFailed.text(language.index()).arg(store->errorText(language.index())));
}

AlarmsWindow::~AlarmsWindow() = default;

void AlarmsWindow::buildWindow()
{
    standingRows = new QStandardItemModel(0, StandingColumns, this);
    logRows = new QStandardItemModel(0, LogColumns, this);

    auto *top = new QWidget;
    standingLabel = new QLabel(top);
    standingView = DiagnosticsParts::rowTable("standingTable", standingRows, top);
    standingView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    standingLabel->setBuddy(standingView);
    acknowledgeButton = DiagnosticsParts::namedButton("acknowledgeButton", top);
    acknowledgeAllButton = DiagnosticsParts::namedButton("acknowledgeAllButton", top);
    connect(acknowledgeButton, &QPushButton::clicked, this, &AlarmsWindow::acknowledgeSelected);
    connect(acknowledgeAllButton, &QPushButton::clicked, this, &AlarmsWindow::acknowledgeAll);
    auto *topButtons = new QHBoxLayout;
    topButtons->addWidget(acknowledgeButton);
    topButtons->addWidget(acknowledgeAllButton);
    topButtons->addStretch(1);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->addWidget(standingLabel);
    topLayout->addWidget(standingView, 1);
    topLayout->addLayout(topButtons);

    auto *bottom = new QWidget;
    logLabel = new QLabel(bottom);
    meterLabel = new QLabel(bottom);
    meterBox = new QComboBox(bottom);
    meterBox->setObjectName(QStringLiteral("meterFilter"));
    meterLabel->setBuddy(meterBox);
    fromLabel = new QLabel(bottom);
    fromEdit = newTimeEdit("fromEdit", bottom);
    fromLabel->setBuddy(fromEdit);
    toLabel = new QLabel(bottom);
    toEdit = newTimeEdit("toEdit", bottom);
    toLabel->setBuddy(toEdit);
    refreshButton = DiagnosticsParts::namedButton("refreshButton", bottom);
    exportButton = DiagnosticsParts::namedButton("exportCsvButton", bottom);
    logView = DiagnosticsParts::rowTable("logTable", logRows, bottom);
    logLabel->setBuddy(logView);
    connect(meterBox, &QComboBox::activated, this, [this](int index) {
        const QVariant address = meterBox->itemData(index);
        filterLog(address.isValid() ? std::optional<int>(address.toInt()) : std::nullopt);
    });
    connect(fromEdit, &QDateTimeEdit::dateTimeChanged, this, [this] { rangeFollowsNow = false; });
    connect(toEdit, &QDateTimeEdit::dateTimeChanged, this, [this] { rangeFollowsNow = false; });
    connect(refreshButton, &QPushButton::clicked, this, [this] { readLog(true); });
    connect(exportButton, &QPushButton::clicked, this, &AlarmsWindow::exportClicked);
    auto *filters = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{meterLabel, meterBox, fromLabel, fromEdit, toLabel,
                                                       toEdit, refreshButton, exportButton})
        filters->addWidget(w);
    filters->addStretch(1);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->addWidget(logLabel);
    bottomLayout->addLayout(filters);
    bottomLayout->addWidget(logView, 1);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("statusLabel"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(status);
    resize(860, 620);
}

void AlarmsWindow::retranslate()
{
    const int lang = language.index();
    setWindowTitle(kAlarmsTitle.text(lang));
    standingLabel->setText(kAlarmsStanding.text(lang));
    standingView->setAccessibleName(kAlarmsStanding.text(lang));
    logLabel->setText(kAlarmsLog.text(lang));
    logView->setAccessibleName(kAlarmsLog.text(lang));
    meterLabel->setText(kAlarmsMeterFilter.text(lang));
    fromLabel->setText(kAlarmsFrom.text(lang));
    toLabel->setText(kAlarmsTo.text(lang));
    const std::pair<QPushButton *, const BiText *> texts[] = {{acknowledgeButton, &kAlarmsAcknowledge},
                                                              {acknowledgeAllButton, &kAlarmsAcknowledgeAll},
                                                              {refreshButton, &kAlarmsRefresh},
                                                              {exportButton, &kAlarmsExportCsv}};
    for (const auto &[button, text] : texts) {
        button->setText(text->text(lang));
        button->setAccessibleName(button->text().remove(QChar(0x2026)));
    }
    standingRows->setHorizontalHeaderLabels({kAlarmsColMeter.text(lang), kAlarmsColPosition.text(lang),
                                             kAlarmsColKind.text(lang), kAlarmsColSince.text(lang),
                                             kAlarmsColValue.text(lang), kAlarmsColLimit.text(lang),
                                             kAlarmsColAcknowledged.text(lang), kAlarmsColActive.text(lang)});
    logRows->setHorizontalHeaderLabels({kAlarmsColTime.text(lang), kAlarmsColMeter.text(lang),
                                        kAlarmsColKind.text(lang), kAlarmsColEvent.text(lang),
                                        kAlarmsColValue.text(lang), kAlarmsColLimit.text(lang)});
    fillMeterFilter();
    fillStanding();
    fillLog();
}

void AlarmsWindow::setPositions(const std::array<QString, Modbus::MeterCount> &installed)
{
    positions = installed;
    fillMeterFilter();
    fillStanding();
}

QString AlarmsWindow::kindText(AlarmKind kind) const
{
    switch (kind) {
    case AlarmKind::High:
        return kAlarmKindHigh.text(language.index());
    case AlarmKind::Low:
        return kAlarmKindLow.text(language.index());
    case AlarmKind::Comm:
        break;
    }
    return kAlarmKindComm.text(language.index());
}

QString AlarmsWindow::meterText(int address) const
{
    return QStringLiteral("%1#").arg(address);
}

void AlarmsWindow::fillMeterFilter()
{
    const int lang = language.index();
    meterBox->clear();
    meterBox->addItem(kAlarmsAllMeters.text(lang));
    for (int address = 0; address < Modbus::MeterCount; ++address) {
        const QString position = positions[std::size_t(address)];
        meterBox->addItem(position.isEmpty() ? meterText(address)
                                             : QStringLiteral("%1 %2").arg(meterText(address), position),
                          address);
    }
    meterBox->setCurrentIndex(logFilter ? *logFilter + 1 : 0);
    meterBox->setAccessibleName(kAlarmsMeterFilter.text(lang).remove(QChar(0xFF1A)).remove(QLatin1Char(':')));
}

// Rebuilt whole on every change (at most 192 rows); the selection is kept
// by meter and kind.
void AlarmsWindow::fillStanding()
{
    QSet<int> selected;
    for (const QModelIndex &index : standingView->selectionModel()->selectedRows())
        selected.insert(index.data(AddressRole).toInt() * AlarmKindCount + index.data(KindRole).toInt());

    QList<Standing> rows;
    for (int address = 0; address < Modbus::MeterCount; ++address)
        for (int k = 0; k < AlarmKindCount; ++k) {
            const AlarmState &state = alarms.alarms(address)[AlarmKind(k)];
            if (state.active || state.unacknowledged)
                rows.append({address, AlarmKind(k), state});
        }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Standing &a, const Standing &b) { return a.state.active && !b.state.active; });

    const int lang = language.index();
    standingRows->removeRows(0, standingRows->rowCount());
    for (const Standing &row : rows) {
        QStandardItem *first = cell(meterText(row.address));
        first->setData(row.address, AddressRole);
        first->setData(int(row.kind), KindRole);
        const bool comm = row.kind == AlarmKind::Comm;
        standingRows->appendRow({first, cell(positions[std::size_t(row.address)]), cell(kindText(row.kind)),
                                 cell(row.state.sinceMs ? localTime(row.state.sinceMs) : QString()),
                                 cell(comm ? QString() : number(row.state.value)),
                                 cell(comm ? QString() : number(row.state.limit)),
                                 cell((row.state.unacknowledged ? kAlarmsNo : kAlarmsYes).text(lang)),
                                 cell((row.state.active ? kAlarmsActive : kAlarmsInactive).text(lang))});
        if (selected.contains(row.address * AlarmKindCount + int(row.kind)))
            standingView->selectionModel()->select(standingRows->index(standingRows->rowCount() - 1, 0),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

int AlarmsWindow::acknowledgeSelected()
{
    const int lang = language.index();
    QList<std::pair<int, AlarmKind>> chosen;
    for (const QModelIndex &index : standingView->selectionModel()->selectedRows())
        chosen.append({index.data(AddressRole).toInt(), AlarmKind(index.data(KindRole).toInt())});
    if (chosen.isEmpty()) {
        setStatus(kAlarmsNoneSelected.text(lang));
        return 0;
    }
    int done = 0;
    for (const auto &[address, kind] : chosen)
        done += alarms.acknowledge(address, kind) ? 1 : 0;
    setStatus(done ? kAlarmsAcknowledged.text(lang).arg(done) : kAlarmsNothingWaiting.text(lang));
    return done;
}

int AlarmsWindow::acknowledgeAll()
{
    const int done = alarms.acknowledgeAll();
    const int lang = language.index();
    setStatus(done ? kAlarmsAcknowledged.text(lang).arg(done) : kAlarmsNothingWaiting.text(lang));
    return done;
}

void AlarmsWindow::filterLog(std::optional<int> address)
{
    logFilter = address;
    meterBox->setCurrentIndex(address ? *address + 1 : 0);
    readLog(false);
}

void AlarmsWindow::setLogRange(const QDateTime &from, const QDateTime &to)
{
    fromEdit->setDateTime(from);
    toEdit->setDateTime(to);
    rangeFollowsNow = false;
}

bool AlarmsWindow::refreshLog()
{
    return readLog(false);
}

// `tellFailure`: the operator asked, so a failure also gets a message box;
// a read after an event says it in the status line only.
bool AlarmsWindow::readLog(bool tellFailure)
{
    const int lang = language.index();
    if (rangeFollowsNow) {
        const qint64 span = fromEdit->dateTime().msecsTo(toEdit->dateTime());
        const QDateTime now = QDateTime::currentDateTime();
        setLogRange(now.addMSecs(-span), now);
        rangeFollowsNow = true;
    }
    QString failure;
    const QDateTime from = fromEdit->dateTime();
    // The end shows whole seconds: the events of its last second belong in.
    const qint64 toMs = toEdit->dateTime().toMSecsSinceEpoch() + 1000;
    if (from >= toEdit->dateTime()) {
        failure = kAlarmsRangeBad.text(lang);
    } else {
        // A file that could not be opened (taken by another program, a
        // directory not yet there) is tried again on every read.
        if (!store->isOpen())
            store = std::make_unique<HistoryStore>(historyPath);
        const QList<int> meters = logFilter ? QList<int>{*logFilter} : QList<int>{};
        if (!store->isOpen())
            failure = kAlarmsLogFailed.text(lang).arg(store->errorText(lang));
        else
            logEvents = store->alarmEvents(meters, from.toMSecsSinceEpoch(), toMs);
    }
    if (!failure.isEmpty()) {
        setStatus(failure);
        if (tellFailure)
            prompts.error(failure, kAlarmsCaption.text(lang));
        return false;
    }
    fillLog();
    setStatus(kAlarmsLogShown.text(lang).arg(logEvents.size()));
    return true;
}

void AlarmsWindow::fillLog()
{
    const int lang = language.index();
    logRows->removeRows(0, logRows->rowCount());
    for (const AlarmEvent &e : logEvents) {
        const BiText &what = e.what == AlarmEvent::What::Raised    ? kAlarmEventRaised
                             : e.what == AlarmEvent::What::Cleared ? kAlarmEventCleared
                                                                   : kAlarmEventAcknowledged;
        logRows->appendRow({cell(localTime(e.ms)), cell(meterText(e.address)), cell(kindText(e.kind)),
                            cell(what.text(lang)), cell(number(e.value)), cell(number(e.limit))});
    }
}

QByteArray AlarmsWindow::logCsv(const QList<AlarmEvent> &events)
{
    QString text = QStringLiteral("time,address,kind,event,value,limit\r\n");
    for (const AlarmEvent &e : events)
        text += QStringLiteral("%1,%2,%3,%4,%5,%6\r\n")
                    .arg(csvField(QDateTime::fromMSecsSinceEpoch(e.ms).toString(Qt::ISODateWithMs)))
                    .arg(e.address)
                    .arg(QString::fromLatin1(alarmKindName(e.kind)),
                         QString::fromLatin1(alarmEventName(e.what)), number(e.value), number(e.limit));
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

bool AlarmsWindow::exportLogTo(const QString &path)
{
    const int lang = language.index();
    const QByteArray bytes = logCsv(logEvents);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString text =
            kAlarmsCannotWrite.text(lang).arg(QDir::toNativeSeparators(path), file.errorString());
        setStatus(text);
        prompts.error(text, kAlarmsCaption.text(lang));
        return false;
    }
    setStatus(kAlarmsExported.text(lang).arg(QDir::toNativeSeparators(path)));
    return true;
}

void AlarmsWindow::exportClicked()
{
    const int lang = language.index();
    const QString path = QFileDialog::getSaveFileName(this, kAlarmsExportCsv.text(lang), QString(),
                                                      kAlarmsCsvFilter.text(lang));
    if (!path.isEmpty())
        exportLogTo(path);
}

void AlarmsWindow::setStatus(const QString &text)
{
    status->setText(text);
}

QString AlarmsWindow::statusText() const
{
    return status->text();
}

void AlarmsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fillStanding();
    readLog(false);
}
