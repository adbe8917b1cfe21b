#pragma once

#include "PortFailure.h"

#include <QByteArray>
#include <QObject>
#include <QString>

// The line settings of a serial line. A serial transport sets its device to
// them; a network transport takes them only for the timing of frames (a
// device server's serial side runs at the settings it was given).
struct LineSettings {
    int baud = 9600;
    int dataBits = 8;
    int parityIndex = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBitsIndex = 2; // 0 one, 1 one and a half, 2 two
};

// The byte path under the link: a serial device, or a TCP connection to a
// serial device server or a Modbus TCP gateway. It carries whole RTU frames
// (address, PDU, CRC) both ways, so that the answer assembly, the echo
// handling and the whole-frame rules above it are the same for every
// transport; a transport whose wire format differs converts at this seam.
//
// Everything runs on the thread that owns the object, without blocking:
// opening a network transport may finish later (connected() follows), and
// bytes are announced by bytesArrived() and taken with takeBytes().
class Transport : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts opening the byte path. False (with failure()) when it cannot be
    // opened at all; a network transport returns true while it connects and
    // emits connected() or lost() when that has ended.
    virtual bool open() = 0;
    // Applies the line settings; false (with failure()) when refused.
    virtual bool configure(const LineSettings &settings) = 0;
    virtual void close() = 0;
    // Open and ready to carry a frame.
    virtual bool isOpen() const = 0;

    // Hands one whole RTU frame to the byte path; false when it could not
    // take it (nothing was sent).
    virtual bool writeFrame(const QByteArray &frame) = 0;
    // Whatever has arrived since the last call, as RTU bytes.
    virtual QByteArray takeBytes() = 0;
    // Throws away what has arrived and not been taken, and what still waits
    // below (in the driver or the socket): stale bytes before a request.
    virtual void discardInput() = 0;
    // Bytes wait below that bytesArrived() has not announced yet: the line
    // did not go quiet, the program was only slow to look.
    virtual bool inputPending() const = 0;

    // Why the last open() or configure() failed, or why the path was lost.
    virtual const PortFailure &failure() const = 0;
    // What the transport reaches, for messages: a device path or host:port.
    virtual QString target() const = 0;

signals:
    // A network transport's connection is up; a serial one never needs it.
    void connected();
    // Bytes arrived; takeBytes() has them.
    void bytesArrived();
    // A frame that writeFrame() took did not go out after all.
    void writeFailed();
    // The byte path went away (an unplugged adapter, a dropped connection);
    // the transport is closed.
    void lost();
};
