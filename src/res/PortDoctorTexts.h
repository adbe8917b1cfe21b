#pragma once

#include "BiText.h"

// Texts of the port check: what examining the serial devices found, said
// to a technician, with the command that mends it.

// The window.
inline constexpr BiText kPortCheckTitle{"端口检查", "Port check"};
inline constexpr BiText kPortCheckDevice{"设备", "Device"};
inline constexpr BiText kPortCheckFinding{"检查结果", "Finding"};
inline constexpr BiText kPortCheckRefresh{"刷新(&R)", "&Refresh"};
inline constexpr BiText kPortCheckClose{"关闭", "Close"};
inline constexpr BiText kMenuPortCheck{"端口检查(&P)", "&Port check"};
inline constexpr BiText kCommPortCheck{"端口检查…", "Port check…"};

// One device. %1 the device a stable name points to.
inline constexpr BiText kDoctorStableName{"这是一个稳定名称，指向 %1。", "This stable name points to %1."};
inline constexpr BiText kDoctorFree{"可以打开，没有程序占用。", "It can be opened; no program holds it."};
// %1 process id, %2 process name, %3 lock file.
inline constexpr BiText kDoctorHeldBy{
    "已被进程 %1（%2）占用，锁文件为 %3。请先关闭该程序。",
    "It is held by process %1 (%2), lock file %3. Close that program first."};
inline constexpr BiText kDoctorHeldHere{"已被本程序自己的通讯线路占用（进程 %1）。",
                                        "It is held by this program's own line (process %1)."};
inline constexpr BiText kDoctorHeldUnknown{"已被其他程序独占，无法得知是哪个程序。",
                                           "Another program holds it exclusively; which one cannot be told."};
inline constexpr BiText kDoctorUnknownProcess{"未知程序", "unknown program"};
inline constexpr BiText kDoctorMissing{"设备不存在：适配器未插入或已被拔出。",
                                       "The device does not exist: the adapter is not plugged in."};
inline constexpr BiText kDoctorPermissionDenied{"当前用户没有权限打开此设备。",
                                                "The current user is not allowed to open this device."};
inline constexpr BiText kDoctorNoHardware{"此设备后面没有串口硬件。",
                                          "There is no serial hardware behind this device."};
// %1 the system's error number.
inline constexpr BiText kDoctorOpenFailed{"无法打开此设备（错误码 %1）。",
                                          "The device cannot be opened (error %1)."};
// %1 user, %2 group.
inline constexpr BiText kDoctorNotInGroup{
    "用户 %1 不在拥有此设备的用户组 %2 中。修正方法：运行 sudo usermod -aG %2 %1，然后注销并重新登录。",
    "The user %1 is not in the group %2 that owns this device. To fix it, run sudo usermod -aG %2 %1, then "
    "log "
    "out and log in again."};
inline constexpr BiText kDoctorGroupAfterLogin{
    "用户 %1 已加入用户组 %2，但要注销并重新登录后才生效。",
    "The user %1 has been added to the group %2, but that takes effect only after logging out and in again."};

// The whole system. %1 the process id.
inline constexpr BiText kDoctorModemManager{
    "ModemManager 正在运行（进程 %1）。它会探测新接入的 USB 串口，干扰 RS-485 适配器。修正方法：运行 sudo "
    "systemctl stop ModemManager，要长期关闭则运行 sudo systemctl disable ModemManager。",
    "ModemManager is running (process %1). It probes new USB serial devices and disturbs RS-485 adapters. To "
    "fix "
    "it, run sudo systemctl stop ModemManager, or sudo systemctl disable ModemManager to keep it off."};
inline constexpr BiText kDoctorNoModemManager{"ModemManager 没有运行。", "ModemManager is not running."};
inline constexpr BiText kDoctorNoDevices{"没有找到串口设备。", "No serial device was found."};
