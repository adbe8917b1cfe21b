#pragma once

#include "MeterRecord.h"

#include <QDialog>
#include <QList>

class Language;
class MeterRegister;
class MeterTypeCatalog;
class Prompts;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QValidator;

// The thirteen fields of one meter of the register, to add a meter at the
// next free address or to edit the meter at a given address. The address
// itself cannot be changed. What the operator types is stored as typed;
// each text field takes at most as many bytes as the register's field holds
// in the GBK encoding (an ASCII character one, any other character two).
// A store that fails leaves the window open with what was typed.
class MeterInfoDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { Add, Edit };

    MeterInfoDialog(Mode mode, MeterRegister &meters, const MeterTypeCatalog &catalog,
                    const Language &language, Prompts &prompts, QWidget *parent = nullptr);

    // The meter an edit is for: its address as decimal text, compared with
    // the register's Yb_Id exactly.
    void setAddressText(const QString &address);

    // Fills the inputs and runs the window. When there is nothing to edit
    // (an empty register, an address the register does not hold) or no
    // address left to add at, it says so and returns Rejected without
    // showing the window.
    int exec() override;

private:
    struct Input {
        QString MeterRecord::*field;
        QLabel *label;
        QLineEdit *edit;   // null for the meter type, which is chosen from a list
        QValidator *limit; // the edit's length limit; null for the address
    };

    void buildControls();
    void buildLayout();
    void setTexts();
    bool prepareAdd();
    bool prepareEdit();
    void fill(const MeterRecord &record);
    MeterRecord entered() const;
    void confirm();

    Mode mode;
    MeterRegister &meters;
    const MeterTypeCatalog &catalog;
    const Language &language;
    Prompts &prompts;
    QString addressText;

    QList<Input> inputs;
    QComboBox *meterType = nullptr;
    QPushButton *confirmButton = nullptr;
    QPushButton *cancelButton = nullptr;
};
