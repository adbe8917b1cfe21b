#pragma once

#include <QColor>
#include <QListWidget>

// A list of named colours, one a row: the left half of a row shows the
// colour as a framed swatch, the right half its text. Double-clicking opens
// the colour chooser on the selected row's colour and puts the chosen one in
// its place. Screen readers get each row's text and its colour's name.
class ColourListBox : public QListWidget {
    Q_OBJECT

public:
    // The item data role that holds a row's QColor.
    static constexpr int ColourRole = Qt::UserRole + 1;
    static constexpr int RowHeight = 20;

    explicit ColourListBox(QWidget *parent = nullptr);

    void addRow(const QString &text, const QColor &colour);
    // The colour of the row; invalid outside the list.
    QColor colour(int row) const;
    // Gives the selected row another colour, keeping its text and place;
    // nothing when no row is selected.
    void setSelectedColour(const QColor &colour);
    // The selected row, or -1.
    int selectedRow() const;

protected:
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    static void setRowColour(QListWidgetItem &item, const QColor &colour);
};
