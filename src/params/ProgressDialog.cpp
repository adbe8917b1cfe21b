#include "ProgressDialog.h"

#include "ParamsTexts.h"
#include "DialogUnits.h"
#include "TextProgressBar.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {

const QColor kBackground(135, 170, 220);

} // namespace

ProgressDialog::ProgressDialog(QWidget *parent, int language)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("ProgressDialog"));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kBackground);
    setPalette(colours);
    setAutoFillBackground(true);
    buildLayout();
    SetText(kProgressStartPrefix.text(language), 0);
}

void ProgressDialog::buildLayout()
{
    const DialogUnits units{fontMetrics()};
    // The bar's border is a frame around it, so the bar's own area, the one
    // its filled width is measured in, lies inside the border.
    auto *edge = new QFrame(this);
    edge->setFrameStyle(QFrame::Box | QFrame::Plain);
    edge->setLineWidth(1);
    bar = new TextProgressBar(edge);
    bar->setObjectName(QStringLiteral("bar"));
    auto *edgeLayout = new QVBoxLayout(edge);
    edgeLayout->setContentsMargins(1, 1, 1, 1);
    edgeLayout->addWidget(bar);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.x(7), units.y(7), units.x(7), units.y(7));
    layout->addWidget(edge);
    edge->setFixedHeight(units.y(11));
    setFixedSize(units.x(177), units.y(25));
}

void ProgressDialog::SetRange(int low, int high)
{
    rangeLow = static_cast<qint16>(low);
    rangeHigh = static_cast<qint16>(high);
    bar->setRange(rangeLow, rangeHigh);
}

void ProgressDialog::SetPos(int position)
{
    bar->setPos(position);
}

void ProgressDialog::SetText(const QString &prefix, int position)
{
    const int span = int(rangeHigh) - int(rangeLow);
    QString text = prefix;
    // An empty range has no percentage; dividing by it would crash.
    if (span != 0) {
        const qint64 percent = qint64(position) * 100 / span;
        text += QString::asprintf("%g%%", double(percent));
    }
    bar->setText(text);
    bar->showText(true);
}

void ProgressDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept(); // the window stays until the transfer ends
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void ProgressDialog::closeEvent(QCloseEvent *event)
{
    // Neither the window manager nor a stray close() ends the window while a
    // transfer runs; its owner deletes it when the transfer is over.
    event->ignore();
}

void ProgressDialog::showEvent(QShowEvent *event)
{
    centreOnParent();
    QDialog::showEvent(event);
}

void ProgressDialog::paintEvent(QPaintEvent *)
{
    // The thin edge of a window without a frame of its own.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void ProgressDialog::centreOnParent()
{
    QRect area;
    if (parentWidget())
        area = parentWidget()->window()->geometry();
    else if (screen())
        area = screen()->availableGeometry();
    if (area.isValid())
        move(area.center() - rect().center());
}
