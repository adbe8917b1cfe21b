#include "ColourListBox.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

// Paints a row as a swatch and a text on the list's own colours: the
// highlight when the row is selected, the base colour otherwise.
class ColourRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QPalette &palette = option.palette;
        const bool selected = option.state & QStyle::State_Selected;
        const QColor background = palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QRect row = option.rect;

        painter->save();
        painter->fillRect(row, background);
        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.state |= QStyle::State_KeyboardFocusChange | QStyle::State_Item;
            focus.backgroundColor = background;
            const QStyle *style = option.widget ? option.widget->style() : nullptr;
            if (style)
                style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, option.widget);
        }

        // The swatch fills the left half less a two-pixel margin; its
        // one-pixel black frame lies inside it.
        const int middle = row.left() + row.width() / 2;
        const QRect swatch(QPoint(row.left() + 2, row.top() + 2), QPoint(middle - 1, row.bottom() - 2));
        const bool enabled = option.state & QStyle::State_Enabled;
        const QColor colour = enabled ? index.data(ColourListBox::ColourRole).value<QColor>()
                                      : palette.color(QPalette::Disabled, QPalette::Text);
        painter->fillRect(swatch, colour);
        painter->setPen(Qt::black);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(swatch.adjusted(0, 0, -1, -1));

        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(option.font);
        const QRect text(QPoint(middle + 2, row.top() + 2), row.bottomRight());
        painter->drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), ColourListBox::RowHeight);
    }
};

} // namespace

ColourListBox::ColourListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setItemDelegate(new ColourRowDelegate(this));
}

void ColourListBox::addRow(const QString &text, const QColor &colour)
{
    auto *item = new QListWidgetItem(text, this);
    item->setData(Qt::AccessibleTextRole, text);
    setRowColour(*item, colour);
}

QColor ColourListBox::colour(int row) const
{
    const QListWidgetItem *found = item(row);
    return found ? found->data(ColourRole).value<QColor>() : QColor();
}

int ColourListBox::selectedRow() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : QListWidget::row(selected.first());
}

void ColourListBox::setSelectedColour(const QColor &colour)
{
    if (QListWidgetItem *selected = item(selectedRow()))
        setRowColour(*selected, colour);
}

void ColourListBox::setRowColour(QListWidgetItem &item, const QColor &colour)
{
    item.setData(ColourRole, colour);
    item.setData(Qt::AccessibleDescriptionRole, colour.name());
}

// The first click of the double-click has already selected the row under
// the mouse; a double-click beside the rows works on the row still selected.
void ColourListBox::mouseDoubleClickEvent(QMouseEvent *event)
{
    QListWidget::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const int row = selectedRow();
    const QColor start = row >= 0 ? colour(row) : QColor(Qt::black);
    const QColor chosen = QColorDialog::getColor(start, this, QString(), QColorDialog::DontUseNativeDialog);
    if (QListWidgetItem *chosenRow = item(row); chosenRow && chosen.isValid())
        setRowColour(*chosenRow, chosen);
}
