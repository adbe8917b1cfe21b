#include "CatalogueMenus.h"

#include "DataDirectory.h"
#include "Language.h"
#include "MeterTypeCatalog.h"

ParameterMenuSource catalogueMenus(Prompts &prompts, const Language &language)
{
    static_assert(kMaxMenuEntries == MaxParameters);
    return [&prompts, &language](int meterType) -> std::optional<ParameterMenu> {
        const MeterTypeCatalog catalogue(prompts, DataDirectory::path(), language.index());
        const std::optional<ParameterMenuRows> rows = catalogue.menu(meterType);
        if (!rows)
            return std::nullopt;
        ParameterMenu menu;
        menu.count = rows->count;
        for (int k = 0; k < MaxParameters; ++k) {
            menu.captionC[k] = rows->entries[k].captionC;
            menu.captionE[k] = rows->entries[k].captionE;
            menu.oneDecimal[k] = rows->entries[k].oneDecimal();
        }
        return menu;
    };
}
