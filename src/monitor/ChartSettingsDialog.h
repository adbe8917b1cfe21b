#pragma once

#include <QColor>
#include <QDialog>
#include <QList>

class ColourListBox;
class Language;
class Prompts;
class QLabel;
class QLineEdit;
class QPushButton;

// The monitoring panel's chart options: one colour per watched curve and
// the chart's lower and upper limit. The values are handed back only when
// the operator confirms them with OK and they pass the limit checks.
class ChartSettingsDialog : public QDialog {
    Q_OBJECT

public:
    // At most as many curves as meters on the line.
    static constexpr int MaxCurves = 64;

    ChartSettingsDialog(const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    // Fills the dialog; row i of the list is curve i + 1 in colours[i].
    void setValues(double lower, double upper, const QList<QColor> &colours);
    // The values set, replaced by those confirmed with OK.
    double lowerLimit() const { return lowerValue; }
    double upperLimit() const { return upperValue; }
    QList<QColor> colours() const { return colourValues; }

    ColourListBox *colourList() const { return list; }

private:
    void buildLayout();
    void setTexts();
    void confirm();

    const Language &languageSource;
    Prompts &prompts;
    double lowerValue = 0;
    double upperValue = 0;
    QList<QColor> colourValues;

    QLabel *listCaption = nullptr;
    ColourListBox *list = nullptr;
    QLabel *upperCaption = nullptr;
    QLineEdit *upperEdit = nullptr;
    QLabel *lowerCaption = nullptr;
    QLineEdit *lowerEdit = nullptr;
    QPushButton *okButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
