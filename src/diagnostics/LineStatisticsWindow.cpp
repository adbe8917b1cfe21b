#include "LineStatisticsWindow.h"

#include "DiagnosticsParts.h"
#include "DiagnosticsTexts.h"
#include "Language.h"
#include "LineStatisticsModel.h"
#include "Prompts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

LineStatisticsWindow::LineStatisticsWindow(const LiveValueTable &values, const MeterConfiguration &meters,
                                           const Language &lang, Prompts &shownPrompts, QWidget *parent)
    : QWidget(parent, Qt::Tool), language(lang), prompts(shownPrompts)
{
    DiagnosticsParts::announceAsWindow(this);
    setObjectName(QStringLiteral("lineStatistics"));
    model = new LineStatisticsModel(values, meters, language.index(), this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(model);
    sorted->setSortRole(LineStatisticsModel::SortRole);
    // Rows keep their place while their counts change; only a click on a
    // header sorts again.
    sorted->setDynamicSortFilter(false);

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("statisticsTable"));
    table->setModel(sorted);
    table->setSortingEnabled(true);
    table->sortByColumn(LineStatisticsModel::Address, Qt::AscendingOrder);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    resetButton = DiagnosticsParts::namedButton("resetButton", this);
    copyButton = DiagnosticsParts::namedButton("copyButton", this);
    saveButton = DiagnosticsParts::namedButton("saveButton", this);
    connect(resetButton, &QPushButton::clicked, this, &LineStatisticsWindow::reset);
    connect(copyButton, &QPushButton::clicked, this, &LineStatisticsWindow::copy);
    connect(saveButton, &QPushButton::clicked, this, &LineStatisticsWindow::save);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(resetButton);
    buttons->addWidget(copyButton);
    buttons->addWidget(saveButton);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(buttons);
    resize(900, 400);

    retranslate();
    connect(&language, &Language::changed, this, &LineStatisticsWindow::retranslate);
}

void LineStatisticsWindow::setPositions(const std::array<QString, Modbus::MeterCount> &positions)
{
    model->setPositions(positions);
}

void LineStatisticsWindow::retranslate()
{
    const int lang = language.index();
    model->setLanguage(lang);
    setWindowTitle(kStatisticsTitle.text(lang));
    table->setAccessibleName(kStatisticsTable.text(lang));
    const std::pair<QPushButton *, const BiText *> texts[] = {
        {resetButton, &kStatisticsReset}, {copyButton, &kStatisticsCopy}, {saveButton, &kStatisticsSave}};
    for (const auto &[b, text] : texts) {
        b->setText(text->text(lang));
        b->setAccessibleName(b->text());
    }
}

void LineStatisticsWindow::reset()
{
    model->resetBaseline();
}

QString LineStatisticsWindow::csv() const
{
    return LineStatisticsModel::csv(*sorted);
}

void LineStatisticsWindow::copy()
{
    QGuiApplication::clipboard()->setText(csv());
}

void LineStatisticsWindow::save()
{
    const int lang = language.index();
    DiagnosticsParts::askAndSave(this, kStatisticsSave.text(lang), kStatisticsCsvFilter.text(lang), csv(),
                                 prompts, lang);
}

bool LineStatisticsWindow::saveTo(const QString &path)
{
    return DiagnosticsParts::saveText(path, csv(), prompts, language.index());
}
