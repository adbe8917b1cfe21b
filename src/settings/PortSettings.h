#pragma once

#include <QString>

#include <array>

class SettingsFile;

// The serial line settings of section "CommConfig": what the port dialog
// edits and what the port is opened and configured with.
struct PortSettings {
    // The baud rates the port dialog offers, in its order: baudIndex is a
    // position in this list.
    static constexpr std::array<const char *, 18> BaudRates{
        "75",   "110",  "134",  "150",   "300",   "600",   "1200",  "1800",   "2400",
        "4800", "7200", "9600", "14400", "19200", "38400", "57600", "115200", "128000"};

    int portNumber = 1;                        // n of "COMn", 1..10
    QString portText = QStringLiteral("COM1"); // the port name the line is opened by
    int baudIndex = 11;                        // position in the list of baud rates
    QString baudText = QStringLiteral("9600"); // the baud rate itself, as text
    int dataBits = 8;                          // 4..8
    int parityIndex = 0;                       // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBitsIndex = 2;                     // 0 one, 1 one and a half, 2 two

    // The port name is "COM" followed by the stored text of `comname`, so a
    // missing key names the port "COMError", which cannot be opened.
    static PortSettings read(const SettingsFile &settings);
    // Writes the six keys in the order comname, baudrate, bytesize, parity,
    // stopbits, baudratevalue.
    bool write(SettingsFile &settings) const;

    // The baud rate the port is set to: the leading number of the baud text.
    int baudValue() const;

    // The device given to port n in section "Ports" (key "COMn"), or an empty
    // text when the settings name none, so that the default device applies.
    static QString configuredDevice(const SettingsFile &settings, int n);
};
