#pragma once

#include "BiText.h"

// Texts of the database layer. The SQLite driver describes its own failures;
// these cover the ones the layer finds before the driver is asked.
inline constexpr BiText kStoreCaption{"Tarvex通讯", "Tarvex Communication"};
inline constexpr BiText kStoreFileMissing{"数据库文件不存在：\n%1", "The database file does not exist:\n%1"};
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
