#pragma once

#include "BiText.h"

// Texts of the alarm limits dialog, the alarms shown on the value panels and
// the alarm count of the status bar.

// The menu entry and the value panel's context menu entry.
inline constexpr BiText kMenuAlarmLimits{"报警限值(&L)…", "Alarm &limits…"};
inline constexpr BiText kPanelAlarmLimits{"报警限值…", "Alarm limits…"};

// The alarm limits dialog.
inline constexpr BiText kAlarmLimitsTitle{"报警限值", "Alarm limits"};
inline constexpr BiText kAlarmMeterGroup{"仪表", "Meter"};
inline constexpr BiText kAlarmAddress{"仪表地址：", "Meter address:"};
inline constexpr BiText kAlarmHigh{"高限：", "High limit:"};
inline constexpr BiText kAlarmLow{"低限：", "Low limit:"};
inline constexpr BiText kAlarmDeadband{"回差：", "Deadband:"};
inline constexpr BiText kAlarmDelay{"延时（秒）：", "Delay (s):"};
inline constexpr BiText kAlarmEnabled{"启用报警", "Alarms enabled"};
inline constexpr BiText kAlarmNoLimitHint{"空 = 无限值", "empty = none"};
inline constexpr BiText kAlarmLineGroup{"通讯线路", "Line"};
inline constexpr BiText kAlarmCommLoss{"连续无应答次数报通讯中断（0 = 关闭）：",
                                       "Communication loss after missed answers (0 = off):"};
inline constexpr BiText kAlarmOk{"确定", "OK"};
inline constexpr BiText kAlarmCancel{"取消", "Cancel"};
inline constexpr BiText kAlarmBeep{"报警时蜂鸣", "Beep while an alarm is unacknowledged"};

// Refused entries: %1 is the field's name.
inline constexpr BiText kAlarmFieldHigh{"高限", "High limit"};
inline constexpr BiText kAlarmFieldLow{"低限", "Low limit"};
inline constexpr BiText kAlarmFieldDeadband{"回差", "Deadband"};
inline constexpr BiText kAlarmFieldDelay{"延时", "Delay"};
inline constexpr BiText kAlarmNotANumber{"%1：不是有效的数字。", "%1: not a valid number."};
inline constexpr BiText kAlarmLowNotBelowHigh{"%1：低限必须小于高限。",
                                              "%1: the low limit must be below the high limit."};
inline constexpr BiText kAlarmNegative{"%1：不能为负数。", "%1: must not be negative."};
// The limits could not be stored: %1 the file, %2 why.
inline constexpr BiText kAlarmCannotStore{"无法保存报警限值（%1）：%2",
                                          "The alarm limits cannot be stored (%1): %2"};

// The alarm word beside PV.
inline constexpr BiText kAlarmWordHigh{"高限", "HI"};
inline constexpr BiText kAlarmWordLow{"低限", "LO"};
inline constexpr BiText kAlarmWordComm{"通讯", "COMM"};

// What a screen reader says of a panel's alarm: the kind, then its state.
inline constexpr BiText kAlarmKindHigh{"高限报警", "High alarm"};
inline constexpr BiText kAlarmKindLow{"低限报警", "Low alarm"};
inline constexpr BiText kAlarmKindComm{"通讯中断报警", "Communication loss alarm"};
inline constexpr BiText kAlarmStateUnacknowledged{"%1，未确认", "%1, not acknowledged"};
inline constexpr BiText kAlarmStateAcknowledged{"%1，已确认", "%1, acknowledged"};
inline constexpr BiText kAlarmStateClearedUnacknowledged{"%1已恢复，未确认", "%1 cleared, not acknowledged"};
inline constexpr BiText kAlarmStateSeparator{"；", "; "};

// The status bar: %1 active alarms, %2 unacknowledged.
inline constexpr BiText kAlarmStatusCount{"报警：%1 个活动，%2 个未确认",
                                          "Alarms: %1 active, %2 unacknowledged"};
inline constexpr BiText kAlarmStatusNone{"无报警", "No alarms"};
