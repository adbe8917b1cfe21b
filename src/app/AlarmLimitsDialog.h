#pragma once

#include "AlarmLimitsStore.h"

#include <QDialog>

#include <functional>

class LineAlarms;
class Prompts;
class QCheckBox;
class QLineEdit;
class QSpinBox;

// The alarm limits of one meter (high, low, deadband, delay, on or off) and
// the line's communication-loss count and beep switch. The fields show what
// the line judges with; OK stores the meter's limits in table YbAlarm and the
// line's settings in the settings file, then calls `applied` so that the line
// takes them at once. An entry that is refused is told with the field it
// concerns, nothing is stored and the dialog stays open.
class AlarmLimitsDialog : public QDialog {
    Q_OBJECT

public:
    AlarmLimitsDialog(const LineAlarms &alarms, int address, int language, Prompts &prompts,
                      std::function<void()> applied, QWidget *parent = nullptr);

    int address() const;
    void accept() override;

    // The message for a refused entry, naming the field.
    static QString refusalText(const AlarmLimitsRefusal &refusal, int language);

private:
    void buildLayout();
    void showLimits(int address);
    AlarmLimitsEntry entry() const;
    QLineEdit *fieldEdit(AlarmLimitsRefusal::Field field) const;
    bool storeLimits(const AlarmLimits &limits);
    bool storeLineSettings();

    const LineAlarms &alarms;
    const int language;
    Prompts &prompts;
    std::function<void()> applied;
    QSpinBox *meter = nullptr;
    QLineEdit *high = nullptr;
    QLineEdit *low = nullptr;
    QLineEdit *deadband = nullptr;
    QLineEdit *delay = nullptr;
    QCheckBox *enabled = nullptr;
    QSpinBox *commLoss = nullptr;
    QCheckBox *beep = nullptr;
};
