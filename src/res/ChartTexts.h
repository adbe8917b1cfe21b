#pragma once

#include "BiText.h"

// Texts of the monitoring panel, its real-time chart and the two dialogs that
// set the chart's scale.

// The monitoring panel.
inline constexpr BiText kChartTitle{"仪表实时曲线", "Meter Real-time Chart"};
inline constexpr BiText kRecordInterval{"数据记录间隔", "Record Interval"};
inline constexpr BiText kAutoContinue{"中断接续", "Auto-Continuable Plot"};
inline constexpr BiText kMainInterface{"返回主界面", "Main Interface"};
inline constexpr BiText kItemToWatch{"选择监测项目", "Item To Watch"};
inline constexpr BiText kChartOption{"绘图设置", "Chart Option"};
inline constexpr BiText kStart{"开始", "Start"};
inline constexpr BiText kPause{"暂停", "Pause"};
inline constexpr BiText kContinue{"继续", "Continue"};
inline constexpr BiText kUnitSeconds{"秒", "Sec"};
inline constexpr BiText kUnitMinutes{"分", "Min"};
inline constexpr BiText kUnitHours{"时", "Hour"};
// A meter of the watch tree, formatted with its address, and its one item.
inline constexpr BiText kWatchMeter{"%1#", "%1#"};
inline constexpr BiText kWatchPv{"PV", "PV"};

inline constexpr BiText kChooseItem{"请选择需要监测的项目。", "Please choose some item to be watched."};
inline constexpr BiText kCaptionNoObject{"监测目标未确定", "No object chose"};
inline constexpr BiText kIntervalTooShort{
    "时间间隔短，存储的数据量将很庞大，强烈建议将时间间隔设置在30秒以上。\n是否保持选择并继续？",
    "Interval is too short,that the record will be huge.It is strongly recommend to set it more "
    "than 30 seconds.\n\n Ignore it and continue?"};
inline constexpr BiText kCaptionAffirm{"确认操作", "Affirm"};
inline constexpr BiText kNoItemSelected{"未选择监测项目", "No selected item to watch"};
inline constexpr BiText kCaptionSorry{"抱歉", "Sorry"};
inline constexpr BiText kCannotGoBack{"正在检测数据，不能返回主界面",
                                      "Watching meter,could NOT back to main interface."};

// The legend beside the chart: its caption, and what a screen reader says of
// one row (%1 the meter's "%d#", %2 its latest value or the no-answer mark).
inline constexpr BiText kLegend{"图例", "Legend"};
inline constexpr BiText kLegendRow{"%1：%2", "%1: %2"};
// What a screen reader says of the chart: %1 title, %2 number of curves,
// %3 lower and %4 upper limit.
inline constexpr BiText kChartDescription{"%1，%2 条曲线，%3 至 %4", "%1, %2 curves, %3 to %4"};

// The chart settings dialog.
inline constexpr BiText kChartSetting{"绘图设置", "Chart Setting"};
inline constexpr BiText kLineColor{"各监测项颜色", "Line Color"};
inline constexpr BiText kUpperLimit{"上限", "Upper Limit"};
inline constexpr BiText kLowerLimit{"下限", "Lower Limit"};
inline constexpr BiText kOk{"OK", "OK"};
inline constexpr BiText kCancelCaps{"CANCEL", "CANCEL"};

// The chart range dialog.
inline constexpr BiText kChartRangeTitle{"图表上下限设定", "Chart Upper and Lower Limit setting"};
inline constexpr BiText kUpper{"上限", "Upper"};
inline constexpr BiText kLower{"下限", "Lower"};
inline constexpr BiText kRangeOk{"确定", "OK"};
inline constexpr BiText kRangeCancel{"取消", "Cancel"};

// The checks both dialogs make of a scale, with the caption of their messages.
inline constexpr BiText kUpperTooHigh{"数值超出允许范围5000.0，请修改",
                                      "Upper value is biger than 5000.0.\n\nPlease edit it."};
inline constexpr BiText kLowerTooLow{"数值超出允许范围-273.15，请修改",
                                     "Lower value is smaller than -273.15.\n\nPlease edit it."};
inline constexpr BiText kLowerNotBelowUpper{"下限大于等于上限，重新修改",
                                            "Upper value is smaller than lower value.\n\nPlease edit it."};
inline constexpr BiText kCaptionWrong{"错误", "Wrong"};
