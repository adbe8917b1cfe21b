#pragma once

#include "BiText.h"

// Texts of the parameter editor's windows.

// The progress window's first text, before a read or write has begun; the
// same in both languages.
inline constexpr BiText kProgressStartPrefix{"读写进度 ", "读写进度 "};

// The parameter window: its caption, which is also the text of the radio
// button that writes every parameter.
inline constexpr BiText kAllParameters{"所有参数", "All Parameter"};
inline constexpr BiText kWriteInMeter{"写入仪表", "Write In Meter"};
inline constexpr BiText kOnlyChanged{"仅修改的参数", "Only Changed"};
inline constexpr BiText kWriteIn{"写入", "Write In"};
inline constexpr BiText kBackToMain{"返回主界面", "Cancel"};

// Header row of the parameter table.
inline constexpr BiText kHeaderNumber{"序号", "No."};
inline constexpr BiText kHeaderParameter{"参数名称", "Parameter"};
inline constexpr BiText kHeaderValue{"参数值", "Value"};

inline constexpr BiText kAskWriteChanged{"是否将修改的参数写入仪表？",
                                         "Would you write CHANGED PARAMETER into meter?"};
inline constexpr BiText kAskWriteAll{"是否将所有的参数写入仪表？",
                                     "Would you write ALL PARAMETER into meter?"};
inline constexpr BiText kCaptionConfirmWrite{"确认写入", "Write into meter?"};
inline constexpr BiText kNotChanged{"参数值未修改", "The value of parameter(s) is not changed."};
inline constexpr BiText kCaptionNotWritten{"未写入", "No wrote in"};
inline constexpr BiText kWriteStillRunning{"上一次写入尚未结束，请等它结束后再写入！",
                                           "A write is still running, please write again when it has ended."};

// A value cell that cannot be written. %1 is the parameter's number (the
// "No." column), %2 its caption, %3 the text as typed; the text is quoted
// because it may be empty or blank.
inline constexpr BiText kValueNotNumber{
    "第 %1 号参数“%2”的值“%3”不是数字，没有写入任何参数！",
    "The value \"%3\" of parameter No.%1 \"%2\" is not a number, nothing was written!"};
// The value does not fit the meter's signed 16-bit register once scaled by
// the parameter's decimal places.
inline constexpr BiText kValueOutOfRange{
    "第 %1 号参数“%2”的值 %3 超出范围，没有写入任何参数！",
    "The value %3 of parameter No.%1 \"%2\" is out of range, nothing was written!"};
