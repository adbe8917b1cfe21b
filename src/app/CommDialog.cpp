#include "CommDialog.h"

#include "AppTexts.h"
#include "CommandIds.h"
#include "PortCheckDialog.h"
#include "PortDoctorTexts.h"
#include "Prompts.h"
#include "Texts.h"
#include "WatchTexts.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr int kPortCount = 10;
constexpr int kLowestDataBits = 4;
constexpr std::array kParities{&kParityNone, &kParityOdd, &kParityEven, &kParityMark, &kParitySpace};
// In the order of LineTransportSettings::Kind.
constexpr std::array kTransports{&kTransportSerial, &kTransportRtuTcp, &kTransportModbusTcp,
                                 &kTransportBroker};

// Reset selects COM1, 9600, 8 data bits, no parity and two stop bits.
constexpr int kResetBaudIndex = 11;
constexpr int kResetDataBits = 8;
constexpr int kResetStopBitsIndex = 2;

QComboBox *makeList(const char *name, QWidget *parent)
{
    auto *list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setEditable(false);
    return list;
}

// The label names `field` for the keyboard and for accessibility.
QLabel *makeLabel(const char *name, QWidget *field, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setBuddy(field);
    return label;
}

QLineEdit *makeEdit(const char *name, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// Selects `index` when the list has such an entry, else nothing.
void selectIndex(QComboBox *list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace

CommDialog::CommDialog(DeviceLookup lookup, Prompts &prompts, QWidget *parent)
    : QDialog(parent), deviceOf(std::move(lookup)), prompter(prompts)
{
    setObjectName(QStringLiteral("commDialog%1").arg(ResourceId::CommDialog));
    group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("group1012"));
    portList = makeList("port1001", group);
    baudList = makeList("baud1002", group);
    dataBitsList = makeList("dataBits1008", group);
    parityList = makeList("parity1010", group);
    stopBitsList = makeList("stopBits1005", group);
    portLabel = makeLabel("label1003", portList, group);
    baudLabel = makeLabel("label1004", baudList, group);
    dataBitsLabel = makeLabel("label1007", dataBitsList, group);
    parityLabel = makeLabel("label1009", parityList, group);
    stopBitsLabel = makeLabel("label1006", stopBitsList, group);
    resetButton = new QPushButton(group);
    resetButton->setObjectName(QStringLiteral("reset1011"));
    resetButton->setAutoDefault(false);
    portCheckButton = new QPushButton(group);
    portCheckButton->setObjectName(QStringLiteral("portCheck"));
    portCheckButton->setAutoDefault(false);
    // Made before the buttons, so that Tab reaches them before OK.
    transportGroup = buildTransportGroup();
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("ok1"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancel2"));
    cancelButton->setAutoDefault(false);
    buildLayout();
    connect(resetButton, &QPushButton::clicked, this, &CommDialog::resetSelection);
    connect(portCheckButton, &QPushButton::clicked, this,
            [this] { PortCheckDialog(QStringLiteral("/"), shownLanguage, this).exec(); });
    connect(okButton, &QPushButton::clicked, this, &CommDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &CommDialog::reject);
    connect(transportList, &QComboBox::currentIndexChanged, this, &CommDialog::followTransport);
    preset(chosen, chosenTransport, 0);
}

void CommDialog::buildLayout()
{
    auto *form = new QFormLayout;
    form->addRow(portLabel, portList);
    form->addRow(baudLabel, baudList);
    form->addRow(dataBitsLabel, dataBitsList);
    form->addRow(parityLabel, parityList);
    form->addRow(stopBitsLabel, stopBitsList);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addLayout(form);
    auto *groupButtons = new QHBoxLayout;
    groupButtons->addStretch();
    groupButtons->addWidget(resetButton);
    groupButtons->addWidget(portCheckButton);
    groupButtons->addStretch();
    groupLayout->addLayout(groupButtons);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(group);
    outer->addWidget(transportGroup);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

// Below the serial port's group, which keeps its fields: on a network
// transport they are the device server's serial side, and they time the
// frames.
QGroupBox *CommDialog::buildTransportGroup()
{
    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("transportGroup"));
    transportList = makeList("transportList", box);
    hostEdit = makeEdit("hostEdit", box);
    tcpPortEdit = makeEdit("tcpPortEdit", box);
    siteEdit = makeEdit("siteEdit", box);
    lineEdit = makeEdit("lineEdit", box);
    transportLabel = makeLabel("transportLabel", transportList, box);
    hostLabel = makeLabel("hostLabel", hostEdit, box);
    tcpPortLabel = makeLabel("tcpPortLabel", tcpPortEdit, box);
    siteLabel = makeLabel("siteLabel", siteEdit, box);
    lineLabel = makeLabel("lineLabel", lineEdit, box);
    auto *form = new QFormLayout(box);
    form->addRow(transportLabel, transportList);
    form->addRow(hostLabel, hostEdit);
    form->addRow(tcpPortLabel, tcpPortEdit);
    form->addRow(siteLabel, siteEdit);
    form->addRow(lineLabel, lineEdit);
    return box;
}

void CommDialog::preset(const PortSettings &fields, const LineTransportSettings &transport, int language)
{
    chosen = fields;
    chosenTransport = transport;
    shownLanguage = language;
    setTexts(language);
    fillLists(language);
    select(fields);
    selectTransport(transport);
}

void CommDialog::setTexts(int language)
{
    setWindowTitle(kCommDialogCaption.text(language));
    group->setTitle(kCommGroup.text(language));
    portLabel->setText(kCommPort.text(language));
    baudLabel->setText(kCommBaud.text(language));
    dataBitsLabel->setText(kCommDataBits.text(language));
    parityLabel->setText(kCommParity.text(language));
    stopBitsLabel->setText(kCommStopBits.text(language));
    transportLabel->setText(kCommTransport.text(language));
    hostLabel->setText(kCommHost.text(language));
    tcpPortLabel->setText(kCommTcpPort.text(language));
    siteLabel->setText(kCommSite.text(language));
    lineLabel->setText(kCommLine.text(language));
    resetButton->setText(kCommReset.text(language));
    portCheckButton->setText(kCommPortCheck.text(language));
    okButton->setText(kButtonOk.text(language));
    cancelButton->setText(kButtonCancel.text(language));
}

void CommDialog::fillLists(int language)
{
    // Each port entry shows the device behind it, but the port's text, the
    // name it is opened by, stays "COMn" (kept as the entry's data).
    portList->clear();
    for (int n = 1; n <= kPortCount; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        const QString device = deviceOf ? deviceOf(n) : QString();
        portList->addItem(device.isEmpty() ? name : QStringLiteral("%1  (%2)").arg(name, device), name);
    }
    baudList->clear();
    for (const char *rate : PortSettings::BaudRates)
        baudList->addItem(QString::fromLatin1(rate));
    dataBitsList->clear();
    for (int bits = kLowestDataBits; bits <= 8; ++bits)
        dataBitsList->addItem(QString::number(bits));
    parityList->clear();
    for (const BiText *parity : kParities)
        parityList->addItem(parity->text(language));
    stopBitsList->clear();
    stopBitsList->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});
    // Refilled without following: the selection of the preset comes next.
    const QSignalBlocker quiet(transportList);
    transportList->clear();
    for (const BiText *transport : kTransports)
        transportList->addItem(transport->text(language));
}

void CommDialog::select(const PortSettings &fields)
{
    selectIndex(portList, fields.portNumber - 1);
    selectIndex(baudList, fields.baudIndex);
    selectIndex(dataBitsList, fields.dataBits - kLowestDataBits);
    selectIndex(parityList, fields.parityIndex);
    selectIndex(stopBitsList, fields.stopBitsIndex);
}

// A transport read from the settings shows as it is, even when it is not
// valid there: the serial port for a transport nobody knows, and a network
// transport with the host and port that could be read.
void CommDialog::selectTransport(const LineTransportSettings &transport)
{
    hostEdit->setText(transport.host);
    tcpPortEdit->setText(transport.port != 0 ? QString::number(transport.port) : QString());
    siteEdit->setText(transport.site);
    lineEdit->setText(transport.lineName);
    lastNetwork.reset();
    {
        const QSignalBlocker quiet(transportList);
        transportList->setCurrentIndex(int(transport.kind));
    }
    followTransport();
}

CommDialog::Kind CommDialog::selectedKind() const
{
    const int index = transportList->currentIndex();
    return index > 0 ? Kind(index) : Kind::Serial;
}

// Host and port only mean something on the network, site and line only for
// the broker. A port field that is empty, or still holds another transport's
// default, takes the default of the transport chosen.
void CommDialog::followTransport()
{
    const Kind kind = selectedKind();
    const bool networked = kind != Kind::Serial;
    for (QWidget *widget : std::array<QWidget *, 4>{hostLabel, hostEdit, tcpPortLabel, tcpPortEdit})
        widget->setEnabled(networked);
    for (QWidget *widget : std::array<QWidget *, 4>{siteLabel, siteEdit, lineLabel, lineEdit})
        widget->setEnabled(kind == Kind::Broker);
    if (!networked)
        return;
    const QString port = tcpPortEdit->text().trimmed();
    const bool otherDefault = lastNetwork && *lastNetwork != kind &&
                              port == QString::number(LineTransportSettings::defaultPort(*lastNetwork));
    if (port.isEmpty() || otherDefault)
        tcpPortEdit->setText(QString::number(LineTransportSettings::defaultPort(kind)));
    lastNetwork = kind;
}

void CommDialog::resetSelection()
{
    portList->setCurrentIndex(0);
    baudList->setCurrentIndex(kResetBaudIndex);
    dataBitsList->setCurrentIndex(kResetDataBits - kLowestDataBits);
    parityList->setCurrentIndex(0);
    stopBitsList->setCurrentIndex(kResetStopBitsIndex);
}

// Tells what is wrong and puts the cursor in the field to mend; true when
// there is something wrong.
bool CommDialog::refused(LineTransportSettings::EntryFault fault)
{
    using Fault = LineTransportSettings::EntryFault;
    QLineEdit *field = fault == Fault::PortNotValid   ? tcpPortEdit
                       : fault == Fault::SiteNotValid ? siteEdit
                       : fault == Fault::LineNotValid ? lineEdit
                                                      : hostEdit;
    QString text;
    switch (fault) {
    case Fault::None:
        return false;
    case Fault::HostMissing:
        text = kCommHostMissing.text(shownLanguage);
        break;
    case Fault::HostNotValid:
        text = kCommHostNotValid.text(shownLanguage).arg(hostEdit->text().trimmed());
        break;
    case Fault::PortNotValid:
        text = kCommTcpPortNotValid.text(shownLanguage).arg(tcpPortEdit->text().trimmed());
        break;
    case Fault::SiteNotValid:
    case Fault::LineNotValid:
        text = kCommTopicLevelNotValid.text(shownLanguage).arg(field->text().trimmed());
        break;
    }
    prompter.error(text, kCaptionError.text(shownLanguage));
    field->setFocus();
    field->selectAll();
    return true;
}

// A host, port, site or line that is not valid keeps the dialog open with
// every field as it is, and nothing taken over.
void CommDialog::accept()
{
    const LineTransportSettings::Entry entry = LineTransportSettings::fromEntry(
        selectedKind(), hostEdit->text(), tcpPortEdit->text(), siteEdit->text(), lineEdit->text());
    if (refused(entry.fault))
        return;
    chosenTransport = entry.line;
    chosen.portNumber = portList->currentIndex() + 1;
    chosen.portText = portList->currentData().toString();
    chosen.baudIndex = baudList->currentIndex();
    chosen.baudText = baudList->currentText();
    chosen.dataBits = dataBitsList->currentIndex() + kLowestDataBits;
    chosen.parityIndex = parityList->currentIndex();
    chosen.stopBitsIndex = stopBitsList->currentIndex();
    QDialog::accept();
}
