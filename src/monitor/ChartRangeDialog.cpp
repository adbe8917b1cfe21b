#include "ChartRangeDialog.h"

#include "ChartLimits.h"
#include "ChartTexts.h"
#include "DialogUnits.h"
#include "Language.h"
#include "NumericEdit.h"
#include "TextConversions.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kSignSize = 32;
const QColor kSignYellow(255, 204, 0);

// The arrow and its bar for the upper limit, on the 32-unit square: the bar
// across the top of the diamond, the arrow below it pointing up to it.
void drawUpArrow(QPainter &painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(10.5, 8.5, 11, 2.5));
    QPainterPath head;
    head.moveTo(16, 12.5);
    head.lineTo(21, 18);
    head.lineTo(11, 18);
    head.closeSubpath();
    painter.drawPath(head);
    painter.drawRect(QRectF(14.5, 17.5, 3, 8));
}

} // namespace

ChartRangeDialog::ChartRangeDialog(const Language &language, Prompts &prompts, QWidget *parent)
    : QDialog(parent), languageSource(language), prompts(prompts)
{
    setObjectName(QStringLiteral("ChartRangeDialog"));
    setModal(true);
    buildLayout();
    setTexts();
    drawSigns();
    connect(&language, &Language::changed, this, &ChartRangeDialog::setTexts);
}

QPixmap ChartRangeDialog::limitSign(bool upperLimit, qreal devicePixelRatio)
{
    // Drawn at the screen's resolution so that the sign stays sharp on a
    // high-density display; the painter works in logical pixels.
    const qreal ratio = qMax(devicePixelRatio, 1.0);
    QPixmap sign(QSize(qRound(kSignSize * ratio), qRound(kSignSize * ratio)));
    sign.setDevicePixelRatio(ratio);
    sign.fill(Qt::transparent);
    QPainter painter(&sign);
    painter.setRenderHint(QPainter::Antialiasing);

    QPainterPath diamond;
    diamond.moveTo(16, 1);
    diamond.lineTo(31, 16);
    diamond.lineTo(16, 31);
    diamond.lineTo(1, 16);
    diamond.closeSubpath();
    painter.setPen(QPen(Qt::black, 1.5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(kSignYellow);
    painter.drawPath(diamond);

    if (!upperLimit) {
        // The lower limit's sign is the upper one's turned upside down.
        painter.translate(0, kSignSize);
        painter.scale(1, -1);
    }
    drawUpArrow(painter);
    return sign;
}

void ChartRangeDialog::buildLayout()
{
    const DialogUnits units{fontMetrics()};
    auto makeRow = [this](QLabel *&icon, QLabel *&caption, NumericEdit *&edit, const char *name) {
        icon = new QLabel(this);
        icon->setObjectName(QLatin1String(name) + QLatin1String("Icon"));
        icon->setFixedSize(kSignSize, kSignSize);
        caption = new QLabel(this);
        caption->setObjectName(QLatin1String(name) + QLatin1String("Caption"));
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edit = new NumericEdit(this);
        edit->setObjectName(QLatin1String(name) + QLatin1String("Edit"));
        edit->setTypingLimit(TypingLimit);
        caption->setBuddy(edit);
    };
    makeRow(upperIcon, upperCaption, upperEdit, "upper");
    makeRow(lowerIcon, lowerCaption, lowerEdit, "lower");
    upperEdit->setMinimumWidth(units.x(50));
    lowerEdit->setMinimumWidth(units.x(50));

    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton *button : {okButton, cancelButton})
        button->setMinimumSize(units.x(50), units.y(14));
    connect(okButton, &QPushButton::clicked, this, &ChartRangeDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &ChartRangeDialog::reject);

    auto *rows = new QGridLayout;
    rows->setHorizontalSpacing(units.x(4));
    rows->setVerticalSpacing(units.y(4));
    rows->addWidget(upperIcon, 0, 0);
    rows->addWidget(upperCaption, 0, 1);
    rows->addWidget(upperEdit, 0, 2);
    rows->addWidget(lowerIcon, 1, 0);
    rows->addWidget(lowerCaption, 1, 1);
    rows->addWidget(lowerEdit, 1, 2);
    rows->setColumnStretch(1, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.x(7), units.y(7), units.x(7), units.y(7));
    layout->addLayout(rows);
    layout->addStretch(1);
    layout->addLayout(buttons);

    setTabOrder(upperEdit, lowerEdit);
    setTabOrder(lowerEdit, okButton);
    setTabOrder(okButton, cancelButton);
    resize(QSize(units.x(148), units.y(79)).expandedTo(sizeHint()));
}

void ChartRangeDialog::setTexts()
{
    const int language = languageSource.index();
    setWindowTitle(kChartRangeTitle.text(language));
    upperCaption->setText(kUpper.text(language));
    lowerCaption->setText(kLower.text(language));
    upperIcon->setAccessibleName(kUpper.text(language));
    lowerIcon->setAccessibleName(kLower.text(language));
    upperEdit->setAccessibleName(kUpper.text(language));
    lowerEdit->setAccessibleName(kLower.text(language));
    okButton->setText(kRangeOk.text(language));
    cancelButton->setText(kRangeCancel.text(language));
}

void ChartRangeDialog::drawSigns()
{
    upperIcon->setPixmap(limitSign(true, devicePixelRatioF()));
    lowerIcon->setPixmap(limitSign(false, devicePixelRatioF()));
}

void ChartRangeDialog::setLimits(double upper, double lower)
{
    upperValue = upper;
    lowerValue = lower;
    showLimits();
}

void ChartRangeDialog::showLimits()
{
    upperEdit->setText(formatG(upperValue));
    lowerEdit->setText(formatG(lowerValue));
}

// Every run opens on the limits in force, with the upper one selected for
// typing over; the signs are drawn again for the screen the window is on.
void ChartRangeDialog::showEvent(QShowEvent *event)
{
    showLimits();
    drawSigns();
    upperEdit->setFocus();
    upperEdit->selectAll();
    QDialog::showEvent(event);
}

void ChartRangeDialog::confirm()
{
    double upper = 0;
    double lower = 0;
    if (!acceptChartLimits(*upperEdit, *lowerEdit, prompts, languageSource.index(), upper, lower))
        return;
    upperValue = upper;
    lowerValue = lower;
    accept();
}
