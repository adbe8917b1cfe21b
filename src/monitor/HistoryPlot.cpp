#include "HistoryPlot.h"

#include "HistoryAxis.h"
#include "HistoryTexts.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr int kLeftGap = 60;
constexpr int kRightGap = 12;
constexpr int kTopGap = 12;
constexpr int kBottomGap = 40;
constexpr qint64 kShortestSpanMs = 10 * 1000;
constexpr int kReadoutReach = 12;
constexpr double kZoomStep = 0.8;
const QColor kBackground(252, 252, 252);
const QColor kGrid(220, 220, 220);

QString timeLabel(qint64 msecs, qint64 stepMs)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(msecs);
    constexpr qint64 kDayMs = 24 * 3600 * 1000;
    if (stepMs >= kDayMs)
        return time.toString(QStringLiteral("MM-dd"));
    if (time.time().msecsSinceStartOfDay() == 0)
        return time.toString(QStringLiteral("MM-dd"));
    return time.toString(stepMs < 60 * 1000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
}

} // namespace

HistoryPlot::HistoryPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("historyPlot"));
    setMouseTracking(true);
    setMinimumSize(400, 250);
    setFocusPolicy(Qt::StrongFocus);
    band = new QRubberBand(QRubberBand::Rectangle, this);
}

void HistoryPlot::setData(qint64 fromMs, qint64 toMs, const QList<HistorySeries> &series,
                          const QList<QColor> &colours)
{
    from = fromMs;
    to = std::max(toMs, fromMs + 1);
    shown = series;
    seriesColours = colours;
    fitValues();
    update();
}

void HistoryPlot::setAlarmMarks(const QList<LimitLine> &limits, const QList<AlarmSpan> &spans)
{
    limitMarks = limits;
    spanMarks = spans;
    fitValues();
    update();
}

void HistoryPlot::setLanguage(int lang)
{
    if (lang == language)
        return;
    language = lang;
    update();
    if (readoutX >= 0)
        emit readout(readoutAt(readoutX));
}

QRect HistoryPlot::plotRect() const
{
    return rect().adjusted(kLeftGap, kTopGap, -kRightGap, -kBottomGap);
}

void HistoryPlot::fitValues()
{
    bool any = false;
    double low = 0.0;
    double high = 0.0;
    for (const HistorySeries &series : shown)
        for (const HistoryColumn &column : series.columns) {
            if (column.values == 0)
                continue;
            low = any ? std::min(low, column.min) : column.min;
            high = any ? std::max(high, column.max) : column.max;
            any = true;
        }
    if (!any) {
        lower = 0.0;
        upper = 100.0;
        return;
    }
    // A limit near the values is drawn too; one far off would squash them.
    const double near = std::max(high - low, 1.0);
    for (const LimitLine &line : limitMarks)
        if (line.value >= low - near && line.value <= high + near) {
            low = std::min(low, line.value);
            high = std::max(high, line.value);
        }
    // A little room above and below, and some height for a flat line.
    const double margin = std::max((high - low) * 0.05, 0.5);
    lower = low - margin;
    upper = high + margin;
}

qint64 HistoryPlot::timeAt(int x) const
{
    const QRect area = plotRect();
    const double share = area.width() > 0 ? double(x - area.left()) / area.width() : 0.0;
    return from + qint64(std::llround(share * double(to - from)));
}

int HistoryPlot::xOf(qint64 msecs) const
{
    const QRect area = plotRect();
    return area.left() + int(double(msecs - from) / double(to - from) * area.width());
}

int HistoryPlot::yOf(double value) const
{
    const QRect area = plotRect();
    return area.bottom() - int((value - lower) / (upper - lower) * area.height());
}

void HistoryPlot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.fillRect(plotRect(), kBackground);
    drawAxes(painter);
    drawAlarmMarks(painter);
    drawSeries(painter);
    drawLegend(painter);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(plotRect());
    const bool empty = std::all_of(shown.begin(), shown.end(), [](const HistorySeries &series) {
        return std::all_of(series.columns.begin(), series.columns.end(),
                           [](const HistoryColumn &column) { return column.values == 0; });
    });
    if (empty && !noData.isEmpty())
        painter.drawText(plotRect(), Qt::AlignCenter, noData);
}

void HistoryPlot::drawAxes(QPainter &painter) const
{
    const QRect area = plotRect();
    const QFontMetrics metrics = painter.fontMetrics();
    const qint64 offset = QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc() * 1000LL;
    const qint64 step = HistoryAxis::timeStep(to - from, std::max(2, area.width() / 110));
    for (qint64 tick : HistoryAxis::timeTicks(from, to, step, offset)) {
        const int x = xOf(tick);
        painter.setPen(kGrid);
        painter.drawLine(x, area.top(), x, area.bottom());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawLine(x, area.bottom(), x, area.bottom() + 4);
        const QString label = timeLabel(tick, step);
        painter.drawText(x - metrics.horizontalAdvance(label) / 2, area.bottom() + 6 + metrics.ascent(),
                         label);
    }
    // The date of the range's start under the axis, so that times read whole.
    painter.drawText(area.left(), area.bottom() + 8 + 2 * metrics.height() - metrics.descent(),
                     QDateTime::fromMSecsSinceEpoch(from).toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    const double valueStep = HistoryAxis::valueStep(lower, upper, std::max(2, area.height() / 40));
    for (double tick : HistoryAxis::valueTicks(lower, upper, valueStep)) {
        const int y = yOf(tick);
        painter.setPen(kGrid);
        painter.drawLine(area.left(), y, area.right(), y);
        painter.setPen(palette().color(QPalette::WindowText));
        const QString label = QString::number(tick, 'g', 6);
        painter.drawText(area.left() - 6 - metrics.horizontalAdvance(label), y + metrics.ascent() / 2, label);
    }
}

void HistoryPlot::drawAlarmMarks(QPainter &painter) const
{
    const QRect area = plotRect();
    painter.save();
    painter.setClipRect(area);
    for (const LimitLine &line : limitMarks) {
        if (line.value < lower || line.value > upper)
            continue;
        painter.setPen(QPen(line.colour, 1, Qt::DashLine));
        const int y = yOf(line.value);
        painter.drawLine(area.left(), y, area.right(), y);
    }
    // Overlapping spans of several meters deepen the band where they meet.
    const QColor band(220, 0, 0, 70);
    const int height = std::max(4, area.height() / 40);
    for (const AlarmSpan &span : spanMarks) {
        const int left = std::max(area.left(), xOf(span.fromMs));
        const int right = std::min(area.right(), xOf(span.toMs));
        painter.fillRect(QRect(left, area.top() + 1, std::max(1, right - left), height), band);
    }
    painter.restore();
}

void HistoryPlot::drawSeries(QPainter &painter) const
{
    const QRect area = plotRect();
    painter.save();
    painter.setClipRect(area);
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (int s = 0; s < shown.size(); ++s) {
        painter.setPen(QPen(seriesColours.value(s, Qt::black), 2));
        const QList<HistoryColumn> &columns = shown[s].columns;
        const double columnWidth = columns.isEmpty() ? 0.0 : double(area.width()) / columns.size();
        // The middle of the last column drawn, while the curve runs on.
        QPoint last;
        bool joined = false;
        for (int c = 0; c < columns.size(); ++c) {
            const HistoryColumn &column = columns[c];
            const int x = area.left() + int(c * columnWidth);
            if (column.values > 0) {
                const int top = yOf(column.max);
                const int bottom = yOf(column.min);
                if (joined)
                    painter.drawLine(last, QPoint(x, (top + bottom) / 2));
                painter.drawLine(x, top, x, bottom);
                last = QPoint(x, (top + bottom) / 2);
                joined = true;
            }
            // A meter that did not answer breaks its curve.
            if (column.silent)
                joined = false;
        }
    }
    painter.restore();
}

void HistoryPlot::drawLegend(QPainter &painter) const
{
    const QRect area = plotRect();
    const QFontMetrics metrics = painter.fontMetrics();
    int x = area.right() - 8;
    for (int s = int(shown.size()) - 1; s >= 0; --s) {
        const QString text = kHistoryMeter.text(language).arg(shown[s].address);
        const int width = metrics.horizontalAdvance(text) + 20;
        x -= width;
        painter.fillRect(QRect(x, area.top() + 8, 12, 12), seriesColours.value(s, Qt::black));
        painter.setPen(Qt::black);
        painter.drawRect(QRect(x, area.top() + 8, 12, 12));
        painter.drawText(x + 15, area.top() + 8 + metrics.ascent() - 1, text);
    }
}

QString HistoryPlot::readoutAt(int x) const
{
    const QRect area = plotRect();
    if (!area.contains(x, area.center().y()))
        return QString();
    const qint64 time = timeAt(x);
    QStringList values;
    for (const HistorySeries &series : shown) {
        const int columns = int(series.columns.size());
        const int c = columns > 0
                          ? std::clamp(int(double(x - area.left()) / area.width() * columns), 0, columns - 1)
                          : -1;
        if (c < 0)
            continue;
        // The nearest column that holds something, a few pixels either way:
        // with a meter recorded every few seconds most columns of a short
        // range are empty.
        int nearest = -1;
        for (int d = 0; d <= kReadoutReach && nearest < 0; ++d) {
            for (int candidate : {c - d, c + d}) {
                if (candidate >= 0 && candidate < columns &&
                    (series.columns[candidate].values > 0 || series.columns[candidate].silent)) {
                    nearest = candidate;
                    break;
                }
            }
        }
        if (nearest < 0)
            continue;
        const QString text = columnText(series.columns[nearest]);
        if (!text.isEmpty())
            values << kHistoryReadoutValue.text(language).arg(series.address).arg(text);
    }
    return kHistoryReadout.text(language).arg(
        QDateTime::fromMSecsSinceEpoch(time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        values.join(kHistoryReadoutGap.text(language)));
}

// One decimal, as the values were recorded.
QString HistoryPlot::columnText(const HistoryColumn &column) const
{
    if (column.values == 0)
        return column.silent ? kHistoryNoAnswer.text(language) : QString();
    if (column.min == column.max)
        return QString::number(column.min, 'f', 1);
    return kHistoryReadoutSpan.text(language).arg(QString::number(column.min, 'f', 1),
                                                  QString::number(column.max, 'f', 1));
}

void HistoryPlot::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0)
        return;
    const qint64 pivot = timeAt(int(event->position().x()));
    const double factor = std::pow(kZoomStep, notches);
    const qint64 newFrom = pivot - qint64((pivot - from) * factor);
    const qint64 newTo = pivot + qint64((to - pivot) * factor);
    if (newTo - newFrom >= kShortestSpanMs)
        emit viewChanged(newFrom, newTo);
    event->accept();
}

void HistoryPlot::mousePressEvent(QMouseEvent *event)
{
    pressedAt = event->position().toPoint();
    pressedFrom = from;
    pressedTo = to;
    if (event->button() == Qt::LeftButton) {
        panning = true;
        setCursor(Qt::ClosedHandCursor);
    } else if (event->button() == Qt::RightButton) {
        band->setGeometry(QRect(pressedAt, QSize(1, plotRect().height())));
        band->move(pressedAt.x(), plotRect().top());
        band->show();
    }
}

void HistoryPlot::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint at = event->position().toPoint();
    if (panning) {
        const QRect area = plotRect();
        const double msPerPixel = double(pressedTo - pressedFrom) / std::max(1, area.width());
        const qint64 shift = qint64((pressedAt.x() - at.x()) * msPerPixel);
        emit viewChanged(pressedFrom + shift, pressedTo + shift);
    } else if (band->isVisible()) {
        const int left = std::min(pressedAt.x(), at.x());
        band->setGeometry(left, plotRect().top(), std::abs(at.x() - pressedAt.x()) + 1, plotRect().height());
    }
    readoutX = at.x();
    emit readout(readoutAt(at.x()));
}

void HistoryPlot::mouseReleaseEvent(QMouseEvent *event)
{
    if (panning && event->button() == Qt::LeftButton) {
        panning = false;
        unsetCursor();
    } else if (band->isVisible() && event->button() == Qt::RightButton) {
        band->hide();
        const int x = event->position().toPoint().x();
        if (std::abs(x - pressedAt.x()) > 3) {
            const qint64 a = timeAt(std::min(x, pressedAt.x()));
            const qint64 b = timeAt(std::max(x, pressedAt.x()));
            if (b - a >= kShortestSpanMs)
                emit viewChanged(a, b);
        }
    }
}

void HistoryPlot::mouseDoubleClickEvent(QMouseEvent *)
{
    emit resetRequested();
}

void HistoryPlot::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The columns follow the width: the same span, data for the new width.
    if (to > from)
        emit viewChanged(from, to);
}
