#pragma once

#include "BiText.h"

// Texts of the command-line tool quorvane-cli.

// Bad usage; %1 the word or value concerned.
inline constexpr BiText kCliNoCommand{
    "缺少命令：read、params、backup、compare、restore、copy、scan 或 ports。",
    "No command given: read, params, backup, compare, restore, copy, scan or ports."};
inline constexpr BiText kCliUnknownCommand{"未知命令“%1”。", "Unknown command \"%1\"."};
inline constexpr BiText kCliBadAddress{"“%1”不是有效的仪表地址（0..63）。",
                                       "\"%1\" is not a meter address (0..63)."};
inline constexpr BiText kCliNeedAddress{"请指定仪表地址。", "Name the meter address."};
inline constexpr BiText kCliOneAddress{"此命令只接受一个仪表地址。", "This command takes one meter address."};
inline constexpr BiText kCliOutOneMeter{"--out 只能用于一个仪表的备份。",
                                        "--out is for the backup of one meter only."};
inline constexpr BiText kCliNeedWith{"请用 --with 指定 JSON 文件或第二个仪表地址。",
                                     "Name a JSON file or a second meter address with --with."};
inline constexpr BiText kCliNeedFrom{"请用 --from 指定 JSON 文件。", "Name a JSON file with --from."};
inline constexpr BiText kCliNeedFromAddress{"请用 --from 指定 JSON 文件或仪表地址。",
                                            "Name a JSON file or a meter address with --from."};
inline constexpr BiText kCliNeedTo{"请用 --to 指定目标仪表地址。", "Name the target meters with --to."};
inline constexpr BiText kCliNeedYes{"此命令会写入仪表参数；确认请加 --yes。未写入任何内容。",
                                    "This command writes meter parameters; add --yes to confirm. Nothing was "
                                    "written."};
inline constexpr BiText kCliBadSkip{"--skip 中“%1”不是有效的参数序号 k。",
                                    "--skip: \"%1\" is not a parameter k."};
inline constexpr BiText kCliPortsNoArgument{"ports 命令不接受参数“%1”。",
                                            "The ports command takes no argument \"%1\"."};
inline constexpr BiText kCliBadOption{"选项 %1 的值“%2”无效。", "Option %1: \"%2\" is not valid."};
inline constexpr BiText kCliCannotRead{"无法读取文件 %1。", "The file %1 cannot be read."};
inline constexpr BiText kCliCannotWrite{"无法写入文件 %1。", "The file %1 cannot be written."};
inline constexpr BiText kCliTypeUnknown{"仪表类型 %1 未知或没有参数菜单。",
                                        "The meter type %1 is unknown or has no parameter menu."};
inline constexpr BiText kCliTypeMismatch{
    "%1 是仪表类型 %2 的参数组，而所选仪表类型为 %3。未写入任何内容。",
    "%1 is a set of meter type %2, but the meter type is %3. Nothing was "
    "written."};
inline constexpr BiText kCliStoreFailed{"无法打开参数组数据库 %1：%2。",
                                        "The set store %1 cannot be opened: %2."};
inline constexpr BiText kCliSaveFailed{"仪表 %1 的参数组未能保存：%2。",
                                       "The set of meter %1 was not stored: %2."};

// The line; %1 the reason in words.
inline constexpr BiText kCliLineFailed{"无法打开通讯线路：%1", "The line cannot be opened: %1"};
inline constexpr BiText kCliPortHeld{
    "端口已被其他程序占用（例如正在运行的 Quorvane 桌面程序），请先关闭该程序。%1",
    "The port is held by another program (such as the Quorvane desktop program "
    "running on it); close that first. %1"};
inline constexpr BiText kCliNoReason{"未知原因", "no reason given"};

// Results. %1 the meter, %2 the value.
inline constexpr BiText kCliValue{"仪表 %1：%2", "Meter %1: %2"};
inline constexpr BiText kCliNoAnswer{"仪表 %1：无应答", "Meter %1: no answer"};
inline constexpr BiText kCliParamsHead{"仪表 %1（%2）的参数：", "Parameters of meter %1 (%2):"};
inline constexpr BiText kCliBackupStored{"仪表 %1 的参数组已保存（编号 %2）。",
                                         "The set of meter %1 is stored (id %2)."};
inline constexpr BiText kCliFileWritten{"已写入 %1。", "%1 written."};
inline constexpr BiText kCliCompareHead{"k\t寄存器\t名称\t%1\t%2", "k\tregister\tcaption\t%1\t%2"};
inline constexpr BiText kCliMeterColumn{"仪表 %1", "meter %1"};
inline constexpr BiText kCliDifferences{"共 %1 处不同。", "%1 differences."};
inline constexpr BiText kCliPlanned{"仪表 %1：需写入 %2 个参数。", "Meter %1: %2 parameters to write."};
// %1 meter, %2 k, %3 caption, %4 before, %5 written, %6 read back.
inline constexpr BiText kCliStep{"仪表 %1 参数 %2 %3：%4 → %5，回读 %6",
                                 "Meter %1 parameter %2 %3: %4 → %5, read back %6"};
inline constexpr BiText kCliNotRead{"无", "none"};
inline constexpr BiText kCliStopped{"已中止。", "Stopped."};

// The scan. %1 the meter, %2 the setting ("19200 8N1"), %3 the value or
// the exception code, %4 the response time in ms.
inline constexpr BiText kCliScanFound{"发现仪表 %1（%2）：测量值 %3，应答 %4 ms",
                                      "Meter %1 found at %2: value %3, answered in %4 ms"};
inline constexpr BiText kCliScanException{"发现仪表 %1（%2）：异常应答，代码 %3，应答 %4 ms",
                                          "Meter %1 found at %2: exception answer, code %3, in %4 ms"};
inline constexpr BiText kCliScanNothingAt{"%1：无仪表应答。", "%1: no meter answered."};
// %1 the count, %2 the seconds.
inline constexpr BiText kCliScanSummary{"共发现 %1 台仪表，用时 %2 秒。", "%1 meters found in %2 s."};
inline constexpr BiText kCliScanNone{"未发现任何仪表（用时 %1 秒）。", "No meter answered (%1 s)."};
inline constexpr BiText kCliScanAddresses{"扫描地址 %1..%2 需在 0..63 之内且起始不大于结束。",
                                          "The addresses to scan, %1..%2, must lie within 0..63, the first "
                                          "not above the last."};
inline constexpr BiText kCliScanTakesNoAddress{"scan 不接受仪表地址；请用 --from 和 --to 指定范围。",
                                               "scan takes no meter address; give the range with --from and "
                                               "--to."};
