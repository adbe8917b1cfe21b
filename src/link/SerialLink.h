#pragma once

#include "AnswerAssembler.h"
#include "ModbusFrame.h"
#include "PortFailure.h"
#include "PortNames.h"
#include "RequestChannel.h"
#include "Transport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

// The one line of the program: opens and configures its transport, writes
// one request at a time and gathers the answer into a whole frame. The
// transport is a serial port (OpenPort() puts one in place) or whatever
// setTransport() gave, such as a TCP connection to a device server; the
// answer assembly, the echo handling and the whole-frame rules are the same
// for each.
//
// Everything runs on the thread that owns the object (the GUI thread): the
// transport's bytesArrived is the notification that bytes came, and nothing
// here blocks or waits in an event loop. When a whole answer to the
// outstanding request is there, answerReady() is emitted once; the receiver
// then takes the answer with ReadResponse().
class SerialLink : public QObject, public RequestChannel {
    Q_OBJECT

public:
    explicit SerialLink(PortNames portNames = PortNames(), QObject *parent = nullptr);
    ~SerialLink() override;

    // Puts `transport` under the link in place of the one before, which is
    // closed. The link owns it.
    void setTransport(std::unique_ptr<Transport> transport);
    Transport *transport() const { return path.get(); }

    // 1 when the device of "COMn" could be opened for reading and writing,
    // exclusively; 0 otherwise (also for a name that is no port name). An
    // open port is closed first. Puts a serial transport under the link when
    // it has another one or none.
    int OpenPort(const QString &portName);
    // Opens the transport that setTransport() gave; false (with failure())
    // when it cannot be opened at all. A network transport is open once
    // transportConnected() has come.
    bool openTransport();
    // Line settings: the baud rate as a number (9600), data bits 5..8, parity
    // index 0 none / 1 odd / 2 even / 3 mark / 4 space, stop-bits index 0 one /
    // 1 one and a half / 2 two. 1 on success (the link then runs); 0 when the
    // port is not open or the platform refuses a setting.
    int Configure(int baud, int dataBits, int parityIndex, int stopBitsIndex);
    // Writes one request. Bytes that arrived while no request was outstanding
    // are thrown away first, so that they cannot be taken for its answer.
    void WriteRequest(int address, int function, int reg, int value) override;
    // The answer to the last request (or what came of it) in a zero-filled
    // buffer. Ends the request: later bytes are stale.
    ReceiveBuffer ReadResponse();
    // A whole answer waits to be read.
    bool hasAnswer() const { return answerWaiting; }
    // The next tick of a write run has come: a lone copy of the write that
    // has arrived is now the meter's answer (on a 2-wire adapter it could
    // have been the adapter's echo, with the meter's answer still to come).
    // answerReady() follows when that makes the answer whole.
    void settle();
    int lastResponseMs() const override { return responseMs; }
    void ClosePort();

    bool isOpen() const { return path && path->isOpen(); }
    // Why the last OpenPort, openTransport or Configure failed, or why the
    // transport was lost, as the transport told it.
    const PortFailure &failure() const { return failed; }
    // The device path of the serial port, or host:port.
    QString devicePath() const { return path ? path->target() : QString(); }
    // How long the line must stay quiet before an unfinished answer counts
    // as ended, for the current line settings.
    int silenceMs() const { return silenceTimer.interval(); }
    // 3.5 character times at these line settings, rounded up: the silence
    // that separates two frames on the wire.
    static int frameGapMs(int baud, int dataBits, bool parity, int stopBitsIndex);

    // 1 while the link is configured and running; 0 before Configure and
    // after ClosePort.
    std::atomic<int> runFlag{0};
    // 1 from the moment a request was handed to the transport until its answer is
    // whole (or ReadResponse ends it): the gate that lets at most one
    // answerReady() out per request.
    std::atomic<int> requestOutstanding{0};

signals:
    // A whole answer to the outstanding request has arrived (or the line went
    // silent after part of one). Emitted from the event loop, never from
    // inside a call to the link, at most once per request.
    void answerReady();
    // The port's device went away (an unplugged USB adapter), or the
    // network transport's connection failed or broke; the transport is
    // closed.
    void deviceLost();
    // A network transport's connection is up: Configure() can follow.
    void transportConnected();
    // For a traffic monitor, and emitted only while connected: the request
    // as the transport took it, and each whole answer with the echo of the
    // request that came before it on a 2-wire adapter (empty without one).
    void requestWritten(const QByteArray &request);
    void answerHeard(const QByteArray &answer, const QByteArray &echo);

private:
    void onBytesArrived();
    void onSilence();
    void onWriteFailed();
    void onTransportLost();
    void answerComplete();
    void reportAnswer();

    PortNames portNames;
    // A child as well, so that tests can find the serial port below it.
    std::unique_ptr<Transport> path;
    QTimer silenceTimer;
    AnswerAssembler assembler;
    QElapsedTimer sentAt;
    // The request last written and what came after it, kept only while
    // answerHeard() is connected.
    ModbusRequest written{};
    QByteArray heard;
    int responseMs = -1;
    PortFailure failed;
    bool answerWaiting = false;
};
