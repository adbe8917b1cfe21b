#pragma once

#include "BiText.h"

// Texts of the line: status bar texts of the monitoring poll, progress
// prefixes and messages of the parameter read and write runs.
inline constexpr BiText kReconnected{"通讯恢复。", "Communication is reconnected!"};
// Formatted with the responding meter's address.
inline constexpr BiText kMeterRead{"当前读取得到的仪表地址为 %02d #",
                                   "Current address of meter read is %02d #"};
inline constexpr BiText kReadPercent{"读取百分比：", "Read percent:"};
inline constexpr BiText kWritePercent{"写入百分比：", "Wrote percent:"};
inline constexpr BiText kWriteComplete{"写入完成", "Write completely!"};
inline constexpr BiText kCloseParametersFirst{"请点击“所有参数”中的“返回主界面”按钮后再试",
                                              "Please click \"Back\"in the\"All Parameter\",then try again."};

// %1 is the meter type number.
inline constexpr BiText kNoParameters{"仪表类型 %1 没有参数，无法读取！",
                                      "Meter type %1 has no parameter, cannot read!"};
// %1 is the parameter's number (the "No." column of the parameter table),
// %2 its caption.
inline constexpr BiText kReadRefused{"仪表拒绝读取第 %1 号参数“%2”，读取中止！",
                                     "The meter refused to read parameter No.%1 \"%2\", reading stopped!"};
inline constexpr BiText kWriteRefused{"仪表拒绝写入第 %1 号参数“%2”，写入中止！",
                                      "The meter refused to write parameter No.%1 \"%2\", writing stopped!"};
inline constexpr BiText kWriteBadEcho{"写入第 %1 号参数“%2”时仪表回答错误，写入中止！",
                                      "Wrong answer to writing parameter No.%1 \"%2\", writing stopped!"};
inline constexpr BiText kWriteInterrupted{
    "写入第 %1 号参数“%2”时通讯中断！", "Communication is interrupted while writing parameter No.%1 \"%2\"!"};
// %3 is the value as entered.
inline constexpr BiText kValueRefused{
    "第 %1 号参数“%2”的值 %3 不是数字或超出范围，没有写入任何参数！",
    "The value %3 of parameter No.%1 \"%2\" is not a number or out of range, nothing was written!"};
inline constexpr BiText kNothingToWrite{"没有要写入的参数！", "No parameter to write!"};

// Status texts of a port whose device went away and came back.
inline constexpr BiText kPortLost{"通讯端口已断开！每 2 秒重试一次。",
                                  "The communication port is lost! Retrying every 2 s."};
// The same for a connection to a device server or gateway, which is tried
// again after a growing pause rather than every 2 s.
inline constexpr BiText kPortLostReconnecting{"通讯端口已断开！正在重新连接。",
                                              "The communication port is lost! Reconnecting."};
inline constexpr BiText kPortBack{"通讯端口已重新打开，通讯恢复。",
                                  "The communication port is open again, communication is resumed!"};
