#pragma once

#include <QString>

// Where a setting lives in the settings file. Section and key are ASCII and
// match case-insensitively; the spelling here is the one written into a file
// that does not have the key yet.
struct SettingKey {
    const char *section;
    const char *key;
};

// Every setting the program reads or writes, so that each name is spelt once.
namespace Setting {

// Programme: the language (0 Chinese, 1 English, "%d") and the window title
// in either language.
inline constexpr SettingKey Lang{"Programme", "Lang"};
inline constexpr SettingKey Name{"Programme", "Name"};
inline constexpr SettingKey NameEN{"Programme", "NameEN"};

// CommConfig: the serial line, always written together in this order when
// the port dialog is confirmed. All "%d" except the baud rate text.
inline constexpr SettingKey ComName{"CommConfig", "comname"};   // n of "COMn", 1..10
inline constexpr SettingKey BaudRate{"CommConfig", "baudrate"}; // index into the baud-rate list
inline constexpr SettingKey ByteSize{"CommConfig", "bytesize"}; // data bits 4..8
inline constexpr SettingKey Parity{"CommConfig", "parity"};     // 0 none, 1 odd, 2 even, 3 mark, 4 space
inline constexpr SettingKey StopBits{"CommConfig", "stopbits"}; // 0 one, 1 one and a half, 2 two
inline constexpr SettingKey BaudRateValue{"CommConfig", "baudratevalue"}; // the rate itself, "9600"

// MeterConfig: the meters on the line, always written together in this order.
// All "%d".
inline constexpr SettingKey MeterType{"MeterConfig", "metertype"};         // ID in table METERTYPE
inline constexpr SettingKey Channels{"MeterConfig", "channels"};           // channels of the meter type
inline constexpr SettingKey SamplingTime{"MeterConfig", "samplingtime"};   // poll period in ms
inline constexpr SettingKey SingleOrMulti{"MeterConfig", "singleormulti"}; // one meter or a range
inline constexpr SettingKey StartAddress{"MeterConfig", "startaddress"};   // first meter address
inline constexpr SettingKey EndAddress{"MeterConfig", "endaddress"};       // last meter address
inline constexpr SettingKey MeterAmount{"MeterConfig", "meteramount"};     // number of meters

// ChartConfig: the monitoring panel's background (0x00BBGGRR, "%d") and the
// chart scale (reals, "%g").
inline constexpr SettingKey ChartBkColor{"ChartConfig", "BkColor"};
inline constexpr SettingKey ChartMinValue{"ChartConfig", "MinValue"};
inline constexpr SettingKey ChartMaxValue{"ChartConfig", "MaxValue"};

// History: whether the live values are recorded ("1" or "0") and how many
// days the value history keeps ("%d"); a missing key means on and 90 days.
inline constexpr SettingKey HistoryRecord{"History", "Record"};
inline constexpr SettingKey HistoryRetentionDays{"History", "RetentionDays"};

// Alarms: missing answers in a row that raise a meter's communication-loss
// alarm ("%d", 0 off; missing: 3), and whether the program beeps while an
// alarm waits for its acknowledgement ("1" or "0"; missing: off).
inline constexpr SettingKey AlarmCommLoss{"Alarms", "commloss"};
inline constexpr SettingKey AlarmBeep{"Alarms", "beep"};

// Line: how monitoring is paced. `cycle` is "period" (one meter per tick of
// the poll period) or "fast" (the next meter as soon as the last transaction
// has ended); `timeout` is the fast cycle's answer time-out in ms ("%d").
// A missing key keeps the period cycle and a time-out from the baud rate.
inline constexpr SettingKey LineCycle{"Line", "cycle"};
inline constexpr SettingKey LineTimeout{"Line", "timeout"};
// Line: the transport under the line. `transport` is "serial" (the port of
// "CommConfig"), "rtu-tcp" (RTU frames to a serial device server) or
// "modbus-tcp" (a Modbus TCP gateway); `host` and `tcpport` ("%d", 4001 for
// rtu-tcp and 502 for modbus-tcp when missing) say where the server is. A
// missing `transport` means the serial port.
inline constexpr SettingKey LineTransport{"Line", "transport"};
inline constexpr SettingKey LineHost{"Line", "host"};
inline constexpr SettingKey LineTcpPort{"Line", "tcpport"};
// Line: a line watched through an MQTT broker instead of polled here
// (`transport` = "broker"). `broker` and `brokerport` ("%d", 1883 when
// missing) say where the broker is, `site` ("plant" when missing) and `line`
// name the line as the line service publishes it, each one topic level.
inline constexpr SettingKey LineBroker{"Line", "broker"};
inline constexpr SettingKey LineBrokerPort{"Line", "brokerport"};
inline constexpr SettingKey LineSite{"Line", "site"};
inline constexpr SettingKey LineName{"Line", "line"};

// SysConfig: the main view's background, 0x00BBGGRR, "%d", and the surface
// it showed when the program ended ("None", "MeterPanel", "Chart" or
// "MeterManager"), which it shows again at the next start; a missing key
// starts on the bare background.
inline constexpr SettingKey SysBkColor{"SysConfig", "BkColor"};
inline constexpr SettingKey SysSurface{"SysConfig", "Surface"};

// Ports: the device of the port named "COMn" under the key of that name, for
// example COM1=/dev/ttyUSB0. The keys are made from the port number, so the
// table holds the section and the way to name a key.
inline constexpr const char *PortsSection = "Ports";
inline QString portKey(int n)
{
    return QStringLiteral("COM%1").arg(n);
}

} // namespace Setting
