#include "ChartSettingsDialog.h"

#include "ChartLimits.h"
#include "ChartTexts.h"
#include "ColourListBox.h"
#include "Language.h"
#include "TextConversions.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Rows of the colour list in view without scrolling.
constexpr int kRowsInView = 10;

} // namespace

ChartSettingsDialog::ChartSettingsDialog(const Language &language, Prompts &prompts, QWidget *parent)
    : QDialog(parent), languageSource(language), prompts(prompts)
{
    setObjectName(QStringLiteral("ChartSettingsDialog"));
    setModal(true);
    buildLayout();
    setTexts();
    connect(&language, &Language::changed, this, &ChartSettingsDialog::setTexts);
}

void ChartSettingsDialog::buildLayout()
{
    listCaption = new QLabel(this);
    listCaption->setObjectName(QStringLiteral("colourCaption"));
    list = new ColourListBox(this);
    list->setObjectName(QStringLiteral("colourList"));
    listCaption->setBuddy(list);
    const int averageChar = fontMetrics().averageCharWidth();
    list->setMinimumSize(24 * averageChar, kRowsInView * ColourListBox::RowHeight + 2 * list->frameWidth());

    auto makeLimit = [this](QLabel *&caption, QLineEdit *&edit, const char *name) {
        caption = new QLabel(this);
        caption->setObjectName(QLatin1String(name) + QLatin1String("Caption"));
        caption->setAlignment(Qt::AlignCenter);
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name) + QLatin1String("Edit"));
        caption->setBuddy(edit);
    };
    makeLimit(upperCaption, upperEdit, "upper");
    makeLimit(lowerCaption, lowerEdit, "lower");

    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(okButton, &QPushButton::clicked, this, &ChartSettingsDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &ChartSettingsDialog::reject);

    auto *limits = new QVBoxLayout;
    limits->addWidget(upperCaption);
    limits->addWidget(upperEdit);
    limits->addSpacing(fontMetrics().height());
    limits->addWidget(lowerCaption);
    limits->addWidget(lowerEdit);
    limits->addStretch(1);

    auto *layout = new QGridLayout(this);
    layout->addWidget(listCaption, 0, 0, 1, 2);
    layout->addWidget(list, 1, 0, 1, 2);
    layout->addWidget(okButton, 2, 0, Qt::AlignLeft);
    layout->addWidget(cancelButton, 2, 1, Qt::AlignRight);
    layout->addLayout(limits, 1, 2, 2, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);

    setTabOrder(list, upperEdit);
    setTabOrder(upperEdit, lowerEdit);
    setTabOrder(lowerEdit, okButton);
    setTabOrder(okButton, cancelButton);
}

void ChartSettingsDialog::setTexts()
{
    const int language = languageSource.index();
    setWindowTitle(kChartSetting.text(language));
    listCaption->setText(kLineColor.text(language));
    list->setAccessibleName(kLineColor.text(language));
    upperCaption->setText(kUpperLimit.text(language));
    upperEdit->setAccessibleName(kUpperLimit.text(language));
    lowerCaption->setText(kLowerLimit.text(language));
    lowerEdit->setAccessibleName(kLowerLimit.text(language));
    okButton->setText(kOk.text(language));
    cancelButton->setText(kCancelCaps.text(language));
}

void ChartSettingsDialog::setValues(double lower, double upper, const QList<QColor> &colours)
{
    lowerValue = lower;
    upperValue = upper;
    colourValues = colours.mid(0, MaxCurves);
    lowerEdit->setText(formatG(lower));
    upperEdit->setText(formatG(upper));
    list->clear();
    for (qsizetype i = 0; i < colourValues.size(); ++i)
        list->addRow(QString::number(i + 1), colourValues[i]);
}

void ChartSettingsDialog::confirm()
{
    double upper = 0;
    double lower = 0;
    if (!acceptChartLimits(*upperEdit, *lowerEdit, prompts, languageSource.index(), upper, lower))
        return;
    upperValue = upper;
    lowerValue = lower;
    for (qsizetype i = 0; i < colourValues.size(); ++i)
        colourValues[i] = list->colour(int(i));
    accept();
}
