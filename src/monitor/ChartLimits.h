#pragma once

#include <QString>

class Prompts;
class QLineEdit;

// The range a chart's vertical scale may take: the upper limit at most
// 5000, the lower limit at least -273.15 (absolute zero in degrees Celsius,
// the coldest a temperature meter can read), and the lower below the upper.
inline constexpr double kChartUpperMaximum = 5000.0;
inline constexpr double kChartLowerMinimum = -273.15;

enum class ChartLimitFault { None, UpperTooHigh, LowerTooLow, LowerNotBelowUpper };

// The first of the three rules the pair breaks, checked in the order upper
// maximum, lower minimum, lower below upper; None when it keeps all three.
ChartLimitFault checkChartLimits(double upper, double lower);

// What the operator is told of a fault; empty for None.
QString chartLimitMessage(ChartLimitFault fault, int language);

// Reads the two edits as the C library's atof would, and either hands the
// pair back (true) or reports the first fault and puts the focus on the edit
// to correct (false). A lower limit not below the upper one is shown wholly
// selected so that typing replaces it.
bool acceptChartLimits(QLineEdit &upperEdit, QLineEdit &lowerEdit, Prompts &prompts, int language,
                       double &upper, double &lower);
