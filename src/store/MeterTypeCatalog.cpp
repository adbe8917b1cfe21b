#include "MeterTypeCatalog.h"

#include "AdoDatabase.h"
#include "Prompts.h"
#include "StoreTexts.h"

#include <algorithm>
#include <iterator>

namespace {

// SQLite has no password; the one the system database always had is passed on
// for the interface's sake.
const QString kSystemFile = QStringLiteral("qlvmsys.db");
const QString kSystemPassword = QStringLiteral("tz739154#248.key");

// The first value of a walk that is not a whole number, and how many rows
// were left out because of one.
struct LeftOut {
    int rows = 0;
    QString id;
    QString field;
    QString value;
};

// The integer fields of the current row, or nothing when one of them is not a
// whole number. An empty field reads as 0, as a NULL always has.
std::optional<QList<int>> wholeNumbers(const AdoDatabase &db, const QStringList &fields, LeftOut &leftOut)
{
    QList<int> numbers;
    for (const QString &field : fields) {
        const QString text = db.GetText(field).trimmed();
        bool ok = true;
        numbers << (text.isEmpty() ? 0 : text.toInt(&ok));
        if (!ok) {
            if (leftOut.rows == 0)
                leftOut = {0, db.GetText(QStringLiteral("ID")), field, text};
            ++leftOut.rows;
            return std::nullopt;
        }
    }
    return numbers;
}

// Opens a table of the system database that must have `fields`; a failure
// has been told when it returns false.
bool openTable(AdoDatabase &db, const QString &table, const QStringList &fields)
{
    db.Open(kSystemFile, kSystemPassword);
    if (!db.IsOpen())
        return false;
    db.OpenTable(table);
    return db.HasFields(fields);
}

void tellLeftOut(Prompts &prompts, int language, const QString &table, const LeftOut &leftOut)
{
    if (leftOut.rows == 0)
        return;
    prompts.error(kStoreNotAWholeNumber.text(language)
                      .arg(table)
                      .arg(leftOut.rows)
                      .arg(leftOut.id, leftOut.field, leftOut.value),
                  kStoreCaption.text(language));
}

} // namespace

MeterTypeCatalog::MeterTypeCatalog(Prompts &prompts, const QString &directory, int language)
    : prompts(prompts), directory(directory), language(language)
{
    loadTypes();
}

void MeterTypeCatalog::loadTypes()
{
    const QString table = QStringLiteral("METERTYPE");
    const QStringList numberFields{QStringLiteral("ID"), QStringLiteral("ISACTIVE"),
                                   QStringLiteral("CHANNELS"), QStringLiteral("MENUAMOUNT")};
    AdoDatabase db(prompts, directory, language);
    if (!openTable(db, table, numberFields + QStringList{QStringLiteral("METERTYPE")}))
        return;
    LeftOut leftOut;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        const auto numbers = wholeNumbers(db, numberFields, leftOut);
        if (!numbers)
            continue;
        meterTypes << MeterType{(*numbers)[0], db.GetText(QStringLiteral("METERTYPE")), (*numbers)[1] == 1,
                                (*numbers)[2], std::clamp((*numbers)[3], 0, kMaxMenuEntries)};
    }
    tellLeftOut(prompts, language, table, leftOut);
}

QList<MeterType> MeterTypeCatalog::activeTypes() const
{
    QList<MeterType> active;
    std::copy_if(meterTypes.cbegin(), meterTypes.cend(), std::back_inserter(active),
                 [](const MeterType &type) { return type.active; });
    return active;
}

std::optional<MeterType> MeterTypeCatalog::type(int id) const
{
    const auto found = std::find_if(meterTypes.cbegin(), meterTypes.cend(),
                                    [id](const MeterType &type) { return type.id == id; });
    return found == meterTypes.cend() ? std::nullopt : std::optional(*found);
}

std::optional<MeterType> MeterTypeCatalog::typeNamed(const QString &name) const
{
    const auto found = std::find_if(meterTypes.cbegin(), meterTypes.cend(),
                                    [&name](const MeterType &type) { return type.name == name; });
    return found == meterTypes.cend() ? std::nullopt : std::optional(*found);
}

std::optional<ParameterMenuRows> MeterTypeCatalog::menu(int typeId) const
{
    const std::optional<MeterType> meterType = type(typeId);
    if (!meterType)
        return std::nullopt;
    const QString table = QStringLiteral("YbParaMenu");
    const QString captionC = QStringLiteral("ParaMenu_CaptionC");
    const QString captionE = QStringLiteral("ParaMenu_CaptionE");
    const QStringList numberFields{QStringLiteral("ParaMenu_Type"), QStringLiteral("ParaMenu_Cmd"),
                                   QStringLiteral("ParaMenu_Dot")};
    AdoDatabase db(prompts, directory, language);
    if (!openTable(db, table, numberFields + QStringList{captionC, captionE}))
        return std::nullopt;
    ParameterMenuRows menu;
    menu.count = meterType->parameterCount;
    LeftOut leftOut;
    for (db.MoveFirst(); !db.IsEof(); db.MoveNext()) {
        const auto numbers = wholeNumbers(db, numberFields, leftOut);
        if (!numbers || (*numbers)[0] != typeId)
            continue;
        const int position = (*numbers)[1];
        if (position >= 0 && position < menu.count)
            menu.entries[position] = {db.GetText(captionC), db.GetText(captionE), (*numbers)[2]};
    }
    tellLeftOut(prompts, language, table, leftOut);
    return menu;
}
