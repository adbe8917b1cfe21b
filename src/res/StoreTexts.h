#pragma once

#include "BiText.h"

// Texts of the database layer. The SQLite driver describes its own failures;
// these cover the ones the layer finds before the driver is asked.
inline constexpr BiText kStoreCaption{"Tarvex通讯", "Tarvex Communication"};
inline constexpr BiText kStoreFileMissing{"数据库文件不存在：\n%1", "The database file does not exist:\n%1"};
// %2 is the driver's description, for example of a file that is no database.
inline constexpr BiText kStoreCannotOpen{"无法打开数据库文件 %1：\n%2",
                                         "Cannot open the database file %1:\n%2"};
inline constexpr BiText kStoreUnknownFile{"未知的数据库文件：%1", "Unknown database file: %1"};
inline constexpr BiText kStoreNotOpen{"数据库未打开。", "The database is not open."};
inline constexpr BiText kStoreUnknownTable{"未知的数据表：%1", "Unknown table: %1"};
inline constexpr BiText kStoreUnknownField{"数据表 %1 中没有字段 %2。", "Table %1 has no field %2."};
inline constexpr BiText kStoreNoCurrentRow{"数据表 %1 没有当前记录。", "Table %1 has no current record."};
inline constexpr BiText kStoreNoRowAtOffset{"数据表 %1 中没有偏移为 %2 的记录。",
                                            "Table %1 has no record at offset %2."};
inline constexpr BiText kStoreRowGone{"数据表 %1 中要修改的记录已不存在。",
                                      "The record to change no longer exists in table %1."};
inline constexpr BiText kStoreNoMatchingRow{"数据表 %1 中没有 %2 为“%3”的记录。",
                                            "Table %1 has no record whose %2 is \"%3\"."};
// %2 lists the missing fields.
inline constexpr BiText kStoreMissingFields{"数据表 %1 缺少字段 %2。", "Table %1 lacks the field(s) %2."};
// %2 is the number of records left out; %3..%5 name the first bad value.
inline constexpr BiText kStoreNotAWholeNumber{
    "数据表 %1 中有 %2 条记录含有不是整数的字段，已忽略（ID 为 %3 的记录的字段 %4 为“%5”）。",
    "%2 record(s) of table %1 have a field that is not a whole number and were left out (field %4 of the "
    "record with ID %3 is \"%5\")."};

// Labels of the register's fields, shared by the register list and the meter
// dialog.
inline constexpr BiText kMeterAddressLabel{"仪表地址", "Meter Address"};
inline constexpr BiText kInstallPositionLabel{"安装位置", "Installation Pos."};
inline constexpr BiText kSensorTypeLabel{"传感器型号", "Sensor Type"};
inline constexpr BiText kMeterTypeLabel{"仪表型号", "Meter Type"};
inline constexpr BiText kPrecisionLabel{"精度等级", "Precision"};
inline constexpr BiText kMeasuringRangeLabel{"测量范围", "Meas. Range"};
inline constexpr BiText kMeterNameLabel{"仪表名", "Meter Name"};
inline constexpr BiText kSerialNumberLabel{"出厂编号", "Manuf. SN"};
inline constexpr BiText kManufactureDateLabel{"出厂年月", "Manuf. Date"};
inline constexpr BiText kManufacturerLabel{"制造厂", "Manufactory"};
inline constexpr BiText kOwnerLabel{"所属单位", "Owned Unit"};
inline constexpr BiText kAppearanceLabel{"外观", "Appearance"};
inline constexpr BiText kRemarkLabel{"备注", "Remark"};
