#include "ParameterTransfer.h"

#include "AdoDatabase.h"
#include "LinkTexts.h"
#include "Prompts.h"
#include "SchedulerHost.h"
#include "Texts.h"

#include <cmath>
#include <limits>

namespace {

// The system database. SQLite has no password; the original one is kept as
// the argument the interface asks for.
const QString kSystemDatabase = QStringLiteral("qlvmsys.db");
const QString kSystemPassword = QStringLiteral("tz739154#248.key");

} // namespace

ParameterTransfer::ParameterTransfer(SchedulerHost &host) : host(host) {}

std::optional<int> ParameterTransfer::loadParameterCount(int meterType)
{
    int count = 0;
    {
        AdoDatabase db(host.prompts(), host.dataDirectory(), host.language());
        db.Open(kSystemDatabase, kSystemPassword);
        db.OpenTable(QStringLiteral("METERTYPE"));
        for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
            if (db.GetInt(QStringLiteral("ID")) == meterType) {
                count = db.GetInt(QStringLiteral("MENUAMOUNT"));
                break;
            }
        }
    }
    if (count <= 0) {
        const int language = host.language();
        host.prompts().error(kNoParameters.text(language).arg(meterType), kCaptionError.text(language));
        return std::nullopt;
    }
    return std::min(count, MaxParameters);
}

ParameterTransfer::Menu ParameterTransfer::loadMenu(int meterType, int count)
{
    const QString captionField =
        host.language() == 1 ? QStringLiteral("ParaMenu_CaptionE") : QStringLiteral("ParaMenu_CaptionC");
    Menu menu;
    AdoDatabase db(host.prompts(), host.dataDirectory(), host.language());
    db.Open(kSystemDatabase, kSystemPassword);
    db.OpenTable(QStringLiteral("YbParaMenu"));
    // Rows are walked in stored order, so of two rows for one position the
    // later one wins.
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        if (db.GetInt(QStringLiteral("ParaMenu_Type")) != meterType)
            continue;
        const int position = db.GetInt(QStringLiteral("ParaMenu_Cmd"));
        if (position < 0 || position >= count || position >= MaxParameters)
            continue;
        menu.captions[position] = db.GetText(captionField);
        menu.dots[position] = db.GetInt(QStringLiteral("ParaMenu_Dot"));
    }
    return menu;
}

ParameterDisplay ParameterTransfer::LoadParameterDisplay(int meterType, int count,
                                                         const std::array<qint16, MaxParameters> &values)
{
    const Menu menu = loadMenu(meterType, count);
    captions = menu.captions;
    ParameterDisplay display;
    display.parameterCount = count;
    for (int k = 0; k < count; ++k) {
        display.names[k] = menu.captions[k];
        display.values[k] = formatValue(values[k], menu.dots[k]);
    }
    return display;
}

std::optional<WriteRun> ParameterTransfer::PrepareWriteList(int meterType, int count,
                                                            const ParameterWriteList &list)
{
    const int language = host.language();
    if (list.count < 1) {
        host.prompts().error(kNothingToWrite.text(language), kCaptionError.text(language));
        return std::nullopt;
    }
    const Menu menu = loadMenu(meterType, count);
    WriteRun run;
    run.count = std::min(list.count, MaxParameters);
    for (int i = 0; i < run.count; ++i) {
        const int position = list.index[i];
        const bool known = position >= 0 && position < count;
        const auto value = known ? scaleForWrite(list.value[i], menu.dots[position]) : std::nullopt;
        if (!value) {
            const QString name = known ? menu.captions[position] : QString();
            host.prompts().error(kValueRefused.text(language)
                                     .arg(position + 1)
                                     .arg(name, QString::number(list.value[i], 'g', 10)),
                                 kCaptionError.text(language));
            return std::nullopt;
        }
        run.entries[i] = {position, *value};
    }
    return run;
}

QString ParameterTransfer::caption(int position) const
{
    return position >= 0 && position < MaxParameters ? captions[position] : QString();
}

QString ParameterTransfer::menuCaption(int meterType, int position)
{
    if (position < 0 || position >= MaxParameters)
        return QString();
    return loadMenu(meterType, MaxParameters).captions[position];
}

QString ParameterTransfer::formatValue(qint16 value, int dot)
{
    if (dot == 1)
        return QString::asprintf("%.1f", value * 0.1);
    return QString::asprintf("%g", double(value));
}

std::optional<qint16> ParameterTransfer::scaleForWrite(double value, int dot)
{
    const double scaled = std::trunc(dot == 1 ? value * 10 : value);
    // Also false for NaN; infinities fall outside the range.
    if (!(scaled >= std::numeric_limits<qint16>::min() && scaled <= std::numeric_limits<qint16>::max()))
        return std::nullopt;
    return static_cast<qint16>(scaled);
}
