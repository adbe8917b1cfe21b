#include "TextProgressBar.h"

#include <QImage>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <utility>

TextProgressBar::TextProgressBar(QWidget *parent) : QWidget(parent)
{
    // Windows' "window" colour is the background of text fields, which Qt
    // calls Base; with the highlight it gives the classic white-on-blue bar.
    const QPalette &colours = palette();
    barColour = colours.color(QPalette::Highlight);
    backColour = colours.color(QPalette::Base);
    textColour = colours.color(QPalette::Highlight);
    textOnBarColour = colours.color(QPalette::Base);
    // paintEvent covers every pixel, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TextProgressBar::setRange(int lower, int upper)
{
    lowerEnd = lower;
    upperEnd = upper;
}

int TextProgressBar::setPos(int newPosition)
{
    const int previous = position;
    position = newPosition;
    const int pixel = filledPixels(width());
    if (pixel != lastPixel) {
        lastPixel = pixel;
        // At once rather than at the next pass of the event loop, so the
        // bar keeps up while a transfer keeps the loop busy.
        repaint();
    }
    return previous;
}

int TextProgressBar::step()
{
    return setPos(position + stepValue);
}

int TextProgressBar::offset(int delta)
{
    return setPos(position + delta);
}

int TextProgressBar::setStep(int newStep)
{
    return std::exchange(stepValue, newStep);
}

void TextProgressBar::showText(bool on)
{
    if (on == textVisible)
        return;
    textVisible = on;
    update();
}

void TextProgressBar::setText(const QString &newText)
{
    if (newText == customText)
        return;
    customText = newText;
    update();
}

QString TextProgressBar::shownText() const
{
    if (!customText.isEmpty())
        return customText;
    const auto percent = static_cast<qint64>(std::trunc(fraction() * 100.0));
    return QString::number(percent) + QLatin1Char('%');
}

// The share of the range up to the position; 0 for an empty or inverted
// range, which has no share to show.
double TextProgressBar::fraction() const
{
    if (upperEnd <= lowerEnd)
        return 0.0;
    return (double(position) - lowerEnd) / (double(upperEnd) - lowerEnd);
}

// The filled width, kept within the bar so that a position beyond either end
// of the range neither overflows nor paints outside.
int TextProgressBar::filledPixels(int width) const
{
    const double pixels = std::trunc(fraction() * width);
    return static_cast<int>(std::clamp(pixels, 0.0, double(std::max(width, 0))));
}

void TextProgressBar::draw(QPainter &painter, const QRect &rect) const
{
    if (upperEnd <= lowerEnd) {
        painter.fillRect(rect, backColour);
        return;
    }
    const int split = rect.left() + filledPixels(rect.width());
    const QRect filled(rect.left(), rect.top(), split - rect.left(), rect.height());
    const QRect rest(split, rect.top(), rect.right() + 1 - split, rect.height());
    painter.fillRect(filled, barColour);
    painter.fillRect(rest, backColour);
    if (!textVisible)
        return;

    const QString line = shownText();
    const int flags = Qt::AlignCenter | Qt::TextSingleLine;
    painter.save();
    painter.setFont(font());
    painter.setClipRect(filled);
    painter.setPen(textOnBarColour);
    painter.drawText(rect, flags, line);
    painter.setClipRect(rest);
    painter.setPen(textColour);
    painter.drawText(rect, flags, line);
    painter.restore();
}

void TextProgressBar::paintEvent(QPaintEvent *)
{
    ++paints;
    if (width() <= 0 || height() <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    QImage image(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    {
        QPainter offscreen(&image);
        draw(offscreen, rect());
    }
    QPainter(this).drawImage(0, 0, image);
}

void TextProgressBar::resizeEvent(QResizeEvent *event)
{
    // The filled width belongs to the old size: the next position change
    // must redraw whatever it computes.
    lastPixel = -1;
    QWidget::resizeEvent(event);
}
