#include "CMETERSET1.h"

#include "DialogUnits.h"
#include "Language.h"
#include "Prompts.h"
#include "TextConversions.h"
#include "WizardTexts.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

CMETERSET1::CMETERSET1(const Language &lang, Prompts &shown, QWidget *parent)
    : QWizardPage(parent), language(lang), prompts(shown)
{
    setObjectName(QStringLiteral("CMETERSET1"));
    single = new QRadioButton(this);
    single->setObjectName(QStringLiteral("single"));
    addressLabel = new QLabel(this);
    addressList = new QComboBox(this);
    addressList->setObjectName(QStringLiteral("addressList"));
    multi = new QRadioButton(this);
    multi->setObjectName(QStringLiteral("multi"));
    scope = new QGroupBox(this);
    scope->setObjectName(QStringLiteral("scope"));
    fromLabel = new QLabel(scope);
    fromList = new QComboBox(scope);
    fromList->setObjectName(QStringLiteral("firstAddressList"));
    toLabel = new QLabel(scope);
    toList = new QComboBox(scope);
    toList->setObjectName(QStringLiteral("lastAddressList"));
    countLabel = new QLabel(scope);
    countEdit = new QLineEdit(scope);
    countEdit->setObjectName(QStringLiteral("meterCount"));
    countEdit->setReadOnly(true);
    addressLabel->setBuddy(addressList);
    fromLabel->setBuddy(fromList);
    toLabel->setBuddy(toList);
    countLabel->setBuddy(countEdit);

    const DialogUnits units{fontMetrics()};
    auto *range = new QGridLayout(scope);
    range->addWidget(fromLabel, 0, 0);
    range->addWidget(fromList, 0, 1);
    range->addWidget(toLabel, 0, 2);
    range->addWidget(toList, 0, 3);
    range->addWidget(countLabel, 1, 0);
    range->addWidget(countEdit, 1, 1);
    // The two ends of the range side by side, alike in width.
    range->setColumnStretch(1, 1);
    range->setColumnStretch(3, 1);
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto *page = new QGridLayout(this);
    page->setVerticalSpacing(units.y(6));
    page->addWidget(single, 0, 0, 1, 2);
    page->addWidget(addressLabel, 1, 0);
    page->addWidget(addressList, 1, 1);
    page->addWidget(line, 2, 0, 1, 3);
    page->addWidget(multi, 3, 0, 1, 2);
    page->addWidget(scope, 4, 0, 1, 3);
    page->setColumnStretch(2, 1);
    page->setRowStretch(5, 1);

    for (int a = 0; a <= kHighestAddress; ++a)
        addressList->addItem(QString::number(a));
    for (int a = 0; a < kHighestAddress; ++a)
        fromList->addItem(QString::number(a));
    for (int a = 1; a <= kHighestAddress; ++a)
        toList->addItem(QString::number(a));

    connect(single, &QRadioButton::clicked, this, &CMETERSET1::chooseSingle);
    connect(multi, &QRadioButton::clicked, this, &CMETERSET1::chooseMulti);
    connect(fromList, &QComboBox::activated, this, &CMETERSET1::firstAddressRule);
    connect(toList, &QComboBox::activated, this, &CMETERSET1::lastAddressRule);
    connect(&language, &Language::changed, this, &CMETERSET1::retranslate);
    retranslate();
}

void CMETERSET1::retranslate()
{
    const int lang = language.index();
    setTitle(kAddressPageCaption.text(lang));
    single->setText(kWizardSingle.text(lang));
    addressLabel->setText(kWizardMeterAddress.text(lang));
    multi->setText(kWizardMulti.text(lang));
    scope->setTitle(kWizardScope.text(lang));
    fromLabel->setText(kWizardFrom.text(lang));
    toLabel->setText(kWizardTo.text(lang));
    countLabel->setText(kWizardMeterAmount.text(lang));
    countEdit->setAccessibleName(kWizardMeterAmount.text(lang));
}

void CMETERSET1::initializePage()
{
    if (filled)
        return;
    filled = true;
    // Entry index is the address in the first two lists, the address - 1 in
    // the last one; a preset with no entry selects none.
    addressList->setCurrentIndex(firstAddress);
    fromList->setCurrentIndex(firstAddress < fromList->count() ? firstAddress : -1);
    toList->setCurrentIndex(lastAddress - 1);
    if (singleOrMulti == 1) {
        single->setChecked(true);
        chooseSingle();
    } else {
        multi->setChecked(true);
        chooseMulti();
        showCount(meterCount);
    }
}

void CMETERSET1::chooseSingle()
{
    fromList->setEnabled(false);
    toList->setEnabled(false);
    addressList->setEnabled(true);
    showCount(1);
}

void CMETERSET1::chooseMulti()
{
    fromList->setEnabled(true);
    toList->setEnabled(true);
    addressList->setEnabled(false);
    firstAddressRule();
}

int CMETERSET1::shownNumber(const QComboBox *list)
{
    return atoiLike(list->currentText());
}

void CMETERSET1::showCount(int count)
{
    countEdit->setText(QString::number(count));
}

void CMETERSET1::firstAddressRule()
{
    const int first = shownNumber(fromList);
    const int last = lastAddress;
    if (first < last) {
        showCount(last - first + 1);
    } else if (last == 0) {
        fromList->setCurrentIndex(0);
        toList->setCurrentIndex(0);
        showCount(2);
    } else {
        fromList->setCurrentIndex(last - 1);
        showCount(2);
    }
    firstAddress = shownNumber(fromList);
}

void CMETERSET1::lastAddressRule()
{
    const int last = shownNumber(toList);
    const int first = firstAddress;
    if (last > first) {
        showCount(last - first + 1);
    } else {
        toList->setCurrentIndex(first);
        showCount(2);
    }
    lastAddress = shownNumber(toList);
}

bool CMETERSET1::validatePage()
{
    if (single->isChecked()) {
        firstAddress = lastAddress = shownNumber(addressList);
        singleOrMulti = 1;
        meterCount = 1;
        return true;
    }
    const int first = fromList->currentIndex();
    const int last = shownNumber(toList);
    // No first address chosen (a preset the list has no entry for) is as
    // wrong a range as one that runs backwards.
    if (first < 0 || first >= last) {
        const int lang = language.index();
        prompts.error(kAddressRangeWrong.text(lang), kCaptionAddressRange.text(lang));
        fromList->setFocus();
        return false;
    }
    firstAddress = first;
    lastAddress = last;
    singleOrMulti = 2;
    meterCount = atoiLike(countEdit->text());
    return true;
}
