#pragma once

#include "BiText.h"

// Texts of the parameter sets and the write log. %1 is the file, %2 the
// driver's description.
inline constexpr BiText kWriteLogCannotOpen{"无法打开参数写入记录 %1：%2。参数写入将不被记录。",
                                            "The parameter write log %1 cannot be opened: %2. Parameter "
                                            "writes are not logged."};

// Why an imported parameter file was refused; %1 the file, %2 the detail.
inline constexpr BiText kImportNotJson{"%1 不是有效的 JSON 文件（%2），未导入任何内容。",
                                       "%1 is not a valid JSON file (%2). Nothing was imported."};
inline constexpr BiText kImportNotASet{"%1 不是参数组文件（format 应为 quorvane-parameters），未导入任何内容。",
                                       "%1 is not a parameter set file (format must be quorvane-parameters). "
                                       "Nothing was imported."};
inline constexpr BiText kImportVersion{"%1 的版本 %2 未知（支持版本 1），未导入任何内容。",
                                       "%1 has the unknown version %2 (version 1 is known). Nothing was imported."};
inline constexpr BiText kImportFieldMissing{"%1 缺少字段“%2”，未导入任何内容。",
                                            "%1 lacks the field \"%2\". Nothing was imported."};
inline constexpr BiText kImportFieldNotValid{"%1 中字段“%2”的值无效，未导入任何内容。",
                                             "%1: the field \"%2\" has no valid value. Nothing was imported."};
inline constexpr BiText kImportMeterType{"%1 的仪表类型 %2 在本机仪表类型中不存在，未导入任何内容。",
                                         "%1 is for meter type %2, which is not known here. Nothing was imported."};
inline constexpr BiText kImportOutsideMenu{"%1 含有参数 k=%2，该仪表类型的参数菜单中没有此参数，未导入任何内容。",
                                           "%1 holds parameter k=%2, which the meter type's menu does not have. "
                                           "Nothing was imported."};
inline constexpr BiText kImportRawOutOfRange{"%1 中参数 %2 超出 16 位寄存器范围，未导入任何内容。",
                                             "%1: parameter %2 does not fit a 16-bit register. Nothing was "
                                             "imported."};
inline constexpr BiText kImportDuplicate{"%1 中参数 k=%2 出现了两次，未导入任何内容。",
                                         "%1 holds parameter k=%2 twice. Nothing was imported."};
inline constexpr BiText kImportRegister{"%1 中参数 k=%2 的寄存器不是 2k，未导入任何内容。",
                                        "%1: the register of parameter k=%2 is not 2k. Nothing was imported."};

// How a backup, restore or copy ended. %1 the meter, %2 the parameter
// (k and caption), %3 the value written, %4 the value read, %5 the
// exception code, %6 the parameters written.
inline constexpr BiText kJobDone{"完成：已写入并回读确认 %6 个参数。", "Done: %6 parameters written and read back."};
inline constexpr BiText kJobCancelled{"已取消。已写入并回读确认 %6 个参数。",
                                      "Cancelled. %6 parameters were written and read back."};
inline constexpr BiText kJobNoParameters{"%1# 仪表的类型没有参数菜单，未读写任何参数。",
                                         "The type of meter %1 has no parameter menu: nothing was read or written."};
inline constexpr BiText kJobReadFailed{"无法读取 %1# 仪表的参数（无回答或被拒绝），已停止。已写入 %6 个参数。",
                                       "The parameters of meter %1 could not be read (no answer or refused). "
                                       "Stopped; %6 parameters were written."};
inline constexpr BiText kJobRefused{"%1# 仪表拒绝写入参数 %2（写入 %3，异常码 %5），已停止。已写入 %6 个参数。",
                                    "Meter %1 refused parameter %2 (written %3, exception code %5). Stopped; %6 "
                                    "parameters were written."};
inline constexpr BiText kJobNoAnswer{"%1# 仪表写入参数 %2 时无回答（写入 %3），已停止。已写入 %6 个参数。",
                                     "Meter %1 did not answer the write of parameter %2 (written %3). Stopped; %6 "
                                     "parameters were written."};
inline constexpr BiText kJobReadBackDifferent{
    "%1# 仪表参数 %2 回读不符：写入 %3，读回 %4，已停止。已写入 %6 个参数。",
    "Meter %1, parameter %2 reads back differently: written %3, read %4. Stopped; %6 parameters were written."};
inline constexpr BiText kJobBusy{"线路正在读写参数，请稍后再试。", "The line is reading or writing parameters; try again later."};
