#include "AlarmLimitsDialog.h"

#include "AlarmTexts.h"
#include "DataDirectory.h"
#include "LineAlarms.h"
#include "ModbusFrame.h"
#include "Prompts.h"
#include "SettingsFile.h"
#include "SettingsKeys.h"
#include "SettingsWriteReport.h"
#include "Texts.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Enough for any line; the settings file takes whatever is written.
constexpr int kMostMissedAnswers = 999;

QLineEdit *makeEdit(QWidget *parent, const QString &name, const QString &placeholder)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setPlaceholderText(placeholder);
    return edit;
}

} // namespace

AlarmLimitsDialog::AlarmLimitsDialog(const LineAlarms &lineAlarms, int address, int lang, Prompts &shown,
                                     std::function<void()> onApplied, QWidget *parent)
    : QDialog(parent), alarms(lineAlarms), language(lang), prompts(shown), applied(std::move(onApplied))
{
    setObjectName(QStringLiteral("alarmLimitsDialog"));
    setWindowTitle(kAlarmLimitsTitle.text(language));
    buildLayout();
    meter->setValue(std::clamp(address, 0, Modbus::MeterCount - 1));
    showLimits(meter->value());
    connect(meter, &QSpinBox::valueChanged, this, &AlarmLimitsDialog::showLimits);
    commLoss->setValue(alarms.commLossAfter());
    beep->setChecked(SettingsFile().ReadSetting(Setting::AlarmBeep) == QLatin1String("1"));
}

void AlarmLimitsDialog::buildLayout()
{
    auto *meterGroup = new QGroupBox(kAlarmMeterGroup.text(language), this);
    auto *meterForm = new QFormLayout(meterGroup);
    meter = new QSpinBox(meterGroup);
    meter->setObjectName(QStringLiteral("address"));
    meter->setRange(0, Modbus::MeterCount - 1);
    meterForm->addRow(kAlarmAddress.text(language), meter);
    const QString none = kAlarmNoLimitHint.text(language);
    high = makeEdit(meterGroup, QStringLiteral("high"), none);
    low = makeEdit(meterGroup, QStringLiteral("low"), none);
    deadband = makeEdit(meterGroup, QStringLiteral("deadband"), QStringLiteral("0"));
    delay = makeEdit(meterGroup, QStringLiteral("delay"), QStringLiteral("0"));
    meterForm->addRow(kAlarmHigh.text(language), high);
    meterForm->addRow(kAlarmLow.text(language), low);
    meterForm->addRow(kAlarmDeadband.text(language), deadband);
    meterForm->addRow(kAlarmDelay.text(language), delay);
    enabled = new QCheckBox(kAlarmEnabled.text(language), meterGroup);
    enabled->setObjectName(QStringLiteral("enabled"));
    meterForm->addRow(enabled);

    auto *lineGroup = new QGroupBox(kAlarmLineGroup.text(language), this);
    auto *lineForm = new QFormLayout(lineGroup);
    commLoss = new QSpinBox(lineGroup);
    commLoss->setObjectName(QStringLiteral("commLoss"));
    commLoss->setRange(0, kMostMissedAnswers);
    lineForm->addRow(kAlarmCommLoss.text(language), commLoss);
    beep = new QCheckBox(kAlarmBeep.text(language), lineGroup);
    beep->setObjectName(QStringLiteral("beep"));
    lineForm->addRow(beep);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    buttons->button(QDialogButtonBox::Ok)->setText(kAlarmOk.text(language));
    buttons->button(QDialogButtonBox::Cancel)->setText(kAlarmCancel.text(language));
    connect(buttons, &QDialogButtonBox::accepted, this, &AlarmLimitsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AlarmLimitsDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(meterGroup);
    layout->addWidget(lineGroup);
    layout->addWidget(buttons);
}

int AlarmLimitsDialog::address() const
{
    return meter->value();
}

void AlarmLimitsDialog::showLimits(int address)
{
    const AlarmLimitsEntry shown = alarmLimitsEntry(alarms.limits(address));
    high->setText(shown.high);
    low->setText(shown.low);
    deadband->setText(shown.deadband);
    delay->setText(shown.delaySec);
    enabled->setChecked(shown.enabled);
}

AlarmLimitsEntry AlarmLimitsDialog::entry() const
{
    return {high->text().trimmed(), low->text().trimmed(), deadband->text().trimmed(),
            delay->text().trimmed(), enabled->isChecked()};
}

QString AlarmLimitsDialog::refusalText(const AlarmLimitsRefusal &refusal, int language)
{
    using Field = AlarmLimitsRefusal::Field;
    using Why = AlarmLimitsRefusal::Why;
    const BiText &field = refusal.field == Field::High       ? kAlarmFieldHigh
                          : refusal.field == Field::Low      ? kAlarmFieldLow
                          : refusal.field == Field::Deadband ? kAlarmFieldDeadband
                                                             : kAlarmFieldDelay;
    const BiText &why = refusal.why == Why::NotANumber        ? kAlarmNotANumber
                        : refusal.why == Why::LowNotBelowHigh ? kAlarmLowNotBelowHigh
                                                              : kAlarmNegative;
    return why.text(language).arg(field.text(language));
}

QLineEdit *AlarmLimitsDialog::fieldEdit(AlarmLimitsRefusal::Field field) const
{
    switch (field) {
    case AlarmLimitsRefusal::Field::High:
        return high;
    case AlarmLimitsRefusal::Field::Low:
        return low;
    case AlarmLimitsRefusal::Field::Deadband:
        return deadband;
    case AlarmLimitsRefusal::Field::Delay:
        break;
    }
    return delay;
}

void AlarmLimitsDialog::accept()
{
    const std::variant<AlarmLimits, AlarmLimitsRefusal> parsed = parseAlarmLimits(entry());
    if (const auto *refusal = std::get_if<AlarmLimitsRefusal>(&parsed)) {
        prompts.error(refusalText(*refusal, language), kCaptionError.text(language));
        fieldEdit(refusal->field)->setFocus();
        fieldEdit(refusal->field)->selectAll();
        return;
    }
    // A failed store keeps the dialog open with what was typed; the limits
    // are written again with the next OK.
    if (!storeLimits(std::get<AlarmLimits>(parsed)) || !storeLineSettings())
        return;
    if (applied)
        applied();
    QDialog::accept();
}

bool AlarmLimitsDialog::storeLimits(const AlarmLimits &limits)
{
    AlarmLimitsStore store(DataDirectory::path());
    if (store.isOpen() && store.save(address(), limits))
        return true;
    const QString file = QDir(DataDirectory::path()).filePath(QLatin1String(AlarmLimitsStore::FileName));
    prompts.error(kAlarmCannotStore.text(language).arg(QDir::toNativeSeparators(file), store.errorText()),
                  kCaptionError.text(language));
    return false;
}

bool AlarmLimitsDialog::storeLineSettings()
{
    SettingsFile settings;
    const bool countStored = settings.WriteInt(Setting::AlarmCommLoss, commLoss->value());
    if (countStored && settings.WriteSetting(Setting::AlarmBeep,
                                             beep->isChecked() ? QStringLiteral("1") : QStringLiteral("0")))
        return true;
    reportSettingsWriteFailed(prompts, settings, language);
    return false;
}
