#pragma once

#include "CMETERSET1.h"
#include "CMETERSET2.h"
#include "MeterConfiguration.h"

#include <QWizard>

class Language;
class MeterTypeCatalog;
class Prompts;

// The two-page wizard in which the operator says which meters sit on the
// line: meter type, channels and sampling time, then one address or a range.
// It is preset from the meter configuration and hands the seven values back;
// it writes nothing itself.
class CMeterSetWizard : public QWizard {
    Q_OBJECT

public:
    CMeterSetWizard(const MeterTypeCatalog &catalog, const Language &language, Prompts &prompts,
                    QWidget *parent = nullptr);

    void preset(const MeterConfiguration::Values &values);
    // The values as the pages hold them after Finish.
    MeterConfiguration::Values values() const;

    CMETERSET2 &typePage() { return *first; }
    CMETERSET1 &addressPage() { return *second; }

private:
    void retranslate();

    const Language &language;
    CMETERSET2 *first = nullptr;
    CMETERSET1 *second = nullptr;
};
