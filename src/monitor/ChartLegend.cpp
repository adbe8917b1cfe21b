#include "ChartLegend.h"

#include "ChartTexts.h"
#include "Language.h"
#include "LiveValueTable.h"
#include "PvSvPanel.h"

#include <QPainter>
#include <QPixmap>

namespace {

constexpr int kSwatchSize = 12;

} // namespace

QIcon ChartLegend::swatch(const QColor &colour, qreal ratio)
{
    QPixmap pixmap(QSize(kSwatchSize, kSwatchSize) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(colour);
    QPainter painter(&pixmap);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, kSwatchSize - 1, kSwatchSize - 1);
    return QIcon(pixmap);
}

ChartLegend::ChartLegend(const LiveValueTable &table, const Language &lang, QWidget *parent)
    : QListWidget(parent), values(table), language(lang)
{
    setObjectName(QStringLiteral("legend"));
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::TabFocus);
    setIconSize(QSize(kSwatchSize, kSwatchSize));
    setUniformItemSizes(true);
    connect(&values, &LiveValueTable::valueStored, this, &ChartLegend::refreshMeter);
    connect(&values, &LiveValueTable::markedNotAnswering, this, &ChartLegend::refreshMeter);
    connect(&language, &Language::changed, this, &ChartLegend::retranslate);
    retranslate();
}

void ChartLegend::setCurves(const QList<int> &addresses, const QList<QColor> &colours)
{
    meters = addresses;
    clear();
    for (int curve = 0; curve < meters.size(); ++curve) {
        auto *item = new QListWidgetItem(this);
        item->setIcon(swatch(colours.value(curve), devicePixelRatioF()));
        item->setData(Qt::UserRole, colours.value(curve));
        item->setData(Qt::AccessibleDescriptionRole, colours.value(curve).name());
        refreshRow(curve);
    }
}

void ChartLegend::setColour(int curve, const QColor &colour)
{
    if (QListWidgetItem *row = item(curve)) {
        row->setIcon(swatch(colour, devicePixelRatioF()));
        row->setData(Qt::UserRole, colour);
        row->setData(Qt::AccessibleDescriptionRole, colour.name());
    }
}

QString ChartLegend::rowText(int curve) const
{
    const QListWidgetItem *row = item(curve);
    return row ? row->text() : QString();
}

QColor ChartLegend::rowColour(int curve) const
{
    const QListWidgetItem *row = item(curve);
    return row ? row->data(Qt::UserRole).value<QColor>() : QColor();
}

void ChartLegend::refreshMeter(int address)
{
    for (int curve = 0; curve < meters.size(); ++curve)
        if (meters[curve] == address)
            refreshRow(curve);
}

void ChartLegend::refreshRow(int curve)
{
    QListWidgetItem *row = item(curve);
    if (!row)
        return;
    const int lang = language.index();
    const QString text = kLegendRow.text(lang).arg(kWatchMeter.text(lang).arg(meters[curve]),
                                                   PvSvPanel::valueTextOf(values, meters[curve]));
    if (row->text() != text)
        row->setText(text);
}

void ChartLegend::retranslate()
{
    setAccessibleName(kLegend.text(language.index()));
    for (int curve = 0; curve < count(); ++curve)
        refreshRow(curve);
}
