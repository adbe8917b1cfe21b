#pragma once

#include <QString>

// Why the link could not open or configure its port, as the port reported
// it; the window layer turns it into words.
struct PortFailure {
    enum class Reason {
        None,             // no failure, or none the port could name
        NoDevice,         // the port name stands for no device
        DeviceNotFound,   // the device does not exist (an adapter not plugged in)
        PermissionDenied, // no access, or another program holds the port
        SettingRefused,   // the device refused a line setting
        Other,            // any other error of the port, by its code
    };
    Reason reason = Reason::None;
    QString device; // the device path, or the port name that names none
    int code = 0;   // the port's error code, for Other

    explicit operator bool() const { return reason != Reason::None; }
};
