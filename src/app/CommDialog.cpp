#include "CommDialog.h"

#include "AppTexts.h"
#include "CommandIds.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <array>

namespace {

constexpr int kPortCount = 10;
constexpr int kLowestDataBits = 4;
constexpr std::array kBaudRates{"75",    "110",   "134",   "150",   "300",    "600",
                                "1200",  "1800",  "2400",  "4800",  "7200",   "9600",
                                "14400", "19200", "38400", "57600", "115200", "128000"};
constexpr std::array kParities{&kParityNone, &kParityOdd, &kParityEven, &kParityMark, &kParitySpace};

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

QLabel *makeLabel(const char *name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

// Selects `index` when the list has such an entry, else nothing.
void selectIndex(QComboBox *list, int index)
{
    list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

} // namespace

CommDialog::CommDialog(DeviceLookup lookup, QWidget *parent) : QDialog(parent), deviceOf(std::move(lookup))
{
    setObjectName(QStringLiteral("commDialog%1").arg(ResourceId::CommDialog));
    group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("group1012"));
    portLabel = makeLabel("label1003", group);
    baudLabel = makeLabel("label1004", group);
    dataBitsLabel = makeLabel("label1007", group);
    parityLabel = makeLabel("label1009", group);
    stopBitsLabel = makeLabel("label1006", group);
    portList = makeList("port1001", group);
    baudList = makeList("baud1002", group);
    dataBitsList = makeList("dataBits1008", group);
    parityList = makeList("parity1010", group);
    stopBitsList = makeList("stopBits1005", group);
    resetButton = new QPushButton(group);
    resetButton->setObjectName(QStringLiteral("reset1011"));
    resetButton->setAutoDefault(false);
    okButton = new QPushButton(this);
    okButton->setObjectName(QStringLiteral("ok1"));
    okButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancel2"));
    cancelButton->setAutoDefault(false);
    buildLayout();
    connect(resetButton, &QPushButton::clicked, this, &CommDialog::resetSelection);
    connect(okButton, &QPushButton::clicked, this, &CommDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &CommDialog::reject);
    preset(chosen, 0);
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
    groupLayout->addWidget(resetButton, 0, Qt::AlignHCenter);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(okButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    auto *outer = new QVBoxLayout(this);
    outer->addWidget(group);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void CommDialog::preset(const PortSettings &fields, int language)
{
    chosen = fields;
    setTexts(language);
    fillLists(language);
    select(fields);
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
    resetButton->setText(kCommReset.text(language));
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
    for (const char *rate : kBaudRates)
        baudList->addItem(QString::fromLatin1(rate));
    dataBitsList->clear();
    for (int bits = kLowestDataBits; bits <= 8; ++bits)
        dataBitsList->addItem(QString::number(bits));
    parityList->clear();
    for (const BiText *parity : kParities)
        parityList->addItem(parity->text(language));
    stopBitsList->clear();
    stopBitsList->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});
}

void CommDialog::select(const PortSettings &fields)
{
    selectIndex(portList, fields.portNumber - 1);
    selectIndex(baudList, fields.baudIndex);
    selectIndex(dataBitsList, fields.dataBits - kLowestDataBits);
    selectIndex(parityList, fields.parityIndex);
    selectIndex(stopBitsList, fields.stopBitsIndex);
}

void CommDialog::resetSelection()
{
    portList->setCurrentIndex(0);
    baudList->setCurrentIndex(kResetBaudIndex);
    dataBitsList->setCurrentIndex(kResetDataBits - kLowestDataBits);
    parityList->setCurrentIndex(0);
    stopBitsList->setCurrentIndex(kResetStopBitsIndex);
}

void CommDialog::accept()
{
    chosen.portNumber = portList->currentIndex() + 1;
    chosen.portText = portList->currentData().toString();
    chosen.baudIndex = baudList->currentIndex();
    chosen.baudText = baudList->currentText();
    chosen.dataBits = dataBitsList->currentIndex() + kLowestDataBits;
    chosen.parityIndex = parityList->currentIndex();
    chosen.stopBitsIndex = stopBitsList->currentIndex();
    QDialog::accept();
}
