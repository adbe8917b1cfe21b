#include "CEditGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>

namespace {

// The character a key press types on the grid, or none: shortcuts with
// Ctrl, Alt or Meta and keys without a printable character type nothing,
// except Backspace and Enter, which start an edit of their own kind.
QChar typedCharacter(const QKeyEvent *event)
{
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return QChar();
    switch (event->key()) {
    case Qt::Key_Backspace:
        return QChar(CEditGrid::Backspace);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return QChar(CEditGrid::Enter);
    default:
        break;
    }
    const QString text = event->text();
    return text.size() == 1 && text.front().isPrint() ? text.front() : QChar();
}

} // namespace

CEditGrid::CEditGrid(QWidget *parent) : CMSFlexGrid(parent)
{
    attach();
    connect(this, &CMSFlexGrid::LeaveCell, this, &CEditGrid::commit);
    // Column widths change with the window; an open editor follows its cell.
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
        if (isEditing())
            placeEditor();
    });
}

void CEditGrid::attach()
{
    // A child of the viewport, where the cells are, so the cell's rectangle
    // in the view is the editor's geometry as it stands.
    CellEditor = new QLineEdit(viewport());
    CellEditor->setObjectName(QStringLiteral("cellEditor"));
    CellEditor->setFrame(false);
    CellEditor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    CellEditor->setGeometry(0, 0, 0, 0);
    // Its own text field colour, not the colour of the area outside the
    // cells that the viewport passes on.
    QPalette colours = CellEditor->palette();
    colours.setColor(QPalette::Base, palette().color(QPalette::Base));
    CellEditor->setPalette(colours);
    CellEditor->hide();
    CellEditor->installEventFilter(this);
    // Attaching leaves the control at row 1, column 1; whoever fills the
    // grid moves the current cell to where editing is to begin.
    SetRow(1);
    SetCol(1);
}

bool CEditGrid::isEditing() const
{
    // Not isVisible(): an edit is in progress even while the window is not
    // on screen.
    return !CellEditor->isHidden();
}

bool CEditGrid::startEdit(QChar typed)
{
    if (!isEditableCell(GetRow(), GetCol()))
        return false;
    // Into view first: scrolling commits, and would end the edit begun here.
    scrollTo(cellIndex(GetRow(), GetCol()));
    if (typed == QChar(Backspace) || typed == QChar(u' ')) {
        CellEditor->clear();
    } else if (typed == QChar(Enter)) {
        CellEditor->setText(GetText());
        CellEditor->selectAll();
    } else {
        CellEditor->setText(QString(typed));
    }
    if (const QTableWidgetItem *header = horizontalHeaderItem(int(GetCol())))
        CellEditor->setAccessibleName(header->text());
    placeEditor();
    CellEditor->show();
    CellEditor->setFocus(Qt::OtherFocusReason);
    return true;
}

void CEditGrid::commit()
{
    if (!isEditing())
        return;
    SetText(CellEditor->text());
    CellEditor->clear();
    hideEditor();
}

void CEditGrid::commitAndLeave()
{
    commit();
    focusNextChild();
}

void CEditGrid::storeEdit()
{
    if (!isEditing())
        return;
    SetText(CellEditor->text());
    CellEditor->clear();
    setFocus(Qt::OtherFocusReason);
    hideEditor();
}

void CEditGrid::cancelEdit()
{
    CellEditor->clear();
    setFocus(Qt::OtherFocusReason);
    hideEditor();
}

void CEditGrid::keyPressEvent(QKeyEvent *event)
{
    const QChar typed = typedCharacter(event);
    // The view's own handling of a typed character would search the rows
    // for it and move the current cell away from the edit.
    if (!typed.isNull() && startEdit(typed)) {
        event->accept();
        return;
    }
    CMSFlexGrid::keyPressEvent(event);
}

void CEditGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() &&
        isEditableCell(index.row() + FixedRows, index.column())) {
        setCurrentIndex(index);
        startEdit(QChar(Enter));
        event->accept();
        return;
    }
    CMSFlexGrid::mouseDoubleClickEvent(event);
}

void CEditGrid::scrollContentsBy(int dx, int dy)
{
    // The editor would float over whichever cell scrolls under it.
    commit();
    CMSFlexGrid::scrollContentsBy(dx, dy);
}

bool CEditGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != CellEditor || event->type() != QEvent::KeyPress)
        return CMSFlexGrid::eventFilter(watched, event);
    // Taken here, so neither the line edit nor the window around the grid
    // (whose default button Enter would press) sees these keys.
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        storeEdit();
        return true;
    case Qt::Key_Escape:
        cancelEdit();
        return true;
    case Qt::Key_Tab:
        // The cell keeps its text; the editor's text is replaced when the
        // next edit starts.
        setFocus(Qt::TabFocusReason);
        hideEditor();
        return true;
    default:
        return false;
    }
}

void CEditGrid::placeEditor()
{
    CellEditor->setGeometry(visualRect(cellIndex(GetRow(), GetCol())));
}

void CEditGrid::hideEditor()
{
    // Hiding the focused editor would hand the focus to whatever control
    // comes next in the window; the grid is where the operator was.
    if (CellEditor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    CellEditor->hide();
}
