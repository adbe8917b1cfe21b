#pragma once

// Command ids shared by the menus, the toolbar, the accelerators and the
// context menus, and the ids of the program's dialogs and menus.
namespace CommandId {
inline constexpr int CommConfig = 32771;
inline constexpr int MeterConfig = 32772;
inline constexpr int SetBkColor = 32781;
inline constexpr int AddMeter = 32788;
inline constexpr int RealtimeChart = 32789;
inline constexpr int ReadAllParameters = 32790;
inline constexpr int MeterInterface = 32791;
inline constexpr int DataBackup = 32793;
inline constexpr int HelpManual = 32794;
inline constexpr int MeterManager = 32795;
inline constexpr int ChartRange = 32796;
inline constexpr int EditMeter = 32798;
inline constexpr int English = 32799;
inline constexpr int Chinese = 32800;
inline constexpr int HistoryChart = 32801;
inline constexpr int LineStatistics = 32802;
inline constexpr int TrafficMonitor = 32803;
inline constexpr int ScanLine = 32804;
inline constexpr int PortCheck = 32805;
inline constexpr int EditAlarmLimits = 32806;
inline constexpr int Alarms = 32807;
inline constexpr int About = 57664;
inline constexpr int Exit = 57665;
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
} // namespace CommandId

namespace ResourceId {
inline constexpr int AboutDialog = 100;
inline constexpr int ChineseMenu = 130;
inline constexpr int EnglishMenu = 131;
inline constexpr int CommDialog = 131;
inline constexpr int ParameterDialog = 162;
inline constexpr int ProgressDialog = 165;
inline constexpr int Toolbar = 0xE800;
inline constexpr int StatusBar = 0xE801;
} // namespace ResourceId

// Timers of the main window that carry the line; the period of each is also
// the answer time-out of the request sent at its tick.
namespace TimerId {
inline constexpr int PollTimer = 1;
inline constexpr int ProbeTimer = 2;
inline constexpr int ReadAllTimer = 3;
inline constexpr int WriteTimer = 4;
} // namespace TimerId
