#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QPainter;

// A progress bar that paints itself: the part up to the position in one
// colour, the rest in another, and a centred line of text that takes the
// colour of the rest where it lies over the bar and the colour of the bar
// where it lies over the rest. The bar is redrawn only when the filled width
// in pixels changes, and it is drawn through an off-screen image, so a stream
// of position updates neither flickers nor costs a repaint each.
class TextProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit TextProgressBar(QWidget *parent = nullptr);

    // Stores the range; the picture follows at the next position change.
    void setRange(int lower, int upper);
    int lower() const { return lowerEnd; }
    int upper() const { return upperEnd; }

    // Each returns the previous position.
    int setPos(int position);
    int step();
    int offset(int delta);
    int pos() const { return position; }

    // Returns the previous step.
    int setStep(int step);
    int stepSize() const { return stepValue; }

    void showText(bool on);
    bool textShown() const { return textVisible; }

    // A text shown instead of the computed percentage; empty shows the
    // percentage.
    void setText(const QString &text);
    QString text() const { return customText; }
    // What the bar shows at present: the text, or the percentage.
    QString shownText() const;

    void setBarColour(const QColor &colour) { barColour = colour; }
    QColor getBarColour() const { return barColour; }
    void setBackColour(const QColor &colour) { backColour = colour; }
    QColor getBackColour() const { return backColour; }
    void setTextColour(const QColor &colour) { textColour = colour; }
    QColor getTextColour() const { return textColour; }
    void setTextOnBarColour(const QColor &colour) { textOnBarColour = colour; }
    QColor getTextOnBarColour() const { return textOnBarColour; }

    // Draws the bar into `rect` of any paint device (a printer, an image).
    void draw(QPainter &painter, const QRect &rect) const;

    // How many times the bar has painted itself: lets tests see that a
    // position change that keeps the filled width costs no repaint.
    int paintCount() const { return paints; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    double fraction() const;
    int filledPixels(int width) const;

    int position = 0;
    int stepValue = 1;
    int upperEnd = 100;
    int lowerEnd = 0;
    QString customText;
    bool textVisible = true;
    int lastPixel = -1;
    QColor barColour;
    QColor backColour;
    QColor textColour;
    QColor textOnBarColour;
    int paints = 0;
};
