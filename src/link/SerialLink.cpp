#include "SerialLink.h"

#include <QMetaMethod>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <utility>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <sys/ioctl.h>
#endif

namespace {

// The gap that ends an unfinished answer: 3.5 character times as Modbus RTU
// defines the end of a frame, but never under 20 ms. USB serial adapters hand
// received bytes over in chunks, typically every 1..16 ms (their latency
// timer), so at fast baud rates a frame can pause longer than 3.5 characters
// in the middle. Never over the shortest answer time-out of the scheduler
// either.
constexpr int kMinimumSilenceMs = 20;
constexpr int kMaximumSilenceMs = 200;

int silenceFor(int baud, int dataBits, bool parity, int stopBitsIndex)
{
    const int bitsPerCharacter = 1 + dataBits + (parity ? 1 : 0) + (stopBitsIndex == 0 ? 1 : 2);
    const double characterMs = 1000.0 * bitsPerCharacter / std::max(baud, 1);
    const int gap = int(std::ceil(3.5 * characterMs));
    return std::clamp(gap, kMinimumSilenceMs, kMaximumSilenceMs);
}

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

SerialLink::SerialLink(PortNames names, QObject *parent)
    : QObject(parent), portNames(std::move(names)), port(this)
{
    silenceTimer.setSingleShot(true);
    silenceTimer.setInterval(kMinimumSilenceMs);
    connect(&port, &QSerialPort::readyRead, this, &SerialLink::onReadyRead);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
    connect(&silenceTimer, &QTimer::timeout, this, &SerialLink::onSilence);
}

SerialLink::~SerialLink()
{
    ClosePort();
}

int SerialLink::OpenPort(const QString &portName)
{
    ClosePort();
    device = portNames.devicePath(portName);
    failed = {};
    if (device.isEmpty()) {
        failed = {PortFailure::Reason::NoDevice, portName};
        return 0;
    }
    port.setPortName(device);
    reported = QSerialPort::NoError;
    // QSerialPort opens exclusively: it takes the device's lock file and sets
    // TIOCEXCL, so neither a second link nor another program can share it.
    if (!port.open(QIODevice::ReadWrite)) {
        failed = portFailure(device, reported);
        port.clearError();
        return 0;
    }
    return 1;
}

int SerialLink::Configure(int baud, int dataBits, int parityIndex, int stopBitsIndex)
{
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    if (!port.isOpen() || baud <= 0 || dataBits < 5 || dataBits > 8 || !toParity(parityIndex, &parity) ||
        !toStopBits(stopBitsIndex, &stopBits))
        return 0;
    reported = QSerialPort::NoError;
    // The platform refuses what it cannot do (1.5 stop bits on Linux, an odd
    // baud rate on some drivers); the link then does not run.
    const bool applied = port.setBaudRate(baud) && port.setDataBits(QSerialPort::DataBits(dataBits)) &&
                         port.setParity(parity) && port.setStopBits(stopBits) &&
                         port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        // A refusal the port gives no error code for is still a refused
        // setting.
        failed = portFailure(device, reported);
        if (!failed)
            failed = {PortFailure::Reason::SettingRefused, device};
        port.clearError();
        return 0;
    }
    silenceTimer.setInterval(silenceFor(baud, dataBits, parityIndex != 0, stopBitsIndex));
    runFlag = 1;
    return 1;
}

void SerialLink::WriteRequest(int address, int function, int reg, int value)
{
    const ModbusRequest frame = BuildRequest(address, function, reg, value);
    requestOutstanding = 0;
    answerWaiting = false;
    silenceTimer.stop();
    assembler.reset();
    if (!port.isOpen() || deviceGone)
        return;
    discardInput();
    assembler.start(frame);
    // QSerialPort writes asynchronously from the event loop, so nothing here
    // waits. The request counts as written once the port has taken all 8
    // bytes: an answer can only come after they went out, and a write that
    // fails later clears the flag again (onError), like a write that never
    // completed.
    const auto size = qint64(frame.size());
    if (port.write(reinterpret_cast<const char *>(frame.data()), size) == size) {
        requestOutstanding = 1;
        sentAt.start();
        written = frame;
        heard.clear();
        if (isSignalConnected(QMetaMethod::fromSignal(&SerialLink::requestWritten)))
            emit requestWritten(QByteArray(reinterpret_cast<const char *>(frame.data()), size));
    } else
        assembler.reset();
}

ReceiveBuffer SerialLink::ReadResponse()
{
    silenceTimer.stop();
    const ReceiveBuffer answer = assembler.answer();
    assembler.reset();
    requestOutstanding = 0;
    answerWaiting = false;
    return answer;
}

void SerialLink::settle()
{
    if (requestOutstanding == 1 && assembler.acceptLoneCopy() == AnswerAssembler::State::Complete)
        answerComplete();
}

void SerialLink::ClosePort()
{
    runFlag = 0;
    requestOutstanding = 0;
    answerWaiting = false;
    silenceTimer.stop();
    assembler.reset();
    if (port.isOpen())
        port.close();
    port.clearError();
    deviceGone = false;
}

void SerialLink::onReadyRead()
{
    const QByteArray data = port.readAll();
    // Bytes with no request outstanding belong to no request (a late answer,
    // trailing bytes, noise): they are dropped here and never read as the
    // start of the next answer.
    if (requestOutstanding != 1 || !assembler.hasRequest())
        return;
    if (isSignalConnected(QMetaMethod::fromSignal(&SerialLink::answerHeard)))
        heard.append(data.left(qsizetype(ReceiveBuffer().size()) - heard.size()));
    const auto state =
        assembler.feed(reinterpret_cast<const std::uint8_t *>(data.constData()), std::size_t(data.size()));
    if (state == AnswerAssembler::State::Complete)
        answerComplete();
    else if (assembler.receivedCount() > 0)
        silenceTimer.start();
}

void SerialLink::onSilence()
{
    // Bytes waiting in the driver mean the line did not go quiet; only this
    // program was slow to look. Their readyRead comes next.
    if (driverHasInput()) {
        silenceTimer.start();
        return;
    }
    if (requestOutstanding == 1 && assembler.lineSilent() == AnswerAssembler::State::Complete)
        answerComplete();
}

void SerialLink::answerComplete()
{
    silenceTimer.stop();
    int outstanding = 1;
    if (!requestOutstanding.compare_exchange_strong(outstanding, 0))
        return;
    responseMs = int(sentAt.elapsed());
    answerWaiting = true;
    if (isSignalConnected(QMetaMethod::fromSignal(&SerialLink::answerHeard)))
        reportAnswer();
    emit answerReady();
}

// The answer starts after an echo when the bytes heard begin with the
// request and hold the whole answer after it; a lone copy of a write is the
// meter's answer itself.
void SerialLink::reportAnswer()
{
    const ReceiveBuffer answer = assembler.answer();
    const QByteArray request(reinterpret_cast<const char *>(written.data()), qsizetype(written.size()));
    const auto length = qsizetype(assembler.answerLength());
    const bool echoed = heard.startsWith(request) && heard.size() >= request.size() + length;
    emit answerHeard(QByteArray(reinterpret_cast<const char *>(answer.data()), length),
                     echoed ? request : QByteArray());
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    // Kept for OpenPort and Configure: the error is cleared below, before
    // the call that caused it has returned.
    if (error != QSerialPort::NoError)
        reported = error;
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::WriteError:
        requestOutstanding = 0;
        break;
    case QSerialPort::ReadError:
        // A device that hung up (an unplugged USB adapter, a pseudo-terminal
        // whose other side closed) stays readable and every read of it
        // returns nothing. QSerialPort reports each such read as a read
        // error and keeps listening, so the reports would come back at once,
        // over and over. A read that finds nothing on a device still there
        // is no loss: discardInput() may have dropped bytes the port had
        // already been told about.
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

// The device went away: no answer can come. Nothing more is written to it,
// and the port is closed once QSerialPort has returned from reporting the
// error (closing it inside its own handler makes it read and flush a closed
// device). Qt delivers the queued close before the port's next read
// notification, so a hung-up device is not read again.
void SerialLink::loseDevice()
{
    if (deviceGone)
        return;
    deviceGone = true;
    requestOutstanding = 0;
    QMetaObject::invokeMethod(this, &SerialLink::closeLostDevice, Qt::QueuedConnection);
}

void SerialLink::closeLostDevice()
{
    if (!deviceGone)
        return;
    ClosePort();
    emit deviceLost();
}

void SerialLink::discardInput()
{
    port.clear(QSerialPort::Input);
    port.readAll();
}

bool SerialLink::deviceHungUp() const
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

bool SerialLink::driverHasInput() const
{
#ifdef Q_OS_UNIX
    int queued = 0;
    if (port.isOpen() && ::ioctl(int(port.handle()), FIONREAD, &queued) == 0)
        return queued > 0;
#endif
    return false;
}
