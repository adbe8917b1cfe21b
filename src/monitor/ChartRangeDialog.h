#pragma once

#include <QDialog>
#include <QPixmap>

class Language;
class NumericEdit;
class Prompts;
class QLabel;
class QPushButton;

// The chart's upper and lower limit, asked for by the main view's chart
// range command. The view keeps one dialog and runs it modally again and
// again; each run starts from the limits last set or accepted, whatever was
// typed in a cancelled run. Five characters can be typed into each edit.
class ChartRangeDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int TypingLimit = 5;

    ChartRangeDialog(const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    // The limits the next run shows.
    void setLimits(double upper, double lower);
    // The limits last set, or last accepted with OK.
    double upper() const { return upperValue; }
    double lower() const { return lowerValue; }

    // The warning sign beside an edit, 32 by 32 logical pixels: a yellow
    // diamond with an arrow pointing up to a bar (the upper limit) or down
    // onto one (the lower limit), drawn for the given device pixel ratio.
    static QPixmap limitSign(bool upperLimit, qreal devicePixelRatio);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildLayout();
    void setTexts();
    void drawSigns();
    void showLimits();
    void confirm();

    const Language &languageSource;
    Prompts &prompts;
    double upperValue = 0;
    double lowerValue = 0;

    QLabel *upperIcon = nullptr;
    QLabel *lowerIcon = nullptr;
    QLabel *upperCaption = nullptr;
    QLabel *lowerCaption = nullptr;
    NumericEdit *upperEdit = nullptr;
    NumericEdit *lowerEdit = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
