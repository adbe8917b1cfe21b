#pragma once

#include "LineTransportSettings.h"
#include "PortSettings.h"

#include <QDialog>

#include <functional>
#include <optional>

class Prompts;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Dialog 131: the serial port and its line settings, and the transport that
// carries the line: the serial port itself, a serial device server or a
// Modbus TCP gateway; or the message broker, through which a line polled
// elsewhere is watched (its host and port in the server's fields, with the
// site and the line). The main window presets the fields, runs the dialog
// modally and reads the fields back after OK; nothing is stored here. The
// port check opens from here too, for a port that will not open.
class CommDialog : public QDialog {
    Q_OBJECT

public:
    // The device a port number stands for on this system, shown beside each
    // port entry; empty when there is none.
    using DeviceLookup = std::function<QString(int portNumber)>;

    // A host, port, site or line that is not valid is told through `prompts`.
    CommDialog(DeviceLookup deviceOf, Prompts &prompts, QWidget *parent = nullptr);

    // Sets the texts in `language`, fills the lists and selects the entries
    // of `fields` and `transport`. A value outside a list leaves that list
    // without a selection.
    void preset(const PortSettings &fields, const LineTransportSettings &transport, int language);
    // The fields as confirmed by OK (as preset until then).
    const PortSettings &fields() const { return chosen; }
    const LineTransportSettings &transport() const { return chosenTransport; }

    void accept() override;

private:
    using Kind = LineTransportSettings::Kind;

    void buildLayout();
    QGroupBox *buildTransportGroup();
    void setTexts(int language);
    void fillLists(int language);
    void select(const PortSettings &fields);
    void selectTransport(const LineTransportSettings &transport);
    void followTransport();
    Kind selectedKind() const;
    bool refused(LineTransportSettings::EntryFault fault);
    void resetSelection();

    DeviceLookup deviceOf;
    Prompts &prompter;
    int shownLanguage = 0;
    PortSettings chosen;
    LineTransportSettings chosenTransport;
    // The network transport whose default port the port field may still
    // hold, so that another network transport can put its own in its place.
    std::optional<Kind> lastNetwork;
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
    QGroupBox *transportGroup;
    QLabel *transportLabel;
    QLabel *hostLabel;
    QLabel *tcpPortLabel;
    QLabel *siteLabel;
    QLabel *lineLabel;
    QComboBox *transportList;
    QLineEdit *hostEdit;
    QLineEdit *tcpPortEdit;
    QLineEdit *siteEdit;
    QLineEdit *lineEdit;
    QPushButton *resetButton;
    QPushButton *portCheckButton;
    QPushButton *okButton;
    QPushButton *cancelButton;
};
