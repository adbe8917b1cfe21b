#include "ToolbarIcons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace {

const QColor kInk(40, 52, 70);
const QColor kBlue(46, 110, 190);
const QColor kGreen(42, 150, 90);
const QColor kRed(200, 60, 50);
const QColor kPaper(250, 250, 246);
const QColor kScreen(24, 40, 36);
const QColor kDigit(90, 230, 140);

QPen pen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

} // namespace

QIcon ToolbarIcons::icon(Kind kind)
{
    return QIcon(new ToolbarIcons(kind));
}

QColor ToolbarIcons::tone(QColor colour) const
{
    if (!disabled)
        return colour;
    const int grey = qGray(colour.rgb());
    return QColor(grey, grey, grey, 110);
}

// The base class would hand out a pixmap with undefined content around the
// drawing; the icon's background is transparent.
QPixmap ToolbarIcons::pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state)
{
    QPixmap image(size);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(&painter, QRect(QPoint(0, 0), size), mode, state);
    return image;
}

void ToolbarIcons::paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State)
{
    disabled = mode == QIcon::Disabled;
    const qreal side = qMin(rect.width(), rect.height());
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(rect.x() + (rect.width() - side) / 2, rect.y() + (rect.height() - side) / 2);
    painter->scale(side / 32.0, side / 32.0);
    switch (kind) {
    case Kind::Exit:
        drawExit(*painter);
        break;
    case Kind::CommConfig:
        drawCommConfig(*painter);
        break;
    case Kind::MeterConfig:
        drawMeterConfig(*painter);
        break;
    case Kind::MeterManager:
        drawMeterManager(*painter);
        break;
    case Kind::MeterInterface:
        drawMeterInterface(*painter);
        break;
    case Kind::RealtimeChart:
        drawRealtimeChart(*painter);
        break;
    case Kind::Logo:
        drawLogo(*painter);
        break;
    }
    painter->restore();
}

// An open door with an arrow leaving through it.
void ToolbarIcons::drawExit(QPainter &p) const
{
    p.setPen(pen(tone(kInk), 2.2));
    p.setBrush(tone(kPaper));
    p.drawRect(QRectF(5, 4, 14, 24));
    p.setBrush(tone(QColor(160, 110, 60)));
    p.drawPolygon(QPolygonF({QPointF(5, 4), QPointF(13, 7), QPointF(13, 31), QPointF(5, 28)}));
    p.setPen(pen(tone(kRed), 3));
    p.drawLine(QPointF(16, 16), QPointF(28, 16));
    p.drawPolyline(QPolygonF({QPointF(23, 11), QPointF(28, 16), QPointF(23, 21)}));
}

// A nine-pin serial connector.
void ToolbarIcons::drawCommConfig(QPainter &p) const
{
    p.setPen(pen(tone(kInk), 2));
    p.setBrush(tone(QColor(200, 205, 212)));
    p.drawPolygon(QPolygonF({QPointF(2, 9), QPointF(30, 9), QPointF(26, 24), QPointF(6, 24)}));
    p.setPen(Qt::NoPen);
    p.setBrush(tone(kBlue));
    for (int i = 0; i < 5; ++i)
        p.drawEllipse(QPointF(7.5 + i * 4.25, 14), 1.6, 1.6);
    for (int i = 0; i < 4; ++i)
        p.drawEllipse(QPointF(9.6 + i * 4.25, 19.5), 1.6, 1.6);
}

// A meter front with its display, and a gear for the settings.
void ToolbarIcons::drawMeterConfig(QPainter &p) const
{
    p.setPen(pen(tone(kInk), 2));
    p.setBrush(tone(kPaper));
    p.drawRoundedRect(QRectF(2, 3, 22, 22), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(tone(kScreen));
    p.drawRect(QRectF(5, 6, 16, 8));
    p.setBrush(tone(kDigit));
    p.drawRect(QRectF(7, 9, 12, 2));
    QPainterPath tooth;
    tooth.addRect(QRectF(-1.6, -8.5, 3.2, 4));
    QPainterPath gear;
    gear.addEllipse(QPointF(0, 0), 6, 6);
    for (int i = 0; i < 8; ++i)
        gear = gear.united(QTransform().rotateRadians(i * std::numbers::pi / 4).map(tooth));
    p.save();
    p.translate(23, 23);
    p.setBrush(tone(kBlue));
    p.setPen(pen(tone(kInk), 1.2));
    p.drawPath(gear);
    p.setBrush(tone(kPaper));
    p.drawEllipse(QPointF(0, 0), 2.4, 2.4);
    p.restore();
}

// A register sheet: lines of entries with a bullet each.
void ToolbarIcons::drawMeterManager(QPainter &p) const
{
    p.setPen(pen(tone(kInk), 2));
    p.setBrush(tone(kPaper));
    p.drawRoundedRect(QRectF(5, 2, 22, 28), 2, 2);
    for (int i = 0; i < 4; ++i) {
        const qreal y = 9 + i * 5.5;
        p.setPen(Qt::NoPen);
        p.setBrush(tone(i == 1 ? kGreen : kBlue));
        p.drawEllipse(QPointF(10, y), 1.8, 1.8);
        p.setPen(pen(tone(kInk), 1.8));
        p.drawLine(QPointF(14, y), QPointF(23, y));
    }
}

// Four value panels in a grid.
void ToolbarIcons::drawMeterInterface(QPainter &p) const
{
    for (int i = 0; i < 4; ++i) {
        const QRectF cell(2 + (i % 2) * 15, 3 + (i / 2) * 14, 13, 12);
        p.setPen(pen(tone(kInk), 1.5));
        p.setBrush(tone(kScreen));
        p.drawRoundedRect(cell, 1.5, 1.5);
        p.setPen(pen(tone(i == 3 ? kRed : kDigit), 1.8));
        p.drawLine(cell.topLeft() + QPointF(3, 6), cell.topLeft() + QPointF(10, 6));
    }
}

// A curve on a pair of axes.
void ToolbarIcons::drawRealtimeChart(QPainter &p) const
{
    p.setPen(Qt::NoPen);
    p.setBrush(tone(QColor(16, 20, 28)));
    p.drawRect(QRectF(3, 3, 26, 25));
    p.setPen(pen(tone(QColor(200, 200, 200)), 1.6));
    p.drawPolyline(QPolygonF({QPointF(6, 5), QPointF(6, 25), QPointF(28, 25)}));
    QPolygonF curve;
    for (int x = 0; x <= 20; ++x)
        curve << QPointF(7 + x, 16 - 6 * std::sin(x * 0.45));
    p.setPen(pen(tone(QColor(255, 210, 60)), 2));
    p.drawPolyline(curve);
}

// A round dial with its scale and needle.
void ToolbarIcons::drawLogo(QPainter &p) const
{
    p.setPen(pen(tone(kInk), 2));
    p.setBrush(tone(kBlue));
    p.drawEllipse(QPointF(16, 16), 14.5, 14.5);
    p.setBrush(tone(kPaper));
    p.drawEllipse(QPointF(16, 16), 11, 11);
    p.setPen(pen(tone(kInk), 1.4));
    for (int i = 0; i <= 6; ++i) {
        const qreal a = std::numbers::pi * (0.75 + i * 0.25);
        p.drawLine(QPointF(16 + 8 * std::cos(a), 16 + 8 * std::sin(a)),
                   QPointF(16 + 10 * std::cos(a), 16 + 10 * std::sin(a)));
    }
    p.setPen(pen(tone(kRed), 2.2));
    p.drawLine(QPointF(16, 16), QPointF(22.5, 10.5));
    p.setPen(Qt::NoPen);
    p.setBrush(tone(kInk));
    p.drawEllipse(QPointF(16, 16), 2, 2);
}
