#include "SerialLink.h"

#include "SerialTransport.h"

#include <QMetaMethod>

#include <algorithm>
#include <cmath>
#include <utility>

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
    return std::clamp(SerialLink::frameGapMs(baud, dataBits, parity, stopBitsIndex), kMinimumSilenceMs,
                      kMaximumSilenceMs);
}

} // namespace

int SerialLink::frameGapMs(int baud, int dataBits, bool parity, int stopBitsIndex)
{
    const int bitsPerCharacter = 1 + dataBits + (parity ? 1 : 0) + (stopBitsIndex == 0 ? 1 : 2);
    const double characterMs = 1000.0 * bitsPerCharacter / std::max(baud, 1);
    return int(std::ceil(3.5 * characterMs));
}

SerialLink::SerialLink(PortNames names, QObject *parent) : QObject(parent), portNames(std::move(names))
{
    silenceTimer.setSingleShot(true);
    silenceTimer.setInterval(kMinimumSilenceMs);
    connect(&silenceTimer, &QTimer::timeout, this, &SerialLink::onSilence);
}

SerialLink::~SerialLink()
{
    setTransport(nullptr);
}

void SerialLink::setTransport(std::unique_ptr<Transport> transport)
{
    ClosePort();
    if (path) {
        disconnect(path.get(), nullptr, this, nullptr);
        // Not deleted at once: the call may come from one of its own
        // notifications.
        path.release()->deleteLater();
    }
    path = std::move(transport);
    if (!path)
        return;
    path->setParent(this);
    connect(path.get(), &Transport::bytesArrived, this, &SerialLink::onBytesArrived);
    connect(path.get(), &Transport::writeFailed, this, &SerialLink::onWriteFailed);
    connect(path.get(), &Transport::lost, this, &SerialLink::onTransportLost);
    connect(path.get(), &Transport::connected, this, &SerialLink::transportConnected);
}

int SerialLink::OpenPort(const QString &portName)
{
    ClosePort();
    const QString device = portNames.devicePath(portName);
    failed = {};
    if (device.isEmpty()) {
        failed = {PortFailure::Reason::NoDevice, portName};
        return 0;
    }
    auto *serial = qobject_cast<SerialTransport *>(path.get());
    if (!serial) {
        auto created = std::make_unique<SerialTransport>();
        serial = created.get();
        setTransport(std::move(created));
    }
    serial->setDevicePath(device);
    return openTransport() ? 1 : 0;
}

bool SerialLink::openTransport()
{
    ClosePort();
    failed = {};
    if (!path) {
        failed = {PortFailure::Reason::NoDevice, QString()};
        return false;
    }
    if (path->open())
        return true;
    failed = path->failure();
    return false;
}

int SerialLink::Configure(int baud, int dataBits, int parityIndex, int stopBitsIndex)
{
    if (!path)
        return 0;
    // The transport refuses what it cannot do (1.5 stop bits on Linux, an
    // odd baud rate on some drivers); the link then does not run.
    if (!path->configure(LineSettings{baud, dataBits, parityIndex, stopBitsIndex})) {
        if (path->failure())
            failed = path->failure();
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
    if (!isOpen())
        return;
    path->discardInput();
    assembler.start(frame);
    // The transport writes asynchronously from the event loop, so nothing
    // here waits. The request counts as written once the transport has taken
    // all 8 bytes: an answer can only come after they went out, and a write
    // that fails later clears the flag again (onWriteFailed), like a write
    // that never completed.
    const QByteArray bytes(reinterpret_cast<const char *>(frame.data()), qsizetype(frame.size()));
    if (path->writeFrame(bytes)) {
        requestOutstanding = 1;
        sentAt.start();
        written = frame;
        heard.clear();
        if (isSignalConnected(QMetaMethod::fromSignal(&SerialLink::requestWritten)))
            emit requestWritten(bytes);
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
    if (path)
        path->close();
}

void SerialLink::onBytesArrived()
{
    const QByteArray data = path->takeBytes();
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
    // Bytes waiting below mean the line did not go quiet; only this program
    // was slow to look. Their bytesArrived comes next.
    if (path && path->inputPending()) {
        silenceTimer.start();
        return;
    }
    if (requestOutstanding == 1 && assembler.lineSilent() == AnswerAssembler::State::Complete)
        answerComplete();
}

void SerialLink::answerComplete()
{
    silenceTimer.stop();
    // A transport that is going away (its loss is reported from the event
    // loop) has no answer to give.
    if (!isOpen()) {
        requestOutstanding = 0;
        return;
    }
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

void SerialLink::onWriteFailed()
{
    requestOutstanding = 0;
}

void SerialLink::onTransportLost()
{
    failed = path->failure();
    ClosePort();
    emit deviceLost();
}
