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

// The parameter sets window.
inline constexpr BiText kSetsTitle{"参数组", "Parameter sets"};
inline constexpr BiText kSetsTabSets{"仪表与参数组", "Meters and sets"};
inline constexpr BiText kSetsTabCompare{"比较", "Compare"};
inline constexpr BiText kSetsTabLog{"写入记录", "Write log"};
inline constexpr BiText kSetsMetersTable{"已配置的仪表", "Configured meters"};
inline constexpr BiText kSetsSetsTable{"已保存的参数组", "Stored sets"};
inline constexpr BiText kSetsColAddress{"地址", "Address"};
inline constexpr BiText kSetsColPosition{"安装位置", "Install position"};
inline constexpr BiText kSetsColType{"仪表类型", "Meter type"};
inline constexpr BiText kSetsColId{"编号", "No."};
inline constexpr BiText kSetsColTaken{"保存时间 (UTC)", "Taken (UTC)"};
inline constexpr BiText kSetsColNote{"备注", "Note"};
inline constexpr BiText kSetsColCount{"参数个数", "Parameters"};
inline constexpr BiText kSetsNote{"备注：", "Note:"};
inline constexpr BiText kSetsNoteField{"备份备注", "Backup note"};
inline constexpr BiText kSetsBackupSelected{"备份所选仪表", "Back up selected meters"};
inline constexpr BiText kSetsBackupAll{"备份全部仪表", "Back up all meters"};
inline constexpr BiText kSetsCancel{"取消", "Cancel"};
inline constexpr BiText kSetsProgress{"进度", "Progress"};
inline constexpr BiText kSetsExportJson{"导出 JSON…", "Export JSON…"};
inline constexpr BiText kSetsExportCsv{"导出 CSV…", "Export CSV…"};
inline constexpr BiText kSetsImportJson{"导入 JSON…", "Import JSON…"};
inline constexpr BiText kSetsCompareButton{"与仪表比较", "Compare with meter"};
inline constexpr BiText kSetsCompareMeter{"比较的仪表", "Meter to compare"};
inline constexpr BiText kSetsRestore{"恢复到仪表…", "Restore to its meter…"};
inline constexpr BiText kSetsJsonFilter{"参数组文件 (*.json)", "Parameter set files (*.json)"};
inline constexpr BiText kSetsCsvFilter{"CSV 文件 (*.csv)", "CSV files (*.csv)"};
// %1 the number of sets stored.
inline constexpr BiText kSetsBackupDone{"备份完成：已保存 %1 个参数组。", "Backup done: %1 sets stored."};
inline constexpr BiText kSetsBackupCancelled{"备份已取消：已保存 %1 个参数组。", "Backup cancelled: %1 sets stored."};
inline constexpr BiText kSetsNoMeterSelected{"请先选择仪表。", "Select a meter first."};
inline constexpr BiText kSetsNoSetSelected{"请先选择一个参数组。", "Select a set first."};
inline constexpr BiText kSetsNoMeters{"没有已配置的仪表。", "No meters are configured."};
// %1 the file, %2 the reason.
inline constexpr BiText kSetsCannotWrite{"无法写入文件 %1：%2", "The file %1 cannot be written: %2"};
inline constexpr BiText kSetsCannotRead{"无法读取文件 %1：%2", "The file %1 cannot be read: %2"};
inline constexpr BiText kSetsExported{"已导出到 %1。", "Exported to %1."};
// %1 the file, %2 the meter.
inline constexpr BiText kSetsImported{"已从 %1 导入 %2# 仪表的参数组。", "The set of meter %2 was imported from %1."};
inline constexpr BiText kSetsStoreFailed{"无法保存参数组：%1", "The set cannot be stored: %1"};
inline constexpr BiText kSetsCaption{"参数组", "Parameter sets"};
// Compare.
inline constexpr BiText kSetsCompareTable{"参数比较", "Parameter comparison"};
inline constexpr BiText kSetsColK{"序号", "k"};
inline constexpr BiText kSetsColCaption{"参数", "Parameter"};
inline constexpr BiText kSetsColSet{"参数组中的值", "Value in set"};
inline constexpr BiText kSetsColMeter{"仪表中的值", "Value in meter"};
inline constexpr BiText kSetsColOtherSet{"另一参数组中的值", "Value in the other set"};
// A stored set offered for comparison: %1 its number, %2 its meter, %3 when taken.
inline constexpr BiText kSetsCompareSetItem{"参数组 %1（%2# 仪表，%3）", "Set %1 (meter %2, %3)"};
// %1 and %2 the two sets, %3 the count of differences.
inline constexpr BiText kSetsCompareSets{"参数组 %1 与参数组 %2 比较：%3 处不同。",
                                         "Set %1 against set %2: %3 differences."};
inline constexpr BiText kSetsColDiffers{"不同", "Differs"};
inline constexpr BiText kSetsDiffers{"不同", "differs"};
inline constexpr BiText kSetsSame{"相同", "same"};
// %1 the set's number, %2 the meter, %3 the count of differences.
inline constexpr BiText kSetsCompareResult{"参数组 %1 与 %2# 仪表比较：%3 处不同。",
                                           "Set %1 against meter %2: %3 differences."};
inline constexpr BiText kSetsTypeMismatch{"%1# 仪表与参数组的仪表类型不同，无法比较或写入。",
                                          "Meter %1 is of another type than the set: it cannot be compared or written."};
// %1 the set's number, %2 the meter, %3 the time taken.
inline constexpr BiText kSetsRestoreQuestion{
    "将参数组 %1（%3）写回 %2# 仪表？仪表中与参数组不同的参数将被改写。",
    "Write set %1 (%3) back to meter %2? The meter's parameters that differ from the set will be overwritten."};
// Write log.
inline constexpr BiText kSetsLogTable{"参数写入记录", "Parameter write log"};
inline constexpr BiText kSetsLogFilter{"按仪表筛选", "Filter by meter"};
inline constexpr BiText kSetsLogAll{"全部仪表", "All meters"};
inline constexpr BiText kSetsLogExport{"导出 CSV…", "Export CSV…"};
inline constexpr BiText kSetsLogRefresh{"刷新", "Refresh"};
inline constexpr BiText kSetsColTime{"时间 (UTC)", "Time (UTC)"};
inline constexpr BiText kSetsColOld{"原值", "Before"};
inline constexpr BiText kSetsColNew{"写入值", "Written"};
inline constexpr BiText kSetsColResult{"结果", "Result"};
inline constexpr BiText kSetsColReadBack{"回读值", "Read back"};
// Copy to other meters.
inline constexpr BiText kSetsTabCopy{"复制到其他仪表", "Copy to meters"};
inline constexpr BiText kSetsCopyTargets{"目标仪表", "Target meters"};
inline constexpr BiText kSetsCopyPreview{"预览差异", "Preview differences"};
inline constexpr BiText kSetsCopyRun{"复制所勾选的参数…", "Copy ticked parameters…"};
inline constexpr BiText kSetsCopyTable{"各目标仪表的差异", "Differences of each target"};
inline constexpr BiText kSetsColTarget{"目标仪表", "Target"};
inline constexpr BiText kSetsNoTarget{"请先勾选目标仪表。", "Tick the target meters first."};
inline constexpr BiText kSetsPreviewFirst{"请先预览差异。", "Preview the differences first."};
// %1 the set, %2 the number of targets, %3 the ticked rows.
inline constexpr BiText kSetsCopyPreviewed{"参数组 %1 与 %2 台目标仪表共有 %3 处不同。",
                                           "Set %1 differs from the %2 targets in %3 parameters."};
inline constexpr BiText kSetsCopyQuestion{"将参数组 %1 的 %3 个勾选参数写入 %2 台仪表？",
                                          "Write the %3 ticked parameters of set %1 to %2 meters?"};
// %1 the parameters written, %2 the meters.
inline constexpr BiText kSetsCopyDone{"复制完成：已向 %2 台仪表写入并回读确认 %1 个参数。",
                                      "Copy done: %1 parameters written and read back on %2 meters."};
