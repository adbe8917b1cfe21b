#include "CMETERSET2.h"

#include "DialogUnits.h"
#include "Language.h"
#include "MeterTypeCatalog.h"
#include "WizardTexts.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

CMETERSET2::CMETERSET2(const MeterTypeCatalog &types, const Language &lang, QWidget *parent)
    : QWizardPage(parent), catalog(types), language(lang)
{
    setObjectName(QStringLiteral("CMETERSET2"));
    typeLabel = new QLabel(this);
    typeList = new QComboBox(this);
    typeList->setObjectName(QStringLiteral("meterTypeList"));
    channelLabel = new QLabel(this);
    channelList = new QComboBox(this);
    channelList->setObjectName(QStringLiteral("channelList"));
    samplingLabel = new QLabel(this);
    samplingList = new QComboBox(this);
    samplingList->setObjectName(QStringLiteral("samplingList"));
    msLabel = new QLabel(this);
    resetButton = new QPushButton(this);
    resetButton->setObjectName(QStringLiteral("resetButton"));
    typeLabel->setBuddy(typeList);
    channelLabel->setBuddy(channelList);
    samplingLabel->setBuddy(samplingList);

    const DialogUnits units{fontMetrics()};
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto *grid = new QGridLayout(this);
    grid->setHorizontalSpacing(units.x(8));
    grid->setVerticalSpacing(units.y(8));
    grid->addWidget(typeLabel, 0, 0);
    grid->addWidget(typeList, 0, 1);
    grid->addWidget(channelLabel, 1, 0);
    grid->addWidget(channelList, 1, 1);
    grid->addWidget(samplingLabel, 2, 0);
    grid->addWidget(samplingList, 2, 1);
    grid->addWidget(msLabel, 2, 2);
    grid->addWidget(line, 3, 0, 1, 3);
    grid->addWidget(resetButton, 4, 1, Qt::AlignRight);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(5, 1);
    typeList->setMinimumWidth(units.x(90));

    connect(typeList, &QComboBox::activated, this, &CMETERSET2::fillChannels);
    connect(resetButton, &QPushButton::clicked, this, &CMETERSET2::reset);
    connect(&language, &Language::changed, this, &CMETERSET2::retranslate);
    retranslate();
}

void CMETERSET2::retranslate()
{
    const int lang = language.index();
    setTitle(kTypePageCaption.text(lang));
    typeLabel->setText(kWizardMeterType.text(lang));
    channelLabel->setText(kWizardChannels.text(lang));
    samplingLabel->setText(kWizardSamplingTime.text(lang));
    msLabel->setText(kWizardMs.text(lang));
    resetButton->setText(kWizardReset.text(lang));
}

void CMETERSET2::initializePage()
{
    // The lists are filled once; coming back to the page keeps them.
    if (filled)
        return;
    filled = true;
    fillTypes();
    fillChannels();
    for (int t = kLowestSampling; t <= kHighestSampling; t += kSamplingStep)
        samplingList->addItem(QString::number(t));
    // C division, toward zero: a preset of 150 still selects 200, one of 0
    // selects nothing.
    samplingList->setCurrentIndex((samplingTime - kLowestSampling) / kSamplingStep);
    // Shown as configured: only the sampling time is chosen here.
    typeList->setEnabled(false);
    channelList->setEnabled(false);
}

void CMETERSET2::fillTypes()
{
    QStringList names(kTypeSlots);
    int count = 1;
    for (const MeterType &type : catalog.types()) {
        if (type.id <= 0 || type.id > kTypeSlots)
            continue;
        names[type.id - 1] = type.active ? type.name : kUnsupportedType.text(language.index());
        count = std::max(count, type.id);
    }
    typeList->clear();
    typeList->addItems(names.mid(0, count));
    typeList->setCurrentIndex(meterType - 1 < count ? meterType - 1 : -1);
}

void CMETERSET2::fillChannels()
{
    int maximum = 1;
    const QString name = typeList->currentText();
    for (const MeterType &type : catalog.types()) {
        if (type.name == name) {
            maximum = std::max(1, type.channels);
            break;
        }
    }
    channelList->clear();
    for (int c = 1; c <= maximum; ++c)
        channelList->addItem(QString::number(c));
    channelList->setCurrentIndex(channels - 1 < maximum ? channels - 1 : -1);
}

void CMETERSET2::reset()
{
    samplingList->setCurrentIndex(0);
    channelList->setCurrentIndex(0);
}

bool CMETERSET2::validatePage()
{
    // A list with no entry for its preset (a type above the supplied ones, a
    // channel count above the type's, an unreadable system database) keeps
    // the preset: the lists cannot be operated, so nothing was chosen.
    if (typeList->currentIndex() >= 0)
        meterType = typeList->currentIndex() + 1;
    if (channelList->currentIndex() >= 0)
        channels = channelList->currentIndex() + 1;
    if (samplingList->currentIndex() >= 0)
        samplingTime = kLowestSampling + kSamplingStep * samplingList->currentIndex();
    return true;
}
