#include "SerialLink.h"

#include <QMetaMethod>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <utility>

#ifdef Q_OS_UNIX
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
QString portError(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("no such device");
    case QSerialPort::PermissionError:
        return QStringLiteral("permission denied or in use");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("setting not supported");
    default:
        return QStringLiteral("error %1").arg(int(error));
    }
}

} // namespace

SerialLink::SerialLink(PortNames names, QObject *parent) : QObject(parent), portNames(std::move(names))
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
    const QString device = portNames.devicePath(portName);
    failure.clear();
    if (device.isEmpty()) {
        failure = portName;
        return 0;
    }
    port.setPortName(device);
    // QSerialPort opens exclusively: it takes the device's lock file and sets
    // TIOCEXCL, so neither a second link nor another program can share it.
    if (!port.open(QIODevice::ReadWrite)) {
        failure = device + QStringLiteral(": ") + portError(port.error());
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
    // The platform refuses what it cannot do (1.5 stop bits on Linux, an odd
    // baud rate on some drivers); the link then does not run.
    const bool applied = port.setBaudRate(baud) && port.setDataBits(QSerialPort::DataBits(dataBits)) &&
                         port.setParity(parity) && port.setStopBits(stopBits) &&
                         port.setFlowControl(QSerialPort::NoFlowControl);
    if (!applied) {
        failure = portError(port.error());
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
    switch (error) {
    case QSerialPort::NoError:
        return;
    case QSerialPort::WriteError:
        requestOutstanding = 0;
        break;
    case QSerialPort::ResourceError:
        // The device went away (an unplugged USB adapter): no answer can
        // come. Nothing more is written to it, and the port is closed once
        // QSerialPort has returned from reporting the error (closing it
        // inside its own handler makes it read and flush a closed device).
        if (!deviceGone) {
            deviceGone = true;
            requestOutstanding = 0;
            QMetaObject::invokeMethod(this, &SerialLink::closeLostDevice, Qt::QueuedConnection);
        }
        return;
    default:
        break;
    }
    port.clearError();
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

bool SerialLink::driverHasInput() const
{
#ifdef Q_OS_UNIX
    int queued = 0;
    if (port.isOpen() && ::ioctl(int(port.handle()), FIONREAD, &queued) == 0)
        return queued > 0;
#endif
    return false;
}
