#include "RealtimeChart.h"

#include <QPainter>
#include <QTime>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kMinorPerDivision = 5;
const QColor kTimeColour{0, 0, 255};

} // namespace

RealtimeChart::RealtimeChart(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("chart"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    for (int i = 0; i < kMaxCurves; ++i)
        lineColours[i] = defaultLineColour(i);
    hide();
}

void RealtimeChart::create(const QRect &rect)
{
    restart = true;
    sampleStep = ChartScale::stepFor(rect.width());
    setGeometry(rect);
    show();
}

void RealtimeChart::setTitle(const QString &title)
{
    chartTitle = title;
    setAccessibleName(title);
    update();
}

void RealtimeChart::setMargins(int top, int bottom, int left, int right)
{
    margins = {top, bottom, left, right};
}

void RealtimeChart::setDivisions(int count)
{
    divisions = std::max(1, count);
}

void RealtimeChart::setGridColour(const QColor &colour)
{
    gridColour = colour;
}

void RealtimeChart::setLineColour(int index, const QColor &colour)
{
    if (index >= 0 && index < kMaxCurves)
        lineColours[index] = colour;
}

QColor RealtimeChart::lineColour(int index) const
{
    return index >= 0 && index < kMaxCurves ? lineColours[index] : QColor();
}

QColor RealtimeChart::defaultLineColour(int index)
{
    static const QColor fixed[] = {{255, 0, 0},     {0, 255, 0},    {0, 0, 255},     {255, 255, 0},
                                   {0, 255, 255},   {255, 0, 255},  {255, 100, 100}, {255, 100, 255},
                                   {100, 100, 255}, {150, 255, 255}};
    constexpr int kFixed = std::size(fixed);
    if (index >= 0 && index < kFixed)
        return fixed[index];
    // Golden-angle hues, alternating in brightness, stay distinct for the
    // 64 meters a line can carry; all are bright enough on black.
    const int n = index - kFixed;
    return QColor::fromHsv((n * 137 + 20) % 360, n % 2 ? 160 : 255, 255);
}

void RealtimeChart::setRange(double lowerLimit, double upperLimit)
{
    lower = lowerLimit;
    upper = upperLimit;
    redrawGrid();
}

int RealtimeChart::plotHeight() const
{
    return ChartScale::plotHeight(contentsRect().height(), margins);
}

void RealtimeChart::redrawGrid()
{
    storedSets = 0;
    joinable = 0;
    gridDrawn = true;
    drawGrid();
    restart = true;
    update();
}

void RealtimeChart::drawGrid()
{
    const QSize client = contentsRect().size();
    const QSize size = ChartScale::imageSize(sampleStep, client, margins);
    const qreal ratio = devicePixelRatioF();
    if (size.isEmpty()) {
        picture = QImage();
        return;
    }
    picture = QImage(size * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::black);

    // Filled rectangles rather than pen strokes: a logical pixel covers
    // whole device pixels at any ratio, so the grid stays sharp.
    QPainter painter(&picture);
    const int height = plotHeight();
    const int right = size.width();
    for (int i = 0; i <= divisions; ++i) {
        painter.fillRect(0, ChartScale::majorLineY(i, height, divisions), right, 1, gridColour);
        if (i == divisions)
            break;
        for (int k = kMinorPerDivision * i + 1; k < kMinorPerDivision * (i + 1); ++k)
            painter.fillRect(0, ChartScale::minorLineY(k, height, divisions), right, 1, minorGridColour);
    }
    // Dotted, one pixel on and two off, at every step across the picture:
    // the same lines the shift carries in from the strip.
    for (int x = 0; x < right; x += std::max(1, sampleStep))
        for (int y = 0; y < client.height(); y += 3)
            painter.fillRect(x, y, 1, 1, gridColour);
}

void RealtimeChart::drawPicture()
{
    drawGrid();
    if (picture.isNull())
        return;
    // Oldest first, each set moved right by the steps the picture would have
    // shifted since it was drawn, so newer segments cover older ones as they
    // do on the running picture. Sets that begin right of it are skipped.
    QPainter painter(&picture);
    const int right = static_cast<int>(picture.width() / picture.devicePixelRatio());
    for (int age = storedSets - 1; age >= 0; --age)
        if ((age + 1) * sampleStep < right)
            drawSet(painter, age);
}

void RealtimeChart::addSamples(std::span<const double> samples)
{
    curves = static_cast<int>(std::min<std::size_t>(samples.size(), kMaxCurves));
    for (int i = 0; i < curves; ++i)
        values[i] = ChartScale::clampToRange(samples[i], lower, upper);
    // Before the first range there is no picture to plot on; the samples of
    // a chart squeezed too small for one are still kept for a redraw.
    if (gridDrawn) {
        storeSet();
        plot();
    }
    update();
}

double RealtimeChart::sampleValue(int index) const
{
    return index >= 0 && index < kMaxCurves ? values[index] : 0.0;
}

void RealtimeChart::storeSet()
{
    const int previous = newestSet;
    newestSet = (newestSet + 1) % kHistory;
    storedSets = std::min(storedSets + 1, kHistory);
    if (restart)
        joinable = 0;
    restart = false;
    marks[newestSet] = {curves, joinable};
    if (rings.size() < static_cast<std::size_t>(curves))
        rings.resize(curves);
    for (int i = 0; i < curves; ++i)
        rings[i][newestSet] = ChartScale::heightFraction(values[i], lower, upper);
    for (int i = curves; i < joinable; ++i)
        rings[i][newestSet] = rings[i][previous];
    joinable = std::max(joinable, curves);
}

void RealtimeChart::shiftPicture()
{
    // The plot's rows move right by one step; the strip left of them keeps
    // its pixels, the grid that the next shift carries into view again.
    const qreal ratio = picture.devicePixelRatio();
    const int step = static_cast<int>(sampleStep * ratio);
    const int width = picture.width() - step;
    const int rows = std::min(picture.height(), static_cast<int>((plotHeight() + 1) * ratio));
    if (width <= 0 || step <= 0)
        return;
    for (int y = 0; y < rows; ++y) {
        uchar *row = picture.scanLine(y);
        std::memmove(row + step * 4, row, static_cast<std::size_t>(width) * 4);
    }
}

void RealtimeChart::plot()
{
    if (picture.isNull())
        return;
    shiftPicture();
    QPainter painter(&picture);
    drawSet(painter, 0);
}

void RealtimeChart::drawSet(QPainter &painter, int age) const
{
    // The set is drawn where the newest one goes, then moved by whole device
    // pixels as the shifts move it, so a redraw matches the running picture.
    const qreal ratio = picture.devicePixelRatio();
    const int shift = static_cast<int>(sampleStep * ratio);
    painter.setTransform(QTransform::fromTranslate(age * shift / ratio, 0.0));
    // The strip left of the newest points is the grid template that every
    // shift copies into view; a curve's round end must not spill into it.
    painter.setClipRect(sampleStep, 0, picture.width(), picture.height());

    const int slot = slotOf(age);
    const int older = slotOf(age + 1);
    // The oldest set kept lies out of view; what it joined is gone.
    const int joined = age + 1 < storedSets ? marks[slot].joined : 0;
    const int height = plotHeight();
    QPen pen(Qt::black, kLineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    for (int i = 0; i < marks[slot].count; ++i) {
        const QPoint newest(newestX(), ChartScale::fractionToY(rings[i][slot], height));
        // A restarted curve has no segment yet, only its first point.
        const QPoint previous =
            i < joined ? QPoint(2 * sampleStep, ChartScale::fractionToY(rings[i][older], height)) : newest;
        pen.setColor(lineColours[i]);
        painter.setPen(pen);
        if (newest == previous)
            painter.drawPoint(newest);
        else
            painter.drawLine(newest, previous);
    }
}

void RealtimeChart::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    sampleStep = ChartScale::stepFor(width());
    // A picture of the old size would leave part of the plot empty or cut
    // off; the new one shows the same samples at the new step and height.
    if (gridDrawn)
        drawPicture();
}

void RealtimeChart::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    if (picture.isNull())
        return;
    // The screen changed under the chart: a picture of the old ratio would
    // be scaled and blurred.
    if (!qFuzzyCompare(picture.devicePixelRatio(), devicePixelRatioF()))
        drawPicture();

    const QRect client = contentsRect();
    const int height = plotHeight();
    QPainter painter(this);
    const qreal ratio = picture.devicePixelRatio();
    const QRect source(static_cast<int>(sampleStep * ratio), 0,
                       static_cast<int>((client.width() - margins.left) * ratio),
                       static_cast<int>(height * ratio));
    painter.drawImage(QPoint(client.left() + margins.left, client.top() + margins.top), picture, source);

    painter.setPen(palette().color(QPalette::WindowText));
    for (int i = 0; i <= divisions; ++i)
        painter.drawText(QPoint(client.left() + 2, client.top() + ChartScale::labelTop(i, height, divisions) +
                                                       painter.fontMetrics().ascent()),
                         ChartScale::labelText(i, lower, upper, divisions));
    painter.drawText(QRect(client.left(), client.top(), client.width(), margins.top),
                     Qt::AlignHCenter | Qt::AlignTop, chartTitle);

    const QString time = QTime::currentTime().toString(QStringLiteral("^HH:mm:ss"));
    const QRect timeRect = painter.fontMetrics().boundingRect(time);
    const QPoint timeTop(client.left() + margins.left - 2, client.top() + margins.top + height);
    painter.fillRect(QRect(timeTop, timeRect.size()), palette().color(QPalette::Base));
    painter.setPen(kTimeColour);
    painter.drawText(QRect(timeTop, timeRect.size()), Qt::AlignLeft | Qt::AlignTop, time);
}
