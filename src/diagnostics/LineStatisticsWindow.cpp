#include "LineStatisticsWindow.h"

#include "DiagnosticsTexts.h"
#include "Language.h"
#include "LineStatisticsModel.h"
#include "Prompts.h"

#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPushButton *button(const char *name, QWidget *parent)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QString::fromLatin1(name));
    return b;
}

} // namespace

LineStatisticsWindow::LineStatisticsWindow(const LiveValueTable &values, const MeterConfiguration &meters,
                                           const Language &lang, Prompts &shownPrompts, QWidget *parent)
    : QWidget(parent, Qt::Tool), language(lang), prompts(shownPrompts)
{
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

    resetButton = button("resetButton", this);
    copyButton = button("copyButton", this);
    saveButton = button("saveButton", this);
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
    const QString path = QFileDialog::getSaveFileName(this, kStatisticsSave.text(lang), QString(),
                                                      kStatisticsCsvFilter.text(lang), nullptr,
                                                      QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        saveTo(path);
}

bool LineStatisticsWindow::saveTo(const QString &path)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(csv().toUtf8()) >= 0 && file.commit())
        return true;
    const int lang = language.index();
    prompts.error(kSaveFailed.text(lang).arg(path, file.errorString()), kSaveFailedCaption.text(lang));
    return false;
}
