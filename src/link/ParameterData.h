#pragma once

#include <QString>

#include <array>
#include <functional>
#include <optional>

// A meter's parameter menu has at most this many entries.
inline constexpr int MaxParameters = 50;

// What a completed read of all parameters hands to the parameter dialog:
// row k holds the caption and the formatted value of parameter k, and
// whether that value has one decimal place (so the dialog can check that an
// edited value fits the register before anything is written).
struct ParameterDisplay {
    int parameterCount = 0;
    std::array<QString, MaxParameters> names;
    std::array<QString, MaxParameters> values;
    std::array<bool, MaxParameters> oneDecimal{};
};

// What the parameter dialog hands back for writing: `count` parameters, in
// the order they are to be written, each as its position k in the menu and
// the value the operator entered (as shown, before scaling).
struct ParameterWriteList {
    int count = 0;
    std::array<int, MaxParameters> index{};
    std::array<double, MaxParameters> value{};
};

// The parameter menu of one meter type as the line needs it: how many
// parameters it has and, by position k, the captions in both languages and
// whether the value has one decimal place (register = value × 10).
struct ParameterMenu {
    int count = 0;
    std::array<QString, MaxParameters> captionC;
    std::array<QString, MaxParameters> captionE;
    std::array<bool, MaxParameters> oneDecimal{};

    QString caption(int position, int language) const
    {
        if (position < 0 || position >= MaxParameters)
            return QString();
        return language == 1 ? captionE[position] : captionC[position];
    }
};

// Where the line finds a meter type's menu (the catalogue of meter types);
// nothing for a type it does not know. It tells the user of its own failures.
using ParameterMenuSource = std::function<std::optional<ParameterMenu>(int meterType)>;
