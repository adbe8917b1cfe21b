#pragma once

#include "BiText.h"

// Texts of the meter manager and the meter information dialog. The labels of
// the register's fields are in StoreTexts.h.

// Titles of the meter dialog, also the commands of the register list's menu.
inline constexpr BiText kRegisterAddMeter{"添加仪表", "Add Meter"};
inline constexpr BiText kRegisterEditMeter{"修改仪表", "Edit Meter"};
inline constexpr BiText kRegisterConfirmAdd{"确定添加", "Confirm To Add"};
inline constexpr BiText kRegisterConfirmEdit{"确定修改", "Confirm To Edit"};
inline constexpr BiText kRegisterCancel{"取消", "Cancel"};

inline constexpr BiText kRegisterNothingToEdit{"未选中仪表，或仪表数据为空，不能修改！",
                                               "No meter selected,can NOT edit."};
inline constexpr BiText kRegisterFull{"仪表数目已满64，不能继续添加！",
                                      "Meter amount is full,can NOT add more."};
inline constexpr BiText kRegisterAskAdd{
    "仪表添加后只能更改，不可删除。\n确定添加吗？",
    "Once meter is added,you can NOT delete it,but edit it yet.\n Add it?"};
inline constexpr BiText kRegisterNotify{"敬告", "Notify"};

inline constexpr BiText kRegisterBack{"返回主界面", "Back"};
inline constexpr BiText kRegisterAllMeters{"所有仪表", "All Meter"};
// Accessible names of the manager's tree and list.
inline constexpr BiText kRegisterTypeTree{"仪表型号列表", "Meter types"};
inline constexpr BiText kRegisterMeterList{"仪表列表", "Meter list"};
inline constexpr BiText kRegisterMenu{"仪表菜单", "Meter menu"};
