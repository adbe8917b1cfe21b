#pragma once

#include <QWizardPage>

class Language;
class Prompts;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;

// The wizard's second page: one meter address, or a range of at least two
// consecutive addresses. Whichever end of a range the operator changes wins;
// the other end moves so that the range keeps two meters at least.
class CMETERSET1 : public QWizardPage {
    Q_OBJECT

public:
    static constexpr int kHighestAddress = 63;

    CMETERSET1(const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    // The page's values: preset before the wizard runs, taken from the
    // controls on Finish. singleOrMulti is 1 for one meter, 2 for a range.
    int singleOrMulti = 1;
    int firstAddress = 0;
    int lastAddress = kHighestAddress;
    int meterCount = 0;

    void initializePage() override;
    bool validatePage() override;

private:
    void retranslate();
    void chooseSingle();
    void chooseMulti();
    void firstAddressRule();
    void lastAddressRule();
    void showCount(int count);
    static int shownNumber(const QComboBox *list);

    const Language &language;
    Prompts &prompts;
    bool filled = false;
    QRadioButton *single = nullptr;
    QLabel *addressLabel = nullptr;
    QComboBox *addressList = nullptr;
    QRadioButton *multi = nullptr;
    QGroupBox *scope = nullptr;
    QLabel *fromLabel = nullptr;
    QComboBox *fromList = nullptr;
    QLabel *toLabel = nullptr;
    QComboBox *toList = nullptr;
    QLabel *countLabel = nullptr;
    QLineEdit *countEdit = nullptr;
};
