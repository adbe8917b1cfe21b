#include "MeterInfoDialog.h"

#include "DialogUnits.h"
#include "Language.h"
#include "MeterRegister.h"
#include "MeterTypeCatalog.h"
#include "Prompts.h"
#include "RegisterTexts.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Where an input sits: the left or the right column of six rows, or the
// line across the bottom.
enum class Place { Left, Right, Bottom };

struct InputField {
    QString MeterRecord::*field;
    const char *objectName;
    int byteLimit; // 0: not typed into
    Place place;
};

// The inputs in their tab order. The limits are the sizes of the register's
// fields in GBK bytes.
const InputField kInputFields[] = {
    {&MeterRecord::address, "address", 0, Place::Left},
    {&MeterRecord::installPosition, "installPosition", 20, Place::Left},
    {&MeterRecord::meterType, "meterType", 0, Place::Left},
    {&MeterRecord::sensorType, "sensorType", 10, Place::Left},
    {&MeterRecord::precision, "precision", 5, Place::Left},
    {&MeterRecord::measuringRange, "measuringRange", 20, Place::Left},
    {&MeterRecord::name, "name", 20, Place::Right},
    {&MeterRecord::serialNumber, "serialNumber", 15, Place::Right},
    {&MeterRecord::manufactureDate, "manufactureDate", 15, Place::Right},
    {&MeterRecord::manufacturer, "manufacturer", 20, Place::Right},
    {&MeterRecord::owner, "owner", 20, Place::Right},
    {&MeterRecord::appearance, "appearance", 10, Place::Right},
    {&MeterRecord::remark, "remark", 30, Place::Bottom},
};

const BiText &labelOf(QString MeterRecord::*field)
{
    const auto column = std::find_if(kMeterColumns.begin(), kMeterColumns.end(),
                                     [field](const MeterColumn &c) { return c.field == field; });
    return column->label;
}

// The length of a text in the GBK encoding, counted without a codec: every
// character outside ASCII takes two bytes there.
int gbkLength(const QString &text)
{
    int bytes = 0;
    for (const char32_t c : text.toUcs4())
        bytes += c < 0x80 ? 1 : 2;
    return bytes;
}

// Refuses an edit that makes the text longer than the limit in GBK bytes, so
// typing, pasting or an input method's text beyond it leaves the text as it
// was. A longer text the program put there stays and can be shortened, but
// not lengthened.
class GbkLengthValidator : public QValidator {
public:
    GbkLengthValidator(int limit, QLineEdit *edit) : QValidator(edit), limit(limit)
    {
        connect(edit, &QLineEdit::textChanged, this, &GbkLengthValidator::setPresent);
    }

    // The edit validates a text the program sets before it reports it
    // changed; setting the length first keeps that text acceptable.
    void setPresent(const QString &text) { present = gbkLength(text); }

    State validate(QString &input, int &) const override
    {
        return gbkLength(input) <= std::max(limit, present) ? Acceptable : Invalid;
    }

private:
    int limit;
    int present = 0;
};

} // namespace

MeterInfoDialog::MeterInfoDialog(Mode mode, MeterRegister &meters, const MeterTypeCatalog &catalog,
                                 const Language &language, Prompts &prompts, QWidget *parent)
    : QDialog(parent), mode(mode), meters(meters), catalog(catalog), language(language), prompts(prompts)
{
    setObjectName(QStringLiteral("MeterInfoDialog"));
    setModal(true);
    buildControls();
    buildLayout();
    setTexts();
    connect(&language, &Language::changed, this, &MeterInfoDialog::setTexts);
}

void MeterInfoDialog::setAddressText(const QString &address)
{
    addressText = address;
}

void MeterInfoDialog::buildControls()
{
    for (const InputField &entry : kInputFields) {
        auto *label = new QLabel(this);
        label->setObjectName(QLatin1String(entry.objectName) + QLatin1String("Label"));
        QWidget *control = nullptr;
        QLineEdit *edit = nullptr;
        QValidator *limit = nullptr;
        if (entry.field == &MeterRecord::meterType) {
            meterType = new QComboBox(this);
            for (const MeterType &type : catalog.activeTypes())
                meterType->addItem(type.name);
            control = meterType;
        } else {
            edit = new QLineEdit(this);
            if (entry.byteLimit > 0) {
                limit = new GbkLengthValidator(entry.byteLimit, edit);
                edit->setValidator(limit);
            } else {
                edit->setReadOnly(true);
            }
            control = edit;
        }
        control->setObjectName(QLatin1String(entry.objectName));
        label->setBuddy(control);
        inputs.append({entry.field, label, edit, limit});
    }

    confirmButton = new QPushButton(this);
    confirmButton->setObjectName(QStringLiteral("confirmButton"));
    confirmButton->setDefault(true);
    cancelButton = new QPushButton(this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    connect(confirmButton, &QPushButton::clicked, this, &MeterInfoDialog::confirm);
    connect(cancelButton, &QPushButton::clicked, this, &MeterInfoDialog::reject);
}

void MeterInfoDialog::buildLayout()
{
    const DialogUnits units{fontMetrics()};
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(units.x(6));
    fields->setVerticalSpacing(units.y(5));
    fields->setColumnStretch(1, 1);
    fields->setColumnStretch(3, 1);
    int rows[2] = {0, 0};
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        const Place place = kInputFields[i].place;
        QWidget *control = inputs[i].label->buddy();
        control->setMinimumWidth(units.x(80));
        if (place == Place::Bottom) {
            const int row = std::max(rows[0], rows[1]);
            fields->addWidget(inputs[i].label, row, 0);
            fields->addWidget(control, row, 1, 1, 3);
            continue;
        }
        const int side = place == Place::Left ? 0 : 1;
        fields->addWidget(inputs[i].label, rows[side], 2 * side);
        fields->addWidget(control, rows[side]++, 2 * side + 1);
    }

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirmButton);
    buttons->addStretch(1);
    buttons->addWidget(cancelButton);
    buttons->addStretch(1);
    for (QPushButton *button : {confirmButton, cancelButton})
        button->setMinimumSize(units.x(60), units.y(14));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(units.x(7), units.y(7), units.x(7), units.y(7));
    layout->setSpacing(units.y(7));
    layout->addLayout(fields);
    layout->addLayout(buttons);
}

void MeterInfoDialog::setTexts()
{
    const int lang = language.index();
    const bool adding = mode == Mode::Add;
    setWindowTitle((adding ? kRegisterAddMeter : kRegisterEditMeter).text(lang));
    for (const Input &input : inputs) {
        const QString label = labelOf(input.field).text(lang);
        input.label->setText(label);
        input.label->buddy()->setAccessibleName(label);
    }
    confirmButton->setText((adding ? kRegisterConfirmAdd : kRegisterConfirmEdit).text(lang));
    confirmButton->setAccessibleName(confirmButton->text());
    cancelButton->setText(kRegisterCancel.text(lang));
    cancelButton->setAccessibleName(cancelButton->text());
}

int MeterInfoDialog::exec()
{
    if (!(mode == Mode::Add ? prepareAdd() : prepareEdit()))
        return Rejected;
    return QDialog::exec();
}

bool MeterInfoDialog::prepareAdd()
{
    const std::optional<int> next = meters.nextAddress();
    if (!next) {
        const int lang = language.index();
        prompts.info(kRegisterFull.text(lang), kStoreCaption.text(lang));
        return false;
    }
    MeterRecord record;
    record.address = QString::number(*next);
    fill(record);
    meterType->setCurrentIndex(meterType->count() > 0 ? 0 : -1);
    return true;
}

// An address the register does not hold is as good as no meter selected:
// there would be no row to store the edit in.
bool MeterInfoDialog::prepareEdit()
{
    const QList<MeterRecord> &records = meters.records();
    const auto found = std::find_if(records.cbegin(), records.cend(), [this](const MeterRecord &record) {
        return record.address == addressText;
    });
    if (found == records.cend()) {
        const int lang = language.index();
        prompts.info(kRegisterNothingToEdit.text(lang), kStoreCaption.text(lang));
        return false;
    }
    fill(*found);
    return true;
}

void MeterInfoDialog::fill(const MeterRecord &record)
{
    for (const Input &input : inputs) {
        if (!input.edit)
            continue;
        const QString &text = record.*input.field;
        if (input.limit)
            static_cast<GbkLengthValidator *>(input.limit)->setPresent(text);
        input.edit->setText(text);
    }
    meterType->setCurrentIndex(
        meterType->findText(record.meterType, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

MeterRecord MeterInfoDialog::entered() const
{
    MeterRecord record;
    for (const Input &input : inputs) {
        if (input.edit)
            record.*input.field = input.edit->text();
    }
    record.meterType = meterType->currentIndex() >= 0 ? meterType->currentText() : QString();
    return record;
}

void MeterInfoDialog::confirm()
{
    const MeterRecord record = entered();
    if (mode == Mode::Edit) {
        if (meters.update(record))
            accept();
        return;
    }
    const int lang = language.index();
    if (!prompts.question(kRegisterAskAdd.text(lang), kRegisterNotify.text(lang)))
        return;
    if (meters.append(record))
        accept();
}
