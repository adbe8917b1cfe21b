#include "CMSFlexGrid.h"

#include <QEvent>
#include <QHeaderView>
#include <QMouseEvent>

#include <algorithm>

namespace {

// Room above and below a line of text in a row, in pixels.
constexpr int kRowPadding = 6;

bool readsAsNumber(const QString &text)
{
    bool number = false;
    text.trimmed().toDouble(&number);
    return number;
}

} // namespace

CMSFlexGrid::CMSFlexGrid(QWidget *parent) : QTableWidget(parent)
{
    setColumnCount(Cols);
    // Empty header items: without them the header would number the columns.
    for (int col = 0; col < Cols; ++col)
        setHorizontalHeaderItem(col, new QTableWidgetItem);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The header row is a row of cells, not a row of buttons that would
    // select whole columns.
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    cellColour = palette().color(QPalette::Base);
    fitRowHeightToFont();

    // The control starts with one row below the header and the first
    // cell the operator can edit as the current cell.
    SetRows(FixedRows + 1);
    currentGridRow = FixedRows;
    currentGridCol = FixedCols;
    showCurrentInView();
}

void CMSFlexGrid::SetRows(long rows)
{
    rows = std::max(rows, FixedRows);
    // The control moves the current cell into the rows that remain, so the
    // cell being left is reported while it still exists.
    if (currentGridRow >= rows)
        SetRow(rows - 1);
    const int oldRows = rowCount();
    setRowCount(int(rows - FixedRows));
    for (int row = oldRows; row < rowCount(); ++row)
        for (int col = 0; col < Cols; ++col)
            setItem(row, col, newCell(col));
}

void CMSFlexGrid::SetRow(long row)
{
    if (row < 0 || row >= GetRows())
        return;
    moveCurrent(row, currentGridCol);
    showCurrentInView();
}

void CMSFlexGrid::SetCol(long col)
{
    if (col < 0 || col >= Cols)
        return;
    moveCurrent(currentGridRow, col);
    showCurrentInView();
}

QString CMSFlexGrid::GetText() const
{
    const QTableWidgetItem *cell = itemAtCurrent();
    return cell ? cell->text() : QString();
}

void CMSFlexGrid::SetText(const QString &text)
{
    QTableWidgetItem *cell = itemAtCurrent();
    if (!cell)
        return;
    cell->setText(text);
    // The control's general alignment: numbers to the right, words to the
    // left. The header row keeps the header's own alignment.
    if (currentGridRow >= FixedRows) {
        const Qt::Alignment side = readsAsNumber(text) ? Qt::AlignRight : Qt::AlignLeft;
        cell->setTextAlignment(side | Qt::AlignVCenter);
    }
}

void CMSFlexGrid::SetBackColor(const QColor &colour)
{
    cellColour = colour;
    for (int row = 0; row < rowCount(); ++row)
        for (int col = FixedCols; col < Cols; ++col)
            item(row, col)->setBackground(colour);
}

void CMSFlexGrid::SetBackColorBkg(const QColor &colour)
{
    // The cells paint their own backgrounds; what the viewport shows of
    // its own is the area outside them.
    QPalette colours = viewport()->palette();
    colours.setColor(QPalette::Base, colour);
    viewport()->setPalette(colours);
}

QColor CMSFlexGrid::GetBackColorBkg() const
{
    return viewport()->palette().color(QPalette::Base);
}

void CMSFlexGrid::SetColWidth(long col, long twips)
{
    setColumnWidth(int(col), int(twips / TwipsPerPixel));
}

QModelIndex CMSFlexGrid::cellIndex(long row, long col) const
{
    if (row < FixedRows || col < 0 || col >= Cols)
        return QModelIndex();
    return model()->index(int(row - FixedRows), int(col));
}

bool CMSFlexGrid::isEditableCell(long row, long col) const
{
    return row >= FixedRows && row < GetRows() && col >= FixedCols && col < Cols;
}

QRect CMSFlexGrid::cellRect() const
{
    if (currentGridRow < FixedRows) {
        const QHeaderView *header = horizontalHeader();
        const int col = int(currentGridCol);
        const QRect section(header->sectionViewportPosition(col), 0, header->sectionSize(col),
                            header->height());
        return section.translated(header->viewport()->mapTo(this, QPoint(0, 0)));
    }
    const QRect cell = visualRect(cellIndex(currentGridRow, currentGridCol));
    return cell.translated(viewport()->mapTo(this, QPoint(0, 0)));
}

bool CMSFlexGrid::onFixedCell(const QPoint &viewportPosition) const
{
    const QModelIndex index = indexAt(viewportPosition);
    return index.isValid() && index.column() < FixedCols;
}

void CMSFlexGrid::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    // The operator moved the current cell: report the leave while the
    // control's current cell is still the old one, then follow.
    if (!followingProgram && current.isValid())
        moveCurrent(current.row() + FixedRows, current.column());
    QTableWidget::currentChanged(current, previous);
}

QModelIndex CMSFlexGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex target = QTableWidget::moveCursor(action, modifiers);
    if (!target.isValid() || target.column() >= FixedCols)
        return target;
    // Keys move between rows of the editable columns only.
    const QModelIndex from = currentIndex();
    const int col = from.isValid() && from.column() >= FixedCols ? from.column() : int(FixedCols);
    return model()->index(target.row(), col);
}

void CMSFlexGrid::mousePressEvent(QMouseEvent *event)
{
    // A click on a fixed cell does not move the current cell.
    if (onFixedCell(event->position().toPoint())) {
        event->accept();
        return;
    }
    QTableWidget::mousePressEvent(event);
}

void CMSFlexGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() != Qt::NoButton && onFixedCell(event->position().toPoint())) {
        event->accept();
        return;
    }
    QTableWidget::mouseMoveEvent(event);
}

void CMSFlexGrid::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        fitRowHeightToFont();
    QTableWidget::changeEvent(event);
}

void CMSFlexGrid::moveCurrent(long row, long col)
{
    if (row == currentGridRow && col == currentGridCol)
        return;
    emit LeaveCell();
    currentGridRow = row;
    currentGridCol = col;
}

// Shows the control's current cell as the view's current cell, without
// scrolling to it: the program reads and writes cells all over the grid and
// the rows in view must not jump about while it does. The header row has
// no table cell, so there the view has none.
void CMSFlexGrid::showCurrentInView()
{
    followingProgram = true;
    const bool scrolls = hasAutoScroll();
    setAutoScroll(false);
    setCurrentIndex(cellIndex(currentGridRow, currentGridCol));
    setAutoScroll(scrolls);
    followingProgram = false;
}

QTableWidgetItem *CMSFlexGrid::newCell(int column) const
{
    auto *cell = new QTableWidgetItem;
    if (column < FixedCols) {
        cell->setFlags(Qt::ItemIsEnabled);
        cell->setBackground(palette().color(QPalette::Button));
    } else {
        cell->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        cell->setBackground(cellColour);
    }
    return cell;
}

QTableWidgetItem *CMSFlexGrid::itemAtCurrent() const
{
    if (currentGridRow < FixedRows)
        return horizontalHeaderItem(int(currentGridCol));
    return item(int(currentGridRow - FixedRows), int(currentGridCol));
}

void CMSFlexGrid::fitRowHeightToFont()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + kRowPadding);
}
