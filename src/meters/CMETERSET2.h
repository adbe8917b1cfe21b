#pragma once

#include <QWizardPage>

class Language;
class MeterTypeCatalog;
class QComboBox;
class QLabel;
class QPushButton;

// The wizard's first page: the meter type and its channel count, shown as
// configured, and the sampling time, which the operator chooses here.
class CMETERSET2 : public QWizardPage {
    Q_OBJECT

public:
    static constexpr int kLowestSampling = 200;
    static constexpr int kHighestSampling = 1000;
    static constexpr int kSamplingStep = 100;
    // A meter type ID names one of this many slots; higher IDs are ignored.
    static constexpr int kTypeSlots = 50;

    CMETERSET2(const MeterTypeCatalog &catalog, const Language &language, QWidget *parent = nullptr);

    // The page's values: preset before the wizard runs, taken from the lists
    // when the operator goes on.
    int meterType = 0;
    int samplingTime = 0;
    int channels = 0;

    void initializePage() override;
    bool validatePage() override;

private:
    void retranslate();
    void fillTypes();
    void fillChannels();
    void reset();

    const MeterTypeCatalog &catalog;
    const Language &language;
    bool filled = false;
    QLabel *typeLabel = nullptr;
    QComboBox *typeList = nullptr;
    QLabel *channelLabel = nullptr;
    QComboBox *channelList = nullptr;
    QLabel *samplingLabel = nullptr;
    QComboBox *samplingList = nullptr;
    QLabel *msLabel = nullptr;
    QPushButton *resetButton = nullptr;
};
