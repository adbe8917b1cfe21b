#include "TrafficMonitorWindow.h"

#include "DiagnosticsParts.h"
#include "DiagnosticsTexts.h"
#include "Language.h"
#include "MeterLine.h"
#include "Prompts.h"
#include "TrafficLog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

TrafficMonitorWindow::TrafficMonitorWindow(MeterLine &meterLine, const Language &lang, Prompts &shownPrompts,
                                           QWidget *parent)
    : QWidget(parent, Qt::Tool), line(meterLine), language(lang), prompts(shownPrompts)
{
    DiagnosticsParts::announceAsWindow(this);
    setObjectName(QStringLiteral("trafficMonitor"));
    lines = new TrafficLog(language.index(), this);
    shown = new QSortFilterProxyModel(this);
    shown->setSourceModel(lines);
    shown->setFilterRole(TrafficLog::AddressRole);
    shown->setFilterKeyColumn(TrafficLog::Time);

    table = new QTableView(this);
    table->setObjectName(QStringLiteral("trafficTable"));
    table->setModel(shown);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setColumnWidth(TrafficLog::Time, 100);
    table->setColumnWidth(TrafficLog::Direction, 50);
    table->setColumnWidth(TrafficLog::Bytes, 220);
    // Keeps to the newest line while the view is at the bottom; a user who
    // scrolled up stays where they are.
    QScrollBar *bar = table->verticalScrollBar();
    connect(bar, &QScrollBar::valueChanged, this,
            [this, bar](int value) { followNewest = value >= bar->maximum(); });
    connect(bar, &QScrollBar::rangeChanged, this, [this, bar](int, int maximum) {
        if (followNewest)
            bar->setValue(maximum);
    });

    meterFilter = new QComboBox(this);
    meterFilter->setObjectName(QStringLiteral("meterFilter"));
    meterFilter->addItem(QString(), -1);
    for (int address = 0; address < Modbus::MeterCount; ++address)
        meterFilter->addItem(QString::asprintf("%d#", address), address);
    connect(meterFilter, &QComboBox::currentIndexChanged, this, &TrafficMonitorWindow::filterMeter);

    pauseButton = DiagnosticsParts::namedButton("pauseButton", this);
    pauseButton->setCheckable(true);
    connect(pauseButton, &QPushButton::toggled, this,
            [this](bool paused) { follow(!paused && isVisible()); });
    clearButton = DiagnosticsParts::namedButton("clearButton", this);
    connect(clearButton, &QPushButton::clicked, lines, &TrafficLog::clear);
    saveButton = DiagnosticsParts::namedButton("saveButton", this);
    connect(saveButton, &QPushButton::clicked, this, &TrafficMonitorWindow::save);

    auto *controls = new QHBoxLayout;
    controls->addWidget(meterFilter);
    controls->addWidget(pauseButton);
    controls->addWidget(clearButton);
    controls->addWidget(saveButton);
    controls->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addLayout(controls);
    resize(700, 450);

    retranslate();
    connect(&language, &Language::changed, this, &TrafficMonitorWindow::retranslate);
}

TrafficMonitorWindow::~TrafficMonitorWindow()
{
    follow(false);
}

void TrafficMonitorWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    follow(!pauseButton->isChecked());
}

void TrafficMonitorWindow::hideEvent(QHideEvent *event)
{
    follow(false);
    QWidget::hideEvent(event);
}

void TrafficMonitorWindow::follow(bool on)
{
    if (on == bool(following))
        return;
    if (on)
        following = connect(&line, &MeterLine::frameLogged, lines, &TrafficLog::append);
    else
        disconnect(std::exchange(following, QMetaObject::Connection()));
}

void TrafficMonitorWindow::retranslate()
{
    const int lang = language.index();
    lines->setLanguage(lang);
    setWindowTitle(kTrafficTitle.text(lang));
    table->setAccessibleName(kTrafficTable.text(lang));
    meterFilter->setItemText(0, kTrafficAllMeters.text(lang));
    meterFilter->setAccessibleName(kTrafficMeterFilter.text(lang));
    const std::pair<QPushButton *, const BiText *> texts[] = {
        {pauseButton, &kTrafficPause}, {clearButton, &kTrafficClear}, {saveButton, &kTrafficSave}};
    for (const auto &[b, text] : texts) {
        b->setText(text->text(lang));
        b->setAccessibleName(b->text());
    }
}

void TrafficMonitorWindow::filterMeter()
{
    const int address = meterFilter->currentData().toInt();
    shown->setFilterRegularExpression(
        address < 0 ? QRegularExpression()
                    : QRegularExpression(QRegularExpression::anchoredPattern(QString::number(address))));
}

QString TrafficMonitorWindow::text() const
{
    QString out;
    for (int row = 0; row < shown->rowCount(); ++row) {
        QStringList columns;
        for (int column = 0; column < shown->columnCount(); ++column)
            columns << shown->index(row, column).data().toString();
        out += columns.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return out;
}

void TrafficMonitorWindow::save()
{
    const int lang = language.index();
    DiagnosticsParts::askAndSave(this, kTrafficSave.text(lang), kTrafficTextFilter.text(lang), text(),
                                 prompts, lang);
}

bool TrafficMonitorWindow::saveTo(const QString &path)
{
    return DiagnosticsParts::saveText(path, text(), prompts, language.index());
}
