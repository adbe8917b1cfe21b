#pragma once

#include "CMSFlexGrid.h"

class QLineEdit;

// The grid with in-place editing: a plain edit box, the `CellEditor`, floats
// over the current cell while the operator types, and its text goes into
// the cell when the edit ends. The grid's own item editing is off; every
// edit passes through the CellEditor. The grid keeps no notion of changed
// cells: whoever loaded the cells compares their texts.
class CEditGrid : public CMSFlexGrid {
    Q_OBJECT

public:
    // Characters with a meaning of their own when they start an edit.
    static constexpr char16_t Backspace = u'\b';
    static constexpr char16_t Enter = u'\r';

    explicit CEditGrid(QWidget *parent = nullptr);

    QLineEdit *cellEditor() const { return CellEditor; }
    bool isEditing() const;

    // Starts editing the current cell as if `typed` had been typed on the
    // grid: Backspace and space start with an empty editor, Enter with the
    // cell's text all selected, any other character with just that
    // character. Cells the operator cannot edit are left alone; returns
    // whether an edit started.
    bool startEdit(QChar typed);
    // Stores the editor's text in the current cell and hides the editor;
    // nothing while no edit is in progress.
    void commit();
    // Commits, then moves the focus to the next control after the grid.
    void commitAndLeave();
    // Enter in the editor: stores the edit and gives the focus back to the
    // grid.
    void storeEdit();
    // Escape in the editor: the cell keeps its text.
    void cancelEdit();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void attach();
    void placeEditor();
    void hideEditor();

    QLineEdit *CellEditor = nullptr;
};
