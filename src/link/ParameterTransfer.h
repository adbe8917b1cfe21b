#pragma once

#include "ParameterData.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

class SchedulerHost;

// One register write of a write run: parameter position k (register 2 × k)
// and the register value.
struct WriteEntry {
    int index = 0;
    qint16 value = 0;
};

// The register writes of one run, in the order they are sent.
struct WriteRun {
    int count = 0;
    std::array<WriteEntry, MaxParameters> entries{};
};

// The database side of reading and writing a meter's parameters: the number
// of parameters of a meter type (METERTYPE), the parameter menu (YbParaMenu:
// captions and decimal places) and the scaling between register values and
// displayed numbers. Failures are told through the host's prompts.
class ParameterTransfer {
public:
    explicit ParameterTransfer(SchedulerHost &host);

    // MENUAMOUNT of the meter type, limited to MaxParameters. A type without
    // parameters (no row, or none listed) is refused with a message.
    std::optional<int> loadParameterCount(int meterType);

    // Captions (in the host's language) and formatted values of the first
    // `count` parameters; the captions are kept for naming parameters later.
    ParameterDisplay LoadParameterDisplay(int meterType, int count,
                                          const std::array<qint16, MaxParameters> &values);

    // Scales the dialog's list into register values. A value that is not a
    // number or does not fit a signed 16-bit register, or a position outside
    // the menu, refuses the whole list with a message naming the parameter;
    // so does an empty list.
    std::optional<WriteRun> PrepareWriteList(int meterType, int count, const ParameterWriteList &list);

    // Caption of parameter k as last loaded (empty before any load).
    QString caption(int position) const;
    // Caption of parameter k of the meter type, read from the menu now.
    QString menuCaption(int meterType, int position);

    // Register value -> display text: "%.1f" of value × 0.1 with one decimal
    // place (dot 1), else "%g" of the value.
    static QString formatValue(qint16 value, int dot);
    // Display value -> register value: × 10 with one decimal place,
    // truncated toward zero; nothing when it is not a number or does not fit.
    static std::optional<qint16> scaleForWrite(double value, int dot);

private:
    struct Menu {
        std::array<QString, MaxParameters> captions;
        std::array<int, MaxParameters> dots{};
    };
    Menu loadMenu(int meterType, int count);

    SchedulerHost &host;
    std::array<QString, MaxParameters> captions;
};
