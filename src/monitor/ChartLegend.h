#pragma once

#include <QColor>
#include <QList>
#include <QListWidget>

class Language;
class LiveValueTable;

// The key beside the real-time chart: one row per watched meter, in curve
// order, with the curve's colour, the meter's "%d#" and its latest value as
// the live-value model has it ("----" for a meter that does not answer, as
// the value panels show it). Rows follow the model's signals one by one.
class ChartLegend : public QListWidget {
    Q_OBJECT

public:
    ChartLegend(const LiveValueTable &values, const Language &language, QWidget *parent = nullptr);

    // The watched meters, curve i being addresses[i] drawn in colours[i].
    void setCurves(const QList<int> &addresses, const QList<QColor> &colours);
    void setColour(int curve, const QColor &colour);
    QList<int> addresses() const { return meters; }
    QString rowText(int curve) const;
    QColor rowColour(int curve) const;
    // A small square of the colour with a black edge, as the rows show it.
    static QIcon swatch(const QColor &colour, qreal devicePixelRatio);

private:
    void refreshMeter(int address);
    void refreshRow(int curve);
    void retranslate();

    const LiveValueTable &values;
    const Language &language;
    QList<int> meters;
};
