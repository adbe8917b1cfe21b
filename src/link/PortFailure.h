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
        // A network transport's connection; device holds host:port.
        HostNotFound,       // the host name resolves to no address
        ConnectionRefused,  // nothing listens on the port
        ConnectionTimedOut, // no connection within the connect time-out
        ConnectionLost,     // the peer closed or the connection broke; code: the socket's error
        NotConnected,       // a setting or frame was given before the connection was up
    };
    Reason reason = Reason::None;
    QString device; // the device path, the port name that names none, or host:port
    int code = 0;   // the port's or the socket's error code, for Other and ConnectionLost

    explicit operator bool() const { return reason != Reason::None; }
};
