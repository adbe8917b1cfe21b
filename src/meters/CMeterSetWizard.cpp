#include "CMeterSetWizard.h"

#include "Language.h"
#include "WizardTexts.h"

CMeterSetWizard::CMeterSetWizard(const MeterTypeCatalog &catalog, const Language &lang, Prompts &prompts,
                                 QWidget *parent)
    : QWizard(parent), language(lang)
{
    setObjectName(QStringLiteral("CMeterSetWizard"));
    setWizardStyle(QWizard::ClassicStyle);
    // Each page is set up the first time it shows and keeps its contents
    // when the operator goes back and on again.
    setOptions(QWizard::IndependentPages | QWizard::NoBackButtonOnStartPage);
    first = new CMETERSET2(catalog, language, this);
    second = new CMETERSET1(language, prompts, this);
    addPage(first);
    addPage(second);
    connect(&language, &Language::changed, this, &CMeterSetWizard::retranslate);
    retranslate();
}

void CMeterSetWizard::retranslate()
{
    const int lang = language.index();
    setWindowTitle(kWizardTitle.text(lang));
    setButtonText(QWizard::NextButton, kWizardNext.text(lang));
    setButtonText(QWizard::CancelButton, kWizardCancel.text(lang));
    setButtonText(QWizard::FinishButton, kWizardFinish.text(lang));
}

void CMeterSetWizard::preset(const MeterConfiguration::Values &values)
{
    first->meterType = values.metertype;
    first->channels = values.channels;
    first->samplingTime = values.samplingtime;
    second->singleOrMulti = values.singleormulti;
    second->firstAddress = values.startaddress;
    second->lastAddress = values.endaddress;
    second->meterCount = values.meteramount;
}

MeterConfiguration::Values CMeterSetWizard::values() const
{
    MeterConfiguration::Values v;
    v.metertype = first->meterType;
    v.channels = first->channels;
    v.samplingtime = first->samplingTime;
    v.singleormulti = second->singleOrMulti;
    v.startaddress = second->firstAddress;
    v.endaddress = second->lastAddress;
    v.meteramount = second->meterCount;
    return v;
}
