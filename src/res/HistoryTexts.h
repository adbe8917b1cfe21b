#pragma once

#include "BiText.h"

// Texts of the history chart.

inline constexpr BiText kHistoryTitle{"历史曲线", "History Chart"};
inline constexpr BiText kHistoryMeters{"仪表", "Meters"};
inline constexpr BiText kHistoryMeter{"%1#", "%1#"};
inline constexpr BiText kHistoryRange{"时间范围", "Time range"};
inline constexpr BiText kHistoryLastHour{"最近一小时", "Last hour"};
inline constexpr BiText kHistoryLastDay{"最近一天", "Last day"};
inline constexpr BiText kHistoryLastWeek{"最近一周", "Last week"};
inline constexpr BiText kHistoryFromTo{"自定义", "From / to"};
inline constexpr BiText kHistoryFrom{"从", "From"};
inline constexpr BiText kHistoryTo{"到", "To"};
inline constexpr BiText kHistoryShow{"显示", "Show"};
inline constexpr BiText kHistoryResetZoom{"还原", "Reset zoom"};
inline constexpr BiText kHistoryExportPng{"导出图片…", "Export PNG…"};
inline constexpr BiText kHistoryExportCsv{"导出 CSV…", "Export CSV…"};
// The switch of the recording, kept in the settings file.
inline constexpr BiText kHistoryRecord{"记录数值", "Record values"};
inline constexpr BiText kHistoryPngFilter{"PNG 图片 (*.png)", "PNG images (*.png)"};
inline constexpr BiText kHistoryCsvFilter{"CSV 文件 (*.csv)", "CSV files (*.csv)"};
// How to use the plot, shown below it.
inline constexpr BiText kHistoryHint{"滚轮缩放，拖动平移，右键拖出范围放大，双击还原",
                                     "Wheel to zoom, drag to pan, right-drag a span to zoom into it, "
                                     "double-click to reset"};
// The readout under the cursor: %1 the time, %2 the values of the meters.
inline constexpr BiText kHistoryReadout{"%1  %2", "%1  %2"};
// A meter's value in the readout, or its no-answer state.
inline constexpr BiText kHistoryReadoutValue{"%1#: %2", "%1#: %2"};
// Between two meters' values in the readout.
inline constexpr BiText kHistoryReadoutGap{"  ", "  "};
inline constexpr BiText kHistoryNoAnswer{"----", "----"};
// A column that holds several values: %1 the smallest, %2 the largest.
inline constexpr BiText kHistoryReadoutSpan{"%1～%2", "%1..%2"};
inline constexpr BiText kHistoryNoData{"此时间范围内没有记录的数值。",
                                       "No values were recorded in this time range."};
// What a screen reader says of the plot: %1 meters, %2 from, %3 to.
inline constexpr BiText kHistoryDescription{"仪表 %1，%2 至 %3", "Meters %1, %2 to %3"};
inline constexpr BiText kHistoryListSeparator{"、", ", "};
// What the chart marks of the alarms, after the description above: %1 the
// limits, each as kHistoryHighLimit or kHistoryLowLimit (%1 the meter, %2
// the limit); %2 the number of alarm spans.
inline constexpr BiText kHistoryLimitsDescription{"；限值：%1", "; limits: %1"};
inline constexpr BiText kHistoryHighLimit{"%1# 高限 %2", "%1# high %2"};
inline constexpr BiText kHistoryLowLimit{"%1# 低限 %2", "%1# low %2"};
inline constexpr BiText kHistorySpansDescription{"；报警时段 %1 个", "; %1 alarm spans"};

inline constexpr BiText kHistoryCannotOpen{"无法打开历史数据文件 %1：\n%2",
                                           "Cannot open the history file %1:\n%2"};
// The reason of an open that SQLite allowed but that left the file out of
// write-ahead logging, on which the history relies.
inline constexpr BiText kHistoryWalRefused{"历史数据文件不能使用预写日志（WAL）模式",
                                           "The history file refuses write-ahead logging (WAL mode)"};
// When a read of the history for the chart failed: %1 the file, %2 the reason.
inline constexpr BiText kHistoryCannotRead{"无法读取历史数据文件 %1：\n%2",
                                           "Cannot read the history file %1:\n%2"};
// In the status bar when a commit of the value history failed.
inline constexpr BiText kHistoryWriteFailed{"无法写入历史数据：%1", "Cannot write the value history: %1"};
inline constexpr BiText kHistoryCannotSave{"无法保存文件 %1：\n%2", "Cannot save the file %1:\n%2"};
inline constexpr BiText kHistoryRangeWrong{"开始时间必须早于结束时间。",
                                           "The start must lie before the end."};
inline constexpr BiText kHistoryCaption{"历史曲线", "History Chart"};
