#include "ParameterTransfer.h"

#include "Language.h"
#include "LinkTexts.h"
#include "Prompts.h"
#include "Texts.h"

#include <cmath>
#include <limits>

ParameterTransfer::ParameterTransfer(ParameterMenuSource source, Prompts &prompts, const Language &language)
    : menus(std::move(source)), prompts(prompts), language(language)
{
}

bool ParameterTransfer::loadMenu(int type)
{
    std::optional<ParameterMenu> loaded = menus ? menus(type) : std::nullopt;
    if (!loaded || loaded->count <= 0) {
        const int lang = language.index();
        prompts.error(kNoParameters.text(lang).arg(type), kCaptionError.text(lang));
        return false;
    }
    loaded->count = std::min(loaded->count, MaxParameters);
    menu = *loaded;
    return true;
}

ParameterDisplay
ParameterTransfer::LoadParameterDisplay(const std::array<qint16, MaxParameters> &values) const
{
    ParameterDisplay display;
    display.parameterCount = menu.count;
    for (int k = 0; k < menu.count; ++k) {
        display.names[k] = caption(k);
        display.values[k] = formatValue(values[k], menu.oneDecimal[k]);
        display.oneDecimal[k] = menu.oneDecimal[k];
    }
    return display;
}

std::optional<WriteRun> ParameterTransfer::PrepareWriteList(const ParameterWriteList &list) const
{
    const int lang = language.index();
    if (list.count < 1) {
        prompts.error(kNothingToWrite.text(lang), kCaptionError.text(lang));
        return std::nullopt;
    }
    WriteRun run;
    run.count = std::min(list.count, MaxParameters);
    for (int i = 0; i < run.count; ++i) {
        const int position = list.index[i];
        const bool known = position >= 0 && position < menu.count;
        const auto value = known ? scaleForWrite(list.value[i], menu.oneDecimal[position]) : std::nullopt;
        if (!value) {
            prompts.error(kValueRefused.text(lang)
                              .arg(position + 1)
                              .arg(caption(position), QString::number(list.value[i], 'g', 10)),
                          kCaptionError.text(lang));
            return std::nullopt;
        }
        run.entries[i] = {position, *value};
    }
    return run;
}

QString ParameterTransfer::caption(int position) const
{
    return position < menu.count ? menu.caption(position, language.index()) : QString();
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
