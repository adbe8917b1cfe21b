#include "LineScanWindow.h"

#include "DiagnosticsParts.h"
#include "Language.h"
#include "MeterConfiguration.h"
#include "MeterRegister.h"
#include "PortSettings.h"
#include "Prompts.h"
#include "RegisterTexts.h"
#include "ScanTexts.h"
#include "SettingsFile.h"
#include "SettingsWriteReport.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// The values of the inputs that a language change does not touch.
constexpr int kParityValues[3] = {0, 1, 2};
constexpr int kStopBitsValues[2] = {0, 2};
constexpr int kMaxTimeoutMs = 10000;

QSpinBox *addressSpin(const char *name, int value, QWidget *parent)
{
    auto *spin = new QSpinBox(parent);
    spin->setObjectName(QString::fromLatin1(name));
    spin->setRange(0, Modbus::MeterCount - 1);
    spin->setValue(value);
    return spin;
}

QCheckBox *namedBox(const QString &name, QWidget *parent)
{
    auto *box = new QCheckBox(parent);
    box->setObjectName(name);
    return box;
}

QString addressList(const QList<int> &addresses)
{
    QStringList texts;
    for (int address : addresses)
        texts << QString::number(address);
    return texts.join(QStringLiteral(", "));
}

} // namespace

LineScanWindow::LineScanWindow(MeterLine &meterLine, MeterConfiguration &meters, const PortSettings &linePort,
                               SettingsFile &settingsFile, Seams windowSeams, const Language &lang,
                               Prompts &shownPrompts, QWidget *parent)
    : QWidget(parent, Qt::Tool), line(meterLine), configuration(meters), port(linePort),
      settings(settingsFile), seams(std::move(windowSeams)), language(lang), prompts(shownPrompts)
{
    DiagnosticsParts::announceAsWindow(this);
    setObjectName(QStringLiteral("lineScan"));
    buildInputs();
    buildResults();
    buildLayout();

    presetFromLine();
    retranslate();
    updateButtons();
    connect(&language, &Language::changed, this, &LineScanWindow::retranslate);
}

LineScanWindow::~LineScanWindow()
{
    // Nobody would see the rest of the scan, and the line would keep
    // monitoring paused until it ends.
    if (scanning())
        scan->cancel();
}

void LineScanWindow::buildInputs()
{
    fromLabel = new QLabel(this);
    fromSpin = addressSpin("fromSpin", 0, this);
    fromLabel->setBuddy(fromSpin);
    toLabel = new QLabel(this);
    toSpin = addressSpin("toSpin", Modbus::MeterCount - 1, this);
    toLabel->setBuddy(toSpin);
    baudLabel = new QLabel(this);
    baudList = new QListWidget(this);
    baudList->setObjectName(QStringLiteral("baudList"));
    baudList->setMaximumHeight(120);
    baudLabel->setBuddy(baudList);
    for (const char *rate : PortSettings::BaudRates) {
        auto *item = new QListWidgetItem(QString::fromLatin1(rate), baudList);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    parityLabel = new QLabel(this);
    for (int i = 0; i < 3; ++i)
        parityBoxes[i] = namedBox(QStringLiteral("parity%1").arg(i), this);
    stopBitsLabel = new QLabel(this);
    for (int i = 0; i < 2; ++i)
        stopBitsBoxes[i] = namedBox(QStringLiteral("stopBits%1").arg(kStopBitsValues[i]), this);
    timeoutLabel = new QLabel(this);
    timeoutSpin = new QSpinBox(this);
    timeoutSpin->setObjectName(QStringLiteral("timeoutSpin"));
    // 0 stands for the automatic time-out.
    timeoutSpin->setRange(0, kMaxTimeoutMs);
    timeoutSpin->setSingleStep(10);
    timeoutLabel->setBuddy(timeoutSpin);
}

void LineScanWindow::buildResults()
{
    startButton = DiagnosticsParts::namedButton("startButton", this);
    cancelButton = DiagnosticsParts::namedButton("cancelButton", this);
    progressBar = new QProgressBar(this);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setValue(0);
    progressLabel = new QLabel(this);
    progressLabel->setObjectName(QStringLiteral("progressLabel"));

    resultRows = new QStandardItemModel(this);
    resultsView = new QTableView(this);
    resultsView->setObjectName(QStringLiteral("resultsTable"));
    resultsView->setModel(resultRows);
    resultsView->setSelectionBehavior(QAbstractItemView::SelectRows);
    resultsView->setSelectionMode(QAbstractItemView::SingleSelection);
    resultsView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    resultsView->verticalHeader()->hide();
    resultsView->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    resultsView->horizontalHeader()->setStretchLastSection(true);
    summaryList = new QListWidget(this);
    summaryList->setObjectName(QStringLiteral("summaryList"));
    summaryList->setMaximumHeight(80);
    copyButton = DiagnosticsParts::namedButton("copyButton", this);
    saveButton = DiagnosticsParts::namedButton("saveButton", this);
    configButton = DiagnosticsParts::namedButton("useConfigButton", this);
    registerButton = DiagnosticsParts::namedButton("addRegisterButton", this);
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("statusLabel"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    connect(startButton, &QPushButton::clicked, this, &LineScanWindow::start);
    connect(cancelButton, &QPushButton::clicked, this, &LineScanWindow::cancel);
    connect(copyButton, &QPushButton::clicked, this, &LineScanWindow::copyToClipboard);
    connect(saveButton, &QPushButton::clicked, this, &LineScanWindow::saveClicked);
    connect(configButton, &QPushButton::clicked, this, &LineScanWindow::useAsConfiguration);
    connect(registerButton, &QPushButton::clicked, this, &LineScanWindow::addToRegister);
}

void LineScanWindow::buildLayout()
{
    auto *inputs = new QGridLayout;
    inputs->addWidget(fromLabel, 0, 0);
    inputs->addWidget(fromSpin, 0, 1);
    inputs->addWidget(toLabel, 0, 2);
    inputs->addWidget(toSpin, 0, 3);
    inputs->addWidget(baudLabel, 1, 0, Qt::AlignTop);
    inputs->addWidget(baudList, 1, 1, 1, 3);
    auto *parities = new QHBoxLayout;
    for (QCheckBox *box : parityBoxes)
        parities->addWidget(box);
    parities->addStretch();
    inputs->addWidget(parityLabel, 2, 0);
    inputs->addLayout(parities, 2, 1, 1, 3);
    auto *stopBits = new QHBoxLayout;
    for (QCheckBox *box : stopBitsBoxes)
        stopBits->addWidget(box);
    stopBits->addStretch();
    inputs->addWidget(stopBitsLabel, 3, 0);
    inputs->addLayout(stopBits, 3, 1, 1, 3);
    inputs->addWidget(timeoutLabel, 4, 0);
    inputs->addWidget(timeoutSpin, 4, 1, 1, 3);
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(startButton);
    runRow->addWidget(cancelButton);
    runRow->addWidget(progressBar, 1);
    auto *resultButtons = new QHBoxLayout;
    resultButtons->addWidget(copyButton);
    resultButtons->addWidget(saveButton);
    resultButtons->addWidget(configButton);
    resultButtons->addWidget(registerButton);
    resultButtons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(inputs);
    layout->addLayout(runRow);
    layout->addWidget(progressLabel);
    layout->addWidget(resultsView, 1);
    layout->addWidget(summaryList);
    layout->addLayout(resultButtons);
    layout->addWidget(status);
    resize(720, 640);
}

void LineScanWindow::presetFromLine()
{
    const ScanSetting own = line.ownSetting();
    fromSpin->setValue(0);
    toSpin->setValue(Modbus::MeterCount - 1);
    for (int row = 0; row < baudList->count(); ++row) {
        QListWidgetItem *item = baudList->item(row);
        item->setCheckState(item->text().toInt() == own.baud ? Qt::Checked : Qt::Unchecked);
        if (item->checkState() == Qt::Checked)
            baudList->scrollToItem(item, QAbstractItemView::PositionAtCenter);
    }
    for (int i = 0; i < 3; ++i)
        parityBoxes[i]->setChecked(kParityValues[i] == own.parityIndex);
    for (int i = 0; i < 2; ++i)
        stopBitsBoxes[i]->setChecked(kStopBitsValues[i] == own.stopBitsIndex);
    timeoutSpin->setValue(0);
}

void LineScanWindow::retranslate()
{
    const int lang = language.index();
    setWindowTitle(kScanTitle.text(lang));
    fromLabel->setText(kScanFrom.text(lang));
    toLabel->setText(kScanTo.text(lang));
    baudLabel->setText(kScanBauds.text(lang));
    // A list takes no name from its label's buddy; a screen reader reads
    // the label's words on it.
    baudList->setAccessibleName(QString(kScanBauds.text(lang)).remove(QLatin1Char('&')));
    parityLabel->setText(kScanParity.text(lang));
    stopBitsLabel->setText(kScanStopBits.text(lang));
    timeoutLabel->setText(kScanTimeout.text(lang));
    const BiText *parityTexts[3] = {&kScanParityNone, &kScanParityOdd, &kScanParityEven};
    for (int i = 0; i < 3; ++i)
        parityBoxes[i]->setText(parityTexts[i]->text(lang));
    stopBitsBoxes[0]->setText(kScanStopOne.text(lang));
    stopBitsBoxes[1]->setText(kScanStopTwo.text(lang));
    timeoutSpin->setSpecialValueText(kScanTimeoutAuto.text(lang));
    timeoutSpin->setSuffix(kScanTimeoutSuffix.text(lang));
    const std::pair<QPushButton *, const BiText *> buttons[] = {
        {startButton, &kScanStart},  {cancelButton, &kScanCancel},    {copyButton, &kScanCopy},
        {saveButton, &kScanSaveCsv}, {configButton, &kScanUseConfig}, {registerButton, &kScanAddRegister}};
    for (const auto &[button, text] : buttons)
        button->setText(text->text(lang));
    progressBar->setAccessibleName(kScanProgressName.text(lang));
    resultsView->setAccessibleName(kScanResultsName.text(lang));
    summaryList->setAccessibleName(kScanSettingsName.text(lang));
    showResults();
    showProgress();
    if (lastEnd)
        showEnd();
}

void LineScanWindow::showResults()
{
    const int lang = language.index();
    const int selected = resultsView->currentIndex().isValid() ? resultsView->currentIndex().row() : -1;
    resultRows->clear();
    resultRows->setHorizontalHeaderLabels(ScanResults::header(lang));
    for (const ScanFind &find : std::as_const(found))
        appendRow(find);
    resultsView->resizeColumnsToContents();
    if (selected >= 0)
        resultsView->selectRow(selected);
    summaryList->clear();
    for (const ScanSettingResult &result : std::as_const(settingResults))
        appendSummary(result);
}

void LineScanWindow::showProgress()
{
    if (candidatesTotal <= 0) {
        progressLabel->clear();
        return;
    }
    progressLabel->setText(kScanProgress.text(language.index())
                               .arg(candidatesDone)
                               .arg(candidatesTotal)
                               .arg((remaining + 999) / 1000));
}

void LineScanWindow::onFound(const ScanFind &find)
{
    found.append(find);
    appendRow(find);
    resultsView->resizeColumnsToContents();
    updateButtons();
}

void LineScanWindow::appendRow(const ScanFind &find)
{
    QList<QStandardItem *> cells;
    for (const QString &text : ScanResults::row(find, language.index())) {
        auto *cell = new QStandardItem(text);
        cell->setEditable(false);
        cells << cell;
    }
    resultRows->appendRow(cells);
}

void LineScanWindow::onProgress(int done, int total, qint64 remainingMs)
{
    candidatesDone = done;
    candidatesTotal = total;
    remaining = remainingMs;
    progressBar->setMaximum(qMax(total, 1));
    progressBar->setValue(qMin(done, qMax(total, 1)));
    showProgress();
}

void LineScanWindow::onSettingDone(const ScanSettingResult &result)
{
    settingResults.append(result);
    appendSummary(result);
}

void LineScanWindow::appendSummary(const ScanSettingResult &result)
{
    const int lang = language.index();
    const QString setting = ScanResults::settingText(result.setting);
    summaryList->addItem(result.found == 0 ? kScanNothingAt.text(lang).arg(setting)
                                           : kScanFoundAt.text(lang).arg(setting).arg(result.found));
}

void LineScanWindow::onEnded(ScanEnd end)
{
    lastEnd = end;
    showEnd();
    updateButtons();
}

void LineScanWindow::showEnd()
{
    const BiText &text = *lastEnd == ScanEnd::Done        ? kScanDone
                         : *lastEnd == ScanEnd::Cancelled ? kScanCancelled
                                                          : kScanLineLost;
    status->setText(text.text(language.index()).arg(found.size()));
}

void LineScanWindow::updateButtons()
{
    const bool running = scanning();
    startButton->setEnabled(!running);
    cancelButton->setEnabled(running);
    const bool any = !found.isEmpty();
    copyButton->setEnabled(any);
    saveButton->setEnabled(any);
    configButton->setEnabled(any && !running);
    registerButton->setEnabled(any);
}

bool LineScanWindow::scanning() const
{
    return scan && scan->running();
}

QString LineScanWindow::statusText() const
{
    return status->text();
}

QStringList LineScanWindow::settingSummaries() const
{
    QStringList lines;
    for (int row = 0; row < summaryList->count(); ++row)
        lines << summaryList->item(row)->text();
    return lines;
}

// The end of the last scan is no longer what the status line says.
void LineScanWindow::setStatus(const QString &text)
{
    lastEnd.reset();
    status->setText(text);
}

void LineScanWindow::tell(const QString &text)
{
    setStatus(text);
    prompts.error(text, kScanTitle.text(language.index()));
}

std::optional<ScanResults::Choices> LineScanWindow::choices()
{
    const int lang = language.index();
    ScanResults::Choices chosen;
    chosen.firstAddress = fromSpin->value();
    chosen.lastAddress = toSpin->value();
    chosen.dataBits = line.ownSetting().dataBits;
    chosen.timeoutMs = timeoutSpin->value() == 0 ? -1 : timeoutSpin->value();
    for (int row = 0; row < baudList->count(); ++row)
        if (baudList->item(row)->checkState() == Qt::Checked)
            chosen.bauds << baudList->item(row)->text().toInt();
    for (int i = 0; i < 3; ++i)
        if (parityBoxes[i]->isChecked())
            chosen.parities << kParityValues[i];
    for (int i = 0; i < 2; ++i)
        if (stopBitsBoxes[i]->isChecked())
            chosen.stopBits << kStopBitsValues[i];
    const BiText *missing = chosen.bauds.isEmpty()      ? &kScanNoBaud
                            : chosen.parities.isEmpty() ? &kScanNoParity
                            : chosen.stopBits.isEmpty() ? &kScanNoStopBits
                                                        : nullptr;
    if (missing) {
        tell(missing->text(lang));
        return std::nullopt;
    }
    return chosen;
}

QString LineScanWindow::refusalText(MeterLine::ScanRefusal why, const ScanPlan &plan) const
{
    const int lang = language.index();
    switch (why) {
    case MeterLine::ScanRefusal::NotOpen:
        return kScanNotOpen.text(lang);
    case MeterLine::ScanRefusal::RunOn:
        return kScanRunOn.text(lang);
    case MeterLine::ScanRefusal::Scanning:
        return kScanAlready.text(lang);
    case MeterLine::ScanRefusal::BadPlan:
    case MeterLine::ScanRefusal::None:
        break;
    }
    switch (plan.problem()) {
    case ScanPlan::Problem::NoSetting:
        return kScanNoBaud.text(lang);
    case ScanPlan::Problem::BadTimeout:
        return kScanBadTimeout.text(lang);
    case ScanPlan::Problem::BadRange:
    case ScanPlan::Problem::None:
        break;
    }
    return kScanBadRange.text(lang);
}

bool LineScanWindow::start()
{
    if (scanning()) {
        tell(kScanAlready.text(language.index()));
        return false;
    }
    if (seams.refused && seams.refused())
        return false;
    const std::optional<ScanResults::Choices> chosen = choices();
    if (!chosen)
        return false;
    const ScanPlan plan = ScanResults::plan(*chosen, line.ownSetting());
    MeterLine::ScanRefusal why = MeterLine::ScanRefusal::None;
    LineScan *started = line.startScan(plan, &why);
    if (!started) {
        tell(refusalText(why, plan));
        return false;
    }
    scan = started;
    found.clear();
    settingResults.clear();
    lastEnd.reset();
    status->clear();
    // Until the first candidate is done: every probe waits its time-out.
    const ScanPlan &running = started->plan();
    qint64 estimate = 0;
    for (const ScanSetting &setting : running.settings)
        estimate += qint64(running.timeoutFor(setting)) * (running.lastAddress - running.firstAddress + 1);
    onProgress(0, running.candidateCount(), estimate);
    showResults();
    connect(started, &LineScan::found, this, &LineScanWindow::onFound);
    connect(started, &LineScan::progressed, this, &LineScanWindow::onProgress);
    connect(started, &LineScan::settingDone, this, &LineScanWindow::onSettingDone);
    connect(started, &LineScan::ended, this, &LineScanWindow::onEnded);
    updateButtons();
    return true;
}

void LineScanWindow::cancel()
{
    if (scanning())
        scan->cancel();
}

bool LineScanWindow::useAsConfiguration()
{
    const int lang = language.index();
    if (scanning()) {
        tell(kScanBusy.text(lang));
        return false;
    }
    const int selected = resultsView->currentIndex().isValid() ? resultsView->currentIndex().row() : -1;
    const QList<ScanFind> chosen = ScanResults::findsOfOneSetting(found, selected);
    if (chosen.isEmpty()) {
        tell(kScanNothingFound.text(lang));
        return false;
    }
    if (seams.refused && seams.refused())
        return false;
    const PortSettings newPort = ScanResults::portFor(chosen.first().setting, port);
    const MeterConfiguration::Values meters =
        ScanResults::metersFor(ScanResults::addressesOf(chosen), configuration.values());
    const bool portStored = newPort.write(settings);
    // The line and the view follow the new address range through the
    // configuration's signal.
    const bool metersStored = configuration.save(settings, meters);
    if (!portStored || !metersStored)
        reportSettingsWriteFailed(prompts, settings, lang);
    if (seams.reopenLine)
        seams.reopenLine(newPort);
    setStatus(kScanConfigured.text(lang)
                  .arg(ScanResults::settingText(chosen.first().setting))
                  .arg(meters.startaddress)
                  .arg(meters.endaddress));
    return true;
}

int LineScanWindow::addToRegister()
{
    const int lang = language.index();
    if (found.isEmpty()) {
        tell(kScanNothingFound.text(lang));
        return 0;
    }
    MeterRegister meterRegister(prompts, seams.registerDirectory, lang);
    const ScanResults::RegisterAdditions additions =
        ScanResults::registerAdditions(ScanResults::addressesOf(found), meterRegister);
    QStringList texts;
    int added = 0;
    if (additions.added.isEmpty()) {
        texts << kScanNoneToAdd.text(lang);
    } else if (prompts.question(kRegisterAskAdd.text(lang), kRegisterNotify.text(lang))) {
        const QString typeName =
            seams.typeName ? seams.typeName(configuration.values().metertype) : QString();
        // A failed store is told by the register and ends the additions.
        for (int address : additions.added) {
            if (!meterRegister.append(ScanResults::recordFor(address, typeName)))
                break;
            ++added;
        }
        texts << kScanAdded.text(lang).arg(added).arg(addressList(additions.added.mid(0, added)));
    }
    if (!additions.outOfOrder.isEmpty())
        texts << kScanOutOfOrder.text(lang).arg(addressList(additions.outOfOrder));
    setStatus(texts.join(QLatin1Char('\n')));
    if (!additions.outOfOrder.isEmpty())
        prompts.warning(status->text(), kScanTitle.text(lang));
    return added;
}

QString LineScanWindow::tableText() const
{
    return ScanResults::tabText(found, language.index());
}

void LineScanWindow::copyToClipboard()
{
    QApplication::clipboard()->setText(tableText());
    setStatus(kScanCopied.text(language.index()).arg(found.size()));
}

bool LineScanWindow::saveCsv(const QString &path)
{
    const int lang = language.index();
    const QByteArray bytes = ScanResults::csv(found, lang);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        tell(kScanCannotWrite.text(lang).arg(QDir::toNativeSeparators(path), file.errorString()));
        return false;
    }
    setStatus(kScanSaved.text(lang).arg(QDir::toNativeSeparators(path)));
    return true;
}

void LineScanWindow::saveClicked()
{
    const int lang = language.index();
    const QString path =
        QFileDialog::getSaveFileName(this, kScanSaveCsv.text(lang), QString(), kScanCsvFilter.text(lang),
                                     nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        saveCsv(path);
}
