#include "PortCheckDialog.h"

#include "PortDoctor.h"
#include "PortDoctorMessages.h"
#include "PortDoctorTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr QSize kInitialSize(760, 420);

QTableWidgetItem *cell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

} // namespace

PortCheckDialog::PortCheckDialog(const QString &rootDirectory, int shownLanguage, QWidget *parent)
    : QDialog(parent), root(rootDirectory), language(shownLanguage)
{
    setObjectName(QStringLiteral("portCheckDialog"));
    setWindowTitle(kPortCheckTitle.text(language));
    // One row per finding, each naming its device, so that a screen reader
    // reads every sentence with the device it is about.
    table = new QTableWidget(0, 2, this);
    table->setObjectName(QStringLiteral("portFindings"));
    table->setHorizontalHeaderLabels({kPortCheckDevice.text(language), kPortCheckFinding.text(language)});
    table->setAccessibleName(windowTitle());
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    modemManager = new QLabel(this);
    modemManager->setObjectName(QStringLiteral("modemManager"));
    modemManager->setWordWrap(true);
    modemManager->setTextInteractionFlags(Qt::TextSelectableByMouse);
    refreshButton = new QPushButton(kPortCheckRefresh.text(language), this);
    refreshButton->setObjectName(QStringLiteral("refresh"));
    refreshButton->setAutoDefault(false);
    closeButton = new QPushButton(kPortCheckClose.text(language), this);
    closeButton->setObjectName(QStringLiteral("close"));
    closeButton->setDefault(true);
    connect(refreshButton, &QPushButton::clicked, this, &PortCheckDialog::refresh);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton);
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table, 1);
    layout->addWidget(modemManager);
    layout->addLayout(buttons);
    resize(kInitialSize);
    refresh();
}

void PortCheckDialog::refresh()
{
    const PortDoctorReport report = PortDoctor(root).examineAll();
    table->setRowCount(0);
    for (const PortExamination &device : report.devices) {
        for (const QString &line : PortDoctorMessages::deviceLines(device, report.user, language)) {
            const int row = table->rowCount();
            table->insertRow(row);
            table->setItem(row, 0, cell(device.path));
            table->setItem(row, 1, cell(line));
        }
    }
    if (report.devices.isEmpty()) {
        table->insertRow(0);
        table->setItem(0, 0, cell(QString()));
        table->setItem(0, 1, cell(kDoctorNoDevices.text(language)));
    }
    table->resizeColumnToContents(0);
    table->resizeRowsToContents();
    modemManager->setText(PortDoctorMessages::modemManagerLine(report, language));
}
