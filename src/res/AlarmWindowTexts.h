#pragma once

#include "BiText.h"

// The alarms window: the alarms standing now and the log of alarm events.
inline constexpr BiText kAlarmsTitle{"报警", "Alarms"};
inline constexpr BiText kAlarmsCaption{"报警", "Alarms"};
inline constexpr BiText kAlarmsStanding{"当前报警与待确认报警",
                                        "Active alarms and alarms awaiting acknowledgement"};
inline constexpr BiText kAlarmsLog{"报警记录", "Alarm log"};
inline constexpr BiText kAlarmsColMeter{"仪表", "Meter"};
inline constexpr BiText kAlarmsColPosition{"安装位置", "Install position"};
inline constexpr BiText kAlarmsColKind{"类型", "Kind"};
inline constexpr BiText kAlarmsColSince{"开始时间", "Since"};
inline constexpr BiText kAlarmsColValue{"数值", "Value"};
inline constexpr BiText kAlarmsColLimit{"限值", "Limit"};
inline constexpr BiText kAlarmsColAcknowledged{"已确认", "Acknowledged"};
inline constexpr BiText kAlarmsColActive{"状态", "State"};
inline constexpr BiText kAlarmsColTime{"时间", "Time"};
inline constexpr BiText kAlarmsColEvent{"事件", "Event"};
inline constexpr BiText kAlarmsActive{"报警中", "Active"};
inline constexpr BiText kAlarmsInactive{"已恢复", "Cleared"};
inline constexpr BiText kAlarmsYes{"是", "Yes"};
inline constexpr BiText kAlarmsNo{"否", "No"};
inline constexpr BiText kAlarmKindHigh{"高限", "High"};
inline constexpr BiText kAlarmKindLow{"低限", "Low"};
inline constexpr BiText kAlarmKindComm{"通讯", "Comm"};
inline constexpr BiText kAlarmEventRaised{"报警", "Raised"};
inline constexpr BiText kAlarmEventCleared{"恢复", "Cleared"};
inline constexpr BiText kAlarmEventAcknowledged{"确认", "Acknowledged"};
inline constexpr BiText kAlarmsAcknowledge{"确认", "Acknowledge"};
inline constexpr BiText kAlarmsAcknowledgeAll{"全部确认", "Acknowledge all"};
inline constexpr BiText kAlarmsMeterFilter{"仪表：", "Meter:"};
inline constexpr BiText kAlarmsAllMeters{"全部仪表", "All meters"};
inline constexpr BiText kAlarmsFrom{"从：", "From:"};
inline constexpr BiText kAlarmsTo{"到：", "To:"};
inline constexpr BiText kAlarmsRefresh{"刷新", "Refresh"};
inline constexpr BiText kAlarmsExportCsv{"导出 CSV…", "Export CSV…"};
inline constexpr BiText kAlarmsCsvFilter{"CSV 文件 (*.csv)", "CSV files (*.csv)"};
// %1 the number of alarms.
inline constexpr BiText kAlarmsNoneSelected{"请先选择要确认的报警。",
                                            "Select the alarms to acknowledge first."};
inline constexpr BiText kAlarmsAcknowledged{"已确认 %1 个报警。", "%1 alarms acknowledged."};
inline constexpr BiText kAlarmsNothingWaiting{"没有等待确认的报警。",
                                              "No alarm is waiting for acknowledgement."};
// %1 the number of events.
inline constexpr BiText kAlarmsLogShown{"显示 %1 条报警记录。", "%1 alarm events shown."};
inline constexpr BiText kAlarmsRangeBad{"开始时间必须早于结束时间，记录未刷新。",
                                        "The start must lie before the end; the log was not refreshed."};
// %1 the reason given by the history file.
inline constexpr BiText kAlarmsLogFailed{"无法读取报警记录：%1", "The alarm log cannot be read: %1"};
// %1 the file, %2 the reason.
inline constexpr BiText kAlarmsCannotWrite{"无法写入 %1：%2", "%1 cannot be written: %2"};
inline constexpr BiText kAlarmsExported{"已导出到 %1。", "Exported to %1."};
