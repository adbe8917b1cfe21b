#include "ParameterSetsWindow.h"

#include "DiagnosticsParts.h"
#include "Language.h"
#include "MeterConfiguration.h"
#include "ParameterJob.h"
#include "Prompts.h"
#include "SetFile.h"
#include "SetMessages.h"
#include "SetStore.h"
#include "SetsTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int IdRole = Qt::UserRole + 1;
const QColor kDifferingRow(255, 214, 214);

QStandardItem *cell(const QString &text, const QVariant &id = {})
{
    auto *item = new QStandardItem(text);
    item->setEditable(false);
    if (id.isValid())
        item->setData(id, IdRole);
    return item;
}

QString optionalText(const std::optional<qint16> &value)
{
    return value ? QString::number(*value) : QString();
}

} // namespace

ParameterSetsWindow::ParameterSetsWindow(MeterLine &meterLine, SetStore &setStore,
                                         const MeterConfiguration &meters, ParameterMenuSource menuSource,
                                         std::function<QString(int)> names, std::function<bool()> refusal,
                                         const Language &lang, Prompts &shownPrompts, QWidget *parent)
    : QWidget(parent, Qt::Tool), line(meterLine), store(setStore), configuration(meters),
      menus(std::move(menuSource)), typeName(std::move(names)), refused(std::move(refusal)), language(lang),
      prompts(shownPrompts)
{
    DiagnosticsParts::announceAsWindow(this);
    setObjectName(QStringLiteral("parameterSets"));
    job = new ParameterJob(line, &store, this);
    connect(job, &ParameterJob::setRead, this, &ParameterSetsWindow::onSetRead);
    connect(job, &ParameterJob::finished, this, &ParameterSetsWindow::onFinished);
    connect(job, &ParameterJob::progress, this, [this](int done, int total) {
        progressBar->setMaximum(qMax(total, 1));
        progressBar->setValue(qMin(done, qMax(total, 1)));
    });

    meterRows = new QStandardItemModel(this);
    setRows = new QStandardItemModel(this);
    compareRows = new QStandardItemModel(0, CompareColumns, this);
    logRows = new QStandardItemModel(this);

    // Meters and sets.
    auto *setsPage = new QWidget;
    metersView = DiagnosticsParts::rowTable("metersTable", meterRows, setsPage);
    metersView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    setsView = DiagnosticsParts::rowTable("setsTable", setRows, setsPage);
    setsView->setSelectionMode(QAbstractItemView::SingleSelection);
    noteLabel = new QLabel(setsPage);
    noteEdit = new QLineEdit(setsPage);
    noteEdit->setObjectName(QStringLiteral("noteEdit"));
    noteEdit->setMaxLength(200);
    noteLabel->setBuddy(noteEdit);
    backupSelectedButton = DiagnosticsParts::namedButton("backupSelectedButton", setsPage);
    backupAllButton = DiagnosticsParts::namedButton("backupAllButton", setsPage);
    cancelButton = DiagnosticsParts::namedButton("cancelButton", setsPage);
    exportJsonButton = DiagnosticsParts::namedButton("exportJsonButton", setsPage);
    exportCsvButton = DiagnosticsParts::namedButton("exportCsvButton", setsPage);
    importButton = DiagnosticsParts::namedButton("importButton", setsPage);
    restoreButton = DiagnosticsParts::namedButton("restoreButton", setsPage);
    progressBar = new QProgressBar(setsPage);
    progressBar->setObjectName(QStringLiteral("progressBar"));
    progressBar->setValue(0);
    cancelButton->setEnabled(false);
    status = new QLabel(setsPage);
    status->setObjectName(QStringLiteral("statusLabel"));
    status->setWordWrap(true);
    status->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    connect(backupSelectedButton, &QPushButton::clicked, this, [this] {
        const QList<int> chosen = selectedMeters();
        if (chosen.isEmpty()) {
            setStatus(kSetsNoMeterSelected.text(language.index()));
            return;
        }
        backup(chosen);
    });
    connect(backupAllButton, &QPushButton::clicked, this, [this] { backup(configuredMeters()); });
    connect(cancelButton, &QPushButton::clicked, this, &ParameterSetsWindow::cancel);
    connect(exportJsonButton, &QPushButton::clicked, this, [this] { exportClicked(false); });
    connect(exportCsvButton, &QPushButton::clicked, this, [this] { exportClicked(true); });
    connect(importButton, &QPushButton::clicked, this, &ParameterSetsWindow::importClicked);
    connect(restoreButton, &QPushButton::clicked, this, &ParameterSetsWindow::restoreSelected);

    auto *noteRow = new QHBoxLayout;
    noteRow->addWidget(noteLabel);
    noteRow->addWidget(noteEdit, 1);
    noteRow->addWidget(backupSelectedButton);
    noteRow->addWidget(backupAllButton);
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(progressBar, 1);
    progressRow->addWidget(cancelButton);
    auto *setButtons = new QHBoxLayout;
    setButtons->addWidget(exportJsonButton);
    setButtons->addWidget(exportCsvButton);
    setButtons->addWidget(importButton);
    setButtons->addWidget(restoreButton);
    setButtons->addStretch();
    auto *setsLayout = new QVBoxLayout(setsPage);
    setsLayout->addWidget(metersView, 1);
    setsLayout->addLayout(noteRow);
    setsLayout->addLayout(progressRow);
    setsLayout->addWidget(setsView, 1);
    setsLayout->addLayout(setButtons);

    // Comparison.
    auto *comparePage = new QWidget;
    compareView = DiagnosticsParts::rowTable("compareTable", compareRows, comparePage);
    // The captions take the room; the marker column stays narrow.
    compareView->horizontalHeader()->setStretchLastSection(false);
    compareView->horizontalHeader()->setSectionResizeMode(CompareCaption, QHeaderView::Stretch);
    compareMeter = new QComboBox(comparePage);
    compareMeter->setObjectName(QStringLiteral("compareMeter"));
    compareButton = DiagnosticsParts::namedButton("compareButton", comparePage);
    compareSummary = new QLabel(comparePage);
    compareSummary->setObjectName(QStringLiteral("compareSummary"));
    // The list holds the meters (their address) and then the stored sets
    // (their number, negated).
    connect(compareButton, &QPushButton::clicked, this, [this] {
        if (compareMeter->currentIndex() < 0)
            return;
        const qint64 choice = compareMeter->currentData().toLongLong();
        if (choice < 0)
            compareWithSet(-choice);
        else
            compareWith(int(choice));
    });
    auto *compareRow = new QHBoxLayout;
    compareRow->addWidget(compareMeter);
    compareRow->addWidget(compareButton);
    compareRow->addStretch();
    auto *compareLayout = new QVBoxLayout(comparePage);
    compareLayout->addLayout(compareRow);
    compareLayout->addWidget(compareView, 1);
    compareLayout->addWidget(compareSummary);

    // Write log.
    auto *logPage = new QWidget;
    logView = DiagnosticsParts::rowTable("logTable", logRows, logPage);
    logMeter = new QComboBox(logPage);
    logMeter->setObjectName(QStringLiteral("logMeter"));
    logRefreshButton = DiagnosticsParts::namedButton("logRefreshButton", logPage);
    logExportButton = DiagnosticsParts::namedButton("logExportButton", logPage);
    connect(logMeter, &QComboBox::activated, this, [this](int index) {
        const QVariant address = logMeter->itemData(index);
        filterLog(address.isValid() ? std::optional<int>(address.toInt()) : std::nullopt);
    });
    connect(logRefreshButton, &QPushButton::clicked, this, &ParameterSetsWindow::fillLog);
    connect(logExportButton, &QPushButton::clicked, this, &ParameterSetsWindow::exportLogClicked);
    auto *logRow = new QHBoxLayout;
    logRow->addWidget(logMeter);
    logRow->addWidget(logRefreshButton);
    logRow->addWidget(logExportButton);
    logRow->addStretch();
    auto *logLayout = new QVBoxLayout(logPage);
    logLayout->addLayout(logRow);
    logLayout->addWidget(logView, 1);

    // Copy to other meters.
    auto *copyPage = new QWidget;
    targetRows = new QStandardItemModel(this);
    previewRows = new QStandardItemModel(this);
    targetsView = DiagnosticsParts::rowTable("copyTargetsTable", targetRows, copyPage);
    previewView = DiagnosticsParts::rowTable("copyPreviewTable", previewRows, copyPage);
    previewButton = DiagnosticsParts::namedButton("previewButton", copyPage);
    copyButton = DiagnosticsParts::namedButton("copyButton", copyPage);
    previewSummary = new QLabel(copyPage);
    previewSummary->setObjectName(QStringLiteral("previewSummary"));
    connect(previewButton, &QPushButton::clicked, this, &ParameterSetsWindow::previewCopy);
    connect(copyButton, &QPushButton::clicked, this, &ParameterSetsWindow::copyTicked);
    auto *copyRow = new QHBoxLayout;
    copyRow->addWidget(previewButton);
    copyRow->addWidget(copyButton);
    copyRow->addStretch();
    auto *copyLayout = new QVBoxLayout(copyPage);
    copyLayout->addWidget(targetsView, 1);
    copyLayout->addLayout(copyRow);
    copyLayout->addWidget(previewView, 2);
    copyLayout->addWidget(previewSummary);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    tabs->addTab(setsPage, QString());
    tabs->addTab(comparePage, QString());
    tabs->addTab(copyPage, QString());
    tabs->addTab(logPage, QString());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs, 1);
    layout->addWidget(status);
    resize(900, 600);

    retranslate();
    connect(&language, &Language::changed, this, &ParameterSetsWindow::retranslate);
    connect(&configuration, &MeterConfiguration::changed, this, &ParameterSetsWindow::fillMeters);
}

ParameterSetsWindow::~ParameterSetsWindow()
{
    if (job->running())
        job->cancel();
}

void ParameterSetsWindow::retranslate()
{
    const int lang = language.index();
    setWindowTitle(kSetsTitle.text(lang));
    tabs->setTabText(0, kSetsTabSets.text(lang));
    tabs->setTabText(1, kSetsTabCompare.text(lang));
    tabs->setTabText(2, kSetsTabCopy.text(lang));
    tabs->setTabText(3, kSetsTabLog.text(lang));
    targetsView->setAccessibleName(kSetsCopyTargets.text(lang));
    previewView->setAccessibleName(kSetsCopyTable.text(lang));
    metersView->setAccessibleName(kSetsMetersTable.text(lang));
    setsView->setAccessibleName(kSetsSetsTable.text(lang));
    compareView->setAccessibleName(kSetsCompareTable.text(lang));
    logView->setAccessibleName(kSetsLogTable.text(lang));
    noteLabel->setText(kSetsNote.text(lang));
    noteEdit->setAccessibleName(kSetsNoteField.text(lang));
    progressBar->setAccessibleName(kSetsProgress.text(lang));
    compareMeter->setAccessibleName(kSetsCompareMeter.text(lang));
    logMeter->setAccessibleName(kSetsLogFilter.text(lang));
    const std::pair<QPushButton *, const BiText *> texts[] = {{backupSelectedButton, &kSetsBackupSelected},
                                                              {backupAllButton, &kSetsBackupAll},
                                                              {cancelButton, &kSetsCancel},
                                                              {exportJsonButton, &kSetsExportJson},
                                                              {exportCsvButton, &kSetsExportCsv},
                                                              {importButton, &kSetsImportJson},
                                                              {restoreButton, &kSetsRestore},
                                                              {compareButton, &kSetsCompareButton},
                                                              {logRefreshButton, &kSetsLogRefresh},
                                                              {logExportButton, &kSetsLogExport},
                                                              {previewButton, &kSetsCopyPreview},
                                                              {copyButton, &kSetsCopyRun}};
    for (const auto &[b, text] : texts) {
        b->setText(text->text(lang));
        b->setAccessibleName(b->text().remove(QChar(0x2026)));
    }
    const qint64 selected = selectedSet() ? selectedSet()->id : 0;
    fillMeters();
    fillSets();
    selectSet(selected);
    showComparison();
    fillPreview();
    fillLog();
}

void ParameterSetsWindow::setPositions(const std::array<QString, Modbus::MeterCount> &installed)
{
    positions = installed;
    const qint64 selected = selectedSet() ? selectedSet()->id : 0;
    fillMeters();
    fillSets();
    selectSet(selected);
}

QList<int> ParameterSetsWindow::configuredMeters() const
{
    QList<int> addresses;
    const MeterConfiguration::Values &values = configuration.values();
    for (int a = qMax(0, values.startaddress); a <= qMin(values.endaddress, Modbus::MeterCount - 1); ++a)
        addresses << a;
    return addresses;
}

void ParameterSetsWindow::fillMeters()
{
    const int lang = language.index();
    const QList<int> chosen = selectedMeters();
    meterRows->clear();
    meterRows->setHorizontalHeaderLabels(
        {kSetsColAddress.text(lang), kSetsColPosition.text(lang), kSetsColType.text(lang)});
    const QString type = typeName(configuration.values().metertype);
    const QVariant compareChoice = compareMeter->currentData();
    const QVariant logChoice = logMeter->currentData();
    QSet<int> ticked;
    for (int row = 0; row < targetRows->rowCount(); ++row)
        if (targetRows->item(row, 0)->checkState() == Qt::Checked)
            ticked.insert(targetRows->item(row, 0)->data(IdRole).toInt());
    targetRows->clear();
    targetRows->setHorizontalHeaderLabels({kSetsColTarget.text(lang), kSetsColPosition.text(lang)});
    compareMeter->clear();
    logMeter->clear();
    logMeter->addItem(kSetsLogAll.text(lang));
    for (int a : configuredMeters()) {
        meterRows->appendRow({cell(QString::number(a), a), cell(positions[size_t(a)]), cell(type)});
        const QString name = positions[size_t(a)].isEmpty()
                                 ? QStringLiteral("%1#").arg(a)
                                 : QStringLiteral("%1# %2").arg(a).arg(positions[size_t(a)]);
        QStandardItem *target = cell(QStringLiteral("%1#").arg(a), a);
        target->setCheckable(true);
        target->setCheckState(ticked.contains(a) ? Qt::Checked : Qt::Unchecked);
        targetRows->appendRow({target, cell(positions[size_t(a)])});
        compareMeter->addItem(name, a);
        logMeter->addItem(name, a);
    }
    if (const int i = compareMeter->findData(compareChoice); i >= 0)
        compareMeter->setCurrentIndex(i);
    if (const int i = logMeter->findData(logChoice); logChoice.isValid() && i >= 0)
        logMeter->setCurrentIndex(i);
    for (int row = 0; row < meterRows->rowCount(); ++row)
        if (chosen.contains(meterRows->item(row, 0)->data(IdRole).toInt()))
            metersView->selectionModel()->select(meterRows->index(row, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QList<int> ParameterSetsWindow::selectedMeters() const
{
    QList<int> addresses;
    if (!metersView->selectionModel())
        return addresses;
    for (const QModelIndex &index : metersView->selectionModel()->selectedRows())
        addresses << meterRows->item(index.row(), 0)->data(IdRole).toInt();
    std::sort(addresses.begin(), addresses.end());
    return addresses;
}

void ParameterSetsWindow::fillSets()
{
    const int lang = language.index();
    setRows->clear();
    setRows->setHorizontalHeaderLabels({kSetsColId.text(lang), kSetsColAddress.text(lang),
                                        kSetsColType.text(lang), kSetsColTaken.text(lang),
                                        kSetsColNote.text(lang), kSetsColCount.text(lang)});
    const QVariant compareChoice = compareMeter->currentData();
    for (int i = compareMeter->count() - 1; i >= 0; --i)
        if (compareMeter->itemData(i).toLongLong() < 0)
            compareMeter->removeItem(i);
    for (const ParameterSet &set : store.sets()) {
        const QString taken = set.taken.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        setRows->appendRow({cell(QString::number(set.id), set.id), cell(QString::number(set.address)),
                            cell(set.meterTypeName), cell(taken), cell(set.note),
                            cell(QString::number(set.parameters.size()))});
        compareMeter->addItem(kSetsCompareSetItem.text(lang).arg(set.id).arg(set.address).arg(taken),
                              -set.id);
    }
    if (const int i = compareMeter->findData(compareChoice); compareChoice.isValid() && i >= 0)
        compareMeter->setCurrentIndex(i);
}

bool ParameterSetsWindow::compareWithSet(qint64 id)
{
    const int lang = language.index();
    const std::optional<ParameterSet> set = selectedSet();
    const std::optional<ParameterSet> other = store.set(id);
    if (!set || !other) {
        setStatus(kSetsNoSetSelected.text(lang));
        return false;
    }
    if (const int i = compareMeter->findData(-id); i >= 0)
        compareMeter->setCurrentIndex(i);
    compared = *set;
    meterNow = *other;
    otherIsSet = true;
    showComparison();
    tabs->setCurrentIndex(1);
    setStatus(compareSummary->text());
    return true;
}

std::optional<ParameterSet> ParameterSetsWindow::selectedSet() const
{
    if (!setsView->selectionModel())
        return std::nullopt;
    const QModelIndexList rows = setsView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    return store.set(setRows->item(rows.first().row(), 0)->data(IdRole).toLongLong());
}

void ParameterSetsWindow::selectSet(qint64 id)
{
    for (int row = 0; row < setRows->rowCount(); ++row)
        if (setRows->item(row, 0)->data(IdRole).toLongLong() == id) {
            setsView->selectRow(row);
            return;
        }
}

QString ParameterSetsWindow::statusText() const
{
    return status->text();
}

void ParameterSetsWindow::setStatus(const QString &text)
{
    status->setText(text);
}

bool ParameterSetsWindow::busy() const
{
    return task != Task::None || job->running();
}

bool ParameterSetsWindow::startRefused()
{
    if (refused && refused())
        return true;
    if (busy()) {
        setStatus(kJobBusy.text(language.index()));
        return true;
    }
    return false;
}

bool ParameterSetsWindow::backup(const QList<int> &addresses)
{
    if (addresses.isEmpty()) {
        setStatus(kSetsNoMeters.text(language.index()));
        return false;
    }
    if (startRefused())
        return false;
    const int type = configuration.values().metertype;
    task = Task::Backup;
    stored = 0;
    progressBar->setValue(0);
    cancelButton->setEnabled(true);
    if (!job->backup(addresses, type, typeName(type), noteEdit->text().trimmed())) {
        task = Task::None;
        cancelButton->setEnabled(false);
        setStatus(kJobBusy.text(language.index()));
        return false;
    }
    return true;
}

void ParameterSetsWindow::cancel()
{
    copyQueue.clear();
    if (job->running()) {
        job->cancel();
    } else if (task == Task::Copy) {
        // Between two targets: the next one is not started.
        JobOutcome outcome = JobOutcome::of(JobOutcome::End::Cancelled);
        task = Task::None;
        cancelButton->setEnabled(false);
        outcome.writes = copiedWrites;
        setStatus(SetMessages::outcomeText(outcome, copySource, language.index()));
    }
}

void ParameterSetsWindow::onSetRead(const ParameterSet &set)
{
    if (task == Task::Backup) {
        if (store.save(set))
            ++stored;
        else
            setStatus(kSetsStoreFailed.text(language.index()).arg(store.errorText()));
    } else if (task == Task::Compare) {
        meterNow = set;
    } else if (task == Task::CopyPreview) {
        targetsNow << set;
    }
}

void ParameterSetsWindow::onFinished(const JobOutcome &outcome)
{
    const int lang = language.index();
    const Task ended = std::exchange(task, Task::None);
    cancelButton->setEnabled(false);
    QString text;
    if (ended == Task::Backup && !outcome.failed()) {
        text = (outcome.end == JobOutcome::End::Cancelled ? kSetsBackupCancelled : kSetsBackupDone)
                   .text(lang)
                   .arg(stored);
    } else if (ended == Task::CopyPreview && outcome.end == JobOutcome::End::Done) {
        fillPreview();
        text = previewSummary->text();
    } else if (ended == Task::Copy && outcome.end == JobOutcome::End::Done) {
        copiedWrites += outcome.writes;
        ++copiedMeters;
        if (!copyQueue.isEmpty()) {
            // The next target once the job has returned from its end.
            task = Task::Copy;
            cancelButton->setEnabled(true);
            QTimer::singleShot(0, this, &ParameterSetsWindow::copyNext);
            fillLog();
            return;
        }
        text = kSetsCopyDone.text(lang).arg(copiedWrites).arg(copiedMeters);
        targetsNow.clear();
        fillPreview();
    } else if (ended == Task::Compare && outcome.end == JobOutcome::End::Done) {
        showComparison();
        tabs->setCurrentIndex(1);
        text = compareSummary->text();
    } else {
        const bool copying = ended == Task::Copy || ended == Task::CopyPreview;
        text = SetMessages::outcomeText(outcome, copying ? copySource : compared, lang);
    }
    const qint64 selected = selectedSet() ? selectedSet()->id : 0;
    fillSets();
    selectSet(selected);
    fillLog();
    setStatus(text);
    // The job ends inside the line's handler: a box opens once it has returned.
    if (outcome.failed())
        QTimer::singleShot(0, this,
                           [this, text] { prompts.error(text, kSetsCaption.text(language.index())); });
}

QString ParameterSetsWindow::caption(const SetParameter &p) const
{
    return language.index() == 1 ? p.captionEN : p.caption;
}

bool ParameterSetsWindow::writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString text =
            kSetsCannotWrite.text(language.index()).arg(QDir::toNativeSeparators(path), file.errorString());
        setStatus(text);
        prompts.error(text, kSetsCaption.text(language.index()));
        return false;
    }
    return true;
}

bool ParameterSetsWindow::exportTo(const QString &path, bool csv)
{
    const std::optional<ParameterSet> set = selectedSet();
    if (!set) {
        setStatus(kSetsNoSetSelected.text(language.index()));
        return false;
    }
    if (!writeFile(path, csv ? SetFile::toCsv(*set) : SetFile::toJson(*set)))
        return false;
    setStatus(kSetsExported.text(language.index()).arg(QDir::toNativeSeparators(path)));
    return true;
}

void ParameterSetsWindow::exportClicked(bool csv)
{
    const int lang = language.index();
    if (!selectedSet()) {
        setStatus(kSetsNoSetSelected.text(lang));
        return;
    }
    const QString path =
        QFileDialog::getSaveFileName(this, (csv ? kSetsExportCsv : kSetsExportJson).text(lang), QString(),
                                     (csv ? kSetsCsvFilter : kSetsJsonFilter).text(lang));
    if (!path.isEmpty())
        exportTo(path, csv);
}

bool ParameterSetsWindow::importFrom(const QString &path)
{
    const int lang = language.index();
    const QString shown = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        const QString text =
            kSetsCannotRead.text(lang).arg(QDir::toNativeSeparators(path), file.errorString());
        setStatus(text);
        prompts.error(text, kSetsCaption.text(lang));
        return false;
    }
    SetFile::ImportError error;
    const std::optional<ParameterSet> set = SetFile::fromJson(file.readAll(), menus, error);
    if (!set) {
        const QString text = SetMessages::importText(error, shown, lang);
        setStatus(text);
        prompts.error(text, kSetsCaption.text(lang));
        return false;
    }
    const std::optional<qint64> id = store.save(*set);
    if (!id) {
        const QString text = kSetsStoreFailed.text(lang).arg(store.errorText());
        setStatus(text);
        prompts.error(text, kSetsCaption.text(lang));
        return false;
    }
    fillSets();
    selectSet(*id);
    setStatus(kSetsImported.text(lang).arg(shown).arg(set->address));
    return true;
}

void ParameterSetsWindow::importClicked()
{
    const int lang = language.index();
    const QString path =
        QFileDialog::getOpenFileName(this, kSetsImportJson.text(lang), QString(), kSetsJsonFilter.text(lang));
    if (!path.isEmpty())
        importFrom(path);
}

bool ParameterSetsWindow::compareWith(int address)
{
    const int lang = language.index();
    const std::optional<ParameterSet> set = selectedSet();
    if (!set) {
        setStatus(kSetsNoSetSelected.text(lang));
        return false;
    }
    const int type = configuration.values().metertype;
    if (set->meterType != type) {
        setStatus(kSetsTypeMismatch.text(lang).arg(address));
        return false;
    }
    if (startRefused())
        return false;
    if (const int i = compareMeter->findData(address); i >= 0)
        compareMeter->setCurrentIndex(i);
    task = Task::Compare;
    compared = *set;
    meterNow.reset();
    otherIsSet = false;
    showComparison();
    cancelButton->setEnabled(true);
    if (!job->read(address, type, typeName(type))) {
        task = Task::None;
        cancelButton->setEnabled(false);
        setStatus(kJobBusy.text(lang));
        return false;
    }
    return true;
}

void ParameterSetsWindow::showComparison()
{
    const int lang = language.index();
    // Rows only: the columns keep how they are sized.
    compareRows->removeRows(0, compareRows->rowCount());
    compareRows->setHorizontalHeaderLabels(
        {kSetsColK.text(lang), kSetsColCaption.text(lang), kSetsColSet.text(lang),
         (otherIsSet ? kSetsColOtherSet : kSetsColMeter).text(lang), kSetsColDiffers.text(lang)});
    differencesFound = 0;
    if (!meterNow) {
        compareSummary->clear();
        return;
    }
    QSet<int> differing;
    for (const ParameterDifference &d : differences(compared, *meterNow))
        differing.insert(d.k);
    QList<int> ks;
    for (const SetParameter &p : compared.parameters)
        ks << p.k;
    for (const SetParameter &p : meterNow->parameters)
        if (!ks.contains(p.k))
            ks << p.k;
    std::sort(ks.begin(), ks.end());
    for (int k : ks) {
        const SetParameter *inSet = compared.parameter(k);
        const SetParameter *inMeter = meterNow->parameter(k);
        const bool differs = differing.contains(k);
        const QString marker = differs ? QStringLiteral("≠") : QString();
        const QString spoken = (differs ? kSetsDiffers : kSetsSame).text(lang);
        QList<QStandardItem *> row{cell(QString::number(k)), cell(caption(inSet ? *inSet : *inMeter)),
                                   cell(inSet ? inSet->text : QString()),
                                   cell(inMeter ? inMeter->text : QString()), cell(marker)};
        for (QStandardItem *item : row) {
            item->setData(spoken, Qt::AccessibleDescriptionRole);
            if (differs)
                item->setBackground(kDifferingRow);
        }
        row[CompareMarker]->setData(spoken, Qt::AccessibleTextRole);
        compareRows->appendRow(row);
        differencesFound += differs;
    }
    compareSummary->setText(
        otherIsSet
            ? kSetsCompareSets.text(lang).arg(compared.id).arg(meterNow->id).arg(differencesFound)
            : kSetsCompareResult.text(lang).arg(compared.id).arg(meterNow->address).arg(differencesFound));
}

bool ParameterSetsWindow::restoreSelected()
{
    const int lang = language.index();
    const std::optional<ParameterSet> set = selectedSet();
    if (!set) {
        setStatus(kSetsNoSetSelected.text(lang));
        return false;
    }
    if (set->meterType != configuration.values().metertype) {
        setStatus(kSetsTypeMismatch.text(lang).arg(set->address));
        return false;
    }
    if (startRefused())
        return false;
    if (!prompts.question(kSetsRestoreQuestion.text(lang)
                              .arg(set->id)
                              .arg(set->address)
                              .arg(set->taken.toUTC().toString(Qt::ISODate)),
                          kSetsCaption.text(lang)))
        return false;
    task = Task::Restore;
    compared = *set;
    progressBar->setValue(0);
    cancelButton->setEnabled(true);
    if (!job->restore(*set, {set->address})) {
        task = Task::None;
        cancelButton->setEnabled(false);
        setStatus(kJobBusy.text(lang));
        return false;
    }
    return true;
}

void ParameterSetsWindow::filterLog(std::optional<int> address)
{
    logFilter = address;
    if (const int i = address ? logMeter->findData(*address) : 0; i >= 0)
        logMeter->setCurrentIndex(i);
    fillLog();
}

void ParameterSetsWindow::fillLog()
{
    const int lang = language.index();
    logRows->clear();
    logRows->setHorizontalHeaderLabels({kSetsColTime.text(lang), kSetsColAddress.text(lang),
                                        kSetsColK.text(lang), kSetsColOld.text(lang), kSetsColNew.text(lang),
                                        kSetsColResult.text(lang), kSetsColReadBack.text(lang)});
    for (const WriteRecord &r : store.writeLog(logFilter)) {
        QString result = SetStore::resultName(r.result);
        if (r.result == WriteResult::Refused)
            result += QStringLiteral(" (%1)").arg(r.exceptionCode);
        logRows->appendRow({cell(r.time.toUTC().toString(Qt::ISODate)), cell(QString::number(r.address)),
                            cell(QString::number(r.k)), cell(optionalText(r.oldRaw)),
                            cell(QString::number(r.newRaw)), cell(result), cell(optionalText(r.readBack))});
    }
}

bool ParameterSetsWindow::exportLogTo(const QString &path)
{
    if (!writeFile(path, SetStore::writeLogCsv(store.writeLog(logFilter))))
        return false;
    setStatus(kSetsExported.text(language.index()).arg(QDir::toNativeSeparators(path)));
    return true;
}

void ParameterSetsWindow::exportLogClicked()
{
    const int lang = language.index();
    const QString path =
        QFileDialog::getSaveFileName(this, kSetsLogExport.text(lang), QString(), kSetsCsvFilter.text(lang));
    if (!path.isEmpty())
        exportLogTo(path);
}

bool ParameterSetsWindow::isLinkParameter(const SetParameter &parameter)
{
    return parameter.caption.contains(QStringLiteral("地址")) ||
           parameter.caption.contains(QStringLiteral("波特率")) ||
           parameter.captionEN.contains(QLatin1String("address"), Qt::CaseInsensitive) ||
           parameter.captionEN.contains(QLatin1String("baud"), Qt::CaseInsensitive);
}

void ParameterSetsWindow::setCopyTargets(const QList<int> &addresses)
{
    for (int row = 0; row < targetRows->rowCount(); ++row) {
        QStandardItem *item = targetRows->item(row, 0);
        item->setCheckState(addresses.contains(item->data(IdRole).toInt()) ? Qt::Checked : Qt::Unchecked);
    }
}

bool ParameterSetsWindow::previewCopy()
{
    const int lang = language.index();
    const std::optional<ParameterSet> set = selectedSet();
    if (!set) {
        setStatus(kSetsNoSetSelected.text(lang));
        return false;
    }
    QList<int> targets;
    for (int row = 0; row < targetRows->rowCount(); ++row)
        if (targetRows->item(row, 0)->checkState() == Qt::Checked)
            targets << targetRows->item(row, 0)->data(IdRole).toInt();
    if (targets.isEmpty()) {
        setStatus(kSetsNoTarget.text(lang));
        return false;
    }
    // Every configured meter is of the configured type.
    if (set->meterType != configuration.values().metertype) {
        setStatus(kSetsTypeMismatch.text(lang).arg(targets.first()));
        return false;
    }
    if (startRefused())
        return false;
    task = Task::CopyPreview;
    copySource = *set;
    targetsNow.clear();
    fillPreview();
    progressBar->setValue(0);
    cancelButton->setEnabled(true);
    if (!job->backup(targets, set->meterType, set->meterTypeName, QString())) {
        task = Task::None;
        cancelButton->setEnabled(false);
        setStatus(kJobBusy.text(lang));
        return false;
    }
    return true;
}

void ParameterSetsWindow::fillPreview()
{
    const int lang = language.index();
    QMap<QPair<int, int>, Qt::CheckState> ticks;
    for (int row = 0; row < previewRows->rowCount(); ++row) {
        const QStandardItem *item = previewRows->item(row, 0);
        ticks.insert({item->data(AddressRole).toInt(), item->data(KRole).toInt()}, item->checkState());
    }
    previewRows->clear();
    previewRows->setHorizontalHeaderLabels({kSetsColTarget.text(lang), kSetsColK.text(lang),
                                            kSetsColCaption.text(lang), kSetsColMeter.text(lang),
                                            kSetsColSet.text(lang)});
    int rows = 0;
    for (const ParameterSet &target : targetsNow) {
        for (const ParameterDifference &d : differences(copySource, target)) {
            const SetParameter *p = copySource.parameter(d.k);
            if (!p || !d.left)
                continue; // nothing to write
            auto *tick = cell(QStringLiteral("%1#").arg(target.address));
            tick->setCheckable(true);
            tick->setData(target.address, AddressRole);
            tick->setData(d.k, KRole);
            tick->setCheckState(
                ticks.value({target.address, d.k}, isLinkParameter(*p) ? Qt::Unchecked : Qt::Checked));
            const SetParameter *now = target.parameter(d.k);
            previewRows->appendRow({tick, cell(QString::number(d.k)), cell(caption(*p)),
                                    cell(now ? now->text : QString()), cell(p->text)});
            ++rows;
        }
    }
    if (targetsNow.isEmpty())
        previewSummary->clear();
    else
        previewSummary->setText(
            kSetsCopyPreviewed.text(lang).arg(copySource.id).arg(targetsNow.size()).arg(rows));
}

bool ParameterSetsWindow::copyTicked()
{
    const int lang = language.index();
    if (targetsNow.isEmpty()) {
        setStatus(kSetsPreviewFirst.text(lang));
        return false;
    }
    if (startRefused())
        return false;
    copySkip.clear();
    copyQueue.clear();
    int ticked = 0;
    for (const ParameterSet &target : targetsNow) {
        copyQueue << target.address;
        QSet<int> skip;
        for (const SetParameter &p : copySource.parameters)
            skip.insert(p.k);
        copySkip.insert(target.address, skip);
    }
    for (int row = 0; row < previewRows->rowCount(); ++row) {
        const QStandardItem *item = previewRows->item(row, 0);
        if (item->checkState() != Qt::Checked)
            continue;
        copySkip[item->data(AddressRole).toInt()].remove(item->data(KRole).toInt());
        ++ticked;
    }
    if (!prompts.question(kSetsCopyQuestion.text(lang).arg(copySource.id).arg(copyQueue.size()).arg(ticked),
                          kSetsCaption.text(lang)))
        return false;
    copiedWrites = 0;
    copiedMeters = 0;
    task = Task::Copy;
    progressBar->setValue(0);
    cancelButton->setEnabled(true);
    copyNext();
    return true;
}

void ParameterSetsWindow::copyNext()
{
    if (task != Task::Copy || copyQueue.isEmpty())
        return;
    const int target = copyQueue.takeFirst();
    if (!job->restore(copySource, {target}, copySkip.value(target))) {
        task = Task::None;
        cancelButton->setEnabled(false);
        setStatus(kJobBusy.text(language.index()));
    }
}
