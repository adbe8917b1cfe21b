#pragma once

#include "BiText.h"

// Texts of the main window, its menus, toolbar and status bar, the port
// dialog and the About box.

// Menu 130 (Chinese) and menu 131 (English). Data backup appears in the
// Chinese menu only; its English half names it for the accelerator-only use
// in English.
inline constexpr BiText kMenuSystem{"系统(&S)", "&System"};
inline constexpr BiText kMenuCommConfig{"通讯端口设置(&C)", "&Comm Config"};
inline constexpr BiText kMenuMeterConfig{"仪表设置(&M)", "&Meter Config"};
inline constexpr BiText kMenuSetBkColor{"改变背景颜色(&S)", "&SetBkColor"};
inline constexpr BiText kMenuDataBackup{"数据备份(B)", "Data &Backup"};
inline constexpr BiText kMenuExit{"退出系统(&X)", "&Exit"};
inline constexpr BiText kMenuTools{"工具(&T)", "&Tools"};
inline constexpr BiText kMenuMeterManager{"管理仪表(&M)", "&Meter Manager"};
inline constexpr BiText kMenuMeterInterface{"仪表面板(&I)", "Meter &Interface"};
inline constexpr BiText kMenuRealtimeChart{"实时曲线(&C)", "Realtime &Chart"};
inline constexpr BiText kMenuHistoryChart{"历史曲线(&H)", "&History Chart"};
inline constexpr BiText kMenuChartRange{"图表的显示范围(&R)", "Chart &Range"};
inline constexpr BiText kMenuLineStatistics{"通讯统计(&T)", "Line &Statistics"};
inline constexpr BiText kMenuTrafficMonitor{"通讯监视(&F)", "&Traffic Monitor"};
inline constexpr BiText kMenuScanLine{"扫描仪表(&N)", "Sca&n the Line"};
inline constexpr BiText kMenuAlarms{"报警(&A)", "&Alarms"};
inline constexpr BiText kMenuView{"查看(&V)", "&View"};
inline constexpr BiText kMenuToolbar{"工具栏(&T)", "&Toolbar"};
inline constexpr BiText kMenuStatusBar{"状态栏(&S)", "&Status Bar"};
inline constexpr BiText kMenuLanguage{"语言(&L)", "&Language"};
inline constexpr BiText kMenuChinese{"简体中文(&C)", "&Chinese"};
inline constexpr BiText kMenuEnglish{"英语(&E)", "&English"};
inline constexpr BiText kMenuHelp{"帮助(&H)", "&Help"};
inline constexpr BiText kMenuAbout{"关于&A)", "&About"};
inline constexpr BiText kMenuManual{"帮助手册(&M)", "&Manual"};

// Tooltips of the toolbar buttons.
inline constexpr BiText kTipExit{"退出系统", "Exit"};
inline constexpr BiText kTipCommConfig{"通讯端口设置", "Communication port settings"};
inline constexpr BiText kTipMeterConfig{"仪表设置", "Meter configuration"};
inline constexpr BiText kTipMeterManager{"管理仪表", "Meter manager"};
inline constexpr BiText kTipMeterInterface{"仪表面板", "Meter panel"};
inline constexpr BiText kTipRealtimeChart{"实时曲线", "Real-time chart"};
inline constexpr BiText kToolbarTitle{"工具栏", "Toolbar"};

// Status bar: the idle text of the message pane and the lock-key indicators.
inline constexpr BiText kStatusReady{"就绪", "Ready"};
inline constexpr BiText kIndicatorCaps{"CAP", "CAP"};
inline constexpr BiText kIndicatorNum{"NUM", "NUM"};
inline constexpr BiText kIndicatorScroll{"SCRL", "SCRL"};
inline constexpr BiText kIndicatorUnknown{"无法读取键盘指示灯状态",
                                          "The keyboard lock state cannot be read here"};

// The window title for a language index other than 0 and 1 (and the title
// text of the application as a whole).
inline constexpr BiText kTitleFallback{"Tarvex通讯", "Tarvex Communication"};

inline constexpr BiText kOpenPortFailedAtStart{
    "未能打开通讯端口。\n请重新设置。",
    "Fail to open the communication port.\n Please reset the it and retry."};
inline constexpr BiText kOpenPortFailed{"打开通讯端口失败！\n 请重新设置",
                                        "Fail to open the communication port.\n Please reset it and retry."};
inline constexpr BiText kConfigurePortFailed{
    "设置通讯端口参数失败！\n 请重新设置",
    "Fail to set the communication parameters.\n Please reset it and retry."};
inline constexpr BiText kCaptionConfigError{"配置错误", "Configuration Error"};
// The port's own reason, shown as a second line under the texts above; %1 is
// the device (or the port name that names none).
inline constexpr BiText kPortNoDevice{"%1 没有对应的设备", "%1 names no device"};
inline constexpr BiText kPortDeviceNotFound{"%1：设备不存在", "%1: no such device"};
inline constexpr BiText kPortPermissionDenied{"%1：没有访问权限，或已被其他程序占用",
                                              "%1: permission denied, or in use by another program"};
inline constexpr BiText kPortSettingRefused{"%1：设备不接受这些通讯参数",
                                            "%1: the device refuses these settings"};
inline constexpr BiText kPortOtherError{"%1：端口错误 %2", "%1: port error %2"};
inline constexpr BiText kPortHostNotFound{"%1：找不到主机", "%1: host not found"};
inline constexpr BiText kPortConnectionRefused{"%1：连接被拒绝", "%1: connection refused"};
inline constexpr BiText kPortConnectionTimedOut{"%1：连接超时", "%1: connection timed out"};
inline constexpr BiText kPortConnectionLost{"%1：连接中断", "%1: connection lost"};
inline constexpr BiText kPortNotConnected{"%1：尚未连接", "%1: not connected"};
inline constexpr BiText kNotAvailable{"对不起，目前此功能正在完善中。",
                                      "Sorry,this function is being build."};
inline constexpr BiText kCaptionRegrets{"抱歉", "Regrets"};
inline constexpr BiText kDataDirectoryFailed{"未能在数据目录中建立以下文件：\n%1\n%2",
                                             "Fail to lay down these files in the data directory:\n%1\n%2"};
// A setting that could not be stored; %1 is the settings file's path.
inline constexpr BiText kSettingsWriteFailed{"无法写入设置文件：\n%1", "Cannot write the settings file:\n%1"};

// Port dialog (dialog 131).
inline constexpr BiText kCommDialogCaption{"设置通讯端口", "Set Communication Port"};
inline constexpr BiText kCommGroup{"设置通讯端口", "Set Communication Port"};
inline constexpr BiText kCommPort{"端口号", "Port"};
inline constexpr BiText kCommBaud{"波特率", "Baud rate"};
inline constexpr BiText kCommDataBits{"数据位", "Data bit"};
inline constexpr BiText kCommParity{"奇偶检验", "Parity"};
inline constexpr BiText kCommStopBits{"停止位", "Stop bit"};
inline constexpr BiText kCommReset{"还原默认值(&R)", "&Reset"};
inline constexpr BiText kParityNone{"无", "NONE"};
inline constexpr BiText kParityOdd{"奇", "Odd"};
inline constexpr BiText kParityEven{"偶", "Even"};
inline constexpr BiText kParityMark{"标志", "Mark"};
inline constexpr BiText kParitySpace{"空格", "Space"};
// The port dialog's choice of transport. %1 is the host or the port as typed.
inline constexpr BiText kCommTransport{"传输方式：", "Transport:"};
inline constexpr BiText kTransportSerial{"串口", "Serial port"};
inline constexpr BiText kTransportRtuTcp{"串口服务器（RTU over TCP）", "Serial device server (RTU over TCP)"};
inline constexpr BiText kTransportModbusTcp{"Modbus TCP 网关", "Modbus TCP gateway"};
inline constexpr BiText kCommHost{"主机：", "Host:"};
inline constexpr BiText kCommTcpPort{"TCP 端口：", "TCP port:"};
inline constexpr BiText kCommHostMissing{
    "请输入串口服务器或网关的主机名或 IP 地址！",
    "Please enter the host name or IP address of the device server or gateway!"};
inline constexpr BiText kCommHostNotValid{"主机名“%1”无效！", "The host name \"%1\" is not valid!"};
inline constexpr BiText kCommTcpPortNotValid{"TCP 端口“%1”无效，应为 1 到 65535！",
                                             "The TCP port \"%1\" is not valid, it must be 1 to 65535!"};
inline constexpr BiText kButtonOk{"确定", "OK"};
inline constexpr BiText kButtonCancel{"取消", "Cancel"};

// About box (dialog 100); %1 is the version.
inline constexpr BiText kAboutCaption{"关于", "About"};
inline constexpr BiText kAboutLine{"Quorvane 仪表通讯  版本 %1", "Quorvane meter communication, version %1"};

// The alarm table cannot be read; %1 the file, %2 SQLite's words.
inline constexpr BiText kAlarmLimitsCannotRead{"无法读取报警限值表（%1）：%2",
                                               "The alarm limits cannot be read from %1: %2"};
