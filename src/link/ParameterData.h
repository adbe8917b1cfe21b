#pragma once

#include <QString>

#include <array>

// A meter's parameter menu has at most this many entries.
inline constexpr int MaxParameters = 50;

// What a completed read of all parameters hands to the parameter dialog:
// row k holds the caption and the formatted value of parameter k.
struct ParameterDisplay {
    int parameterCount = 0;
    std::array<QString, MaxParameters> names;
    std::array<QString, MaxParameters> values;
};

// What the parameter dialog hands back for writing: `count` parameters, in
// the order they are to be written, each as its position k in the menu and
// the value the operator entered (as shown, before scaling).
struct ParameterWriteList {
    int count = 0;
    std::array<int, MaxParameters> index{};
    std::array<double, MaxParameters> value{};
};
