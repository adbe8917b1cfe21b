#pragma once

#include "BiText.h"

// Texts of the window that scans the line for meters.
inline constexpr BiText kScanTitle{"扫描仪表", "Scan the Line"};
inline constexpr BiText kScanFrom{"起始地址(&F)：", "&From address:"};
inline constexpr BiText kScanTo{"结束地址(&T)：", "&To address:"};
inline constexpr BiText kScanBauds{"波特率(&B)：", "&Baud rates:"};
inline constexpr BiText kScanParity{"校验：", "Parity:"};
inline constexpr BiText kScanParityNone{"无校验", "None"};
inline constexpr BiText kScanParityOdd{"奇校验", "Odd"};
inline constexpr BiText kScanParityEven{"偶校验", "Even"};
inline constexpr BiText kScanStopBits{"停止位：", "Stop bits:"};
inline constexpr BiText kScanStopOne{"1 位", "1"};
inline constexpr BiText kScanStopTwo{"2 位", "2"};
inline constexpr BiText kScanTimeout{"超时(&O)：", "Time-&out:"};
inline constexpr BiText kScanTimeoutAuto{"自动（40 毫秒 + 2 帧时间）", "automatic (40 ms + 2 frame times)"};
inline constexpr BiText kScanTimeoutSuffix{" 毫秒", " ms"};
inline constexpr BiText kScanStart{"开始扫描(&S)", "&Start"};
inline constexpr BiText kScanCancel{"取消(&C)", "&Cancel"};
inline constexpr BiText kScanCopy{"复制(&P)", "Co&py"};
inline constexpr BiText kScanSaveCsv{"另存为 CSV(&V)…", "Sa&ve as CSV…"};
inline constexpr BiText kScanUseConfig{"用作配置(&U)", "&Use as configuration"};
inline constexpr BiText kScanAddRegister{"加入仪表登记(&R)", "Add to &register"};
inline constexpr BiText kScanProgressName{"扫描进度", "Scan progress"};
inline constexpr BiText kScanResultsName{"扫描结果", "Scan results"};
inline constexpr BiText kScanSettingsName{"各线路设置的结果", "Results by line setting"};

// %1 candidates probed of %2, %3 seconds still to go.
inline constexpr BiText kScanProgress{"已完成 %1 / %2 个候选，约剩 %3 秒",
                                      "%1 / %2 candidates done, about %3 s left"};

// The columns of the results, also the header of a copy and of the CSV file.
inline constexpr BiText kScanColAddress{"地址", "Address"};
inline constexpr BiText kScanColBaud{"波特率", "Baud"};
inline constexpr BiText kScanColParity{"校验", "Parity"};
inline constexpr BiText kScanColDataBits{"数据位", "Data bits"};
inline constexpr BiText kScanColStopBits{"停止位", "Stop bits"};
inline constexpr BiText kScanColAnswer{"应答", "Answer"};
inline constexpr BiText kScanColResponse{"响应时间（毫秒）", "Response (ms)"};
inline constexpr BiText kScanColValue{"测量值", "Value"};
inline constexpr BiText kScanAnswerNormal{"正常", "normal"};
// %1 the exception code, two hexadecimal digits.
inline constexpr BiText kScanAnswerException{"异常码 %1", "exception %1"};

// %1 a line setting as "19200 8N1", %2 the meters found there.
inline constexpr BiText kScanNothingAt{"在 %1 未发现仪表", "nothing found at %1"};
inline constexpr BiText kScanFoundAt{"在 %1 发现 %2 台仪表", "%2 meter(s) found at %1"};

// How a scan ended; %1 the meters found.
inline constexpr BiText kScanDone{"扫描完成：发现 %1 台仪表。", "Scan done: %1 meter(s) found."};
inline constexpr BiText kScanCancelled{"扫描已取消：发现 %1 台仪表。", "Scan cancelled: %1 meter(s) found."};
inline constexpr BiText kScanLineLost{"扫描中断：通讯端口已断开。发现 %1 台仪表。",
                                      "Scan stopped: the port went away. %1 meter(s) found."};

// Why a scan does not start.
inline constexpr BiText kScanNotOpen{
    "通讯端口未打开，不能扫描。请先在“通讯端口设置”中打开端口。",
    "The port is not open, so the line cannot be scanned. Open it in Comm Config "
    "first."};
inline constexpr BiText kScanRunOn{"正在读写仪表参数，请等其结束后再扫描。",
                                   "Meter parameters are being read or written; scan once that has ended."};
inline constexpr BiText kScanAlready{"扫描正在进行。", "A scan is running already."};
inline constexpr BiText kScanBadRange{
    "地址范围无效：起始地址不能大于结束地址（0..63）。",
    "The address range is not valid: the first address must not lie above the "
    "last (0..63)."};
inline constexpr BiText kScanBadTimeout{"超时无效：应为 1 到 10000 毫秒，或自动。",
                                        "The time-out is not valid: 1 to 10000 ms, or automatic."};
inline constexpr BiText kScanNoBaud{"请至少勾选一个波特率。", "Tick at least one baud rate."};
inline constexpr BiText kScanNoParity{"请至少勾选一种校验。", "Tick at least one parity."};
inline constexpr BiText kScanNoStopBits{"请至少勾选一种停止位。", "Tick at least one number of stop bits."};

// What was done with the finds.
inline constexpr BiText kScanNothingFound{"还没有发现仪表。", "No meter has been found yet."};
inline constexpr BiText kScanBusy{"扫描正在进行，请先取消或等其结束。",
                                  "A scan is running; cancel it or wait for its end."};
// %1 the line setting, %2 and %3 the first and last address.
inline constexpr BiText kScanConfigured{"已采用 %1、地址 %2..%3 作为配置，通讯端口已按新设置重新打开。",
                                        "%1 with the addresses %2..%3 is now the configuration; the port was "
                                        "reopened with it."};
// %1 how many, %2 their addresses.
inline constexpr BiText kScanAdded{"已将 %1 台仪表加入登记（地址 %2）。",
                                   "%1 meter(s) added to the register (addresses %2)."};
inline constexpr BiText kScanNoneToAdd{"发现的仪表都已登记，没有添加仪表。",
                                       "Every meter found is registered already; none was added."};
// %1 the addresses left out.
inline constexpr BiText kScanOutOfOrder{
    "地址 %1 低于登记中最后一台仪表的地址，不能按地址顺序添加，请在“管理仪表”中处理。",
    "The addresses %1 lie below the last meter of the register and cannot be "
    "added in address order; see the Meter Manager."};
inline constexpr BiText kScanCsvFilter{"CSV 文件 (*.csv)", "CSV files (*.csv)"};
// %1 the file, %2 the reason.
inline constexpr BiText kScanCannotWrite{"无法写入 %1：%2", "%1 cannot be written: %2"};
inline constexpr BiText kScanSaved{"已保存到 %1。", "Saved to %1."};
inline constexpr BiText kScanCopied{"已复制 %1 行。", "%1 row(s) copied."};
