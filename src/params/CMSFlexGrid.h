#pragma once

#include <QColor>
#include <QString>
#include <QTableWidget>

// The parameter table's grid control: three columns, a fixed header row and
// two fixed columns, reached through the control's own members (rows, the
// current cell, its text, colours, cell geometry and column widths).
//
// Grid row 0 is the header row and lives in the horizontal header, so it
// stays in view while the rows scroll and screen readers take it for the
// column headers; grid row r >= 1 is table row r - 1. The operator can make
// only cells of the third column current; the program can move the current
// cell anywhere, and reading or writing a cell does so, as with the control.
// Positions and sizes are in twips (1/1440 inch) of logical pixels (1/96
// inch), so they are exact at any device pixel ratio.
class CMSFlexGrid : public QTableWidget {
    Q_OBJECT

public:
    static constexpr long TwipsPerPixel = 15;
    static constexpr long Cols = 3;
    static constexpr long FixedRows = 1;
    static constexpr long FixedCols = 2;

    explicit CMSFlexGrid(QWidget *parent = nullptr);

    // Rows including the header row; at least the header row.
    long GetRows() const { return rowCount() + FixedRows; }
    void SetRows(long rows);
    long GetCols() const { return Cols; }

    // The current cell. Moving it to another cell reports LeaveCell() first,
    // while the cell being left is still the current one. Positions outside
    // the grid are ignored.
    long GetRow() const { return currentGridRow; }
    void SetRow(long row);
    long GetCol() const { return currentGridCol; }
    void SetCol(long col);

    // Text of the current cell.
    QString GetText() const;
    void SetText(const QString &text);

    // Background of the cells the operator can edit; the fixed cells keep
    // the colour of buttons, as the control's fixed cells do.
    void SetBackColor(const QColor &colour);
    QColor GetBackColor() const { return cellColour; }
    // Background of the area outside the cells.
    void SetBackColorBkg(const QColor &colour);
    QColor GetBackColorBkg() const;

    // The current cell's rectangle as the grid shows it (inside its grid
    // lines), relative to the grid's own top-left corner.
    long GetCellLeft() const { return cellRect().left() * TwipsPerPixel; }
    long GetCellTop() const { return cellRect().top() * TwipsPerPixel; }
    long GetCellWidth() const { return cellRect().width() * TwipsPerPixel; }
    long GetCellHeight() const { return cellRect().height() * TwipsPerPixel; }

    long GetColWidth(long col) const { return columnWidth(int(col)) * TwipsPerPixel; }
    void SetColWidth(long col, long twips);

    // The table index of a grid cell below the header row; invalid for the
    // header row and outside the grid.
    QModelIndex cellIndex(long row, long col) const;
    // Whether the operator may make the cell current and edit it.
    bool isEditableCell(long row, long col) const;

signals:
    // The current cell is about to be left (the control's LeaveCell event).
    void LeaveCell();

protected:
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

    // The rectangle of the current cell in the grid's own coordinates.
    QRect cellRect() const;
    bool onFixedCell(const QPoint &viewportPosition) const;

private:
    void moveCurrent(long row, long col);
    void showCurrentInView();
    QTableWidgetItem *newCell(int column) const;
    QTableWidgetItem *itemAtCurrent() const;
    void fitRowHeightToFont();

    long currentGridRow = 0;
    long currentGridCol = 0;
    // Set while the view's current index follows a move of the program's,
    // so that move is not taken for one of the operator's.
    bool followingProgram = false;
    QColor cellColour;
};
