#pragma once

#include "AlarmMarks.h"
#include "HistoryStore.h"

#include <QColor>
#include <QList>
#include <QWidget>

class QRubberBand;

// The plot of the history chart: the recorded values of some meters over a
// time range, reduced to one column per pixel (each column drawn from its
// true minimum to its true maximum), with a time axis in local time, a value
// axis fitted to the values, a legend, and a break in a meter's curve where it
// did not answer. The wheel zooms around the pointer, dragging pans, dragging
// with the right button zooms into the span, a double-click asks for the
// whole range again. It asks for new data through viewChanged(); it never
// reads the history itself.
class HistoryPlot : public QWidget {
    Q_OBJECT

public:
    explicit HistoryPlot(QWidget *parent = nullptr);

    void setData(qint64 fromMs, qint64 toMs, const QList<HistorySeries> &series,
                 const QList<QColor> &colours);
    qint64 fromMs() const { return from; }
    qint64 toMs() const { return to; }
    // The area of the columns; its width is the number of columns to ask for.
    QRect plotRect() const;
    // The text of the values under x: the column's time and each meter's
    // value there (its range when the column holds several), in the language
    // set.
    QString readoutAt(int x) const;
    void setNoDataText(const QString &text) { noData = text; }
    // The language of the readout and the legend; a readout on show is
    // told again in it.
    void setLanguage(int language);
    QPair<double, double> valueRange() const { return {lower, upper}; }
    // The limits drawn as dashed lines (the value axis takes them in) and
    // the alarm spans marked as a band along the top of the plot.
    void setAlarmMarks(const QList<LimitLine> &limits, const QList<AlarmSpan> &spans);
    const QList<LimitLine> &limitLines() const { return limitMarks; }
    const QList<AlarmSpan> &alarmSpans() const { return spanMarks; }

signals:
    void viewChanged(qint64 fromMs, qint64 toMs);
    void resetRequested();
    void readout(const QString &text);

protected:
    void paintEvent(QPaintEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitValues();
    qint64 timeAt(int x) const;
    int xOf(qint64 msecs) const;
    int yOf(double value) const;
    void drawAxes(QPainter &painter) const;
    void drawSeries(QPainter &painter) const;
    void drawLegend(QPainter &painter) const;
    void drawAlarmMarks(QPainter &painter) const;
    QString columnText(const HistoryColumn &column) const;

    qint64 from = 0;
    qint64 to = 0;
    QList<HistorySeries> shown;
    QList<QColor> seriesColours;
    QList<LimitLine> limitMarks;
    QList<AlarmSpan> spanMarks;
    double lower = 0.0;
    double upper = 100.0;
    QString noData;
    int language = 0;
    // Where the pointer last asked for a readout, -1 before it did: the
    // readout shown stays until the pointer moves again.
    int readoutX = -1;
    QPoint pressedAt;
    qint64 pressedFrom = 0;
    qint64 pressedTo = 0;
    bool panning = false;
    QRubberBand *band = nullptr;
};
