#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

class Prompts;

// A meter type's parameter menu has at most this many positions.
inline constexpr int kMaxMenuEntries = 50;

// A meter type as the system database describes it (a row of METERTYPE).
struct MeterType {
    int id = 0;   // the number the settings file's meter type holds
    QString name; // shown in lists; the register's Yb_Type holds it
    bool active = false;
    int channels = 0;
    int parameterCount = 0; // MENUAMOUNT, limited to 0..kMaxMenuEntries

    bool operator==(const MeterType &) const = default;
};

// One position of a parameter menu (a row of YbParaMenu); a position the
// table lists no row for stays empty.
struct MenuEntry {
    QString captionC;
    QString captionE;
    int dot = 0; // ParaMenu_Dot as stored: 1 means the register holds tenths

    QString caption(int language) const { return language == 1 ? captionE : captionC; }
    bool oneDecimal() const { return dot == 1; }
    bool operator==(const MenuEntry &) const = default;
};

// The parameter menu of one meter type: position k < count is parameter k,
// held in registers 2 × k of the meter.
struct ParameterMenuRows {
    int count = 0;
    std::array<MenuEntry, kMaxMenuEntries> entries;
};

// The meter types and their parameter menus, read from the system database
// (qlvmsys.db, read-only) of the data directory. The types are read once, when
// the catalogue is made; a menu is read when it is asked for. Failures of the
// file are told through the prompts with the driver's description, and a row
// whose numbers are not whole numbers is left out with one message per
// table; what could not be read is simply not listed.
class MeterTypeCatalog {
public:
    MeterTypeCatalog(Prompts &prompts, const QString &directory, int language = 0);

    // Every type, in stored order (ascending ID).
    const QList<MeterType> &types() const { return meterTypes; }
    // The types offered for meters (ISACTIVE 1), in stored order.
    QList<MeterType> activeTypes() const;
    // The first type with this ID or name (compared exactly), if any.
    std::optional<MeterType> type(int id) const;
    std::optional<MeterType> typeNamed(const QString &name) const;

    // The menu of a known type, read from YbParaMenu now: rows of other types
    // and positions outside 0..count-1 are ignored, and of two rows for one
    // position the later one in stored order wins. Nothing for a type the
    // catalogue does not list, or when the table cannot be read.
    std::optional<ParameterMenuRows> menu(int typeId) const;

private:
    void loadTypes();

    Prompts &prompts;
    QString directory;
    int language;
    QList<MeterType> meterTypes;
};
