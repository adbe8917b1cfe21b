#pragma once

#include "BiText.h"

// Texts of the value panels.

// The panel's caption, formatted with the meter address; the panel reads
// its address back from the leading digits.
inline constexpr BiText kPanelCaption{"%1#", "%1#"};
inline constexpr BiText kPanelPv{"PV", "PV"};
inline constexpr BiText kPanelSv{"SV", "SV"};
// The keypad plus key's message.
inline constexpr BiText kPanelPlus{"+", "+"};

// The panel's context menu.
inline constexpr BiText kPanelReadAll{"读取所有参数", "Read All Parameter"};
inline constexpr BiText kPanelMeterConfig{"设置仪表", "Meter Config"};

// The value text of a meter that has stopped answering.
inline constexpr BiText kPanelNoAnswer{"----", "----"};
// What a screen reader says of a panel in that state.
inline constexpr BiText kPanelNotAnswering{"无应答", "not answering"};

// The panel's tooltip: the meter's line health. %1 address, %2 answers,
// %3 missing answers, %4 CRC errors and garbage, %5 exception answers,
// %6 last response time, %7 time of the last good answer.
inline constexpr BiText kPanelHealth{"%1# 通讯情况\n应答：%2\n无应答：%3\n校验错误：%4\n异常应答：%5\n"
                                     "上次响应时间：%6\n上次正确应答：%7",
                                     "%1# line health\nAnswers: %2\nMissing: %3\nCRC errors: %4\n"
                                     "Exceptions: %5\nLast response: %6\nLast good answer: %7"};
// The response time in milliseconds.
inline constexpr BiText kPanelResponseMs{"%1 毫秒", "%1 ms"};
// Response time or answer time before the first good answer.
inline constexpr BiText kPanelNever{"无", "none"};
