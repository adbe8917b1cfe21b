#pragma once

#include "CommandIds.h"
#include "ParameterData.h"

#include <QDialog>

#include <array>
#include <functional>

class CEditGrid;
class Language;
class Prompts;
class QGroupBox;
class QPushButton;
class QRadioButton;

// The table of one meter's parameters as last read: number, caption and
// value per row. The operator edits values in place and writes either all
// parameters or only those whose value differs from the baseline (the value
// as loaded or as last written as changed). The window only prepares the
// write list and hands it to the line; it never talks to the meter itself.
// Modeless, created hidden, destroyed when closed.
class ParameterDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int DialogId = ResourceId::ParameterDialog;
    static constexpr int GridId = 1078;
    static constexpr int GroupId = 1121;
    static constexpr int WriteAllId = 1093;
    static constexpr int WriteChangedId = 1094;

    // Starts the line's write run for the list; false when the line refused
    // it (the line tells the user why).
    using Writer = std::function<bool(const ParameterWriteList &)>;
    // True while an earlier write is still running; a new write is then
    // refused before anything is asked.
    using Busy = std::function<bool()>;
    ParameterDialog(const ParameterDisplay &display, const Language &language, Prompts &prompts,
                    Writer startWrite, QWidget *parent = nullptr, Busy writeRunning = {});

    CEditGrid *grid() const { return table; }
    const ParameterWriteList &writeList() const { return list; }
    // The reference value of the parameter at `position` (0-based); 0 outside
    // the table.
    double baseline(int position) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void buildLayout();
    void setTexts();
    void loadGrid(const ParameterDisplay &display);
    void setColumnWidths();
    void fitInitialSize();
    QString cell(long row, long col);
    void setCell(long row, long col, const QString &text);

    void write();
    bool valuesWritable();
    void writeChanged();
    void writeAll();
    void collectAllRows();
    bool collectChangedRows();

    bool gridKey(int key);
    bool editorKey(int key);

    const Language &languageSource;
    Prompts &prompts;
    Writer startWrite;
    Busy writeRunning;
    // 0 Chinese, 1 English: taken when the window is built and again when
    // the write button is pressed.
    int language = 0;
    int rowCount = 0;
    std::array<bool, MaxParameters> oneDecimal{};
    std::array<double, MaxParameters> baselineValues{};
    ParameterWriteList list;

    CEditGrid *table = nullptr;
    QGroupBox *writeGroup = nullptr;
    QRadioButton *writeAllRadio = nullptr;
    QRadioButton *writeChangedRadio = nullptr;
    QPushButton *writeButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
