#pragma once

#include "ChartScale.h"

#include <QColor>
#include <QFrame>
#include <QImage>

#include <array>
#include <span>
#include <vector>

class QPainter;

// A strip chart of up to 1024 curves. Its picture lives in an off-screen
// image: every set of samples shifts the image one step to the right and
// draws the newest segment of each curve at the left edge, so the newest
// sample is always at the left of the plot and older ones travel right until
// they leave the window. A sample costs one shift and one segment per curve.
//
// Each curve also keeps, in a small ring, the samples that can still be on
// screen, so a resize redraws the picture at the new step and height with
// everything it showed. Changing the range or redrawing the grid starts a
// fresh, empty picture on which every curve continues from its next value
// without a joining segment.
//
// The image is made at the screen's device pixel ratio, so lines stay crisp
// on high-density screens.
class RealtimeChart : public QFrame {
    Q_OBJECT

public:
    static constexpr int kMaxCurves = 1024;
    static constexpr int kLineWidth = 3;
    // Sample sets each curve keeps for a redraw. The step is the chart's
    // width / 11, so the plot is at most 11 + 10 / step steps wide, 21 at the
    // smallest step of one pixel: no more than 22 sets reach into view, and
    // the oldest of them joins one set older still.
    static constexpr int kHistory = 2 * ChartScale::kStepsAcross + 1;

    explicit RealtimeChart(QWidget *parent = nullptr);

    // Places the chart at `rect` of its parent and shows it. The step
    // between samples follows the width, here and on every resize.
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
    // Starts a fresh picture: black, with the grid, every curve restarting
    // and nothing plotted before kept for a later redraw.
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
    // What one set of samples drew: curves below `count` have a point in it;
    // those below `joined` have a segment back to the set before, none after
    // a restart.
    struct SetMarks {
        int count = 0;
        int joined = 0;
    };

    void drawGrid();
    void drawPicture();
    void storeSet();
    void shiftPicture();
    void plot();
    void drawSet(QPainter &painter, int age) const;
    int slotOf(int age) const { return (newestSet + kHistory - age) % kHistory; }

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
    // A range or grid redraw has been asked for: the chart has a picture to
    // keep, even while it is too small to hold one.
    bool gridDrawn = false;
    QImage picture;
    std::array<QColor, kMaxCurves> lineColours;
    std::array<double, kMaxCurves> values{};

    // One ring per curve, grown to the most curves ever fed: the height
    // fraction of each of its last kHistory samples. A curve left out of a
    // set keeps its last fraction there, the height it joins when it returns.
    std::vector<std::array<float, kHistory>> rings;
    std::array<SetMarks, kHistory> marks{};
    int newestSet = 0;
    int storedSets = 0;
    // Curves with a point since the last restart: the ones a segment joins.
    int joinable = 0;
};
