#pragma once

#include "BiText.h"

// Texts of the line statistics window and the traffic monitor.

inline constexpr BiText kStatisticsTitle{"通讯统计", "Line Statistics"};
inline constexpr BiText kStatisticsTable{"各仪表通讯统计", "Line statistics of the meters"};
inline constexpr BiText kStatisticsReset{"清零", "Reset"};
inline constexpr BiText kStatisticsCopy{"复制", "Copy"};
inline constexpr BiText kStatisticsSave{"另存为 CSV...", "Save as CSV..."};
inline constexpr BiText kStatisticsCsvFilter{"CSV 文件 (*.csv)", "CSV files (*.csv)"};

// Column headers of the statistics table.
inline constexpr BiText kColumnAddress{"地址", "Address"};
inline constexpr BiText kColumnPosition{"安装位置", "Position"};
inline constexpr BiText kColumnAnswers{"回答", "Answers"};
inline constexpr BiText kColumnMissing{"无回答", "Missing"};
inline constexpr BiText kColumnGarbage{"CRC/乱码", "CRC/garbage"};
inline constexpr BiText kColumnExceptions{"异常回答", "Exceptions"};
inline constexpr BiText kColumnLastMs{"最近响应 (ms)", "Last (ms)"};
inline constexpr BiText kColumnAverageMs{"平均响应 (ms)", "Average (ms)"};
inline constexpr BiText kColumnMaxMs{"最长响应 (ms)", "Maximum (ms)"};
inline constexpr BiText kColumnLastGood{"最近正常回答", "Last good answer"};
inline constexpr BiText kColumnState{"状态", "State"};
inline constexpr BiText kStateAnswering{"正常", "answering"};
inline constexpr BiText kStateNotAnswering{"无响应", "not answering"};

inline constexpr BiText kTrafficTitle{"通讯监视", "Traffic Monitor"};
inline constexpr BiText kTrafficTable{"通讯记录", "Line traffic"};
inline constexpr BiText kTrafficPause{"暂停", "Pause"};
inline constexpr BiText kTrafficClear{"清除", "Clear"};
inline constexpr BiText kTrafficSave{"另存为文本...", "Save as text..."};
inline constexpr BiText kTrafficTextFilter{"文本文件 (*.txt)", "Text files (*.txt)"};
inline constexpr BiText kTrafficMeterFilter{"显示仪表", "Show meter"};
inline constexpr BiText kTrafficAllMeters{"所有仪表", "All meters"};

inline constexpr BiText kColumnTime{"时间", "Time"};
inline constexpr BiText kColumnDirection{"方向", "Direction"};
inline constexpr BiText kColumnBytes{"字节", "Bytes"};
inline constexpr BiText kColumnMeaning{"含义", "Meaning"};
inline constexpr BiText kDirectionSent{"发送", "TX"};
inline constexpr BiText kDirectionReceived{"接收", "RX"};

// Meanings of the frames. %1 is the meter address, %2 the register, %3 the
// value written.
inline constexpr BiText kFrameRead{"读 %1# 寄存器 %2", "read %2 of meter %1"};
inline constexpr BiText kFrameWrite{"写 %1# 寄存器 %2 = %3", "write %2 = %3 to meter %1"};
// %1 is the value read.
inline constexpr BiText kFrameAnswer{"回答 %1", "answer %1"};
// %1 is the register, %2 the value confirmed.
inline constexpr BiText kFrameWriteConfirmed{"写入确认 %1 = %2", "write %1 = %2 confirmed"};
// %1 is the exception code, two hex digits.
inline constexpr BiText kFrameException{"错误：异常回答 %1", "error: exception %1"};
inline constexpr BiText kFrameCrcError{"错误：CRC 校验错误", "error: CRC error"};
inline constexpr BiText kFrameGarbage{"错误：无法识别的回答", "error: unreadable answer"};
inline constexpr BiText kFrameEchoSkipped{"回波已跳过", "echo skipped"};
inline constexpr BiText kFrameNoAnswer{"错误：%1# 无回答", "error: no answer from meter %1"};
inline constexpr BiText kFrameOther{"功能码 %1", "function %1"};

// A file that could not be written: %1 is the path, %2 the reason.
inline constexpr BiText kSaveFailed{"无法写入文件 %1：%2", "Cannot write the file %1: %2"};
inline constexpr BiText kSaveFailedCaption{"保存失败", "Save failed"};
