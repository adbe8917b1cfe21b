#include "SettingsWriteReport.h"

#include "AppTexts.h"
#include "Prompts.h"
#include "SettingsFile.h"
#include "Texts.h"

#include <QDir>

void reportSettingsWriteFailed(Prompts &prompts, const SettingsFile &settings, int language)
{
    prompts.error(kSettingsWriteFailed.text(language).arg(QDir::toNativeSeparators(settings.path())),
                  kCaptionError.text(language));
}
