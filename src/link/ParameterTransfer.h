#pragma once

#include "LineEvent.h"
#include "ParameterData.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

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

// The menu side of reading and writing a meter's parameters: the parameter
// menu of the meter type being transferred (count, captions, decimal
// places) and the scaling between register values and displayed numbers.
// The menu is taken from the catalogue when a read starts and serves that
// read and the writes that follow it.
class ParameterTransfer {
public:
    explicit ParameterTransfer(ParameterMenuSource menus);

    // Takes the menu of the meter type, its count limited to MaxParameters.
    // A type without parameters (unknown, or none listed) is refused and
    // leaves the menu as it was.
    bool loadMenu(int meterType);
    int parameterCount() const { return menu.count; }

    // The values of a completed read with the menu they were read with.
    ParameterReading reading(int address, const std::array<qint16, MaxParameters> &values) const;

    // Scales the dialog's list into register values. A value that is not a
    // number or does not fit a signed 16-bit register, or a position outside
    // the menu, refuses the whole list; so does an empty list. `refusal`
    // then says why, naming the parameter.
    std::optional<WriteRun> PrepareWriteList(const ParameterWriteList &list, LineEvent &refusal) const;

    // An event about parameter k, with its captions (empty outside the menu).
    LineEvent aboutParameter(LineEvent::What what, int position) const;

    // Register value -> display text: "%.1f" of value × 0.1 with one decimal
    // place, else "%g" of the value.
    static QString formatValue(qint16 value, bool oneDecimal);
    // Display value -> register value: × 10 with one decimal place,
    // truncated toward zero; nothing when it is not a number or does not fit.
    static std::optional<qint16> scaleForWrite(double value, bool oneDecimal);

private:
    ParameterMenuSource menus;
    // Two parameters before the first read, as the line has always assumed.
    ParameterMenu menu{2, {}, {}, {}};
};
