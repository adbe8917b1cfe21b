#include "MeterIcons.h"

#include <QList>
#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

struct IconColours {
    QColor casing;
    QColor dial;
    QColor needle;
};

// The selected item's picture lights up: a blue casing, a yellow dial and a
// red needle against the grey, white and black of the normal one.
const IconColours kNormalColours{QColor(110, 120, 135), QColor(250, 250, 246), QColor(30, 30, 30)};
const IconColours kSelectedColours{QColor(30, 90, 200), QColor(255, 230, 90), QColor(210, 30, 30)};
const QColor kInk(40, 44, 52);

// A panel meter on the 16-unit square: a casing with a round dial, a scale
// of five ticks over its upper half and a needle from the hub.
void drawMeter(QPainter &painter, const IconColours &colours)
{
    painter.setPen(QPen(kInk, 1));
    painter.setBrush(colours.casing);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 2, 2);
    painter.setBrush(colours.dial);
    painter.drawEllipse(QPointF(8, 8.5), 6, 6);

    painter.setPen(QPen(kInk, 0.8));
    for (int tick = 0; tick <= 4; ++tick) {
        const double angle = std::numbers::pi * (1.0 + tick * 0.25);
        const QPointF direction(std::cos(angle), std::sin(angle));
        painter.drawLine(QPointF(8, 8.5) + 3.8 * direction, QPointF(8, 8.5) + 5.2 * direction);
    }
    painter.setPen(QPen(colours.needle, 1.3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(8, 8.5), QPointF(11.5, 4.5));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kInk);
    painter.drawEllipse(QPointF(8, 8.5), 1.3, 1.3);
}

} // namespace

QPixmap MeterIcons::pixmap(int index, qreal devicePixelRatio)
{
    // The pixmap has the screen's pixels; the painter works in logical ones.
    const qreal ratio = qMax(devicePixelRatio, 1.0);
    const int side = qRound(kSize * ratio);
    QPixmap image(side, side);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    drawMeter(painter, index == kSelected ? kSelectedColours : kNormalColours);
    return image;
}

QIcon MeterIcons::treeIcon(qreal devicePixelRatio)
{
    QList<qreal> ratios{1.0, 2.0};
    if (!ratios.contains(devicePixelRatio) && devicePixelRatio > 1.0)
        ratios << devicePixelRatio;
    QIcon icon;
    for (const qreal ratio : ratios) {
        icon.addPixmap(pixmap(kNormal, ratio), QIcon::Normal);
        icon.addPixmap(pixmap(kSelected, ratio), QIcon::Selected);
    }
    return icon;
}
