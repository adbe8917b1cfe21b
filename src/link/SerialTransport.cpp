#include "SerialTransport.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#endif

namespace {

bool toParity(int index, QSerialPort::Parity *parity)
{
    static constexpr QSerialPort::Parity byIndex[] = {QSerialPort::NoParity, QSerialPort::OddParity,
                                                      QSerialPort::EvenParity, QSerialPort::MarkParity,
                                                      QSerialPort::SpaceParity};
    if (index < 0 || index > 4)
        return false;
    *parity = byIndex[index];
    return true;
}

bool toStopBits(int index, QSerialPort::StopBits *stopBits)
{
    static constexpr QSerialPort::StopBits byIndex[] = {QSerialPort::OneStop, QSerialPort::OneAndHalfStop,
                                                        QSerialPort::TwoStop};
    if (index < 0 || index > 2)
        return false;
#ifndef Q_OS_WIN
    // POSIX line settings know one or two stop bits only; QSerialPort would
    // quietly take 1.5 and put two on the line.
    if (byIndex[index] == QSerialPort::OneAndHalfStop)
        return false;
#endif
    *stopBits = byIndex[index];
    return true;
}

// QSerialPort leaves its error string at "No error" for a failed open; the
// error code still tells why.
PortFailure portFailure(const QString &device, QSerialPort::SerialPortError error)
{
    using Reason = PortFailure::Reason;
    switch (error) {
    case QSerialPort::NoError:
        return {};
    case QSerialPort::DeviceNotFoundError:
        return {Reason::DeviceNotFound, device};
    case QSerialPort::PermissionError:
        return {Reason::PermissionDenied, device};
    case QSerialPort::UnsupportedOperationError:
        return {Reason::SettingRefused, device};
    default:
        return {Reason::Other, device, int(error)};
    }
}

} // namespace

SerialTransport::SerialTransport(const QString &devicePath, QObject *parent)
    : Transport(parent), port(this), device(devicePath)
{
    connect(&port, &QSerialPort::readyRead, this, &Transport::bytesArrived);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialTransport::onError);
}

SerialTransport::~SerialTransport()
{
    close();
}

bool SerialTransport::open()
{
    close();
    failed = {};
    port.setPortName(device);
    reported = QSerialPort::NoError;
    // QSerialPort opens exclusively: it takes the device's lock file and sets
    // TIOCEXCL, so neither a second link nor another program can share it.
    if (!port.open(QIODevice::ReadWrite)) {
        failed = portFailure(device, reported);
        port.clearError();
        return false;
    }
    return true;
}

bool SerialTransport::configure(const LineSettings &settings)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    if (!port.isOpen() || settings.baud <= 0 || settings.dataBits < 5 || settings.dataBits > 8 ||
        !toParity(settings.parityIndex, &parity) || !toStopBits(settings.stopBitsIndex, &stopBits))
        return false;
    reported = QSerialPort::NoError;
    // The platform refuses what it cannot do (1.5 stop bits on Linux, an odd
    // baud rate on some drivers).
    const bool applied = port.setBaudRate(settings.baud) &&
                         port.setDataBits(QSerialPort::DataBits(settings.dataBits)) &&
                         port.setParity(parity) && port.setStopBits(stopBits) &&
                         port.setFlowControl(QSerialPort::NoFlowControl);
    if (applied)
        return true;
    // A refusal the port gives no error code for is still a refused setting.
    failed = portFailure(device, reported);
    if (!failed)
        failed = {PortFailure::Reason::SettingRefused, device};
    port.clearError();
    return false;
}

void SerialTransport::close()
{
    if (port.isOpen())
        port.close();
    port.clearError();
    deviceGone = false;
}

bool SerialTransport::isOpen() const
{
    return port.isOpen() && !deviceGone;
}

// QSerialPort writes asynchronously from the event loop, so nothing here
// waits: the frame counts as written once the port has taken all of it, and
// a write that fails later is reported by writeFailed().
bool SerialTransport::writeFrame(const QByteArray &frame)
{
    if (!isOpen())
        return false;
    return port.write(frame) == frame.size();
}

QByteArray SerialTransport::takeBytes()
{
    return port.readAll();
}

void SerialTransport::discardInput()
{
    port.clear(QSerialPort::Input);
    port.readAll();
}

bool SerialTransport::inputPending() const
{
#ifdef Q_OS_UNIX
    int queued = 0;
    if (port.isOpen() && ::ioctl(int(port.handle()), FIONREAD, &queued) == 0)
        return queued > 0;
#endif
    return false;
}

void SerialTransport::onError(QSerialPort::SerialPortError error)
{
    // Kept for open() and configure(): the error is cleared below, before
    // the call that caused it has returned.
    if (error != QSerialPort::NoError)
        reported = error;
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::WriteError:
        emit writeFailed();
        break;
    case QSerialPort::ReadError:
        // A device that hung up stays readable and every read of it returns
        // nothing. QSerialPort reports each such read as a read error and
        // keeps listening, so the reports would come back at once, over and
        // over. A read that finds nothing on a device still there is no
        // loss: discardInput() may have dropped bytes the port had already
        // been told about.
        if (deviceHungUp()) {
            loseDevice();
            return;
        }
        break;
    case QSerialPort::ResourceError:
        loseDevice();
        return;
    default:
        break;
    }
    port.clearError();
}

// The device went away: nothing more is written to it, and the port is
// closed once QSerialPort has returned from reporting the error (closing it
// inside its own handler makes it read and flush a closed device). Qt
// delivers the queued close before the port's next read notification, so a
// hung-up device is not read again.
void SerialTransport::loseDevice()
{
    if (deviceGone)
        return;
    deviceGone = true;
    QMetaObject::invokeMethod(this, &SerialTransport::closeLostDevice, Qt::QueuedConnection);
}

void SerialTransport::closeLostDevice()
{
    if (!deviceGone)
        return;
    close();
    emit lost();
}

bool SerialTransport::deviceHungUp() const
{
#ifdef Q_OS_UNIX
    // Linux marks a hung-up terminal with POLLHUP (and POLLERR) whatever
    // events are asked for.
    pollfd state{int(port.handle()), 0, 0};
    if (port.isOpen() && ::poll(&state, 1, 0) == 1)
        return (state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#endif
    return false;
}
