#pragma once

#include "PortSettings.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Dialog 131: the serial port and its line settings. The main window presets
// the fields, runs the dialog modally and reads the fields back after OK;
// nothing is stored here.
class CommDialog : public QDialog {
    Q_OBJECT

public:
    // The device a port number stands for on this system, shown beside each
    // port entry; empty when there is none.
    using DeviceLookup = std::function<QString(int portNumber)>;

    explicit CommDialog(DeviceLookup deviceOf, QWidget *parent = nullptr);

    // Sets the texts in `language`, fills the lists and selects the entries
    // of `fields`. A value outside a list leaves that list without a selection.
    void preset(const PortSettings &fields, int language);
    // The fields as confirmed by OK (as preset until then).
    const PortSettings &fields() const { return chosen; }

    void accept() override;

private:
    void buildLayout();
    void setTexts(int language);
    void fillLists(int language);
    void select(const PortSettings &fields);
    void resetSelection();

    DeviceLookup deviceOf;
    PortSettings chosen;
    QGroupBox *group;
    QLabel *portLabel;
    QLabel *baudLabel;
    QLabel *dataBitsLabel;
    QLabel *parityLabel;
    QLabel *stopBitsLabel;
    QComboBox *portList;
    QComboBox *baudList;
    QComboBox *dataBitsList;
    QComboBox *parityList;
    QComboBox *stopBitsList;
    QPushButton *resetButton;
    QPushButton *okButton;
    QPushButton *cancelButton;
};
