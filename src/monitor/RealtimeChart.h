#pragma once

#include "ChartScale.h"

#include <QColor>
#include <QFrame>
#include <QImage>

#include <array>
#include <span>

// A strip chart of up to 1024 curves. Its picture lives in an off-screen
// image: every set of samples shifts the image one step to the right and
// draws the newest segment of each curve at the left edge, so the newest
// sample is always at the left of the plot and older ones travel right until
// they leave the window. Only the latest value and two points per curve are
// kept; nothing is ever redrawn from history.
//
// The image is made at the screen's device pixel ratio, so lines stay crisp
// on high-density screens. Changing the range, redrawing the grid or
// resizing the chart starts a fresh picture on which every curve continues
// from its next value without a joining segment.
class RealtimeChart : public QFrame {
    Q_OBJECT

public:
    static constexpr int kMaxCurves = 1024;
    static constexpr int kLineWidth = 3;

    explicit RealtimeChart(QWidget *parent = nullptr);

    // Places the chart at `rect` of its parent and shows it; the step
    // between samples follows from this width and stays when it is resized.
    void create(const QRect &rect);

    void setTitle(const QString &title);
    QString title() const { return chartTitle; }
    void setMargins(int top, int bottom, int left, int right);
    void setDivisions(int divisions);
    void setGridColour(const QColor &colour);
    void setLineColour(int index, const QColor &colour);
    QColor lineColour(int index) const;
    // The colour of a curve whose colour was never set: ten fixed colours,
    // then hues far enough apart to tell 64 curves apart.
    static QColor defaultLineColour(int index);

    // Stores the range and starts a fresh picture.
    void setRange(double lower, double upper);
    double lowerLimit() const { return lower; }
    double upperLimit() const { return upper; }
    // Rebuilds the picture: black, with the grid, every curve restarting.
    void redrawGrid();

    // One sample per curve, curve i taking values[i]; curves beyond the
    // values given stop and scroll away.
    void addSamples(std::span<const double> values);

    int step() const { return sampleStep; }
    int curveCount() const { return curves; }
    // The latest value of curve `index` as drawn (clamped to the range).
    double sampleValue(int index) const;
    bool restartPending() const { return restart; }
    // The picture, in device pixels; null until the first range or grid.
    const QImage &image() const { return picture; }
    // Picture x of the newest samples, in logical pixels.
    int newestX() const { return ChartScale::newestX(sampleStep, kLineWidth); }
    int plotHeight() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void shiftPicture();
    void plot();

    QString chartTitle;
    ChartScale::Margins margins;
    int divisions = 10;
    int sampleStep = 50;
    int curves = 10;
    QColor gridColour{180, 180, 0};
    QColor minorGridColour{0, 128, 0};
    double lower = 0.0;
    double upper = 100.0;
    bool restart = false;
    QImage picture;
    std::array<QColor, kMaxCurves> lineColours;
    std::array<double, kMaxCurves> values{};
    std::array<QPoint, kMaxCurves> newestPoints{};
    std::array<QPoint, kMaxCurves> previousPoints{};
};
