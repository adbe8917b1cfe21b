#pragma once

#include "CommandIds.h"

#include <QDialog>

class TextProgressBar;

// The small borderless window that shows how far a read or a write of a
// meter's parameters has got. It only displays: the main window creates it,
// feeds it range, position and text, and deletes it when the transfer ends.
// Nothing else closes it: Enter, Escape and close requests are refused.
class ProgressDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int DialogId = ResourceId::ProgressDialog;
    static constexpr int BarId = 1080;

    explicit ProgressDialog(QWidget *parent = nullptr, int language = 0);

    // The range is held as two signed 16-bit values, as the meter protocol
    // counts its registers.
    void SetRange(int low, int high);
    void SetPos(int position);
    // Shows prefix followed by position * 100 / (high - low) in integer
    // arithmetic and a percent sign (the low end is not subtracted from the
    // position). An empty range shows the prefix alone.
    void SetText(const QString &prefix, int position);

    qint16 low() const { return rangeLow; }
    qint16 high() const { return rangeHigh; }
    TextProgressBar *progressBar() const { return bar; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void buildLayout();
    void centreOnParent();

    TextProgressBar *bar = nullptr;
    qint16 rangeLow = 0;
    qint16 rangeHigh = 100;
};
