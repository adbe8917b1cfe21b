#include "ParameterTransfer.h"

#include <cmath>
#include <limits>

ParameterTransfer::ParameterTransfer(ParameterMenuSource source) : menus(std::move(source)) {}

bool ParameterTransfer::loadMenu(int type)
{
    std::optional<ParameterMenu> loaded = menus ? menus(type) : std::nullopt;
    if (!loaded || loaded->count <= 0)
        return false;
    loaded->count = std::min(loaded->count, MaxParameters);
    menu = *loaded;
    return true;
}

ParameterReading ParameterTransfer::reading(int address, const std::array<qint16, MaxParameters> &values) const
{
    return {address, menu, values};
}

std::optional<WriteRun> ParameterTransfer::PrepareWriteList(const ParameterWriteList &list,
                                                            LineEvent &refusal) const
{
    if (list.count < 1) {
        refusal.what = LineEvent::What::NothingToWrite;
        return std::nullopt;
    }
    WriteRun run;
    run.count = std::min(list.count, MaxParameters);
    for (int i = 0; i < run.count; ++i) {
        const int position = list.index[i];
        const bool known = position >= 0 && position < menu.count;
        const auto value = known ? scaleForWrite(list.value[i], menu.oneDecimal[position]) : std::nullopt;
        if (!value) {
            refusal = aboutParameter(LineEvent::What::ValueRefused, position);
            refusal.entered = list.value[i];
            return std::nullopt;
        }
        run.entries[i] = {position, *value};
    }
    return run;
}

LineEvent ParameterTransfer::aboutParameter(LineEvent::What what, int position) const
{
    LineEvent event;
    event.what = what;
    event.parameter = position;
    if (position >= 0 && position < menu.count) {
        event.captionC = menu.captionC[position];
        event.captionE = menu.captionE[position];
    }
    return event;
}

QString ParameterTransfer::formatValue(qint16 value, bool oneDecimal)
{
    if (oneDecimal)
        return QString::asprintf("%.1f", value * 0.1);
    return QString::asprintf("%g", double(value));
}

std::optional<qint16> ParameterTransfer::scaleForWrite(double value, bool oneDecimal)
{
    const double scaled = std::trunc(oneDecimal ? value * 10 : value);
    // Also false for NaN; infinities fall outside the range.
    if (!(scaled >= std::numeric_limits<qint16>::min() && scaled <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(scaled);
}
