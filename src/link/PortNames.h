#pragma once

#include <QString>

#include <functional>

// Turns the port names "COM1".."COM10" into device paths. A name may be given
// a device of its own (the app reads it from the settings file, section
// "Ports", key "COMn"); otherwise COM1..COM4 are /dev/ttyS0..3 and COM5..COM10
// are /dev/ttyUSB0..5.
class PortNames {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 10;

    // Returns the configured device of port n, or an empty string (or
    // anything that is not an absolute path) for the default.
    using Override = std::function<QString(int n)>;

    PortNames() = default;
    explicit PortNames(Override override);

    // The device of a port name, or an empty string for a name that is not
    // "COM" followed by 1..10.
    QString devicePath(const QString &portName) const;
    QString devicePath(int n) const;

    // n of "COMn", or 0 when the name is not a valid port name.
    static int portNumber(const QString &portName);
    static QString defaultDevicePath(int n);

private:
    Override override;
};
